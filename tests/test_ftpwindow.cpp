// The FTP window: connection, listing, navigation, reconnection and remote file operations
// against a real pyftpdlib on 127.0.0.1, and its rules without a server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "FtpTestServer.h"
#include "TestSupport.h"
#include "app/Settings.h"
#include "ftp/frmFTP.h"

using namespace quillon;
using platform::MsgAnswer;
using quillon::test::FtpTestServer;

namespace {

struct Window {
    AppState state;
    platform::ScriptedResponder responder;
    bool cancelled = false;
    frmFTP w{state, responder, cancelled};

    QStringList Files() const
    {
        QStringList names;
        for (int i = 0; i < w.lvFileList->topLevelItemCount(); ++i)
            names << w.lvFileList->topLevelItem(i)->text(0);
        return names;
    }
    QStringList Directories() const
    {
        QStringList names;
        for (int i = 0; i < w.lstDirectoryList->count(); ++i) names << w.lstDirectoryList->item(i)->text();
        return names;
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (const auto& s : responder.shown()) titles << s.title;
        return titles;
    }
    void Select(const QString& file)
    {
        const auto found = w.lvFileList->findItems(file, Qt::MatchExactly, 0);
        ASSERT_EQ(found.size(), 1) << file.toStdString();
        w.lvFileList->setCurrentItem(found[0]);
    }
    void SetType(const QString& type)
    {
        w.cboFilesOfType->setEditText(type);
        w.cboFilesOfType_Click();
    }
};

class FtpWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.WriteFile(QStringLiteral("a.dat"), "abc");
        server.WriteFile(QStringLiteral("a.DAT"), "x");
        server.WriteFile(QStringLiteral("a.dat.gz"), "x");
        server.WriteFile(QStringLiteral("big.dat"), QByteArray(1234, 'x'));
        server.WriteFile(QStringLiteral("sub/inner.dat"), "inner");
    }
    void TearDown() override { server.Stop(); }

    void Start(const QString& permissions = QStringLiteral("elradfmwMT"))
    {
        ASSERT_TRUE(server.Start({{QStringLiteral("user"), QStringLiteral("secret"), permissions}}))
            << server.Error().toStdString();
    }
    void Connect(const QString& password = QStringLiteral("secret"))
    {
        x.w.cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
        x.w.txtUserName->setText(QStringLiteral("user"));
        x.w.txtPassword->setText(password);
        x.w.cmdConnect_Click();
    }

    FtpTestServer server;
    Window x;
};

