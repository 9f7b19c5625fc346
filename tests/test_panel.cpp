#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>
#include <functional>
#include <utility>
#include <vector>

#include "TestSupport.h"
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
