#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "TestSupport.h"
#include "editing/FindDialog.h"
#include "app/Layout.h"
#include "app/ListBox.h"
#include "app/TraceLog.h"
#include "files/frmAdministration.h"

namespace quillon::test {
namespace {

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(f.state.settings.Open(f.home.filePath(QStringLiteral("Quillon.settings"))));
    }
    void LoadRecords(int n)
    {
        std::string bytes;
        for (int i = 1; i <= n; ++i)
            bytes += "MSH|^~\\&|A|" + std::to_string(i) + "\rPID|1||" + std::to_string(i) + "\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("r.hl7", bytes)));
    }
    static void SelectOnly(ListBox* list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int r : rows)
            list->item(r)->setSelected(true);
    }
    QString Setting(const QString& section, const QString& key = QStringLiteral("0"))
    {
        return f.state.settings.Get(QStringLiteral("Quillon"), section, key, QStringLiteral("?"));
    }
    MainWindowFixture f;
    frmMain& w = *f.window;
};

TEST_F(MenusTest, CopyPutsTheSelectedLinesInListOrderEachEndedByCrLf)
{
    LoadRecords(3);
    for (ListBox* list : {w.lstRecords, w.lstSegments, w.lstFields}) {
        SCOPED_TRACE(list->objectName().toStdString());
        ASSERT_GE(list->count(), 2);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        SelectOnly(list, {1, 0});
        w.CopySelectedLines(list);
        EXPECT_EQ(QApplication::clipboard()->text(),
                  list->item(0)->text() + "\r\n" + list->item(1)->text() + "\r\n");
    }
}

TEST_F(MenusTest, CopyWithNothingSelectedSaysSoAndKeepsTheClipboard)
{
    LoadRecords(2);
    const struct {
        ListBox* list;
        const char *text, *title;
    } cases[] = {
        {w.lstRecords, "There are no records selected to copy.", "No Records Selected"},
        {w.lstSegments, "There are no segments selected to copy.", "No Segments Selected"},
        {w.lstFields, "There are no fields selected to copy.", "No Fields Selected"},
    };
    for (const auto& c : cases) {
        f.responder.Clear();
        QApplication::clipboard()->setText(QStringLiteral("kept"));
        c.list->clearSelection();
        w.CopySelectedLines(c.list);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_EQ(f.responder.shown()[0].text, QLatin1String(c.text));
        EXPECT_EQ(f.responder.shown()[0].title, QLatin1String(c.title));
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
    }
}

TEST_F(MenusTest, CtrlCInAListCopiesTheListInUse)
{
    LoadRecords(2);
    SelectOnly(w.lstSegments, {1});
    SelectOnly(w.lstRecords, {0});
    // The segment list was clicked last; Ctrl+C in the record list still copies the segments.
    w.SetFocusToList(QStringLiteral("lstSegments"));
    QTest::keyClick(w.lstRecords, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), w.lstSegments->item(1)->text() + "\r\n");
}

TEST_F(MenusTest, ClickingAListSetsTheToolbarCaptions)
{
    const struct {
        const char* list;
        bool records, captions, printLocked;
        const char *print, *find;
        bool printEnabled;
    } cases[] = {
        {"lstRecords", true, true, false, "Rec(s)", "Rec(s)", true},
        {"lstSegments", true, true, false, "Seg(s)", "Rec(s)", true},
        {"lstFields", true, true, false, "Field(s)", "Field(s)", true},
        {"lstFields", true, false, false, "", "", true},         // captions hidden
        {"lstFields", true, true, true, "Rec(s)", "Rec(s)", false},  // printing locked
        {"lstFields", false, true, false, "Print", "Rec(s)", false},  // nothing loaded
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + (c.records ? " records" : " empty")
                     + (c.captions ? " captions" : "") + (c.printLocked ? " locked" : ""));
        MainWindowFixture g;
        frmMain& v = *g.window;
        if (c.records) {
            ASSERT_TRUE(v.LoadHL7File(g.WriteFile("r.hl7", "MSH|^~\\&|A\r")));
        }
        if (!c.captions)
            v.mnuOptionsDisplayButtonCaptions_Click();
        v.st.session.AdminSwitches[AdminPrint] = c.printLocked;
        v.SetFocusToList(QLatin1String(c.list));
        EXPECT_EQ(v.tbarButtons[4]->text(), QLatin1String(c.print));
        EXPECT_EQ(v.tbarButtons[13]->text(), QLatin1String(c.find));
        EXPECT_EQ(v.tbarButtons[4]->isEnabled(), c.printEnabled);
        EXPECT_EQ(v.st.session.FocusedListName, QLatin1String(c.list));
    }
}

