#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QMenuBar>
#include <QMenu>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "files/frmAbout.h"
#include "files/frmAdministration.h"
#include "platform/WinsockControl.h"

namespace quillon::test {
namespace {

using platform::MsgAnswer;

// A port on 127.0.0.1 that nothing listens on.
quint16 FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// Makes the default configurations of both roles use `port` on 127.0.0.1.
void UseTestPort(frmMain& w, quint16 port)
{
    const QString server = w.st.folders.ServersFolder + QStringLiteral("default.server");
    const QString client = w.st.folders.ClientsFolder + QStringLiteral("default.client");
    for (const auto& [path, line] :
         {std::pair{server, QStringLiteral("%1,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,,")},
          std::pair{client, QStringLiteral("127.0.0.1,127.0.0.1,%1,0,11,13,28,0,1,1,1,MSA|AA,0,1,"
                                           "0,0,0b 06 1c 0d")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(line.arg(port).toLatin1());
    }
    w.Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
}

class PanelTest : public ::testing::Test {
protected:
    void LoadRecords(int n)
    {
        std::string bytes;
        for (int i = 1; i <= n; ++i)
            bytes += "MSH|^~\\&|A|" + std::to_string(i) + "\r";
        ASSERT_TRUE(f.window->LoadHL7File(f.WriteFile("r.hl7", bytes)));
    }
    MainWindowFixture f;
    frmMain& w = *f.window;
};

TEST_F(PanelTest, ClientStartRefusesABadRange)
{
    const struct {
        const char *start, *end, *title;
    } cases[] = {
        {"5", "3", "Invalid Beginning or Ending Record"},
        {"0", "3", "Invalid Starting Record"},
        {"", "3", "Invalid Starting Record"},
        {"3", "", "Invalid Beginning or Ending Record"},
    };
    LoadRecords(5);
    w.optClientOrServer_Click(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + ".." + c.end);
        f.responder.Clear();
        w.txtStartWithRecord->setText(QLatin1String(c.start));
        w.txtEndWithRecord->setText(QLatin1String(c.end));
        w.cmdStart_Click();
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_EQ(f.responder.shown().front().title, QLatin1String(c.title));
        EXPECT_TRUE(w.cmdStart->isEnabled());
        EXPECT_FALSE(w.st.client.Sending);
    }
}

TEST_F(PanelTest, ClientStartWithoutRecordsSaysSo)
{
    w.optClientOrServer_Click(0);
    w.cmdStart_Click();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown().front().title, QStringLiteral("No Records"));
}

TEST_F(PanelTest, ServerStartDropsTheRecordsAndStopMakesThePanelIdle)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    QString config = w.st.folders.ServersFolder + QStringLiteral("default.server");
    w.LoadServerConfiguration(config);
    w.optClientOrServer_Click(1);
    LoadRecords(3);
    w.st.server.LocalPort = port;
    w.Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
    // Start reloads the configuration: give it the test's port.
    QFile::remove(config);
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("%1,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,,").arg(port).toLatin1());
    file.close();

    w.cmdStart_Click();
    EXPECT_EQ(w.st.records.RecordCount, 0);
    EXPECT_EQ(w.lstRecords->count(), 0);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon - TCP/IP Server"));
    EXPECT_EQ(w.Winsock1->State(), platform::winsock_state::Listening);
    EXPECT_FALSE(w.cmdStart->isEnabled());
    EXPECT_TRUE(w.cmdStop->isEnabled());
    EXPECT_FALSE(w.optClientOrServer[0]->isEnabled());

    w.cmdStop_Click();
    EXPECT_EQ(w.Winsock1->State(), platform::winsock_state::Closed);
    EXPECT_TRUE(w.cmdStart->isEnabled());
    EXPECT_FALSE(w.cmdStop->isEnabled());
    EXPECT_TRUE(w.optClientOrServer[0]->isEnabled());
    EXPECT_EQ(w.stsPanels[3]->text(), QStringLiteral("Not Listening"));
}

