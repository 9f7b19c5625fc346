// The replace and assign commands through their dialogs: the request handed over, the records
// changed, the count message, the undo points and the dialog left open when nothing changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "TestSupport.h"
#include "editing/FindDialog.h"
#include "editing/frmReplaceInRecordList.h"

namespace quillon::test {
namespace {

using platform::ScriptedResponder;
using Step = std::function<void(ReplaceDialog&)>;

Step Replace(const char* find, const char* replace, bool all = true)
{
    return [=](ReplaceDialog& d) {
        if (d.txtFind)
            d.txtFind->setText(QString::fromLatin1(find));
        d.txtReplace->setText(QString::fromLatin1(replace));
        d.optScope[all ? 0 : 1]->setChecked(true);
        d.cmdCommand[0]->click();
    };
}

class ReplaceWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    void SetUp() override
    {
        st.dictionary.DescriptionKeys = {"PID-3", "PID-5"};
        st.dictionary.Descriptions = {"Patient ID", "Patient Name"};
        st.dictionary.SegmentNames = {"MSH", "PID"};
        std::string bytes;
        for (int i = 1; i <= 5; ++i)
            bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(i)
                     + "|P|2.3\rPID|1||ID" + std::to_string(i) + "||DOE^JOHN\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("five.hl7", bytes)));
        w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
    }
    std::vector<QString> Messages(ScriptedResponder::Shown::Kind kind) const
    {
        std::vector<QString> texts;
        for (const auto& shown : f.responder.shown())
            if (shown.kind == kind)
                texts.push_back(shown.title + ":" + shown.text);
        return texts;
    }
};

using Kind = ScriptedResponder::Shown::Kind;

TEST_F(ReplaceWindow, RecordListReplaceReportsAndLeavesTwoUndoPoints)
{
    st.undo.UndoEnabled = true;
    const int16_t level = st.undo.UndoLevel;
    // Nothing found keeps the dialog open; a delimiter is refused; the third press replaces.
    DriveReplaceDialog(st, {Replace("ZZZ", "Q"), Replace("DOE", "A|B"), Replace("doe", "Roe")});
    w.mnuRecordListReplace_Click();
    EXPECT_EQ(Messages(Kind::Window),
              (std::vector<QString>{"Report: 0 replacements were made.",
                                    "Report: 5 replacements were made."}));
    ASSERT_EQ(Messages(Kind::Message).size(), 1u);
    EXPECT_TRUE(Messages(Kind::Message)[0].endsWith("' in your replace text."));
    for (int i = 1; i <= 5; ++i)
        EXPECT_NE(st.records.Record(i).find("|Roe^JOHN\r"), std::string::npos);
    EXPECT_EQ(st.undo.UndoLevel, level + 4);
    EXPECT_EQ(ShownReplaceDialog(), nullptr);
}

TEST_F(ReplaceWindow, AssignValueNeverCreatesAField)
{
    st.records.Records[2] = RecordText("MSH|^~\\&|A|B|||20260101||ADT^A01|2|P|2.3\rPID|1\r");
    DriveReplaceDialog(st, {[](ReplaceDialog& d) {
                               d.cboSegmentReplace->setEditText(QStringLiteral("PID"));
                               Replace("", "X")(d);
                           }});
    w.mnuFieldListAssignValue_Click();
    EXPECT_EQ(Messages(Kind::Window),
              (std::vector<QString>{"Report: 4 replacements were made."}));
    EXPECT_EQ(st.records.Record(2), "MSH|^~\\&|A|B|||20260101||ADT^A01|2|P|2.3\rPID|1\r");
    EXPECT_NE(st.records.Record(3).find("PID|1||X||DOE"), std::string::npos);
}

TEST_F(ReplaceWindow, SegmentReplaceStaysInItsSegment)
{
    w.lstSegments->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    DriveReplaceDialog(st, {Replace("1", "7", false)});
    w.mnuSegmentListReplace_Click();
    EXPECT_EQ(Messages(Kind::Window),
              (std::vector<QString>{"Segment List Replace: 2 replacements were made."}));
    EXPECT_EQ(st.records.Record(1), "MSH|^~\\&|A|B|||20260101||ADT^A01|1|P|2.3\rPID|7||ID7||DOE^JOHN\r");
}

TEST_F(ReplaceWindow, FieldListReplaceChangesTheSelectedRecordOnly)
{
    w.lstRecords->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
    w.lstRecords_Click();
    bool scopeShown = true;
    DriveReplaceDialog(st, {[&](ReplaceDialog& d) {
                                scopeShown = d.optScope[0]->isVisible();
                                EXPECT_EQ(d.windowTitle(), QStringLiteral("Replace in Field List"));
                                Replace("JOHN", "JACK", false)(d);
                            }});
    w.mnuFieldListReplace_Click();
    EXPECT_FALSE(scopeShown);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(st.records.Record(i).find(i == 3 ? "DOE^JACK" : "DOE^JOHN") != std::string::npos, true)
            << i;
    EXPECT_FALSE(ShownReplaceDialog());  // a run that replaced something closes its dialog
    bool shows = false;
    for (int j = 0; j < w.lstFields->count(); ++j)
        shows = shows || w.lstFields->item(j)->text().endsWith(QStringLiteral("DOE^JACK"));
    EXPECT_TRUE(shows);
}

TEST_F(ReplaceWindow, SelectedRecordsOfThePageShown)
{
    std::string bytes;
    for (int i = 1; i <= 900; ++i)
        bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(i) + "|P|2.3\rPID|1||DOE\r";
    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("nine.hl7", bytes)));
    w.CurrentPage = 3;
    w.DisplayPage(w.CurrentPage);
    w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.lstRecords->setCurrentRow(5, QItemSelectionModel::Select);
    w.lstRecords_Click();
    ASSERT_GT(w.lstFields->count(), 0);
    DriveReplaceDialog(st, {Replace("DOE", "ROE", false)});
    w.mnuRecordListReplace_Click();
    int changed = 0;
    for (int i = 1; i <= 900; ++i)
        changed += st.records.Record(i).find("ROE") != std::string::npos ? i : 0;
    EXPECT_EQ(changed, 801 + 806);
    const auto rows = w.lstRecords->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.front().row(), 5);
}

