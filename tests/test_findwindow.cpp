// The find commands in the main window: the dialogs handed over through the search request,
// the record list moved to the page and row of each match, the field lines selected, the
// history in the settings and Repeat Last Search.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QLabel>
#include <functional>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "editing/FindDialog.h"
#include "app/TextAsGiven.h"
#include "editing/frmMsgBox.h"
#include "records/Pages.h"

namespace quillon::test {
namespace {

using platform::ScriptedResponder;
using Shown = ScriptedResponder::Shown;

class FindWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        st.dictionary.DescriptionKeys = {"MSH-9", "PID-3", "PID-5", "PID-5-1", "PID-5-2"};
        st.dictionary.Descriptions = {"Message Type", "Patient ID", "Patient Name",
                                      "Family Name", "Given Name"};
        st.dictionary.SegmentNames = {"MSH", "PID"};
        // 1,000 records; "NEEDLE" is the family name of record 650 and the identifier of 900.
        std::string bytes;
        for (int i = 1; i <= 1000; ++i) {
            const std::string n = std::to_string(i);
            bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + n + "|P|2.3\rPID|1||"
                     + (i == 900 ? "NEEDLE" : "ID" + n) + "||" + (i == 650 ? "NEEDLE" : "DOE")
                     + "^JOHN\r";
        }
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("thousand.hl7", bytes)));
    }

    int SelectedRecordRow() const
    {
        const auto rows = w.lstRecords->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -static_cast<int>(rows.size()) - 1;
    }
    // The field lines selected, by designation.
    std::vector<std::string> SelectedFieldLines() const
    {
        std::vector<std::string> names;
        for (int j = 0; j < w.lstFields->count(); ++j)
            if (w.lstFields->item(j)->isSelected())
                names.push_back(w.lstFields->item(j)->text().section(QLatin1Char(' '), 0, 0).toStdString());
        return names;
    }
    // Record `record` is shown: its page, its row alone selected, its field lines.
    void ExpectShown(int record, const std::vector<std::string>& fieldLines)
    {
        EXPECT_EQ(w.CurrentPage, PageOfRecord(record));
        EXPECT_EQ(w.lblPageOf->text(), QStringLiteral("Pg %1/3").arg(PageOfRecord(record)));
        EXPECT_EQ(SelectedRecordRow(), RowOfRecord(record));
        EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec %1/1000").arg(record));
        EXPECT_EQ(SelectedFieldLines(), fieldLines);
    }
    void SelectRecord(int record)
    {
        w.CurrentPage = PageOfRecord(record);
        w.DisplayPage(w.CurrentPage);
        w.lstRecords->setCurrentRow(RowOfRecord(record), QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
    }
    static void Type(FindDialog& d, const QString& text, const QString& segment = "all",
                     const QString& field = "")
    {
        d.cboFindRecords->setEditText(text);
        d.cboSegmentFind->setEditText(segment);
        d.cboFieldFind->setEditText(field);
    }
    static void FindNext(FindDialog& d) { d.cmdCommand[0]->click(); }
    // The message window's (or box's) shows since `from`.
    std::vector<Shown> ShownSince(size_t from) const
    {
        const auto& all = f.responder.shown();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
};

TEST_F(FindWindow, RecordListFindMovesToEachMatchOverEveryPage)
{
    size_t boxes = 0;
    DriveFindDialog(st, {
        [&](FindDialog& d) {
            EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Find in Record List"));
            EXPECT_TRUE(d.cboFindRecords->isVisible());
            EXPECT_FALSE(d.cboFindFields->isVisible());
            Type(d, "needle");
            FindNext(d);
        },
        [&](FindDialog& d) {
            ExpectShown(650, {"PID-5", "PID-5-1"});
            EXPECT_TRUE(d.isVisible());
            FindNext(d);
        },
        [&](FindDialog& d) {
            ExpectShown(900, {"PID-3"});
            boxes = f.responder.shown().size();
            FindNext(d);
        },
        [&](FindDialog&) {
            // Past the last record: the message window, the selection stays.
            const auto shown = ShownSince(boxes);
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].kind, Shown::Kind::Window);
            EXPECT_EQ(shown[0].title, QStringLiteral("Record List Find"));
            EXPECT_EQ(shown[0].text, QStringLiteral("No further occurances of 'needle' were found."));
            ExpectShown(900, {"PID-3"});
        },
    });
    w.mnuRecordListFind_Click();
    EXPECT_FALSE(w.frmFindInRecordList->isVisible());  // hidden by Cancel, kept for next time
    EXPECT_TRUE(w.mnuEditRepeatLastSearch->isEnabled());
    EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", "0"), QStringLiteral("needle\tall"));

    // F3 repeats the last find on from the selected record; past the end it says so.
    SelectRecord(2);
    w.mnuEditRepeatLastSearch->trigger();
    ExpectShown(650, {"PID-5", "PID-5-1"});
    SelectRecord(950);
    boxes = f.responder.shown().size();
    w.mnuEditRepeatLastSearch_Click();
    const auto shown = ShownSince(boxes);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("No more occurances of 'needle' was found."));
}