// However a role ends (Stop, a run that is over or failed, a server socket error), the panel's
// controls come back as the administration switches allow: a role the administrator switched
// off is never offered again.
TEST(PanelAdminSwitches, EndingARoleKeepsADisabledRoleDisabled)
{
    struct Case {
        const char* name;
        AdminSwitch off;  // the role switched off; the panel runs the other one
        std::function<void(frmMain&)> run;
    };
    const auto loadRecords = [](frmMain& w) {
        w.st.records.Reset(1);
        w.st.records.Append("MSH|^~\\&|A|1\r");
        int32_t page = 1;
        w.DisplayPage(page);
    };
    const std::vector<Case> cases = {
        {"server Start, then Stop", AdminTcpClient,
         [](frmMain& w) {
             w.cmdStart_Click();
             ASSERT_EQ(w.Winsock1->State(), platform::winsock_state::Listening);
             w.cmdStop_Click();
         }},
        {"server socket error", AdminTcpClient,
         [](frmMain& w) {
             w.cmdStart_Click();
             ASSERT_EQ(w.Winsock1->State(), platform::winsock_state::Listening);
             w.Winsock1_Error(10053, QStringLiteral("Connection is aborted"));
         }},
        {"client Stop", AdminTcpServer, [](frmMain& w) { w.cmdStop_Click(); }},
        {"client run that finds no server (socket error, run over)", AdminTcpServer,
         [&](frmMain& w) {
             loadRecords(w);
             w.cmdStart_Click();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowFixture f;
        frmMain& w = *f.window;
        UseTestPort(w, FreePort());
        w.st.session.AdminSwitches[c.off] = true;
        w.SetMenuAndToolbarState();
        const size_t off = c.off == AdminTcpClient ? 0 : 1;
        ASSERT_TRUE(w.optClientOrServer[1 - off]->isChecked());
        c.run(w);
        EXPECT_FALSE(w.optClientOrServer[off]->isEnabled());
        EXPECT_TRUE(w.optClientOrServer[1 - off]->isEnabled());
        EXPECT_TRUE(w.cmdStart->isEnabled());
        EXPECT_FALSE(w.cmdStop->isEnabled());
        w.Winsock1->Close();
        w.sock->Close();
    }
}

// A client run that ends gives back only what the administrator left on: Open (with the
// recent files) and FTP Get stay off when they are switched off.
TEST(PanelAdminSwitches, EndOfARunKeepsOpenAndFtpGetLocked)
{
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked" : "not locked");
        MainWindowFixture f;
        frmMain& w = *f.window;
        UseTestPort(w, FreePort());
        w.st.session.AdminSwitches[AdminFileOpen] = locked;
        w.st.session.AdminSwitches[AdminFtpGet] = locked;
        w.AddToMRUList(QStringLiteral("/data/listed.hl7"));
        w.SetMenuAndToolbarState();
        w.st.records.Reset(1);
        w.st.records.Append("MSH|^~\\&|A|1\r");
        int32_t page = 1;
        w.DisplayPage(page);
        w.optClientOrServer[0]->click();
        w.cmdStart->click();  // no server: the run ends at once
        ASSERT_FALSE(w.st.client.Sending);
        for (QAction* a :
             {w.mnuFileOpen, w.tbarButtons[2], w.mnuMRU[0], w.mnuFileFTPReceive, w.tbarButtons[8]})
            EXPECT_EQ(a->isEnabled(), !locked) << a->text().toStdString();
        w.sock->Close();
    }
}

// Nothing replaces the records under a client run: while it runs, the File menu as it opens and
// the switches applied meanwhile keep New, Open and the recent files off; they come back after.
TEST(PanelAdminSwitches, FileMenuOpensNothingDuringARun)
{
    MainWindowFixture f;
    frmMain& w = *f.window;
    QTcpServer peer;  // takes the record and never answers
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    UseTestPort(w, peer.serverPort());
    w.AddToMRUList(QStringLiteral("/data/listed.hl7"));
    w.st.records.Reset(1);
    w.st.records.Append("MSH|^~\\&|A|1\r");
    int32_t page = 1;
    w.DisplayPage(page);
    QMenu* file = w.menuBar()->actions().at(0)->menu();
    const std::vector<std::pair<QString, std::function<void()>>> routes = {
        {QStringLiteral("menu"), [&] { emit file->aboutToShow(); }},
        {QStringLiteral("switches"), [&] { w.SetMenuAndToolbarState(); }},
    };
    QStringList enabled;
    bool ran = false;
    QTimer::singleShot(200, &w, [&] {
        ran = w.st.client.Sending;
        for (const auto& [name, route] : routes) {
            route();
            for (QAction* a : {w.mnuFileNew, w.mnuFileOpen, w.mnuMRU[0]})
                if (a->isEnabled())
                    enabled << name + QStringLiteral(": ") + a->text();
        }
        w.cmdStop->click();
    });
    w.optClientOrServer[0]->click();
    w.cmdStart->click();
    ASSERT_TRUE(ran);
    EXPECT_TRUE(enabled.isEmpty()) << enabled.join(QStringLiteral(", ")).toStdString();
    emit file->aboutToShow();
    for (QAction* a : {w.mnuFileNew, w.mnuFileOpen, w.mnuMRU[0]})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    w.sock->Close();
}

// Sets the two TCP/IP switches as the administrator does: Help > About, a double-click on the
// picture, the password, the two boxes and OK.
void SetRoleLocks(frmMain& w, bool client, bool server)
{
    bool done = false;
    OnNextModal<frmAbout>([&](frmAbout* about) {
        OnNextModal<frmAdministration>([&](frmAdministration* admin) {
            admin->txtPassword->setText(frmAdministration::kPassword);
            admin->chkDisable[AdminTcpClient]->setChecked(client);
            admin->chkDisable[AdminTcpServer]->setChecked(server);
            admin->cmdCommand[0]->click();
            done = true;
        });
        QTest::mouseDClick(about->Image1, Qt::LeftButton);
        about->accept();
    });
    w.mnuHelpAbout->trigger();
    ASSERT_TRUE(done);
    QCoreApplication::processEvents();  // a closed listener lets go of its port at the next turn
}

// Sends one framed record to 127.0.0.1:`port`, letting the window's events run meanwhile (its
// server lives in this thread): nothing when the connection is refused, else what came back
// within a second.
std::optional<QByteArray> SendOneRecord(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    static_cast<void>(QTest::qWaitFor(
        [&] {
            return s.state() == QAbstractSocket::ConnectedState
                   || s.state() == QAbstractSocket::UnconnectedState;
        },
        2000));
    if (s.state() != QAbstractSocket::ConnectedState)
        return std::nullopt;
    s.write("\x0bMSH|^~\\&|A|B|C|D|||ADT^A01|1|P|2.3\r\x1c\r");
    QByteArray reply;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            reply += s.readAll();
            return reply.contains("MSA|AA");
        },
        1000));
    return reply;
}