TEST_F(MenusTest, FocusMovesCtrlFBetweenTheFindItems)
{
    LoadRecords(2);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(w.lstFields, &in);
    EXPECT_TRUE(w.mnuEditFindInFieldList->text().endsWith(QLatin1String("\tCtrl+F")));
    EXPECT_FALSE(w.mnuEditFindInRecordList->text().contains(QLatin1String("Ctrl+F")));
    // Ctrl+F opens the find dialog of the item that carries it.
    QString opened;
    const auto ctrlF = [&] {
        opened.clear();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        DriveFindDialog(f.state, {[&](FindDialog& d) { opened = d.objectName(); }});
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        return opened;
    };
    EXPECT_EQ(ctrlF(), QStringLiteral("frmFindInFieldList"));
    QApplication::sendEvent(w.lstRecords, &in);
    EXPECT_TRUE(w.mnuEditFindInRecordList->text().endsWith(QLatin1String("\tCtrl+F")));
    EXPECT_EQ(ctrlF(), QStringLiteral("frmFindInRecordList"));
}

TEST_F(MenusTest, PopUpMenusFollowTheirRules)
{
    // An empty list offers no menu.
    QTest::mouseClick(w.lstRecords->viewport(), Qt::RightButton);
    EXPECT_FALSE(w.mnuRecordList->isVisible());

    LoadRecords(2);
    QTest::mouseClick(w.lstRecords->viewport(), Qt::RightButton);
    EXPECT_TRUE(w.mnuRecordList->isVisible());
    w.mnuRecordList->hide();

    // A blank line of the field list: the items that need a field are disabled.
    w.lstFields->addItem(QStringLiteral("   "));
    const int blank = w.lstFields->count() - 1;
    w.lstFields->setCurrentRow(blank);
    QTest::mouseClick(w.lstFields->viewport(), Qt::RightButton, {}, QPoint(2, 2));
    w.lstFields->setCurrentRow(blank);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w.lstFields->viewport(), &release);
    EXPECT_TRUE(w.mnuFieldList->isVisible());
    for (QAction* a : {w.mnuFieldListEdit, w.mnuFieldListLockFieldLocation, w.mnuFieldListCopy,
                       w.mnuFieldListUniqueValues, w.mnuFieldListFilterByThisField,
                       w.mnuFieldListCreateView})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(w.mnuFieldListFind->isEnabled());
    w.mnuFieldList->hide();

    // Ctrl+Shift+Home needs a selected record.
    w.lstRecords->clearSelection();
    QTest::keyClick(w.lstRecords, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    w.lstRecords->clearSelection();
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(w.lstRecords, &up);
    EXPECT_FALSE(w.mnuCtrlShiftHome->isVisible());
    SelectOnly(w.lstRecords, {1});
    QApplication::sendEvent(w.lstRecords, &up);
    EXPECT_TRUE(w.mnuCtrlShiftHome->isVisible());
    w.mnuCtrlShiftHome->hide();
}

