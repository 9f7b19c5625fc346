// The filter commands in the main window: the modal dialog with its refusals and history, the
// records left and how they are shown, the three reports and the undo point.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>
#include <utility>

#include "TestSupport.h"
#include "app/WindowUtility.h"
#include "app/frmProgressIndicator.h"
#include "editing/FindDialog.h"
#include "editing/frmFilterRecords.h"

namespace quillon::test {
namespace {

using Shown = platform::ScriptedResponder::Shown;

// Works the filter dialog once it shows modally; a dialog still open after `step` is cancelled.
// Keep the result alive while the command runs.
std::unique_ptr<QTimer> DriveFilterDialog(std::function<void(frmFilterRecords&)> step,
                                          bool* shown = nullptr)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(5);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, step = std::move(step), shown] {
        auto* d = qobject_cast<frmFilterRecords*>(QApplication::activeModalWidget());
        if (!d)
            return;
        t->stop();
        if (shown)
            *shown = true;
        step(*d);
        if (d->isVisible())
            d->cmdCancel->click();
    });
    t->start();
    return timer;
}

class FilterWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        st.undo.UndoEnabled = true;
        st.dictionary.DescriptionKeys = {"MSH-9", "PID-3", "PID-5"};
        st.dictionary.Descriptions = {"Message Type", "Patient ID", "Patient Name"};
        st.dictionary.SegmentNames = {"MSH", "PID", "ZPI"};
        // 500 records (two pages); every third has a ZPI segment; PID-3 repeats, its second
        // repetition "R<i % 5>".
        std::string bytes;
        for (int i = 1; i <= 500; ++i)
            bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(i) + "|P|2.3\rPID|1||ID"
                     + std::to_string(i) + "~R" + std::to_string(i % 5) + "||DOE^JOHN\r"
                     + (i % 3 == 0 ? "ZPI|1|Z\r" : "");
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("five-hundred.hl7", bytes)));
        w.CurrentPage = 2;
        w.DisplayPage(w.CurrentPage);
        w.txtStartWithRecord->setText(QStringLiteral("3"));
        w.txtEndWithRecord->setText(QStringLiteral("9"));
        w.chkSendSelectedOnly->setChecked(false);
    }

    static void Apply(frmFilterRecords& d, const QString& text, const QString& segment = "all",
                      const QString& field = "")
    {
        d.cboFilterRecords->setEditText(text);
        d.SetSegment(segment);
        d.cboFieldFilter->setEditText(field);
        d.cmdApplyFilter->click();
    }
    std::vector<Shown> ShownSince(size_t from) const
    {
        const auto& all = f.responder.shown();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
    void ExpectFiltered(int32_t count)
    {
        EXPECT_EQ(st.records.RecordCount, count);
        EXPECT_EQ(w.CurrentPage, 1);
        EXPECT_EQ(w.lstRecords->count(), std::min(count, 400));
        EXPECT_EQ(w.lstRecords->currentRow(), 0);
        EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
        EXPECT_GT(w.lstFields->count(), 0);
        EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec 1/%1").arg(count));
        EXPECT_EQ(w.windowTitle().count(QStringLiteral(" - filtered")), 1);
        EXPECT_EQ(w.sFileName, QStringLiteral("filtered"));
        EXPECT_TRUE(w.txtStartWithRecord->text().isEmpty());
        EXPECT_TRUE(w.txtEndWithRecord->text().isEmpty());
        EXPECT_TRUE(w.chkSendSelectedOnly->isChecked());
    }
};