TEST_F(ReplaceWindow, Latin1AndUtf8RecordsFoundAndReplacedEachInItsOwnBytes)
{
    // A Latin-1 record, one declared UTF-8, one detected as UTF-8, and one without the name.
    const auto msh = [](int i, const std::string& charset) {
        return "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(i) + "|P|2.5||||||" + charset
               + "\r";
    };
    const std::vector<std::string> records = {
        msh(1, "") + "PID|1||ID1||M\xfcller^J\xfcrgen\r",
        msh(2, "UNICODE UTF-8") + "PID|1||ID2||M\xc3\xbcller^J\xc3\xbcrgen\r",
        msh(3, "") + "PID|1||ID3||M\xc3\x9cLLER^\xe3\x81\x82\r",
        msh(4, "") + "PID|1||ID4||DOE^JOHN\r",
    };
    std::string bytes;
    for (const std::string& record : records)
        bytes += record;
    const QString path = f.WriteFile("mixed.hl7", bytes);
    ASSERT_TRUE(w.LoadHL7File(path));
    EXPECT_TRUE(w.lstRecords->item(1)->text().endsWith(QStringLiteral("||Müller^Jürgen\r")));
    w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.lstRecords_Click();

    // Find Next, Match case off, goes from record to record and then says it found no more.
    std::vector<int> found;
    const auto next = [&](FindDialog& d) {
        found.push_back(w.lstRecords->currentRow() + 1);
        d.cmdCommand[0]->click();
    };
    DriveFindDialog(st, {[](FindDialog& d) {
                             d.cboFindRecords->setEditText(QStringLiteral("MÜLLER"));
                             d.cboSegmentFind->setEditText(QStringLiteral("all"));
                             d.chkMatchCase->setChecked(false);
                             d.cmdCommand[0]->click();
                         },
                         next, next, next, [](FindDialog&) {}});
    w.mnuRecordListFind_Click();
    EXPECT_EQ(found, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Messages(Kind::Window),
              (std::vector<QString>{"Record List Find:No further occurances of 'MÜLLER' were found."}));

    DriveReplaceDialog(st, {[](ReplaceDialog& d) {
                               d.txtFind->setText(QStringLiteral("MÜLLER"));
                               d.txtReplace->setText(QStringLiteral("Schäfer"));
                               d.optScope[0]->setChecked(true);
                               d.cmdCommand[0]->click();
                           }});
    w.mnuRecordListReplace_Click();
    EXPECT_EQ(Messages(Kind::Window).back(), QStringLiteral("Report: 3 replacements were made."));
    const QString saved = path + QStringLiteral(".saved");
    f.responder.QueueFiles({saved});
    w.mnuFileSave_Click();
    EXPECT_EQ(ReadBytes(saved), msh(1, "") + "PID|1||ID1||Sch\xe4" "fer^J\xfcrgen\r\r\n"
                                   + msh(2, "UNICODE UTF-8") + "PID|1||ID2||Sch\xc3\xa4" "fer^J\xc3\xbcrgen\r\r\n"
                                   + msh(3, "") + "PID|1||ID3||Sch\xc3\xa4" "fer^\xe3\x81\x82\r\r\n"
                                   + records[3] + "\r\n");
}