TEST(FtpWindowRules, RemoteNameProposal)
{
    const struct {
        const char* caption;
        const char* proposal;
    } cases[] = {
        {"Quillon - /home/u/in/adt.hl7 - filtered", "adt.hl7"},
        {"Quillon - C:\\in\\adt.hl7", "adt.hl7"},
        {"Quillon - C:\\in/x\\y/last.dat", "last.dat"},
        {"Quillon - data pasted from clipboard", "new_file"},
        {"Quillon", "new_file"},
        {"Quillon - /home/u/", "new_file"},
        {"FTP Get - host", "FTP Get - host"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProposeRemoteName(QString::fromUtf8(c.caption)), QString::fromUtf8(c.proposal)) << c.caption;
}

TEST(FtpWindowRules, HostPortSplit)
{
    const struct {
        const char* text;
        FtpHostPort expected;
    } cases[] = {
        {"host:2121", {"host", 2121, true}},
        {"host", {"host", 21, false}},
        {" host ", {" host ", 21, false}},
        {"host:", {"host", 0, true}},
        {"host: 990x", {"host", 990, true}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitHostPort(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(FtpWindowRules, MissingHostNameAsksForOneAndStaysUnconnected)
{
    Window x;
    x.w.cboHostNames->setEditText(QStringLiteral("   "));
    x.w.cmdConnect_Click();
    ASSERT_EQ(x.Titles(), QStringList{QStringLiteral("Missing Host Name")});
    EXPECT_EQ(x.responder.shown()[0].text, QStringLiteral("Please enter a host name or IP address"));
    EXPECT_TRUE(x.w.cmdConnect->isEnabled());
    EXPECT_EQ(x.w.StatusText(), QStringLiteral("Not Connected"));
}

// Entering a login box with the caret at its start selects its whole text.
TEST(FtpWindowRules, LoginBoxesSelectTheirTextOnEntry)
{
    Window x;
    for (QLineEdit* box : {x.w.txtUserName, x.w.txtPassword, x.w.txtInitialDirectory}) {
        box->setText(QStringLiteral("abc"));
        box->setCursorPosition(0);
        QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(box, &in);
        QApplication::processEvents();
        EXPECT_EQ(box->selectedText(), QStringLiteral("abc"));
    }
}

TEST(FtpWindowRules, ButtonStatusFollowsModeRowsAndTypedName)
{
    const struct {
        bool put;
        int rows;
        const char* typed;
        bool get, open, deleteRename, view, openDefault, getDefault;
    } cases[] = {
        {false, 0, "", false, false, false, false, false, false},
        {false, 2, "", true, true, true, true, true, false},
        {true, 0, "", false, false, false, false, false, false},
        {true, 0, "out.dat", true, false, true, false, false, true},
        {true, 1, "", true, false, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.put << " " << c.rows << " " << c.typed);
        Window x;
        x.w.cmdGet->setText(c.put ? frmFTP::kPutCaption : frmFTP::kGetCaption);
        x.w.cmdOpen->setEnabled(true);
        x.w.cmdViewInWP->setEnabled(true);
        for (int i = 0; i < c.rows; ++i) x.w.lvFileList->addTopLevelItem(new QTreeWidgetItem({"f"}));
        x.w.txtFileName->setText(QString::fromUtf8(c.typed));
        x.w.SetButtonStatus();
        EXPECT_EQ(x.w.cmdGet->isEnabled(), c.get);
        EXPECT_EQ(x.w.cmdOpen->isEnabled(), c.open);
        EXPECT_EQ(x.w.cmdDelete->isEnabled(), c.deleteRename);
        EXPECT_EQ(x.w.cmdRename->isEnabled(), c.deleteRename);
        EXPECT_EQ(x.w.cmdViewInWP->isEnabled(), c.view);
        EXPECT_EQ(x.w.cmdOpen->isDefault(), c.openDefault);
        EXPECT_EQ(x.w.cmdGet->isDefault(), c.getDefault);
    }
}

TEST(FtpWindowRules, TypingTheRemoteNameSetsThePutButton)
{
    const struct {
        const char* before;
        Qt::Key key;
        char character;
        const char* after;
        bool get, getDefault, deleteEnabled;
    } cases[] = {
        {"", Qt::Key_A, 'a', "a", true, true, false},
        {"", Qt::Key_Space, ' ', "", false, false, true},
        {"a", Qt::Key_Backspace, 0, "", false, false, false},
        {"", Qt::Key_Minus, '-', "-", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + std::string("+") + c.character);
        Window x;
        x.w.cmdGet->setText(frmFTP::kPutCaption);
        x.w.txtFileName->show();
        x.w.txtFileName->setText(QString::fromUtf8(c.before));
        x.w.cmdDelete->setEnabled(true);
        QTest::keyClick(x.w.txtFileName, c.key, Qt::NoModifier);
        EXPECT_EQ(x.w.txtFileName->text(), QString::fromUtf8(c.after));
        EXPECT_EQ(x.w.cmdGet->isEnabled(), c.get);
        EXPECT_EQ(x.w.cmdGet->isDefault(), c.getDefault);
        EXPECT_EQ(x.w.cmdDelete->isEnabled(), c.deleteEnabled);
    }
}

TEST(FtpWindowRules, OptionChoicesAreRememberedAcrossOpenings)
{
    const struct {
        const char* name;
        QAction* frmFTP::*item;
        bool ascii, append;
        const char* caption;
    } cases[] = {
        {"defaults", nullptr, true, false, "If File Exists [overwrite]"},
        {"binary", &frmFTP::mnuOptionsDownloadUsingBinaryMode, false, false, "If File Exists [overwrite]"},
        {"append", &frmFTP::mnuOptionsIfFileExistsAppend, true, true, "If File Exists [append]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppState state;
        platform::ScriptedResponder responder;
        bool cancelled = false;
        {
            frmFTP first(state, responder, cancelled);
            if (c.item) first.mnuOptionsChoose(first.*(c.item));
            first.Form_Unload();
        }
        frmFTP w(state, responder, cancelled);
        EXPECT_EQ(w.mnuOptionsDownloadUsingASCIIMode->isChecked(), c.ascii);
        EXPECT_EQ(w.mnuOptionsDownloadUsingBinaryMode->isChecked(), !c.ascii);
        EXPECT_EQ(w.mnuOptionsIfFileExistsAppend->isChecked(), c.append);
        EXPECT_EQ(w.mnuOptionsIfFileExistsOverwrite->isChecked(), !c.append);
        EXPECT_EQ(w.mnuOptionsIfFileExists->title(), QString::fromUtf8(c.caption));
        EXPECT_EQ(w.cboFilesOfType->currentText(), QStringLiteral(".dat"));
        w.mnufile_Click();
        w.mnuOptions_Click();
        EXPECT_FALSE(w.mnuFileDisconnect->isEnabled());
        EXPECT_FALSE(w.mnuFileRefreshFileList->isEnabled());
        EXPECT_FALSE(w.mnuOptionsSetCurrentDirAsDefaultDir->isEnabled());
        EXPECT_TRUE(cancelled);
    }
}

// The file list's columns, the first among them, can be dragged to any place; the order is
// stored when the window closes and comes back with the next window.
TEST(FtpWindowRules, DraggedColumnOrderIsStoredAndRestored)
{
    AppState state;
    platform::ScriptedResponder responder;
    bool cancelled = false;
    {
        frmFTP first(state, responder, cancelled);
        first.show();
        test::DragHeaderSection(first.lvFileList->header(), 2, 0);  // in front of the first
        test::DragHeaderSection(first.lvFileList->header(), 1, 2);  // the first to the end
        first.Form_Unload();
    }
    const int places[] = {3, 2, 1};  // of columns 1 to 3
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(state.settings.Get(kSettingsApp, QStringLiteral("FTP_Settings"),
                                     QStringLiteral("Col%1").arg(c + 1)),
                  QString::number(places[c]));
    frmFTP again(state, responder, cancelled);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(again.lvFileList->header()->visualIndex(c) + 1, places[c]) << c;
}

TEST_F(FtpWindowTest, RefusedLoginSaysSoAndKeepsTheLogin)
{
    Start();
    Connect(QStringLiteral("wrong"));
    ASSERT_EQ(x.Titles(), QStringList{QStringLiteral("Unable to Login")});
    EXPECT_EQ(x.responder.shown()[0].text, QStringLiteral("The User Name or Password was invalid."));
    EXPECT_EQ(x.w.StatusText(), QStringLiteral("Invalid User Name or Password"));
    EXPECT_TRUE(x.w.cmdConnect->isEnabled());
    EXPECT_FALSE(x.w.fraFTPConnect->isHidden());
}

TEST_F(FtpWindowTest, ConnectListsTheRootFilteredByType)
{
    Start();
    Connect();
    ASSERT_TRUE(x.responder.shown().empty()) << x.responder.shown()[0].text.toStdString();
    EXPECT_FALSE(x.w.cmdConnect->isEnabled());
    EXPECT_TRUE(x.w.cmdDisconnect->isEnabled());
    EXPECT_TRUE(x.w.fraFTPConnect->isHidden());
    EXPECT_EQ(x.w.windowTitle(), QStringLiteral("FTP Get - 127.0.0.1:%1").arg(server.Port()));
    EXPECT_EQ(x.w.lblDirectory->text(), QStringLiteral("/"));
    EXPECT_EQ(x.Directories(), QStringList{QStringLiteral("sub")});  // no ".." at the root

    const struct {
        const char* type;
        QStringList files;
    } cases[] = {
        {".dat", {"a.dat", "big.dat"}},
        {".DAT", {"a.DAT"}},
        {".gz", {"a.dat.gz"}},
        {".*", {"a.DAT", "a.dat", "a.dat.gz", "big.dat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        x.SetType(QString::fromUtf8(c.type));
        QStringList files = x.Files();
        files.sort();
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(x.w.StatusText(), QStringLiteral("Directory contains %1 files.").arg(c.files.size()));
        EXPECT_EQ(x.Directories(), QStringList{QStringLiteral("sub")});
    }
    x.Select(QStringLiteral("big.dat"));
    EXPECT_EQ(x.w.lvFileList->currentItem()->text(1), QLocale().toString(1234));
    EXPECT_FALSE(x.w.lvFileList->currentItem()->text(2).isEmpty());
    EXPECT_TRUE(x.w.cmdOpen->isDefault());
}

TEST_F(FtpWindowTest, DoubleClickMovesDownAndBackUp)
{
    Start();
    Connect();
    const struct {
        const char* line;
        const char* directory;
        QStringList directories;
        QStringList files;
    } steps[] = {
        {"sub", "/sub", {".."}, {"inner.dat"}},
        {"..", "/", {"sub"}, {"a.dat", "big.dat"}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.line);
        const auto lines = x.w.lstDirectoryList->findItems(QString::fromUtf8(s.line), Qt::MatchExactly);
        ASSERT_EQ(lines.size(), 1);
        x.w.lstDirectoryList->setCurrentItem(lines[0]);
        x.w.lstDirectoryList_DblClick();
        EXPECT_EQ(x.w.lblDirectory->text(), QString::fromUtf8(s.directory));
        EXPECT_EQ(x.Directories(), s.directories);
        QStringList files = x.Files();
        files.sort();
        EXPECT_EQ(files, s.files);
    }
    EXPECT_TRUE(x.responder.shown().empty());

    // A folder the server refuses to list is reported as that, not as a lost connection.
    x.w.lblDirectory->setText(QStringLiteral("/missing"));
    x.w.OpenDirectory();
    ASSERT_EQ(x.responder.shown().size(), 1u);
    EXPECT_TRUE(x.responder.shown()[0].text.startsWith(QStringLiteral("OpenDirectory error: ")))
        << x.responder.shown()[0].text.toStdString();
    EXPECT_TRUE(x.w.cmdDisconnect->isEnabled());
}

TEST_F(FtpWindowTest, RestartedServerIsOfferedForReconnection)
{
    const struct {
        MsgAnswer answer;
        bool connected;
    } cases[] = {{MsgAnswer::Yes, true}, {MsgAnswer::No, false}};
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connected);
        Window y;
        y.w.cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
        y.w.txtUserName->setText(QStringLiteral("user"));
        y.w.txtPassword->setText(QStringLiteral("secret"));
        y.w.cmdConnect_Click();
        ASSERT_TRUE(y.w.cmdDisconnect->isEnabled());
        server.Stop();
        ASSERT_TRUE(server.Restart());
        y.responder.QueueAnswer(c.answer);
        y.w.mnuFileRefreshFileList_Click();
        ASSERT_EQ(y.Titles(), QStringList{QStringLiteral("Server Disconnected")});
        EXPECT_EQ(y.w.cmdDisconnect->isEnabled(), c.connected);
        EXPECT_EQ(y.w.Unloaded(), !c.connected);
        EXPECT_EQ(y.cancelled, !c.connected);
        if (c.connected) {
            EXPECT_EQ(y.Directories(), QStringList{QStringLiteral("sub")});
            EXPECT_EQ(y.w.StatusText(), QStringLiteral("Directory contains 2 files."));
        }
    }
}

TEST_F(FtpWindowTest, RenameAndDeleteWorkOrShowTheRefusal)
{
    const struct {
        const char* name;
        const char* permissions;
        bool rename;
        const char* gone;
        const char* made;
        const char* refusal;
        bool restart = false;  // the server restarts after the listing: reconnect, then once more
    } cases[] = {
        {"rename", "elradfmwMT", true, "a.dat", "b_c.dat", nullptr},
        {"delete", "elradfmwMT", false, "a.dat", nullptr, nullptr},
        {"refused rename", "elr", true, nullptr, nullptr, "reply code 550"},
        {"refused delete", "elr", false, nullptr, nullptr, "reply code 550"},
        {"rename after a restart", "elradfmwMT", true, "a.dat", "b_c.dat", nullptr, true},
        {"delete after a restart", "elradfmwMT", false, "a.dat", nullptr, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.Stop();
        server.WriteFile(QStringLiteral("a.dat"), "abc");
        Window y;
        ASSERT_TRUE(server.Start({{QStringLiteral("user"), QStringLiteral("secret"),
                                   QString::fromUtf8(c.permissions)}}));
        y.w.cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
        y.w.txtUserName->setText(QStringLiteral("user"));
        y.w.txtPassword->setText(QStringLiteral("secret"));
        y.w.cmdConnect_Click();
        y.Select(QStringLiteral("a.dat"));
        if (c.restart) {
            server.Stop();
            ASSERT_TRUE(server.Restart());
        }
        if (c.rename) {
            y.responder.QueueInput(QStringLiteral("  b c.dat "));
            if (c.restart)
                y.responder.QueueAnswer(MsgAnswer::Yes);
            y.w.cmdRename_Click();
        } else {
            y.responder.QueueAnswer(MsgAnswer::Yes);
            if (c.restart)
                y.responder.QueueAnswer(MsgAnswer::Yes);
            y.w.cmdDelete_Click();
        }
        EXPECT_EQ(y.Titles().contains(QStringLiteral("Server Disconnected")), c.restart);
        EXPECT_EQ(server.Exists(QStringLiteral("a.dat")), c.gone == nullptr);
        if (c.made) {
            EXPECT_TRUE(server.Exists(QString::fromUtf8(c.made)));
            EXPECT_TRUE(y.Files().contains(QString::fromUtf8(c.made)));
        }
        if (c.gone) {
            EXPECT_FALSE(y.Files().contains(QString::fromUtf8(c.gone)));
        }
        const auto& shown = y.responder.shown();
        if (c.refusal) {
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown.back().title, QStringLiteral("FTP Error"));
            EXPECT_TRUE(shown.back().text.contains(QString::fromUtf8(c.refusal))) << shown.back().text.toStdString();
        } else {
            EXPECT_FALSE(y.Titles().contains(QStringLiteral("FTP Error")));
        }
        EXPECT_TRUE(y.w.cmdDisconnect->isEnabled());
        if (c.made) server.Stop(), QFile::remove(server.Root() + QStringLiteral("/") + c.made);
    }
}

// A listed name holding a bare CR or LF is listed whole, not cut into pieces that stand for
// other files (here "big.dat", after which the rest reads as a listing line), and is refused
// with a message before any command: the server's file or folder stays as it was.
TEST_F(FtpWindowTest, NameWithALineBreakIsRefusedBeforeAnyCommand)
{
    const QString cr = QStringLiteral("big.dat\rold.dat"), lf = QStringLiteral("a\nb.dat");
    const QString folder = QStringLiteral("c\rd");
    server.WriteFile(QStringLiteral("big.dat\ntype=file;size=1; z.dat"), "x");
    server.WriteFile(cr, "x");
    server.WriteFile(lf, "x");
    server.MakeDir(folder);
    Start();
    Connect();
    const QStringList files = x.Files();
    ASSERT_TRUE(files.contains(cr) && files.contains(lf)) << files.join('|').toStdString();
    EXPECT_EQ(files.count(QStringLiteral("big.dat")), 1);
    EXPECT_FALSE(files.contains(QStringLiteral("z.dat")));
    ASSERT_TRUE(x.Directories().contains(folder));
    EXPECT_FALSE(x.Directories().contains(QStringLiteral("c")));
    QTemporaryDir local;
    const struct {
        const char* name;
        QString entry;
        std::function<void()> command;
        const char* shown;
    } cases[] = {
        {"delete", cr, [&] { x.responder.QueueAnswer(MsgAnswer::Yes); x.w.cmdDelete_Click(); },
         "big.dat<line break>old.dat"},
        {"rename", lf,
         [&] { x.responder.QueueInput(QStringLiteral("renamed.dat")); x.w.cmdRename_Click(); },
         "a<line break>b.dat"},
        {"get", lf,
         [&] { x.responder.QueueFiles({local.filePath(QStringLiteral("got.dat"))}); x.w.cmdGet_Click(); },
         "a<line break>b.dat"},
        {"change folder", folder, [&] {
             const auto lines = x.w.lstDirectoryList->findItems(folder, Qt::MatchExactly);
             x.w.lstDirectoryList->setCurrentItem(lines[0]);
             x.w.lstDirectoryList_DblClick();
         }, "c<line break>d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        x.responder.Clear();
        if (c.entry != folder) x.Select(c.entry);
        c.command();
        ASSERT_EQ(x.Titles(), QStringList{QStringLiteral("Invalid File Name")});
        EXPECT_TRUE(x.responder.shown()[0].text.contains(QString::fromUtf8(c.shown)))
            << x.responder.shown()[0].text.toStdString();
        EXPECT_TRUE(server.Exists(c.entry));
        EXPECT_TRUE(server.Exists(QStringLiteral("big.dat")));
        EXPECT_FALSE(server.Exists(QStringLiteral("renamed.dat")));
        EXPECT_EQ(x.w.lblDirectory->text(), QStringLiteral("/"));
        EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("got.dat"))));
    }

    // The control itself sends no such name either.
    platform::FtpControl& control = x.w.FileTransfer1;
    const QString path = QStringLiteral("/") + cr;
    const QString put = local.filePath(QStringLiteral("put.dat"));
    test::WriteBytes(put, "y");
    EXPECT_EQ(control.Delete(path), platform::ftp_result::InvalidName);
    EXPECT_EQ(control.Rename(path, QStringLiteral("/renamed.dat")), platform::ftp_result::InvalidName);
    EXPECT_EQ(control.Rename(QStringLiteral("/a.dat"), QStringLiteral("/x\ny.dat")),
              platform::ftp_result::InvalidName);
    EXPECT_EQ(control.ChangeDirectory(QStringLiteral("/") + folder), platform::ftp_result::InvalidName);
    EXPECT_EQ(control.Put(put, QStringLiteral("/new\r.dat")), platform::ftp_result::InvalidName);
    EXPECT_EQ(control.Get(local.filePath(QStringLiteral("got.dat")), path), platform::ftp_result::InvalidName);
    EXPECT_TRUE(server.Exists(cr));
    EXPECT_TRUE(server.Exists(QStringLiteral("a.dat")));
    EXPECT_FALSE(server.Exists(QStringLiteral("renamed.dat")));
    EXPECT_FALSE(server.Exists(QStringLiteral("new\r.dat")));
    EXPECT_EQ(control.CurrentDirectory(), QStringLiteral("/"));
}

TEST(FtpWindowMain, MenuCommandsOpenTheWindowInTheirMode)
{
    const struct {
        bool put;
        const char* caption;
        QString button;
    } cases[] = {
        {false, "FTP Get", frmFTP::kGetCaption},
        {true, "FTP Put (w/o envelope characters)", frmFTP::kPutCaption},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        test::MainWindowFixture f;
        frmMain& m = *f.window;
        m.FtpCancelled = false;
        QString caption, button;
        bool fileNameShown = false;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<frmFTP*>(QApplication::activeModalWidget());
            if (!w) return;
            caption = w->windowTitle();
            button = w->cmdGet->text();
            fileNameShown = !w->txtFileName->isHidden();
            w->close();
        });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        safety.start(10000);
        if (c.put) m.mnuFTPSend_Click();
        else m.mnuFTPReceive_Click();
        EXPECT_EQ(caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(button, c.button);
        EXPECT_EQ(fileNameShown, c.put);
        EXPECT_TRUE(m.FtpCancelled);
        EXPECT_TRUE(m.FtpWindow.isNull());
        EXPECT_TRUE(m.st.ftp.FtpWindowCaption.isEmpty());
    }
}

}  // namespace