TEST_F(FilterWindow, RecordFilterShowsWhatIsLeftAndUndoRestores)
{
    const std::string first(st.records.Record(1));
    bool shown = false;
    auto drive = DriveFilterDialog(
        [&](frmFilterRecords& d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Filter Records"));
            EXPECT_FALSE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
            EXPECT_TRUE(d.optInclude[0]->isChecked());
            EXPECT_EQ(IsFormLoaded(w.frmFilterRecords), IsFormLoaded(&d));
            d.chkSegment->click();  // presence of ZPI
            EXPECT_FALSE(d.cboFilterRecords->isEnabled());
            EXPECT_TRUE(d.cboSegmentFilter->isEnabled());
            Apply(d, "", "ZPI");
        },
        &shown);
    w.mnuEditFilterRecordList->trigger();
    ASSERT_TRUE(shown);
    ExpectFiltered(166);
    EXPECT_EQ(w.tbarButtons[6]->toolTip(), QStringLiteral("Undo Filter ''"));

    // A second filter, from the record list's pop-up: delete the records whose PID-3 holds
    // "ID3", whole record, case ignored; the caption is marked once.
    drive = DriveFilterDialog([&](frmFilterRecords& d) {
        d.optInclude[1]->click();
        Apply(d, "id3", "PID", "PID-3");
    });
    w.mnuRecordListFilter_Click();
    // ID3, ID30-39 and ID300-399 that are multiples of 3.
    int32_t gone = 0;
    for (int i = 3; i <= 500; i += 3)
        gone += std::to_string(i).starts_with("3") ? 1 : 0;
    ExpectFiltered(166 - gone);
    EXPECT_EQ(st.settings.Get("Quillon", "cboFilterRecords", "0"), QStringLiteral("id3\tPID-3"));

    w.mnuEditUndo_Click();
    w.mnuEditUndo_Click();
    EXPECT_EQ(st.records.RecordCount, 500);
    EXPECT_EQ(st.records.Record(1), first);
}

TEST_F(FilterWindow, CancelInTheProgressWindowKeepsWhatWasDecided)
{
    const RecordStore before = st.records;
    // Cancel as soon as the progress window shows; the walk sees it at its first look.
    QTimer cancel;
    cancel.setInterval(0);
    bool cancelled = false;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (auto* p = qobject_cast<frmProgressIndicator*>(QApplication::activeModalWidget())) {
            cancel.stop();
            cancelled = true;
            p->cmdCancel->click();
        }
    });
    auto drive = DriveFilterDialog([&](frmFilterRecords& d) {
        cancel.start();
        Apply(d, "ZPI");  // keeps every third record
    });
    w.mnuEditFilterRecordList_Click();
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(st.session.ProgressCancelled);
    const int32_t count = st.records.RecordCount;
    ASSERT_GT(count, 166);
    ASSERT_LT(count, 500);
    ExpectFiltered(count);
    // What is left is the old records in order, less some without ZPI that all lie behind
    // every record without ZPI that stayed: the walk decides from the last record backwards.
    int32_t j = 0;
    int32_t lastKeptWithout = 0;
    int32_t firstRemoved = 0;
    for (int32_t i = 1; i <= count; ++i) {
        while (++j <= before.RecordCount && before.Record(j) != st.records.Record(i)) {
            ASSERT_EQ(before.Record(j).find("\rZPI"), std::string::npos) << j;
            firstRemoved = firstRemoved == 0 ? j : firstRemoved;
        }
        ASSERT_LE(j, before.RecordCount) << "record " << i << " is not an old one in order";
        if (before.Record(j).find("\rZPI") == std::string::npos)
            lastKeptWithout = j;
    }
    EXPECT_LT(lastKeptWithout, firstRemoved);
    EXPECT_EQ(w.lstRecords->item(0)->text().toLatin1().toStdString(), before.Record(1));
    w.mnuEditUndo_Click();
    EXPECT_EQ(st.records.RecordCount, 500);
}