TEST_F(ReplaceWindow, AssignValueScopeFollowsTheListLastFocused)
{
    const std::vector<std::pair<const char*, int>> cases = {
        {"lstFields", 1}, {"lstRecords", 0}, {"lstSegments", 1}};
    for (const auto& [list, option] : cases) {
        st.session.FocusedListName = QString::fromLatin1(list);
        int chosen = -1;
        DriveReplaceDialog(st, {[&chosen](ReplaceDialog& d) {
                               chosen = d.optScope[1]->isChecked() ? 1 : 0;
                               d.cmdCommand[1]->click();
                           }});
        w.mnuFieldListAssignValue_Click();
        QApplication::processEvents();
        EXPECT_EQ(chosen, option) << list;
    }
}

TEST_F(ReplaceWindow, NothingChangesWhenTheCommandCannotGoOn)
{
    const std::string before(st.records.Record(1));
    // An undo point that cannot be written stops the command before any change.
    st.undo.UndoEnabled = true;
    st.folders.TempFolder = f.WriteFile(QStringLiteral("not-a-folder"), "x") + QStringLiteral("/t");
    DriveReplaceDialog(st, {Replace("DOE", "ROE")});
    w.mnuRecordListReplace_Click();
    EXPECT_TRUE(Messages(Kind::Window).empty());
    EXPECT_EQ(ShownReplaceDialog(), nullptr);
    st.undo.UndoEnabled = false;
    QApplication::processEvents();  // the first driver sees its command ended
    // The segment line gone while the command waited: no replacement, no crash.
    w.lstSegments->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    DriveReplaceDialog(st, {[](ReplaceDialog& d) {
                               QWidget* main = nullptr;
                               for (QWidget* t : QApplication::topLevelWidgets())
                                   if (auto* m = qobject_cast<frmMain*>(t))
                                       main = m;
                               static_cast<frmMain*>(main)->lstSegments->clear();
                               Replace("DOE", "ROE", false)(d);
                           }});
    w.mnuSegmentListReplace_Click();
    EXPECT_EQ(Messages(Kind::Window),
              (std::vector<QString>{"Segment List Replace: 0 replacements were made."}));
    EXPECT_EQ(st.records.Record(1), before);
}

}  // namespace
}  // namespace quillon::test