TEST_F(MenusTest, AdministrationSwitchesReachTheMenusAndToolbar)
{
    const struct {
        std::vector<AdminSwitch> on;
        bool records;
        std::vector<QAction*> enabled, disabled;
        int client;  // the selected mode afterwards: 0 client, 1 server
    } cases[] = {
        {{}, false,
         {w.mnuFileOpen, w.tbarButtons[2], w.mnuFileFTPReceive, w.tbarButtons[8], w.mnuFilePrint,
          w.mnuTCPIPShowFrame},
         {w.mnuFileSave, w.mnuFileSaveNow, w.mnuFileFTPSend, w.tbarButtons[3], w.tbarButtons[4],
          w.tbarButtons[9]},
         0},
        {{AdminFtpGet, AdminFtpPut}, true, {}, {w.mnuFTP, w.mnuFileFTPReceive, w.mnuFileFTPSend,
                                               w.tbarButtons[8], w.tbarButtons[9]}, 0},
        {{AdminTcpClient}, false, {w.mnuTCPIPShowFrame, w.tbarButtons[10]}, {}, 1},
        {{AdminTcpClient, AdminTcpServer}, false, {}, {w.mnuTCPIPShowFrame, w.tbarButtons[10]}, 1},
        {{AdminPrint}, true, {w.tbarButtons[3]}, {w.mnuFilePrint, w.tbarButtons[4]}, 1},
        {{AdminTcpServer}, true, {w.tbarButtons[4]}, {}, 0},
    };
    LoadRecords(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on.size());
        if (!c.records)
            w.lstRecords->clear();
        else if (w.lstRecords->count() == 0)
            w.lstRecords->addItem(QStringLiteral("MSH"));
        w.st.session.AdminSwitches = {};
        for (AdminSwitch s : c.on)
            w.st.session.AdminSwitches[s] = true;
        w.SetMenuAndToolbarState();
        for (QAction* a : c.enabled)
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
        for (QAction* a : c.disabled)
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        EXPECT_TRUE(w.optClientOrServer[static_cast<size_t>(c.client)]->isChecked());
    }
}

TEST_F(MenusTest, AdministrationWindowNeedsTheExactPassword)
{
    f.state.session.AdminSwitches[AdminFtpPut] = true;
    int applied = 0;
    frmAdministration admin(f.state, [&] { ++applied; });
    EXPECT_TRUE(admin.chkDisable[AdminFtpPut]->isChecked());
    EXPECT_FALSE(admin.chkDisable[AdminPrint]->isChecked());
    EXPECT_FALSE(admin.cmdCommand[0]->isEnabled());
    admin.txtPassword->setText(QStringLiteral("Lantern"));
    EXPECT_FALSE(admin.cmdCommand[0]->isEnabled());
    admin.txtPassword->setText(QStringLiteral("lantern"));
    admin.txtPassword->setText(QStringLiteral("lanter"));
    EXPECT_TRUE(admin.cmdCommand[0]->isEnabled());  // stays enabled once typed

    admin.chkDisable[AdminPrint]->setChecked(true);
    admin.chkDisable[AdminFtpPut]->setChecked(false);
    admin.cmdCommand[1]->click();
    EXPECT_EQ(applied, 0);
    EXPECT_TRUE(f.state.session.AdminSwitches[AdminFtpPut]);

    admin.cmdCommand[0]->click();
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(f.state.session.AdminSwitches[AdminPrint]);
    EXPECT_FALSE(f.state.session.AdminSwitches[AdminFtpPut]);
}

