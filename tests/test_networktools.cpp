#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTimer>

#include "TestSupport.h"
#include "app/TraceLog.h"
#include "tcpip/frmLogging.h"
#include "tcpip/frmYourIPAddress.h"

namespace quillon::test {
namespace {

using Shown = platform::ScriptedResponder::Shown;

class NetworkToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(f.state.settings.Open(f.home.filePath(QStringLiteral("Quillon.settings"))));
    }
    QString Setting(const QString& section)
    {
        return f.state.settings.Get(QStringLiteral("Quillon"), section, QStringLiteral("0"),
                                    QStringLiteral("?"));
    }
    // Today's log under the default pattern, created with one line.
    QString WriteTodaysLog()
    {
        const QString path = CurrentLogFilePath(f.state);
        WriteBytes(path, " \r\n");
        return path;
    }
    const Shown& OnlyBox()
    {
        EXPECT_EQ(f.responder.shown().size(), 1u);
        static const Shown none{};
        return f.responder.shown().empty() ? none : f.responder.shown().back();
    }
    MainWindowFixture f;
    frmMain& w = *f.window;
};

TEST_F(NetworkToolsTest, LoggingFirstOpeningShowsTheDefaultsAndTheFolder)
{
    for (bool logExists : {false, true}) {
        if (logExists)
            WriteTodaysLog();
        frmLogging dialog(f.state, f.responder);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Logging Levels and Maintenance"));
        for (QCheckBox* box : dialog.chkDebugFlags)
            EXPECT_FALSE(box->isChecked());
        EXPECT_EQ(dialog.txtLogFilename->text(), QStringLiteral("LOG_%D.txt"));
        EXPECT_EQ(dialog.cmdDeleteLog->isEnabled(), logExists);
        EXPECT_EQ(dialog.lblLogFileName->text(),
                  QStringLiteral("The log file is stored in ") + f.state.folders.LogsFolder);
        EXPECT_FALSE(dialog.lblPlaceholders->text().contains(QStringLiteral("%T")));
    }
}

TEST_F(NetworkToolsTest, MessageAndAsciiExcludeEachOtherAndOkStoresMinusOneOrZero)
{
    frmLogging dialog(f.state, f.responder);
    auto& box = dialog.chkDebugFlags;
    box[frmLogging::FlagMessageASCII]->click();
    box[frmLogging::FlagMessage]->click();
    EXPECT_FALSE(box[frmLogging::FlagMessageASCII]->isChecked());
    box[frmLogging::FlagMessageASCII]->click();
    EXPECT_FALSE(box[frmLogging::FlagMessage]->isChecked());
    box[frmLogging::FlagTCPIP]->click();
    EXPECT_TRUE(box[frmLogging::FlagMessageASCII]->isChecked());
    box[frmLogging::FlagMessage]->click();
    dialog.txtLogFilename->setText(QStringLiteral("%N_%D.txt"));
    dialog.cmdOK->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Setting("LogTCPIP"), "-1");
    EXPECT_EQ(Setting("LogMessage"), "-1");
    EXPECT_EQ(Setting("LogMessageASCII"), "0");
    EXPECT_EQ(Setting("LogFilename"), "%N_%D.txt");
    EXPECT_TRUE(f.state.trace.LogTCPIP && f.state.trace.LogMessage);
    EXPECT_FALSE(f.state.trace.LogMessageASCII);
    // %N: the configuration picked in the TCP/IP panel while it shows, else LOG.
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    w.cboTCPIPNames->addItem(QStringLiteral("lab"));
    w.cboTCPIPNames->setCurrentText(QStringLiteral("lab"));
    w.mnuViewTCPIPWindow->setChecked(true);
    EXPECT_EQ(CurrentLogFilePath(f.state), f.state.folders.LogsFolder + "lab_" + today + ".txt");
    w.mnuViewTCPIPWindow->setChecked(false);
    EXPECT_EQ(CurrentLogFilePath(f.state), f.state.folders.LogsFolder + "LOG_" + today + ".txt");
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(NetworkToolsTest, UnsafePatternsAreRefusedAndNothingIsStored)
{
    const QString refused[] = {"", "../LOG.txt", "logs/LOG.txt", "C:\\LOG.txt", "a..b.txt",
                               QStringLiteral("LOG") + QChar(u'\0') + ".txt", "/etc/passwd"};
    for (const QString& pattern : refused) {
        SCOPED_TRACE(pattern.toStdString());
        f.responder.Clear();
        frmLogging dialog(f.state, f.responder);
        dialog.chkDebugFlags[frmLogging::FlagTCPIP]->setChecked(true);
        dialog.txtLogFilename->setText(pattern);
        dialog.cmdOK->click();
        const Shown& box = OnlyBox();
        EXPECT_EQ(box.title, QStringLiteral("Invalid Log File Name"));
        EXPECT_EQ(box.icon, platform::MsgIcon::Exclamation);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Setting("LogTCPIP"), "?");
        EXPECT_EQ(Setting("LogFilename"), "?");
        EXPECT_FALSE(f.state.trace.LogTCPIP);
        EXPECT_EQ(f.state.trace.LogFilename, QStringLiteral("LOG_%D.txt"));
    }
}