TEST_F(FilterWindow, ReportsWhenNothingOrEverythingWouldGo)
{
    struct Run {
        bool keep;
        QString text;
        QString title;
        QString message;
        bool undoPoint;
    };
    const Run runs[] = {
        {true, "NOWHERE", "No Records Matched Filter",
         "Based upon your criteria, all records would be deleted.  Therefore the record list "
         "will not be changed.",
         false},
        {false, "", "No Records Matched Filter",
         "Based upon your criteria, all records would be deleted.  Therefore the record list "
         "will not be changed.",
         false},
        {true, "ADT", "No Records Filtered Out",
         "All records matched the filter requirements.  No records were deleted.", true},
    };
    for (const Run& run : runs) {
        const int16_t level = st.undo.UndoLevel;
        const size_t boxes = f.responder.shown().size();
        auto drive = DriveFilterDialog([&](frmFilterRecords& d) {
            d.optInclude[run.keep ? 0 : 1]->click();
            Apply(d, run.text);
        });
        w.mnuEditFilterRecordList_Click();
        const auto shown = ShownSince(boxes);
        ASSERT_EQ(shown.size(), 1u) << run.text.toStdString();
        EXPECT_EQ(shown[0].title, run.title);
        EXPECT_EQ(shown[0].text, run.message);
        EXPECT_EQ(st.records.RecordCount, 500);
        EXPECT_EQ(w.CurrentPage, 2);
        EXPECT_EQ(w.txtStartWithRecord->text(), QStringLiteral("3"));
        EXPECT_EQ(st.undo.UndoLevel != level, run.undoPoint) << run.text.toStdString();
        EXPECT_FALSE(w.windowTitle().contains(QStringLiteral("filtered")));
    }
}

TEST_F(FilterWindow, NoUndoPointNoFilter)
{
    // A file where the undo folder should be: the copy cannot be written.
    st.folders.TempFolder = f.WriteFile("not-a-folder", "x") + QStringLiteral("/");
    const size_t boxes = f.responder.shown().size();
    auto drive = DriveFilterDialog([&](frmFilterRecords& d) { Apply(d, "ZPI"); });
    w.mnuEditFilterRecordList_Click();
    ASSERT_EQ(ShownSince(boxes).size(), 1u);
    EXPECT_TRUE(
        ShownSince(boxes)[0].text.startsWith(QStringLiteral("The undo point could not be saved")));
    EXPECT_EQ(st.records.RecordCount, 500);
    EXPECT_EQ(w.lstRecords->count(), 100);  // page 2 as it was
    EXPECT_FALSE(w.windowTitle().contains(QStringLiteral("filtered")));
}

TEST_F(FilterWindow, DialogRefusesAndKeepsItsHistory)
{
    for (int k = 0; k < 10; ++k)
        st.settings.Save(
            "Quillon", "cboFilterRecords", QString::number(k),
            k == 7 ? QStringLiteral("old\tPID- 5      Patient Name\tWHOLE WORD") : QString());
    const int16_t level = st.undo.UndoLevel;
    auto drive = DriveFilterDialog([&](frmFilterRecords& d) {
        ASSERT_EQ(d.cboFilterRecords->count(), 1);  // keys 0 to 9 are read
        ChooseFromList(d.cboFilterRecords, 0);
        EXPECT_EQ(d.cboFilterRecords->currentText(), QStringLiteral("old"));
        EXPECT_EQ(d.cboSegmentFilter->currentText(), QStringLiteral("PID"));
        EXPECT_EQ(d.cboFieldFilter->currentText(), QStringLiteral("PID- 5      Patient Name"));
        EXPECT_TRUE(d.chkMatchWholeWordOnly->isChecked());
        EXPECT_FALSE(d.chkMatchCase->isChecked());

        size_t boxes = f.responder.shown().size();
        d.chkSegment->click();
        Apply(d, "x", "all");
        ASSERT_EQ(ShownSince(boxes).size(), 1u);
        EXPECT_EQ(ShownSince(boxes)[0].title, QStringLiteral("Invalid Segment Name"));
        EXPECT_EQ(
            ShownSince(boxes)[0].text,
            QStringLiteral(
                "You can not use 'all' as the segment when searching for a particular segment."));
        EXPECT_TRUE(d.isVisible());

        boxes = f.responder.shown().size();
        d.chkSegment->click();
        Apply(d, "x", "PID", "PID-99");
        ASSERT_EQ(ShownSince(boxes).size(), 1u);
        EXPECT_EQ(ShownSince(boxes)[0].title, QStringLiteral("Bad Field Name"));
        EXPECT_EQ(ShownSince(boxes)[0].text,
                  QStringLiteral("That is not a valid field in segment \"PID\""));
        EXPECT_EQ(st.editing.filter.FilterText, "{CANCEL-THE-FILTER}");
        EXPECT_TRUE(d.isVisible());
        // Leaves through Cancel.
    });
    w.mnuEditFilterRecordList_Click();
    EXPECT_EQ(st.records.RecordCount, 500);
    EXPECT_EQ(st.undo.UndoLevel, level);
    EXPECT_FALSE(w.frmFilterRecords);

    // An empty text still writes keys 0 to 4 from the list.
    drive = DriveFilterDialog([&](frmFilterRecords& d) {
        Apply(d, "");
        d.cmdCancel->click();
    });
    w.mnuEditFilterRecordList_Click();
    EXPECT_EQ(st.settings.Get("Quillon", "cboFilterRecords", "0"),
              QStringLiteral("old\tPID- 5      Patient Name\tWHOLE WORD"));
    EXPECT_EQ(st.settings.Get("Quillon", "cboFilterRecords", "7"),
              QStringLiteral("old\tPID- 5      Patient Name\tWHOLE WORD"));  // never written
}