TEST_F(FindWindow, DirectionFieldWholeWordAndTheFieldCheck)
{
    struct Case {
        const char* name;
        int selected;  // record selected before the command; 0: none on page 3
        QString text, segment, field;
        bool up, wholeWord, matchCase;
        int expected;  // record found; 0: the message window
    };
    const std::vector<Case> cases{
        {"field mode passes over a match in another field", 1, "needle", "PID", "pid-5", false,
         false, false, 650},
        {"field mode, whole word needs the whole value", 1, "NEED", "PID", "PID- 5      Patient Name",
         false, true, false, 0},
        {"whole record, whole word: a part of a word is no match", 1, "NEEDL", "all", "", false,
         true, false, 0},
        {"match case", 1, "needle", "all", "", false, false, true, 0},
        {"up with no row selected starts at the page's first record", 0, "NEEDLE", "all", "",
         true, false, false, 650},
        {"up from the first row of page 1: only record 1", 1, "needle", "all", "", true, false,
         false, 0},
        {"new text with the first row of page 3 selected begins at record 1", 801, "needle",
         "all", "", false, false, false, 650},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.selected > 0) {
            SelectRecord(c.selected);
        } else {
            SelectRecord(801);
            w.lstRecords->clearSelection();
        }
        const size_t before = f.responder.shown().size();
        DriveFindDialog(st, {[&](FindDialog& d) {
                                 Type(d, c.text, c.segment, c.field);
                                 d.optDirection[c.up ? 0 : 1]->setChecked(true);
                                 d.chkMatchWholeWordOnly->setChecked(c.wholeWord);
                                 d.chkMatchCase->setChecked(c.matchCase);
                                 FindNext(d);
                             },
                             [&](FindDialog&) {
                                 const auto shown = ShownSince(before);
                                 if (c.expected > 0) {
                                     EXPECT_TRUE(shown.empty());
                                     EXPECT_EQ(w.CurrentPage, PageOfRecord(c.expected));
                                     EXPECT_EQ(SelectedRecordRow(), RowOfRecord(c.expected));
                                 } else {
                                     ASSERT_EQ(shown.size(), 1u);
                                     EXPECT_EQ(shown[0].kind, Shown::Kind::Window);
                                 }
                             }});
        w.mnuRecordListFind_Click();
    }

    // A field the segment does not have is refused and the dialog waits for another try.
    size_t before = f.responder.shown().size();
    DriveFindDialog(st, {[&](FindDialog& d) {
                             Type(d, "needle", "PID", "PID-99");
                             FindNext(d);
                             EXPECT_FALSE(st.search.SearchDialogDone);
                         },
                         [&](FindDialog& d) {
                             const auto shown = ShownSince(before);
                             ASSERT_EQ(shown.size(), 1u);
                             EXPECT_EQ(shown[0].title, QStringLiteral("Bad Field Name"));
                             EXPECT_EQ(shown[0].text, QStringLiteral("That is not a valid field in segment \"PID\""));
                             // Leaving the field box with another segment's field switches the
                             // segment box.
                             Type(d, "needle", "MSH", "pid-5");
                             FindNext(d);
                         },
                         [&](FindDialog& d) {
                             EXPECT_EQ(d.cboSegmentFind->currentText(), QStringLiteral("PID"));
                             EXPECT_EQ(st.search.FindFieldName, "PID-5");
                         }});
    w.mnuRecordListFind_Click();
}

