// Deleting records and segments: the store operations and the delete commands of the window.
#include <gtest/gtest.h>

#include <QLabel>

#include "TestSupport.h"
#include "editing/DeleteRecords.h"
#include "records/Pages.h"

namespace quillon::test {
namespace {

using platform::MsgAnswer;
using platform::MsgIcon;
using Numbers = std::vector<int32_t>;

std::string Rec(int i) { return "MSH|^~\\&|A|" + std::to_string(i) + "\rPID|1||P" + std::to_string(i) + "\r"; }

RecordStore Store(int n)
{
    RecordStore s;
    for (int i = 1; i <= n; ++i)
        s.Append(Rec(i));
    return s;
}

// The numbers of the generated records the store still holds, in order.
Numbers Left(const RecordStore& s)
{
    Numbers left;
    for (int32_t k = 1; k <= s.RecordCount; ++k)
        left.push_back(std::stoi(std::string(s.Record(k).substr(11))));
    return left;
}

Numbers Span(int from, int to)
{
    Numbers n;
    for (int i = from; i <= to; ++i)
        n.push_back(i);
    return n;
}

Numbers Join(Numbers a, const Numbers& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DeleteRecordsCore, RangesAndNumbersCloseTheGapAndKeepTheSlots)
{
    const struct {
        const char* what;
        bool range;
        Numbers args;  // range: first, last; else the numbers
        Numbers left;
    } cases[] = {
        {"middle range", true, {3, 5}, {1, 2, 6, 7, 8}},
        {"front range", true, {1, 8}, {}},
        {"range cut to the store", true, {-4, 2}, Span(3, 8)},
        {"empty range", true, {1, 0}, Span(1, 8)},
        {"range past the end", true, {7, 100}, Span(1, 6)},
        {"numbers in any order, repeated", false, {8, 1, 4, 4}, {2, 3, 5, 6, 7}},
        {"numbers outside the store", false, {0, 9, 2}, Join({1}, Span(3, 8))},
        {"no numbers", false, {}, Span(1, 8)},
    };
    for (const auto& c : cases) {
        RecordStore s = Store(8);
        const int32_t bound = s.UpperBound();
        const int32_t removed = c.range ? DeleteRecordRange(s, c.args[0], c.args[1])
                                        : DeleteRecordNumbers(s, c.args);
        EXPECT_EQ(Left(s), c.left) << c.what;
        EXPECT_EQ(removed, 8 - static_cast<int32_t>(c.left.size())) << c.what;
        EXPECT_EQ(s.UpperBound(), bound) << c.what;
        for (int32_t k = s.RecordCount + 1; k <= bound; ++k)
            EXPECT_TRUE(s.Record(k).empty()) << c.what << " slot " << k;
    }
}

TEST(DeleteRecordsCore, SegmentRowsFollowTheSegmentList)
{
    const struct {
        const char* what;
        std::string record;
        std::vector<bool> rows;
        std::string text;
        int deleted, refused;
    } cases[] = {
        {"PID and OBX", "MSH|1\rPID|2\rPV1|3\rOBX|4\r", {false, true, false, true}, "MSH|1\rPV1|3\r", 2, 0},
        {"MSH stays", "MSH|1\rPID|2\rPV1|3\r", {true, true, false}, "MSH|1\rPV1|3\r", 1, 1},
        {"only MSH: unchanged", "MSH|1\rPID|2", {true}, "MSH|1\rPID|2", 0, 1},
        // Blank pieces have no row: row 2 is PV1, not the blank line's neighbour.
        {"blank segments skipped", "MSH|1\r\r \rPID|2\rPV1|3\r", {false, false, true},
         "MSH|1\r\r \rPID|2\r", 1, 0},
        {"last segment without EOB", "MSH|1\rPID|2\rPV1|3", {false, false, true}, "MSH|1\rPID|2\r", 1, 0},
        {"the text is ended by EOB", "MSH|1\rPID|2", {false, true}, "MSH|1\r", 1, 0},
        {"every segment of a header-less record", "PID|2\rPV1|3\r", {true, true}, "\r", 2, 0},
        {"rows beyond the record", "MSH|1\r", {false, true, true}, "MSH|1\r", 0, 0},
    };
    for (const auto& c : cases) {
        const SegmentDeletion r = DeleteSegmentRows(c.record, '\r', c.rows);
        EXPECT_EQ(r.text, c.text) << c.what;
        EXPECT_EQ(r.deleted, c.deleted) << c.what;
        EXPECT_EQ(r.refusedHeaders, c.refused) << c.what;
    }
}

class DeleteWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        st.undo.UndoEnabled = true;
        w.mnuOptionsPromptBeforeDeleting->setChecked(false);
    }
    void Load(int n)
    {
        std::string bytes;
        for (int i = 1; i <= n; ++i)
            bytes += Rec(i);
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("d.hl7", bytes)));
    }
    // Shows `page`, selects `rows` and puts the caret on `caret` (which it leaves unselected
    // unless listed).
    void Page(int32_t page, const std::vector<int>& rows, int caret)
    {
        w.CurrentPage = page;
        w.DisplayPage(w.CurrentPage);
        w.lstRecords->clearSelection();
        if (caret >= 0)
            w.lstRecords->setCurrentRow(caret, QItemSelectionModel::NoUpdate);
        for (int r : rows)
            w.lstRecords->item(r)->setSelected(true);
    }
    QString Undone() const
    {
        return st.undo.UndoDescriptions[static_cast<size_t>(st.undo.UndoLevel)];
    }
};