// The history boxes of Filter and Find, typed into as a user does (keys go where a user's go:
// into the pop-up list while it shows). The text stays exactly as typed, however a history line
// begins; the lines that start with it are offered in a pop-up list, and a line picked there with
// the keys or the mouse brings back its field and options. Return presses the dialog's button.
TEST_F(FilterWindow, HistoryBoxesKeepTheTypedTextAndOfferTheLinesToPick)
{
    const QString lines[] = {QStringLiteral("ADTX\tall"),
                             QStringLiteral("adtx\tPID- 3      PATIENT ID\tMATCH CASE")};
    for (const QString section : {"cboFilterRecords", "cboFindRecords"})
        for (int k = 0; k < 2; ++k)
            st.settings.Save("Quillon", section, QString::number(k), lines[k]);
    enum class Pick { None, Keys, Mouse, KeysThenEscape };
    const struct {
        const char* what;
        bool matchCase;  // clicked on before typing
        QString typed;
        QStringList offered;  // the lines listed as typing ends (not looked at when empty)
        Pick pick;
        QString picked;  // the find text of the line picked
        std::string text, field;
        bool matchCaseAsked;
    } cases[] = {
        {"a start typed", false, "ADT", {"ADTX", "adtx"}, Pick::None, "", "ADT", "", false},
        {"a line highlighted, then Escape", false, "ADT", {}, Pick::KeysThenEscape, "ADTX", "ADT", "", false},
        {"a start in another letter case", false, "adt", {}, Pick::None, "", "adt", "", false},
        {"with Match case", true, "ADT", {}, Pick::None, "", "ADT", "", true},
        {"a line picked with keys", false, "adt", {}, Pick::Keys, "adtx", "adtx", "PID-3", true},
        {"a line picked with the mouse", false, "a", {}, Pick::Mouse, "ADTX", "ADTX", "", false},
    };
    // Works the dialog through its box, Match case and window; `asked` reads the request.
    auto work = [&](const auto& c, QComboBox* box, QCheckBox* matchCase,
                    std::function<void(std::string&, std::string&, bool&)> asked) {
        QWindow* window = box->window()->windowHandle();
        if (c.matchCase)
            QTest::mouseClick(matchCase, Qt::LeftButton, {}, QPoint(6, matchCase->height() / 2));
        ClickInto(box);
        ASSERT_TRUE(box->lineEdit()->hasFocus());
        for (const QChar ch : c.typed)
            QTest::keyClick(window, ch.toLatin1());
        EXPECT_EQ(box->currentText(), c.typed);
        QAbstractItemView* list = box->completer()->popup();
        ASSERT_TRUE(list->isVisible());
        QStringList offered;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            offered << list->model()->index(row, 0).data().toString();
        if (!c.offered.isEmpty()) {
            EXPECT_EQ(offered, c.offered);
        }
        if (c.pick != Pick::None) {
            const int row = static_cast<int>(offered.indexOf(c.picked));
            ASSERT_GE(row, 0);
            if (c.pick != Pick::Mouse) {
                for (int i = 0; i <= row; ++i)
                    QTest::keyClick(window, Qt::Key_Down);
                EXPECT_EQ(box->currentText(), c.picked);  // the highlighted line shows
                QTest::keyClick(window, c.pick == Pick::Keys ? Qt::Key_Return : Qt::Key_Escape);
            } else {
                const QModelIndex item = list->model()->index(row, 0);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(item).center());
            }
            EXPECT_FALSE(list->isVisible());
            EXPECT_TRUE(box->isVisible());
            EXPECT_EQ(box->currentText(), c.pick == Pick::KeysThenEscape ? c.typed : c.picked);
            EXPECT_EQ(matchCase->isChecked(), c.matchCaseAsked);
        }
        QTest::keyClick(window, Qt::Key_Return);
        std::string text, field;
        bool matchCaseAsked = false;
        asked(text, field, matchCaseAsked);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(field, c.field);
        EXPECT_EQ(matchCaseAsked, c.matchCaseAsked);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            SCOPED_TRACE("Filter");
            bool applied = false;
            auto drive = DriveFilterDialog([&](frmFilterRecords& d) {
                work(c, d.cboFilterRecords, d.chkMatchCase,
                     [&](std::string& text, std::string& field, bool& matchCase) {
                         applied = !d.isVisible();
                         text = st.editing.filter.FilterText;
                         field = st.editing.filter.FilterFieldName;
                         matchCase = st.search.MatchCase;
                     });
            });
            w.mnuEditFilterRecordList_Click();
            EXPECT_TRUE(applied);
        }
        bool found = false;
        const auto askedFind = [&](std::string& text, std::string& field, bool& matchCase) {
            found = st.search.SearchDialogDone;
            text = st.search.FindText;
            field = st.search.FindFieldName;
            matchCase = st.search.MatchCase;
        };
        {
            SCOPED_TRACE("Find");
            DriveFindDialog(st, {[&](FindDialog& d) {
                                d.cboFindRecords->setEditText(QString());
                                d.cboSegmentFind->setEditText(QStringLiteral("all"));
                                d.chkMatchCase->setChecked(false);
                                st.search.FindText = "unchanged";
                                work(c, d.cboFindRecords, d.chkMatchCase, askedFind);
                            }});
            w.mnuRecordListFind_Click();
            EXPECT_TRUE(std::exchange(found, false));
        }
        if (c.pick == Pick::KeysThenEscape) {
            SCOPED_TRACE("Find in Field List");  // its history: "ADTX", found first
            w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            w.lstRecords_Click();
            DriveFindDialog(st, {[&](FindDialog& d) {
                                     d.cboFindFields->setEditText(QStringLiteral("ADTX"));
                                     d.cmdCommand[0]->click();
                                 },
                                 [&](FindDialog& d) {
                                     d.cboFindFields->setEditText(QString());
                                     work(c, d.cboFindFields, d.chkMatchCase, askedFind);
                                 }});
            w.mnuFieldListFind_Click();
            EXPECT_TRUE(found);
        }
    }
    EXPECT_EQ(st.records.RecordCount, 500);
    // The lines are kept whole, in the settings' format.
    for (const QString section : {"cboFilterRecords", "cboFindRecords"}) {
        EXPECT_EQ(st.settings.Get("Quillon", section, "0"), QStringLiteral("ADTX\tall"));
        EXPECT_EQ(st.settings.Get("Quillon", section, "1"), lines[1]);
        EXPECT_EQ(st.settings.Get("Quillon", section, "2"), QStringLiteral("ADT\tall\tMATCH CASE"));
    }
}