TEST_F(NetworkToolsTest, DeleteLogRemovesTheFileOfThePatternInForce)
{
    const QString log = WriteTodaysLog();
    frmLogging dialog(f.state, f.responder);
    dialog.txtLogFilename->setText(QStringLiteral("other.txt"));  // not yet in force
    ASSERT_TRUE(dialog.cmdDeleteLog->isEnabled());
    dialog.cmdDeleteLog->click();
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_FALSE(dialog.cmdDeleteLog->isEnabled());
    const Shown& box = OnlyBox();
    EXPECT_EQ(box.text, QStringLiteral("The log has been deleted."));
    EXPECT_EQ(box.title, QStringLiteral("Log Deleted"));
    EXPECT_EQ(box.icon, platform::MsgIcon::Information);
}

TEST_F(NetworkToolsTest, PingRefusesAnythingButAHostNameOrAddress)
{
    const QString refused[] = {"a;rm -rf /", "a b", QString(254, u'a'), "$(x)", "-f",
                               "host|id", "`id`", "h\u00e9te", "a>b"};
    for (const QString& host : refused) {
        SCOPED_TRACE(host.toStdString());
        f.responder.Clear();
        f.responder.QueueInput(host);
        w.mnuToolsPingAnotherComputer_Click();
        ASSERT_EQ(f.responder.shown().size(), 2u);  // the question, then the refusal only
        const Shown& box = f.responder.shown()[1];
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("Invalid host")));
        EXPECT_EQ(box.title, QStringLiteral("Enter Computer to Ping"));
        EXPECT_EQ(box.icon, platform::MsgIcon::Exclamation);
    }
    for (const std::optional<QString>& nothing : {std::optional<QString>(), std::optional(QString())}) {
        f.responder.Clear();
        f.responder.QueueInput(nothing);
        w.mnuToolsPingAnotherComputer_Click();
        EXPECT_EQ(f.responder.shown().size(), 1u);
    }
}