TEST_F(FindWindow, HistoryComesFromTheSettingsAndFiveLinesGoBack)
{
    for (int k = 0; k < 10; ++k)
        st.settings.Save("Quillon", "cboFindRecords", QString::number(k),
                         QStringLiteral("old%1\tall").arg(k));
    DriveFindDialog(st, {[&](FindDialog& d) {
                             EXPECT_EQ(d.cboFindRecords->count(), 10);
                             // Choosing a line fills the boxes from it.
                             d.cboFindRecords->addItem(QStringLiteral("SMITH\tPID-5\tWHOLE WORD"));
                             emit d.cboFindRecords->activated(d.cboFindRecords->count() - 1);
                             EXPECT_EQ(d.cboFindRecords->currentText(), QStringLiteral("SMITH"));
                             EXPECT_EQ(d.cboSegmentFind->currentText(), QStringLiteral("PID"));
                             EXPECT_EQ(d.cboFieldFind->currentText(), QStringLiteral("PID-5"));
                             EXPECT_TRUE(d.chkMatchWholeWordOnly->isChecked());
                             Type(d, "needle", "all", "");
                             d.chkMatchWholeWordOnly->setChecked(false);
                             d.chkMatchCase->setChecked(true);
                             FindNext(d);
                         }});
    w.mnuRecordListFind_Click();
    const QStringList expected{"needle\tall\tMATCH CASE", "old0\tall", "old1\tall", "old2\tall",
                               "old3\tall", "old5\tall"};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", QString::number(k)), expected[k]) << k;
    EXPECT_EQ(w.frmFindInRecordList->cboFindRecords->count(), 5);
    // "|" cannot be typed into the find box.
    QTest::keyClicks(w.frmFindInRecordList->cboFindRecords, QStringLiteral("a|b"));
    EXPECT_FALSE(w.frmFindInRecordList->cboFindRecords->currentText().contains('|'));
}

// The history box lists only the find text of each line and keeps a typed text as typed; Return
// presses Find Next with the text as it stands, and only a line chosen from the list brings back
// its field and options: a text that differs from a line in letter case alone stays as typed
// when the user goes on to Match case and Find Next with the mouse.
TEST_F(FindWindow, HistoryListsTheFindTextAndReturnFindsNext)
{
    st.settings.Save("Quillon", "cboFindRecords", "0", QStringLiteral("needle\tPID-5\tMATCH CASE"));
    const struct {
        const char* what;
        QString typed;
        int chosen;  // line chosen from the list, -1 none
        std::string findText, field;
        bool matchCase;
        bool byMouse;  // Match case and Find Next clicked, not Return
    } cases[] = {
        {"a whole text typed", "needle", -1, "needle", "", false, false},
        {"the start typed stays as typed", "nee", -1, "nee", "", false, false},
        {"a line chosen", "", 2, "needle", "PID-5", true, false},
        {"another letter case typed", "NEEDLE", -1, "NEEDLE", "", true, true},
    };
    std::vector<std::function<void(FindDialog&)>> steps;
    for (const auto& c : cases)
        steps.push_back([&](FindDialog& d) {
            SCOPED_TRACE(c.what);
            Type(d, "", "all", "");
            d.chkMatchCase->setChecked(false);
            st.search.FindText = "unchanged";
            ClickInto(d.cboFindRecords);
            ASSERT_TRUE(d.cboFindRecords->hasFocus());
            // Keys go to the window, as the user's do: to the box, or to its list once it shows.
            QWindow* window = d.windowHandle();
            for (const QChar ch : c.typed)
                QTest::keyClick(window, ch.toLatin1());
            if (c.chosen >= 0)
                ChooseFromList(d.cboFindRecords, c.chosen);
            if (c.byMouse) {
                QTest::mouseClick(d.chkMatchCase, Qt::LeftButton, {},
                                  QPoint(6, d.chkMatchCase->height() / 2));  // on its box
                QTest::mouseClick(d.cmdCommand[0], Qt::LeftButton);
            } else {
                QTest::keyClick(window, Qt::Key_Return);
            }
            ASSERT_TRUE(st.search.SearchDialogDone);
            EXPECT_EQ(st.search.FindText, c.findText);
            EXPECT_EQ(st.search.FindFieldName, c.field);
            EXPECT_EQ(st.search.MatchCase, c.matchCase);
            for (int i = 0; i < d.cboFindRecords->count(); ++i)
                EXPECT_FALSE(d.cboFindRecords->itemText(i).contains('\t')) << i;
        });
    DriveFindDialog(st, steps);
    w.mnuRecordListFind_Click();
    for (const auto& shown : f.responder.shown())
        EXPECT_FALSE(shown.text.contains('\t')) << shown.text.toStdString();
    // The settings keep whole lines.
    EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", "0"),
              QStringLiteral("NEEDLE\tall\tMATCH CASE"));
    EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", "1"),
              QStringLiteral("needle\tPID-5\tMATCH CASE"));
    EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", "2"), QStringLiteral("nee\tall"));
    EXPECT_EQ(st.settings.Get("Quillon", "cboFindRecords", "3"), QStringLiteral("needle\tall"));
}