TEST_F(FilterWindow, FilterByThisFieldPresetsTheDialogAndReadsTheRepetition)
{
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    w.lstRecords->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);  // record 3: R3
    w.lstRecords_Click();
    auto selectLine = [&](const QString& head) {
        for (int j = 0; j < w.lstFields->count(); ++j)
            if (w.lstFields->item(j)->text().startsWith(head)) {
                w.lstFields->setCurrentRow(j, QItemSelectionModel::ClearAndSelect);
                return true;
            }
        return false;
    };
    ASSERT_TRUE(selectLine("PID-3(2)"));
    bool shown = false;
    auto drive = DriveFilterDialog(
        [&](frmFilterRecords& d) {
            EXPECT_EQ(d.cboFilterRecords->currentText(), QStringLiteral("R3"));
            EXPECT_EQ(d.cboSegmentFilter->currentText(), QStringLiteral("PID"));
            EXPECT_EQ(d.cboFieldFilter->currentText(), QStringLiteral("PID- 3      Patient ID"));
            d.chkSegment->click();  // does not make it a presence filter
            d.cmdApplyFilter->click();
        },
        &shown);
    w.mnuFieldListFilterByThisField->trigger();
    ASSERT_TRUE(shown);
    EXPECT_EQ(st.editing.FilterRepetition, "(2)");
    ExpectFiltered(100);
    for (int32_t i = 1; i <= st.records.RecordCount; ++i)
        ASSERT_NE(st.records.Record(i).find("~R3|"), std::string::npos) << i;

    // Delete mode when every record holds the value: the records stay, the message says so.
    ASSERT_TRUE(selectLine("PID-3(2)"));
    const size_t boxes = f.responder.shown().size();
    drive = DriveFilterDialog([&](frmFilterRecords& d) {
        d.optInclude[1]->click();
        d.cmdApplyFilter->click();
    });
    w.mnuFieldListFilterByThisField_Click();
    ASSERT_EQ(ShownSince(boxes).size(), 1u);
    EXPECT_EQ(
        ShownSince(boxes)[0].text,
        QStringLiteral("No records were found which do not contain 'R3'.  Therefore the record "
                       "list will not be changed."));
    EXPECT_EQ(st.records.RecordCount, 100);

    // Lines that name no field do nothing.
    ASSERT_TRUE(selectLine("MSH-1 "));
    shown = false;
    drive = DriveFilterDialog([](frmFilterRecords&) {}, &shown);
    w.mnuFieldListFilterByThisField_Click();
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(FilterWindow, FilterByThisFieldPresetsTheValueFromItsColumn)
{
    // A description longer than its column is cut there and keeps no "]".
    st.dictionary.DescriptionKeys.insert(st.dictionary.DescriptionKeys.begin(), "MSH-10");
    st.dictionary.Descriptions.insert(st.dictionary.Descriptions.begin(),
                                      "Message Control ID as the sending system gave it");
    for (const bool descriptions : {true, false}) {
        SCOPED_TRACE(descriptions);
        w.mnuOptionsDisplayFieldDescriptions->setChecked(descriptions);
        w.CurrentPage = 1;
        w.DisplayPage(w.CurrentPage);
        w.lstRecords->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);  // record 3
        w.lstRecords_Click();
        int row = 0;
        while (row < w.lstFields->count() && !w.lstFields->item(row)->text().startsWith("MSH-10 "))
            ++row;
        ASSERT_LT(row, w.lstFields->count());
        QString text, field;
        auto drive = DriveFilterDialog([&](frmFilterRecords& d) {
            text = d.cboFilterRecords->currentText();
            field = d.cboFieldFilter->currentText();
        });
        ASSERT_TRUE(ChooseFieldListMenuItem(w, row, w.mnuFieldListFilterByThisField));
        EXPECT_EQ(text, QStringLiteral("3"));
        EXPECT_TRUE(field.startsWith(QStringLiteral("MSH-10 "))) << field.toStdString();
        EXPECT_EQ(st.records.RecordCount, 500);  // cancelled
    }
}

TEST_F(FilterWindow, NoFilterWhileTheRecordFindShows)
{
    DriveFindDialog(st, {[&](FindDialog&) {
                        bool shown = false;
                        auto drive = DriveFilterDialog([](frmFilterRecords&) {}, &shown);
                        w.mnuEditFilterRecordList_Click();
                        w.tbarTools_ButtonClick(12);
                        QApplication::processEvents();
                        EXPECT_FALSE(shown);
                    }});
    w.mnuRecordListFind_Click();
    EXPECT_EQ(st.records.RecordCount, 500);
}

}  // namespace
}  // namespace quillon::test
