// Copying rows and record ranges to the clipboard, and the Edit menu's state as it opens.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <functional>

#include "TestSupport.h"

namespace quillon::test {
namespace {

std::string Rec(int i) { return "MSH|^~\\&|A|" + std::to_string(i) + "\rPID|1||\xE9" + std::to_string(i) + "\r"; }

class CopyWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override { st.undo.UndoEnabled = true; }
    void Load(int n)
    {
        std::string bytes;
        for (int i = 1; i <= n; ++i)
            bytes += Rec(i);
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("c.hl7", bytes)));
    }
    void Page(int32_t page, const std::vector<int>& rows)
    {
        w.CurrentPage = page;
        w.DisplayPage(w.CurrentPage);
        w.lstRecords->clearSelection();
        for (int r : rows)
            w.lstRecords->item(r)->setSelected(true);
    }
    static std::string Clip() { return QGuiApplication::clipboard()->text().toLatin1().toStdString(); }
    static std::string Records(int from, int to)
    {
        std::string text;
        for (int i = from; i <= to; ++i)
            text += Rec(i) + "\r\n";
        return text;
    }
};

TEST_F(CopyWindow, SelectedRowsEachEndedByCRLF)
{
    Load(6);
    Page(1, {4, 2});
    w.lstRecords->setCurrentRow(4, QItemSelectionModel::NoUpdate);
    w.lstRecords_Click();
    w.lstSegments->clearSelection();
    w.lstSegments->item(1)->setSelected(true);
    w.lstFields->clearSelection();
    const struct {
        const char* what;
        std::function<void()> command;
        std::string text;
    } cases[] = {
        {"Edit > Copy > Selected Record(s)", [&] { w.mnuEditCopySelectedRecords_Click(); },
         Records(3, 3) + Records(5, 5)},
        {"record-list Copy", [&] { w.mnuRecordListCopy_Click(); }, Records(3, 3) + Records(5, 5)},
        {"Edit > Copy > Selected Segment(s)", [&] { w.mnuEditCopySelectedSegments_Click(); },
         "PID|1||\xE9" "5\r\n"},
        {"nothing selected: empty, no message", [&] { w.mnuEditCopySelectedFields_Click(); }, ""},
    };
    for (const auto& c : cases) {
        QGuiApplication::clipboard()->setText("old");
        c.command();
        EXPECT_EQ(Clip(), c.text) << c.what;
    }
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(CopyWindow, RangesRunFromTheSelectionOrThePageBoundary)
{
    Load(1000);
    const struct {
        const char* what;
        bool toLast;
        int32_t page;
        std::vector<int> rows;
        int from, to;
    } cases[] = {
        {"#1 through the last selected row", false, 2, {2, 7}, 1, 408},
        {"the first selected row to the last", true, 2, {2, 7}, 403, 1000},
        {"#1 through, nothing selected on page 3", false, 3, {}, 1, 800},
        {"to the last, nothing selected on page 2", true, 2, {}, 801, 1000},
        {"#1 through, nothing selected on page 1", false, 1, {}, 1, 0},
    };
    for (const auto& c : cases) {
        Page(c.page, c.rows);
        QGuiApplication::clipboard()->setText("old");
        c.toLast ? w.mnuCtrlShiftHomeCopyEnd_Click() : w.mnuCtrlShiftHomeCopy_Click();
        EXPECT_EQ(Clip(), Records(c.from, c.to)) << c.what;
    }

    // What is copied pastes back as the same records, byte for byte.
    std::vector<std::string> before;
    for (int32_t k = 403; k <= 1000; ++k)
        before.emplace_back(st.records.Record(k));
    Page(2, {2});
    w.mnuCtrlShiftHomeCopyEnd_Click();
    w.mnuClipboardPaste_Click();
    std::vector<std::string> after;
    for (int32_t k = 1; k <= st.records.RecordCount; ++k)
        after.emplace_back(st.records.Record(k));
    EXPECT_EQ(after, before);
}

TEST_F(CopyWindow, EditMenuStateFollowsUndoFilesClipboardAndRows)
{
    QGuiApplication::clipboard()->setText("PID|1");
    auto expectState = [this](bool undo, bool paste, bool rows, const char* what) {
        w.mnuEdit_Click();
        EXPECT_EQ(w.mnuEditUndo->isEnabled(), undo) << what;
        EXPECT_EQ(w.mnuClipboardPaste->isEnabled(), paste) << what;
        EXPECT_EQ(w.mnuClipboardPasteAppend->isEnabled(), paste) << what;
        for (QAction* item : {w.mnuEditCopy, w.mnuEditFilterRecordList, w.mnuEditFindInRecordList,
                              w.mnuEditFindInFieldList})
            EXPECT_EQ(item->isEnabled(), rows) << what << " " << item->text().toStdString();
    };
    expectState(false, false, false, "nothing loaded");
    QGuiApplication::clipboard()->setText("fhs|x");
    expectState(false, true, false, "header text on the clipboard, no records");
    Load(3);
    expectState(false, true, true, "records listed");

    Page(1, {0});
    w.mnuRecordListDelete_Click();
    expectState(true, true, true, "after a deletion");
    EXPECT_EQ(w.mnuEditUndo->text(), "Undo Delete Record(s)");

    // Undone as far as it goes: disabled, the caption kept.
    w.mnuEditUndo_Click();
    expectState(false, true, true, "after the undo");
    EXPECT_EQ(w.mnuEditUndo->text(), "Undo Delete Record(s)");
}

}  // namespace
}  // namespace quillon::test