TEST_F(MenusTest, FileAndToolsMenusFollowTheRecordsAndTheLog)
{
    w.mnuFile_Click();
    for (QAction* a : {w.mnuFileSave, w.mnuFileSaveNow, w.mnuFilePrint, w.mnuFileFTPSend})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(w.mnuFileNew->isEnabled());
    EXPECT_TRUE(w.mnuFileExit->isEnabled());

    w.mnuTools_Click();
    EXPECT_FALSE(w.mnuToolsSortMSH7->isEnabled());
    EXPECT_FALSE(w.mnuToolsViewTheLog->isEnabled());
    EXPECT_FALSE(w.mnuToolsDeleteTheLog->isEnabled());
    EXPECT_EQ(w.mnuToolsViewTheLog->text(), QStringLiteral("&View the Log"));

    LoadRecords(1);
    WriteBytes(CurrentLogFilePath(f.state), std::string(1500, 'x'));
    w.mnuTools_Click();
    EXPECT_TRUE(w.mnuToolsSortMSH7->isEnabled());
    EXPECT_TRUE(w.mnuToolsDeleteTheLog->isEnabled());
    EXPECT_EQ(w.mnuToolsViewTheLog->text(), QStringLiteral("&View the Log  [ 2 KB ]"));

    const struct {
        qint64 bytes;
        const char* kb;
    } sizes[] = {{0, "0"}, {1, "1"}, {2500, "3"}, {3500, "4"}, {1234567, "1,235"}};
    for (const auto& c : sizes)
        EXPECT_EQ(frmMain::LogSizeCaption(c.bytes),
                  QStringLiteral("&View the Log  [ %1 KB ]").arg(QLatin1String(c.kb)));
}

TEST_F(MenusTest, FtpMenuFollowsTheRecordsAndSwitchesAsItOpens)
{
    QMenu* ftp = w.mnuFTP->menu();
    const struct {
        const char* name;
        std::function<void()> before;
        std::vector<AdminSwitch> on;
        bool get, put;
    } cases[] = {
        {"start-up", [] {}, {}, true, false},
        {"loaded", [&] { LoadRecords(1); }, {}, true, true},
        {"put switched off", [] {}, {AdminFtpPut}, true, false},
        {"get switched off", [] {}, {AdminFtpGet}, false, true},
        {"records gone", [&] { w.lstRecords->clear(); }, {}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        w.st.session.AdminSwitches = {};
        for (AdminSwitch s : c.on)
            w.st.session.AdminSwitches[s] = true;
        ftp->popup(QPoint(0, 0));
        EXPECT_EQ(w.mnuFTPReceive->isEnabled(), c.get);
        EXPECT_EQ(w.mnuFTPSend->isEnabled(), c.put);
        ftp->hide();
    }
}

TEST_F(MenusTest, SaveButtonAsksForANameForReceivedOrPastedRecords)
{
    LoadRecords(1);
    const struct {
        const char* caption;
        bool saveAs;
    } cases[] = {
        {"Quillon - TCP/IP Server", true},
        {"Quillon - data pasted from clipboard", true},
        {"Quillon - FTP Get - host", true},
        {"Quillon - r.hl7", false},
    };
    f.state.session.CurrentFileName = f.home.filePath(QStringLiteral("r.hl7"));
    for (const auto& c : cases) {
        f.responder.Clear();
        w.setWindowTitle(QLatin1String(c.caption));
        w.tbarTools_ButtonClick(3);
        EXPECT_EQ(f.responder.fileDialogs().size(), c.saveAs ? 1u : 0u) << c.caption;
    }
}

TEST_F(MenusTest, ToolbarCaptionsAndToolbarToggle)
{
    w.SetFocusToList(QStringLiteral("lstFields"));
    w.mnuOptionsDisplayButtonCaptions_Click();
    for (int b : {1, 4, 10, 13, 16})
        EXPECT_TRUE(w.tbarButtons[static_cast<size_t>(b)]->text().isEmpty());
    w.mnuOptionsDisplayButtonCaptions_Click();
    EXPECT_EQ(w.tbarButtons[13]->text(), QStringLiteral("Rec(s)"));
    EXPECT_EQ(w.tbarButtons[4]->text(), QStringLiteral("Print"));

    w.show();
    w.mnuOptionsDisplayToolbar_Click();
    EXPECT_FALSE(w.tbarTools->isVisible());
    w.resize(TwipsToPixels(6000), w.height());
    w.mnuOptionsDisplayToolbar_Click();
    EXPECT_TRUE(w.tbarTools->isVisible());
    EXPECT_GE(PixelsToTwips(w.frameGeometry().width()), 8850 - TwipsPerPixel);
}

// Each button shows an image, with the captions on and off, and names its command in its tooltip;
// the toolbar stays clear of the lists;
// Print and Find, whose captions can both read "Rec(s)", have different images.
TEST_F(MenusTest, ToolbarButtonsShowAnImageAndATooltip)
{
    w.show();
    QAction* captions = w.mnuOptionsDisplayButtonCaptions;
    auto* options = qobject_cast<QMenu*>(captions->parent());
    ASSERT_TRUE(options);
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "captions on" : "captions off");
        options->popup(w.mapToGlobal(QPoint(0, 0)));
        QTest::mouseClick(options, Qt::LeftButton, {}, options->actionGeometry(captions).center());
        ASSERT_EQ(captions->isChecked(), shown);
        QCoreApplication::processEvents();  // the window lays the toolbar out again
        // The images leave the segment list wholly below the toolbar.
        EXPECT_GT(w.lstSegments->mapTo(&w, QPoint(0, 0)).y(), w.tbarTools->geometry().bottom());
        for (int b = 1; b <= 18; ++b) {
            QAction* button = w.tbarButtons[static_cast<size_t>(b)];
            if (!button)
                continue;
            SCOPED_TRACE(b);
            EXPECT_FALSE(button->icon().isNull());
            EXPECT_FALSE(button->toolTip().isEmpty());
            auto* tool = qobject_cast<QToolButton*>(w.tbarTools->widgetForAction(button));
            ASSERT_TRUE(tool);
            EXPECT_NE(tool->toolButtonStyle(), Qt::ToolButtonTextOnly);
            EXPECT_EQ(tool->text().isEmpty(), !shown && b != 18);
        }
    }
    const QSize size = w.tbarTools->iconSize();
    EXPECT_NE(w.tbarButtons[4]->icon().pixmap(size).toImage(),
              w.tbarButtons[13]->icon().pixmap(size).toImage());
}