TEST_F(NetworkToolsTest, PingOfTheLoopbackShowsItsOutputWithCrLfLines)
{
    if (QProcess::execute(QStringLiteral("ping"), {"-c1", "-W1", "127.0.0.1"}) != 0)
        GTEST_SKIP() << "ping is not available or not allowed here";
    f.responder.QueueInput(QStringLiteral("127.0.0.1"));
    w.mnuToolsPingAnotherComputer_Click();
    ASSERT_EQ(f.responder.shown().size(), 2u);
    const Shown& box = f.responder.shown()[1];
    EXPECT_EQ(box.title, QStringLiteral("Results of Ping of 127.0.0.1"));
    EXPECT_EQ(box.icon, platform::MsgIcon::Information);
    EXPECT_TRUE(box.text.contains(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(box.text.count(QStringLiteral("\n")), box.text.count(QStringLiteral("\r\n")));
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
}

TEST_F(NetworkToolsTest, PingThatCannotRunSaysSo)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", f.home.path().toLocal8Bit());  // no ping to be found
    f.responder.QueueInput(QStringLiteral("localhost"));
    w.mnuToolsPingAnotherComputer_Click();
    qputenv("PATH", path);
    ASSERT_EQ(f.responder.shown().size(), 2u);
    EXPECT_EQ(f.responder.shown()[1].title, QStringLiteral("Unable to Ping"));
    EXPECT_EQ(f.responder.shown()[1].icon, platform::MsgIcon::Information);
}

TEST_F(NetworkToolsTest, ToolsMenuOpensTheWindowsModally)
{
    QString seen;
    auto closeNext = [&seen] {
        QTimer::singleShot(0, [&seen] {
            QWidget* modal = QApplication::activeModalWidget();
            seen = modal ? modal->metaObject()->className() : "none";
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
    };
    closeNext();
    w.mnuToolsLoggingLevel_Click();
    EXPECT_EQ(seen, QStringLiteral("quillon::frmLogging"));
    closeNext();
    w.mnuToolsWhatIsMyIPaddress_Click();
    EXPECT_EQ(seen, QStringLiteral("quillon::frmYourIPAddress"));
    EXPECT_EQ(Setting("LogFilename"), "?");  // Cancel stores nothing
}

TEST_F(NetworkToolsTest, IpWindowShowsAnIPv4AddressAndCopiesIt)
{
    frmYourIPAddress dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Your IP Address"));
    EXPECT_EQ(dialog.lblIP->text(), QStringLiteral("Your IP Address is: "));
    const QHostAddress address(dialog.txtIP->text());
    EXPECT_EQ(address.protocol(), QAbstractSocket::IPv4Protocol) << dialog.txtIP->text().toStdString();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    dialog.cmdCopyToClipboard->click();
    EXPECT_EQ(QApplication::clipboard()->text(), dialog.txtIP->text());
}

TEST_F(NetworkToolsTest, ViewTheLogOpensItOrSaysWhy)
{
    w.mnuToolsViewTheLog_Click();
    EXPECT_EQ(OnlyBox().title, QStringLiteral("No Log File"));
    EXPECT_EQ(OnlyBox().text, QStringLiteral("There is no log file."));

    const QString log = WriteTodaysLog();
    const struct {
        QString editor;
        bool starts;
        QStringList started, opened;
    } cases[] = {
        {"/opt/ed it", true, {"/opt/ed it", log}, {}},
        {"", true, {}, {"Edit", log}},
        {"/missing/editor", false, {"/missing/editor", log}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.editor.toStdString());
        f.responder.Clear();
        f.desktop = FakeDesktop();
        f.desktop.startSucceeds = f.desktop.openSucceeds = c.starts;
        f.state.session.TextEditorForViewer = c.editor;
        w.mnuToolsViewTheLog_Click();
        EXPECT_EQ(f.desktop.started.empty() ? QStringList() : f.desktop.started[0], c.started);
        EXPECT_EQ(f.desktop.opened.empty() ? QStringList() : f.desktop.opened[0], c.opened);
        if (c.starts) {
            EXPECT_TRUE(f.responder.shown().empty());
        } else {
            EXPECT_EQ(OnlyBox().title, QStringLiteral("Can't Find Default Text Editor"));
            EXPECT_TRUE(OnlyBox().text.contains(QStringLiteral("(/missing/editor)")));
        }
    }
}

TEST_F(NetworkToolsTest, DeleteTheLogIsSilentAndStaysInTheLogsFolder)
{
    const QString log = WriteTodaysLog();
    w.mnuToolsDeleteTheLog_Click();
    EXPECT_FALSE(QFile::exists(log));
    w.mnuToolsDeleteTheLog_Click();  // nothing left: nothing happens

    const QString outside = f.WriteFile(QStringLiteral("outside.txt"), "keep");
    f.state.trace.LogFilename = QStringLiteral("../../../outside.txt");
    w.mnuToolsDeleteTheLog_Click();
    w.mnuToolsViewTheLog_Click();
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_EQ(OnlyBox().title, QStringLiteral("No Log File"));
    EXPECT_TRUE(f.desktop.started.empty() && f.desktop.opened.empty());
}

}  // namespace
}  // namespace quillon::test