TEST_F(DeleteWindow, RecordCommandsDeleteTheirRecordsAndSelectARowAgain)
{
    enum Command { Selected, ThruFirst, ThruLast };
    const struct {
        const char* what;
        int loaded;
        Command command;
        int32_t page;
        std::vector<int> rows;
        int caret;
        Numbers left;
        int32_t pageAfter;
        int currentAfter;  // row of the record list
        int currentRecord;  // its record's number, 0: the list is empty
    } cases[] = {
        {"selected rows of page 2", 410, Selected, 2, {0, 5, 6}, 6,
         Join(Join(Span(1, 400), Span(402, 405)), Span(408, 410)), 2, 6, 410},
        {"caret on the last row", 410, Selected, 2, {9}, 9, Span(1, 409), 2, 8, 409},
        {"caret on row 0 of a one-row page", 401, Selected, 2, {0}, 0, Span(1, 400), 1, 399, 400},
        {"every record of one page", 3, Selected, 1, {0, 1, 2}, 1, {}, 1, -1, 0},
        {"#1 through the last selected row", 1000, ThruFirst, 3, {2, 7}, 7, Span(809, 1000), 1, 7, 816},
        {"#1 through, nothing selected", 1000, ThruFirst, 3, {}, -1, Span(801, 1000), 1, 199, 1000},
        {"#1 through, page 1, nothing selected", 10, ThruFirst, 1, {}, -1, Span(1, 10), 1, 9, 10},
        {"the first selected row through the last", 1000, ThruLast, 3, {2, 7}, 2, Span(1, 802), 3, 1, 802},
        {"through the last, nothing selected", 1000, ThruLast, 2, {}, -1, Span(1, 800), 2, 399, 800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.loaded);
        Page(c.page, c.rows, c.caret);
        const int16_t level = st.undo.UndoLevel;
        if (c.command == Selected)
            w.mnuRecordListDelete_Click();
        else if (c.command == ThruFirst)
            w.mnuRecordListDeleteThisThruFirst_Click();
        else
            w.mnuRecordListDeleteThisThruLast_Click();
        EXPECT_EQ(Left(st.records), c.left);
        EXPECT_NE(st.undo.UndoLevel, level);
        EXPECT_EQ(Undone(), "Delete Record(s)");
        EXPECT_EQ(w.CurrentPage, c.pageAfter);
        EXPECT_EQ(w.lstRecords->currentRow(), c.currentAfter);
        if (c.currentRecord == 0) {
            EXPECT_EQ(w.lstRecords->count(), 0);
            EXPECT_TRUE(w.lblFile->text().isEmpty());
            EXPECT_TRUE(w.lblPageOf->text().isEmpty());
        } else {
            // Only the current row is selected, so another Delete takes just that record.
            ASSERT_EQ(w.lstRecords->selectedItems().size(), 1);
            EXPECT_EQ(w.lstRecords->selectedItems()[0].Row(), c.currentAfter);
            EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec %1/%2")
                                             .arg(RecordAt(w.CurrentPage, c.currentAfter))
                                             .arg(st.records.RecordCount));
            EXPECT_EQ(st.records.Record(RecordAt(w.CurrentPage, c.currentAfter)), Rec(c.currentRecord));
        }
        EXPECT_TRUE(f.responder.shown().empty());
        f.responder.Clear();
    }
}