TEST_F(MenusTest, EnvelopeAndRecentFileOptionsAreStoredAtOnce)
{
    w.mnuOptionsDiskEnvelopeChars_Click(true);
    EXPECT_TRUE(f.state.options.DiskUseEnvelope);
    EXPECT_TRUE(w.mnuOptionsDiskEnvelopeCharsYes->isChecked());
    EXPECT_FALSE(w.mnuOptionsDiskEnvelopeCharsNo->isChecked());
    EXPECT_EQ(Setting(QStringLiteral("DiskUseEnvelope")), QStringLiteral("True"));
    w.mnuOptionsFTPEnvelopeChars_Click(false);
    EXPECT_EQ(Setting(QStringLiteral("FtpUseEnvelope")), QStringLiteral("False"));

    for (const char* name : {"a.hl7", "b.hl7", "c.hl7", "d.hl7"})
        w.AddToMRUList(f.home.filePath(QLatin1String(name)));
    w.SaveMRUList();
    w.mnuOptionsUseMFU_Click();
    EXPECT_FALSE(w.mnuOptionsUseMFU->isChecked());
    EXPECT_EQ(w.MRUCount, -1);
    for (QAction* entry : w.mnuMRU) {
        EXPECT_FALSE(entry->isVisible());
        EXPECT_TRUE(entry->text().isEmpty());
    }
    EXPECT_FALSE(w.mnuDash2->isVisible());
    for (int key = 0; key <= 4; ++key)
        EXPECT_EQ(Setting(QStringLiteral("MRUFiles"), QString::number(key)), QString());
}

TEST_F(MenusTest, FontDialogChangesTheListsAndCancelKeepsThem)
{
    LoadRecords(2);
    const QFont before = w.lstRecords->font();
    w.mnuOptionsSelectFont_Click();  // cancelled
    EXPECT_EQ(w.lstFields->font(), before);
    ASSERT_EQ(f.responder.fontDialogs().size(), 1u);
    EXPECT_EQ(f.responder.fontDialogs()[0].name, before.family());

    f.responder.QueueFont(platform::FontChoice{QStringLiteral("DejaVu Sans Mono"), true, false, 12});
    w.mnuOptionsSelectFont_Click();
    for (ListBox* list : {w.lstRecords, w.lstSegments, w.lstFields}) {
        EXPECT_TRUE(list->font().bold());
        EXPECT_EQ(list->font().pointSizeF(), 12);
    }
    EXPECT_GT(w.lstFields->count(), 0);
}