TEST_F(FindWindow, FieldListFindSelectsOneLineAtATime)
{
    SelectRecord(650);
    const int lines = w.lstFields->count();
    ASSERT_GT(lines, 5);
    std::vector<std::string> found;
    size_t before = 0;
    const auto findNext = [&](FindDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Find in Field List"));
        FindNext(d);
    };
    const auto record = [&](FindDialog&) {
        found.push_back(SelectedFieldLines().empty() ? "" : SelectedFieldLines().front());
        EXPECT_LE(SelectedFieldLines().size(), 1u);
    };
    DriveFindDialog(st, {[&](FindDialog& d) {
                             d.cboFindFields->setEditText(QStringLiteral("john"));
                             findNext(d);
                         },
                         record, findNext, record,
                         [&](FindDialog& d) {
                             before = f.responder.shown().size();
                             findNext(d);
                         },
                         [&](FindDialog& d) {
                             const auto shown = ShownSince(before);
                             ASSERT_EQ(shown.size(), 1u);
                             EXPECT_EQ(shown[0].title, QStringLiteral("Field List Find"));
                             EXPECT_EQ(shown[0].text, QStringLiteral("No more occurances of 'john' were found."));
                             // Whole word: the value must be the text (here with its case).
                             w.lstFields->clearSelection();
                             w.lstFields->setCurrentRow(-1);
                             d.chkMatchWholeWordOnly->setChecked(true);
                             d.chkMatchCase->setChecked(true);
                             d.cboFindFields->setEditText(QStringLiteral("JOHN"));
                             findNext(d);
                         },
                         record});
    w.mnuFieldListFind_Click();
    EXPECT_EQ(found, (std::vector<std::string>{"PID-5", "PID-5-2", "PID-5-2"}));
    EXPECT_FALSE(w.frmFindInFieldList->isVisible());

    // F3 repeats the field find from the selected line.
    w.lstFields->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.mnuEditRepeatLastSearch_Click();
    EXPECT_EQ(SelectedFieldLines(), std::vector<std::string>{"PID-5-2"});
}

TEST_F(FindWindow, FieldListFindReadsTheValueColumnPastALongDescription)
{
    // A description longer than its column is cut there and keeps no "]".
    st.dictionary.DescriptionKeys.insert(st.dictionary.DescriptionKeys.begin(), "MSH-10");
    st.dictionary.Descriptions.insert(st.dictionary.Descriptions.begin(),
                                      "Message Control ID as the sending system gave it");
    w.mnuOptionsDisplayFieldDescriptions->setChecked(true);
    SelectRecord(650);
    std::vector<std::string> found;
    size_t before = 0;
    const auto find = [&](const QString& text, bool wholeWord) {
        return [&, text, wholeWord](FindDialog& d) {
            w.lstFields->clearSelection();
            w.lstFields->setCurrentRow(-1);
            before = f.responder.shown().size();
            d.cboFindFields->setEditText(text);
            d.chkMatchWholeWordOnly->setChecked(wholeWord);
            FindNext(d);
        };
    };
    const auto record = [&](FindDialog&) {
        found.push_back(SelectedFieldLines().empty() ? "" : SelectedFieldLines().front());
        EXPECT_EQ(ShownSince(before).size(), found.back().empty() ? 1u : 0u);
    };
    // The whole value is the text; a word of the description is not searched.
    DriveFindDialog(st, {find("650", true), record, find("sending", false), record});
    w.mnuFieldListFind_Click();
    EXPECT_EQ(found, (std::vector<std::string>{"MSH-10", ""}));
}

TEST_F(FindWindow, WithoutMatchCaseLatin1LettersFold)
{
    // Record 700 holds an accented name in small letters; the find text has it in capitals.
    st.records.Records[700] = RecordText(
        "MSH|^~\\&|A|B|||20260101||ADT^A01|700|P|2.3\rPID|1||ID700||M\xfcller^J\xe9r\xf4me\r");
    for (const bool matchCase : {false, true}) {
        SCOPED_TRACE(matchCase);
        SelectRecord(1);
        const size_t before = f.responder.shown().size();
        DriveFindDialog(st, {[&](FindDialog& d) {
                                 Type(d, QString::fromLatin1("M\xdcLLER^J\xc9R\xd4ME"));
                                 d.chkMatchCase->setChecked(matchCase);
                                 FindNext(d);
                             },
                             [](FindDialog&) {}});
        w.mnuRecordListFind_Click();
        if (matchCase) {
            ASSERT_EQ(ShownSince(before).size(), 1u);
            EXPECT_EQ(ShownSince(before)[0].title, QStringLiteral("Record List Find"));
            EXPECT_EQ(SelectedRecordRow(), RowOfRecord(1));
        } else {
            EXPECT_TRUE(ShownSince(before).empty());
            ExpectShown(700, {"PID-5"});
        }
    }
}