// The administrator's switches hold against a running or an idle panel: a role switched off
// while it listens stops, and with both off nothing can be started; once switched on again the
// server listens and answers.
TEST(PanelAdminSwitches, LockingARoleStopsItAndKeepsItFromStarting)
{
    const struct {
        const char* name;
        bool listening;  // the server listens when the switches change
        bool lockClient;
        bool startEnabled;
        int mode;  // the mode selected afterwards: 0 client, 1 server
    } cases[] = {
        {"server listening, server locked", true, false, true, 0},
        {"server listening, both locked", true, true, false, 1},
        {"panel idle in server mode, both locked", false, true, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowFixture f;
        frmMain& w = *f.window;
        const quint16 port = FreePort();
        UseTestPort(w, port);
        w.optClientOrServer[1]->click();
        if (c.listening) {
            w.cmdStart->click();
            ASSERT_EQ(w.Winsock1->State(), platform::winsock_state::Listening);
            ASSERT_TRUE(SendOneRecord(port).value_or("").contains("MSA|AA"));
        }

        SetRoleLocks(w, c.lockClient, true);
        EXPECT_EQ(w.Winsock1->State(), platform::winsock_state::Closed);
        EXPECT_FALSE(w.cmdStop->isEnabled());
        EXPECT_EQ(w.cmdStart->isEnabled(), c.startEnabled);
        EXPECT_EQ(w.optClientOrServer[0]->isEnabled(), !c.lockClient);
        EXPECT_FALSE(w.optClientOrServer[1]->isEnabled());
        EXPECT_TRUE(w.optClientOrServer[static_cast<size_t>(c.mode)]->isChecked());
        w.optClientOrServer[1]->click();
        w.cmdStart->click();
        EXPECT_EQ(w.Winsock1->State(), platform::winsock_state::Closed);
        EXPECT_FALSE(SendOneRecord(port).has_value()) << "the port took the record";

        SetRoleLocks(w, false, false);
        EXPECT_TRUE(w.optClientOrServer[0]->isEnabled());
        ASSERT_TRUE(w.optClientOrServer[1]->isEnabled());
        w.optClientOrServer[1]->click();
        ASSERT_TRUE(w.cmdStart->isEnabled());
        w.cmdStart->click();
        EXPECT_TRUE(SendOneRecord(port).value_or("").contains("MSA|AA"));
        w.cmdStop->click();
    }
}

// The client switched off while a run waits for an ACK: the run ends at once, as Stop ends it,
// and the panel goes over to the server.
TEST(PanelAdminSwitches, LockingTheClientStopsARun)
{
    MainWindowFixture f;
    frmMain& w = *f.window;
    QTcpServer silent;  // takes the records and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    UseTestPort(w, FreePort());
    QFile client(w.st.folders.ClientsFolder + QStringLiteral("default.client"));
    ASSERT_TRUE(client.open(QIODevice::WriteOnly | QIODevice::Truncate));
    client.write(QStringLiteral("127.0.0.1,127.0.0.1,%1,0,11,13,28,0,30,1,1,MSA|AA,0,1,0,0,"
                                "0b 06 1c 0d")
                     .arg(silent.serverPort())
                     .toLatin1());
    client.close();
    w.st.records.Reset(1);
    w.st.records.Append("MSH|^~\\&|A|1\r");
    int32_t page = 1;
    w.DisplayPage(page);
    w.chkSendSelectedOnly->setChecked(false);
    w.optClientOrServer[0]->click();

    QTimer::singleShot(300, &w, [&] { SetRoleLocks(w, true, false); });
    QElapsedTimer run;
    run.start();
    w.cmdStart->click();
    EXPECT_LT(run.elapsed(), 10000);
    EXPECT_FALSE(w.st.client.Sending);
    EXPECT_EQ(w.sock->State(), platform::winsock_state::Closed);
    EXPECT_TRUE(w.optClientOrServer[1]->isChecked());
    EXPECT_FALSE(w.optClientOrServer[0]->isEnabled());
    EXPECT_TRUE(w.cmdStart->isEnabled());
    EXPECT_FALSE(w.cmdStop->isEnabled());
}

TEST_F(PanelTest, PauseTogglesItsCaptionAndTheFlag)
{
    w.cmdPause->setText(QStringLiteral("Pause"));
    w.cmdPause_Click();
    EXPECT_TRUE(w.st.client.TCPIPPaused);
    EXPECT_EQ(w.cmdPause->text(), QStringLiteral("Resume"));
    w.cmdPause_Click();
    EXPECT_FALSE(w.st.client.TCPIPPaused);
    EXPECT_EQ(w.cmdPause->text(), QStringLiteral("Pause"));
}

}  // namespace
}  // namespace quillon::test