// Where the segment list draws character `k` (1-based) of row `row`, `scroll` pixels scrolled.
QPoint CharacterPoint(ListBox* list, int row, int k, int leftAtNoScroll)
{
    const QString text = list->item(row)->text();
    const QFontMetricsF metrics(list->font());
    const double width = metrics.horizontalAdvance(text) / text.size();
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const int x = leftAtNoScroll + margin + static_cast<int>((k - 0.5) * width)
                  - list->horizontalScrollBar()->value();
    return {x, list->visualItemRect(list->item(row)).center().y()};
}

TEST_F(MenusTest, SegmentTooltipNamesTheFieldUnderThePointer)
{
    auto& dict = f.state.dictionary;
    dict.DescriptionKeys = {"MSH-9", "PID-3", "PID-3-1", "PID-4", "PID-8"};
    dict.Descriptions = {"Message Type", "Patient ID", "ID", "Alternate Patient ID", "Sex"};
    dict.DataDescKeys = {"PID-3-1=a", "PID-8=F"};
    dict.DataDescDescriptions = {"First id", "Female"};
    const std::string longLine = "ZZZ|" + std::string(10001, 'x');
    const struct {
        std::string line;
        int at;  // 1-based character under the pointer
        const char* tip;
    } cases[] = {
        {"MSH|^~\\&|A|B|C|D|||ADT^A01", 22, "MSH-9 [Message Type]"},
        {"PID|1||a~b|x", 12, "PID-4 [Alternate Patient ID]"},
        {"PID|1||a~b|x", 10, "PID-3-1 [Patient ID:ID] = First id"},  // b: the first repetition's
        {"PID|1|||||||F", 13, "PID-8 [Sex] = Female"},
        {"PID|1||a~b|x", 4, ""},   // the segment name and its separator
        {"PID|1||a~b|x", 13, ""},  // beyond the line
        {"ZZZ|1|2", 7, "ZZZ-2-1"},
        {longLine, 6, ""},
    };
    w.show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 30) + " @" + std::to_string(c.at));
        w.lstSegments->clear();
        w.lstSegments->addItem(QString::fromLatin1(c.line.c_str()));
        QApplication::processEvents();
        const int left = w.lstSegments->visualItemRect(w.lstSegments->item(0)).left();
        EXPECT_EQ(w.SegmentToolTipAt(CharacterPoint(w.lstSegments, 0, c.at, left)),
                  QLatin1String(c.tip));
    }

    // Scrolled to the right, the character under the pointer is still found in the whole line.
    const std::string wide = "PID|1||" + std::string(300, 'a') + "|x";
    w.lstSegments->clear();
    w.lstSegments->addItem(QString::fromLatin1(wide.c_str()));
    static_cast<ListBox*>(w.lstSegments)->SetHorizontalExtent(4000);
    QApplication::processEvents();
    const int left = w.lstSegments->visualItemRect(w.lstSegments->item(0)).left();
    w.lstSegments->horizontalScrollBar()->setValue(w.lstSegments->horizontalScrollBar()->maximum());
    QApplication::processEvents();
    ASSERT_GT(w.lstSegments->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(w.SegmentToolTipAt(CharacterPoint(w.lstSegments, 0, static_cast<int>(wide.size()), left)),
              QStringLiteral("PID-4 [Alternate Patient ID]"));

    // Nothing to point at.
    w.lstSegments->clear();
    EXPECT_EQ(w.SegmentToolTipAt(QPoint(5, 5)), QString());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), w.lstSegments->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w.lstSegments->viewport(), &help);
    EXPECT_TRUE(w.lstSegments->toolTip().isEmpty());
}

}  // namespace
}  // namespace quillon::test