TEST_F(DeleteWindow, PromptRefusalsAndFailedUndoPointsChangeNothing)
{
    enum Command { Selected, ThruFirst, ThruLast, Segments };
    const struct {
        Command command;
        const char* text;
        const char* title;
    } commands[] = {
        {Selected, "Are you sure that you want to delete 2 record(s)?", "OK to Delete Record?"},
        {ThruFirst, "Are you sure that you want to delete the record(s)?", "OK to Delete Record?"},
        {ThruLast, "Are you sure that you want to delete the record(s)?", "OK to Delete Record?"},
        {Segments, "Are you sure that you want to delete 1 segment(s)?", "OK to Delete Segment?"},
    };
    auto run = [this](Command c) {
        Page(1, {1, 2}, 1);
        if (c == Segments) {
            w.lstRecords_Click();
            w.lstSegments->item(1)->setSelected(true);
        }
        switch (c) {
        case Selected: w.mnuRecordListDelete_Click(); break;
        case ThruFirst: w.mnuCtrlShiftHomeDelete_Click(); break;
        case ThruLast: w.mnuCtrlShiftHomeDeleteEnd_Click(); break;
        case Segments: w.mnuSegmentListDelete_Click(); break;
        }
    };
    Load(5);
    const RecordStore before = st.records;
    const QString temp = st.folders.TempFolder;
    for (const auto& c : commands) {
        SCOPED_TRACE(c.text);
        // Asked and answered No.
        w.mnuOptionsPromptBeforeDeleting->setChecked(true);
        f.responder.QueueAnswer(MsgAnswer::No);
        const int16_t level = st.undo.UndoLevel;
        run(c.command);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_EQ(f.responder.shown()[0].text, c.text);
        EXPECT_EQ(f.responder.shown()[0].title, c.title);
        EXPECT_EQ(f.responder.shown()[0].icon, MsgIcon::Question);
        EXPECT_EQ(st.records.Records, before.Records);
        EXPECT_EQ(st.undo.UndoLevel, level);
        f.responder.Clear();

        // Not asked; the undo point cannot be written: the failure is the only box.
        w.mnuOptionsPromptBeforeDeleting->setChecked(false);
        WriteBytes(temp + "plain", "x");
        st.folders.TempFolder = temp + "plain/";
        run(c.command);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_EQ(f.responder.shown()[0].title, "Undo");
        EXPECT_EQ(st.records.Records, before.Records);
        st.folders.TempFolder = temp;
        f.responder.Clear();
    }
}

TEST_F(DeleteWindow, SegmentsGoByTheListsRowsAndMSHStays)
{
    st.envelope.EndOfBlockChar = '\r';
    const struct {
        const char* what;
        std::string record;
        std::vector<int> rows;
        std::string after;
        int refusals;
    } cases[] = {
        {"PID and OBX", "MSH|^~\\&|A\rPID|1\rPV1|1\rOBX|1\r", {1, 3}, "MSH|^~\\&|A\rPV1|1\r", 0},
        {"MSH and PID", "MSH|^~\\&|A\rPID|1\rPV1|1\r", {0, 1}, "MSH|^~\\&|A\rPV1|1\r", 1},
        {"a blank segment before the row", "MSH|^~\\&|A\r\rPID|1\rPV1|1\r", {2}, "MSH|^~\\&|A\r\rPID|1\r", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(2);
        st.records.Records[2] = RecordText(c.record);  // as stored, blank segments and all
        Page(1, {1}, 1);
        w.lstRecords_Click();
        for (int r : c.rows)
            w.lstSegments->item(r)->setSelected(true);
        w.mnuSegmentListDelete_Click();
        EXPECT_EQ(st.records.Record(2), c.after);
        EXPECT_EQ(st.records.Record(1), Rec(1));
        EXPECT_EQ(Undone(), "Delete Segment(s)");
        EXPECT_EQ(static_cast<int>(f.responder.shown().size()), c.refusals);
        for (const auto& shown : f.responder.shown())
            EXPECT_EQ(shown.title, "Unable to Delete MSH Segment");
        // The record is shown again, segments and all.
        EXPECT_EQ(w.lstRecords->currentRow(), 1);
        EXPECT_EQ(w.lstSegments->item(0)->text(), "MSH|^~\\&|A");
        f.responder.Clear();
    }
}

TEST_F(DeleteWindow, NothingSelectedIsRefused)
{
    Load(3);
    w.lstRecords->clearSelection();
    w.mnuRecordListDelete_Click();
    w.lstSegments->clearSelection();
    w.mnuSegmentListDelete_Click();
    ASSERT_EQ(f.responder.shown().size(), 2u);
    EXPECT_EQ(f.responder.shown()[0].text, "There are no records selected to delete.");
    EXPECT_EQ(f.responder.shown()[0].title, "No Record to Delete");
    EXPECT_EQ(f.responder.shown()[1].text, "There are no segments selected to delete.");
    EXPECT_EQ(f.responder.shown()[1].title, "No Segment to Delete");
    EXPECT_EQ(st.records.RecordCount, 3);
    EXPECT_FALSE(w.mnuEditUndo->isEnabled());
}

}  // namespace
}  // namespace quillon::test