TEST_F(FindWindow, EveryWayInOpensItsDialog)
{
    SelectRecord(1);
    const auto slash = [](ListBox* list) {
        return [list] { QTest::keyClick(list, Qt::Key_Slash); };
    };
    struct Case {
        const char* name;
        std::function<void()> open;
        QString dialog;
    };
    const std::vector<Case> cases{
        {"Edit menu, record list", [&] { w.mnuEditFindInRecordList->trigger(); }, "frmFindInRecordList"},
        {"Edit menu, field list", [&] { w.mnuEditFindInFieldList->trigger(); }, "frmFindInFieldList"},
        {"record list pop-up", [&] { w.mnuRecordListFind->trigger(); }, "frmFindInRecordList"},
        {"field list pop-up", [&] { w.mnuFieldListFind->trigger(); }, "frmFindInFieldList"},
        {"toolbar", [&] { w.tbarTools_ButtonClick(13); }, "frmFindInRecordList"},
        {"/ in the record list", slash(w.lstRecords), "frmFindInRecordList"},
        {"/ in the field list", slash(w.lstFields), "frmFindInFieldList"},
    };
    for (const Case& c : cases) {
        QString opened;
        DriveFindDialog(st, {[&](FindDialog& d) { opened = d.objectName(); }});
        c.open();
        EXPECT_EQ(opened, c.dialog) << c.name;
    }
}

TEST_F(FindWindow, RefusalsAndWaysToEnd)
{
    // The filter dialog open: nothing happens.
    QWidget filter;
    filter.show();
    w.frmFilterRecords = &filter;
    w.mnuRecordListFind_Click();
    EXPECT_FALSE(w.frmFindInRecordList);
    w.frmFilterRecords = nullptr;

    // Esc, and closing the field-list dialog, cancel: the command ends and the dialog hides.
    DriveFindDialog(st, {[&](FindDialog& d) {
        QTest::keyClick(&d, Qt::Key_Escape);
    }});
    w.mnuRecordListFind_Click();
    EXPECT_FALSE(w.frmFindInRecordList->isVisible());
    SelectRecord(3);
    DriveFindDialog(st, {[&](FindDialog& d) {
        QCloseEvent close;
        QApplication::sendEvent(&d, &close);
        EXPECT_FALSE(close.isAccepted());
    }});
    w.mnuFieldListFind_Click();
    EXPECT_FALSE(w.frmFindInFieldList->isVisible());

    // Nothing to search: a box, no dialog.
    w.lstFields->clear();
    const size_t before = f.responder.shown().size();
    w.mnuFieldListFind_Click();
    st.records.Reset(1);
    w.mnuRecordListFind_Click();
    const auto shown = ShownSince(before);
    ASSERT_EQ(shown.size(), 2u);
    for (const Shown& s : shown) {
        EXPECT_EQ(s.text, QStringLiteral("There are no HL7 messages loaded to search through."));
        EXPECT_EQ(s.title, QStringLiteral("Quillon"));
    }
}

TEST(FindMessageWindow, ShowsItsTextsOnTopAndOKCloses)
{
    frmMsgBox box(QStringLiteral("No further occurances of 'x' were found."),
                  QStringLiteral("Record List Find"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Record List Find"));
    EXPECT_EQ(box.lblMessageBox->text(), QStringLiteral("No further occurances of 'x' were found."));
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    box.show();
    box.cmdOK->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(FindWindow, ExitWhileADialogWaitsEndsTheCommand)
{
    // As the program runs: the command starts from the window's event loop, and File > Exit is
    // chosen while the find dialog waits. The command and the loop end at once with nothing more
    // shown; a command still waiting after 5 s is cancelled and the loop ended otherwise.
    bool ended = false;
    DriveFindDialog(st, {[&](FindDialog&) { EXPECT_TRUE(ChooseMenuItem(w.mnuFileExit)); }});
    QTimer::singleShot(0, &w, [&] {
        w.mnuRecordListFind_Click();
        ended = true;
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (FindDialog* dialog = ShownFindDialog())
            dialog->cmdCommand[1]->click();
        QApplication::exit(1);
    });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(watchdog.isActive());
    EXPECT_TRUE(ended);
    EXPECT_TRUE(f.responder.shown().empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quillon::test
