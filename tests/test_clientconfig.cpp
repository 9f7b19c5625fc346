// The client configuration: the ".client" line, loading it into the main window, and the
// configuration editor driven offscreen with its boxes answered by the scripted responder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/WinsockControl.h"
#include "tcpip/ClientConfig.h"
#include "tcpip/ServerConfig.h"
#include "tcpip/frmClientConfig.h"

namespace quillon {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

const std::string kEditorLine = "a,b,3001,2,2,3,4,1,5,3,0,MSA|AE,2,2,1,1,06";

// The values of kEditorLine.
ClientConfig EditorValues()
{
    ClientConfig c;
    c.ServerHost = "a";
    c.ServerAddress = "b";
    c.ServerPort = 3001;
    c.DisplayBase = "2";
    c.StartOfBlockCode = 2;
    c.EndOfBlockCode = 3;
    c.EndOfDataCode = 4;
    c.DelayAfterConnecting = 1;
    c.MaxTimeWaitForAck = 5;
    c.MaxTriesResend = 3;
    c.WaitForAck = 0;
    c.AckText = "MSA|AE";
    c.NakAction = 2;
    c.MaxNakAction = 2;
    c.DelayBetweenRecords = 1;
    c.UseAckBytes = 1;
    c.AckBytes = "06";
    return c;
}

// ---------------------------------------------------------------------------------- the line

TEST(ClientConfigLine, Parse)
{
    struct Case {
        const char* name;
        std::string line;
        std::function<void(ClientConfig&)> expect;  // changes from the defaults
        int itemsRead;
        int error;
    };
    const auto none = [](ClientConfig&) {};
    // clang-format off
    const std::vector<Case> cases = {
        {"default line", std::string(kDefaultClientConfigLine) + "\r\n", none, 17, 0},
        {"editor line", kEditorLine + "\r\n", [](ClientConfig& c) { c = EditorValues(); }, 17, 0},
        {"blanks at item ends go, items after the 17th are ignored",
         "  h  ,\ti ,1, 1 ,11,13,28,0,10,10,1,MSA|AA ,0,1,0,0,0b 06 ,more,items\r\n",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 1;
                               c.DisplayBase = "1"; c.AckBytes = "0b 06"; }, 17, 0},
        {"quoted host keeps its comma", "\"h,x\",i,1,0,11,13,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h,x"; c.ServerAddress = "i"; c.ServerPort = 1;
                               c.AckText = "A"; c.AckBytes = "06"; }, 17, 0},
        {"empty numbers are 0, empty host and negative code",
         ",127.0.0.1,,0,-1,13,28,,10,10,1,MSA|AA,0,1,0,0,0b",
         [](ClientConfig& c) { c.ServerHost = ""; c.ServerPort = 0; c.StartOfBlockCode = -1;
                               c.AckBytes = "0b"; }, 17, 0},
        {"base is text", "h,i,70000,hex,11,13,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 70000;
                               c.DisplayBase = "hex"; c.AckText = "A"; c.AckBytes = "06"; },
         17, 0},
        {"UTF-8 host", "h\xc3\xb6st,i,1,0,11,13,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = QString::fromUtf8("h\xc3\xb6st");
                               c.ServerAddress = "i"; c.ServerPort = 1; c.AckText = "A";
                               c.AckBytes = "06"; }, 17, 0},
        {"short line: items 1 to 8 taken", "a,b,3001,2,2,3,4,1\r\n",
         [](ClientConfig& c) { c.ServerHost = "a"; c.ServerAddress = "b"; c.ServerPort = 3001;
                               c.DisplayBase = "2"; c.StartOfBlockCode = 2; c.EndOfBlockCode = 3;
                               c.EndOfDataCode = 4; c.DelayAfterConnecting = 1; }, 8, 62},
        {"one item short", "h,i,1,0,11,13,28,0,10,10,1,A,0,1,0,0",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 1;
                               c.AckText = "A"; }, 16, 62},
        {"empty file", "", none, 0, 62},
        {"non-numeric port", "h,i,port,0,11,13,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; }, 2, 13},
        {"non-numeric code", "h,i,1,0,11,0x0d,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 1;
                               c.StartOfBlockCode = 11; }, 5, 13},
        {"non-numeric ACK type", "h,i,1,0,11,13,28,0,10,10,1,A,0,1,0,bytes,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 1;
                               c.AckText = "A"; }, 15, 13},
        {"16-bit overflow", "h,i,1,0,11,13,28,40000,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; c.ServerPort = 1; },
         7, 6},
        {"32-bit overflow", "h,i,3000000000,0,11,13,28,0,10,10,1,A,0,1,0,0,06",
         [](ClientConfig& c) { c.ServerHost = "h"; c.ServerAddress = "i"; }, 2, 6},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClientConfigParse p = ParseClientConfigLine(c.line);
        ClientConfig expected;
        c.expect(expected);
        EXPECT_EQ(p.itemsRead, c.itemsRead);
        EXPECT_EQ(p.errorNumber, c.error);
        EXPECT_EQ(p.config, expected);
    }
}

TEST(ClientConfigLine, FormatAsTheEditorWritesAndReadBack)
{
    struct Case {
        ClientConfig config;
        std::string line;
    };
    ClientConfig negative;
    negative.StartOfBlockCode = -1;
    negative.DelayBetweenRecords = -32768;
    negative.ServerPort = -5;
    negative.DisplayBase = "hex";
    negative.ServerHost = "";
    const std::vector<Case> cases = {
        {ClientConfig{}, "localhost,127.0.0.1,3000,0,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,0b 06 1c 0d"},
        {EditorValues(), kEditorLine},
        {negative, ",127.0.0.1,-5,hex,-1,13,28,0,10,10,1,MSA|AA,0,1,-32768,0,0b 06 1c 0d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatClientConfigLine(c.config), c.line);
        const ClientConfigParse p = ParseClientConfigLine(c.line + "\r\n");
        EXPECT_TRUE(p.ok()) << c.line;
        EXPECT_EQ(p.config, c.config) << c.line;
    }
    // The default line, written with blanks after the commas, reads as the defaults.
    EXPECT_EQ(ParseClientConfigLine(kDefaultClientConfigLine).config, ClientConfig{});
}

// ----------------------------------------------------------------------- loading in the window

struct Loading : test::MainWindowFixture {
    frmMain& w = *window;
    QString Clients(const QString& name) const { return state.folders.ClientsFolder + name; }
    QString Panel(size_t i) const { return w.stsPanels[i]->text(); }
    QString StartCaption() const { return w.mnuClientStartSendingRecords->text(); }
    // The trace log's texts with long entries joined again.
    std::string TraceLog() const
    {
        std::string all;
        for (const QString& f : QDir(state.folders.LogsFolder).entryList(QDir::Files))
            all += test::ReadBytes(state.folders.LogsFolder + f);
        const std::string wrap = "\r\n" + std::string(20, ' ');
        for (size_t at; (at = all.find(wrap)) != std::string::npos;)
            all.erase(at, wrap.size());
        return all;
    }
    // Values the default line does not hold, to see which the loader replaced.
    void Scramble()
    {
        ClientState& c = state.client;
        c.ClientServerHost = "old";
        c.ClientServerPort = 1;
        c.ClientMaxTimeWaitForAck = 99;
        c.ClientMaxNakAction = 9;
        state.ack.AckText = "old";
        state.ack.AckBytes = "ff";
        state.ack.UseAckBytes = 2;
    }
};

TEST(LoadClientConfiguration, MissingFileLoadsDefaultClientWrittenWithTheDefaultLine)
{
    struct Case { QString asked; QString panel2; };
    const std::vector<Case> cases = {
        {"default.client", "TCP/IP Client: default.client"},
        {"gone.client", "TCP/IP Client: gone.client"},
        {"", "TCP/IP Client: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.toStdString());
        Loading f;
        f.Scramble();
        f.state.trace.LogTCPIP = true;
        f.w.mnuClientStartSendingRecords->setEnabled(false);
        QString path = c.asked.isEmpty() ? QString() : f.Clients(c.asked);
        f.w.LoadClientConfiguration(path);
        const QString defaultFile = f.Clients("default.client");
        EXPECT_EQ(test::ReadBytes(defaultFile), std::string(kDefaultClientConfigLine) + "\r\n");
        EXPECT_FALSE(QFileInfo::exists(f.Clients("gone.client")));
        const ClientState& s = f.state.client;
        EXPECT_EQ(s.ClientServerHost, "localhost");
        EXPECT_EQ(s.ClientServerPort, 3000);
        EXPECT_EQ(s.ClientMaxTimeWaitForAck, 10);
        EXPECT_EQ(s.ClientMaxNakAction, 1);
        EXPECT_EQ(f.state.ack.AckText, "MSA|AA");
        EXPECT_EQ(f.state.ack.AckBytes, "0b 06 1c 0d");
        EXPECT_EQ(f.state.ack.UseAckBytes, 0);
        EXPECT_EQ(f.w.sock->RemoteHost(), "localhost");
        EXPECT_EQ(f.w.sock->RemotePort(), 3000);
        EXPECT_TRUE(f.w.mnuClientStartSendingRecords->isEnabled());
        EXPECT_EQ(f.StartCaption(), "Start Sending Records to localhost, port 3000");
        EXPECT_EQ(f.Panel(2), c.panel2);
        EXPECT_EQ(f.Panel(3), "Not Sending");
        EXPECT_TRUE(f.responder.shown().empty());
        EXPECT_NE(f.TraceLog().find("CLIENT: Selected Client Configuration "
                                    + defaultFile.toStdString()),
                  std::string::npos);
    }
}

TEST(LoadClientConfiguration, EditorFileAndAnExistingDefaultKeptForAMissingName)
{
    Loading f;
    QString path = f.Clients("lab.client");
    test::WriteBytes(path, kEditorLine + "\r\n");
    f.w.LoadClientConfiguration(path);
    const ClientState& s = f.state.client;
    EXPECT_EQ(s.ClientServerHost, "a");
    EXPECT_EQ(s.ClientServerAddress, "b");
    EXPECT_EQ(s.ClientServerPort, 3001);
    EXPECT_EQ(s.ClientStartOfBlockCode, 2);
    EXPECT_EQ(s.ClientEndOfBlockCode, 3);
    EXPECT_EQ(s.ClientEndOfDataCode, 4);
    EXPECT_EQ(s.ClientDelayAfterConnecting, 1);
    EXPECT_EQ(s.ClientMaxTimeWaitForAck, 5);
    EXPECT_EQ(s.ClientMaxTriesResend, 3);
    EXPECT_EQ(s.ClientWaitForAck, 0);
    EXPECT_EQ(s.ClientNakAction, 2);
    EXPECT_EQ(s.ClientMaxNakAction, 2);
    EXPECT_EQ(s.ClientDelayBetweenRecords, 1);
    EXPECT_EQ(f.state.ack.AckText, "MSA|AE");
    EXPECT_EQ(f.state.ack.UseAckBytes, 1);
    EXPECT_EQ(f.state.ack.AckBytes, "06");
    EXPECT_EQ(f.w.sock->RemoteHost(), "a");
    EXPECT_EQ(f.w.sock->RemotePort(), 3001);
    EXPECT_EQ(f.StartCaption(), "Start Sending Records to a, port 3001");
    EXPECT_EQ(f.Panel(2), "TCP/IP Client: lab.client");
    EXPECT_FALSE(QFileInfo::exists(f.Clients("default.client")));

    // An empty host: the caption names the address.
    test::WriteBytes(path, ",127.0.0.1,3000,0,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,06\r\n");
    f.w.LoadClientConfiguration(path);
    EXPECT_EQ(f.StartCaption(), "Start Sending Records to 127.0.0.1, port 3000");

    // A default.client the user edited survives a stale configuration name.
    test::WriteBytes(f.Clients("default.client"), kEditorLine + "\r\n");
    QString gone = f.Clients("gone.client");
    f.w.LoadClientConfiguration(gone);
    EXPECT_EQ(test::ReadBytes(f.Clients("default.client")), kEditorLine + "\r\n");
    EXPECT_EQ(s.ClientServerPort, 3001);
    EXPECT_EQ(f.Panel(2), "TCP/IP Client: gone.client");
}

TEST(LoadClientConfiguration, SharedAckValuesFollowTheLastConfigurationLoaded)
{
    Loading f;
    QString server = f.state.folders.ServersFolder + "lab.server";
    test::WriteBytes(server, "2575,0,11,13,28,1,MSA|CA,07,0,/l.dat\r\n");
    QString client = f.Clients("lab.client");
    test::WriteBytes(client, kEditorLine + "\r\n");

    struct Step { bool loadClient; std::string ackText, ackBytes; int16_t useAckBytes; };
    const std::vector<Step> steps = {
        {false, "MSA|CA", "07", 0},
        {true, "MSA|AE", "06", 1},
        {false, "MSA|CA", "07", 0},
    };
    for (const Step& step : steps) {
        if (step.loadClient)
            f.w.LoadClientConfiguration(client);
        else
            f.w.LoadServerConfiguration(server);
        EXPECT_EQ(f.state.ack.AckText, step.ackText);
        EXPECT_EQ(f.state.ack.AckBytes, step.ackBytes);
        EXPECT_EQ(f.state.ack.UseAckBytes, step.useAckBytes);
    }
    EXPECT_EQ(f.state.client.ClientServerPort, 3001);  // the server's load leaves the client's
}

TEST(LoadClientConfiguration, BrokenFilesShowTheErrorAndKeepWhatWasRead)
{
    struct Case { std::string content; QString error; int16_t maxTime; std::string ackText; };
    const std::vector<Case> cases = {
        {"a,b,3001,2,2,3,4,1\r\n", "62 Input past end of file", 99, "old"},
        {"a,b,3001,2,2,3,4,1,5,3,0,MSA|AE,2,x,1,1,06\r\n", "13 Type mismatch", 5, "MSA|AE"},
        {"a,b,port,2,2,3,4,1,5,3,0,MSA|AE,2,2,1,1,06\r\n", "13 Type mismatch", 99, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        Loading f;
        f.Scramble();
        f.w.stsPanels[2]->setText("before");
        f.w.mnuClientStartSendingRecords->setText("before");
        QString path = f.Clients("bad.client");
        test::WriteBytes(path, c.content);
        f.w.LoadClientConfiguration(path);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        const auto& box = f.responder.shown()[0];
        EXPECT_EQ(box.text, "Unanticipated error in LoadClientConfiguration(" + path + ") "
                                + c.error + "Please contact Tech Support");
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, MsgIcon::Critical);
        EXPECT_EQ(f.state.client.ClientServerHost, "a");
        EXPECT_EQ(f.state.client.ClientMaxTimeWaitForAck, c.maxTime);
        EXPECT_EQ(f.state.ack.AckText, c.ackText);
        EXPECT_EQ(f.state.client.ClientMaxNakAction, 9);
        EXPECT_EQ(f.state.ack.UseAckBytes, 2);
        EXPECT_EQ(f.Panel(2), "before");
        EXPECT_EQ(f.StartCaption(), "before");
    }
    // default.client cannot be written.
    Loading f;
    QDir().mkpath(f.Clients("default.client"));
    QString none;
    f.w.LoadClientConfiguration(none);
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].text,
              "Unanticipated error in LoadClientConfiguration() 75 Path/File access "
              "errorPlease contact Tech Support");
}

// ----------------------------------------------------------------------------------- the editor

struct Editor : ::testing::Test {
    test::MainWindowFixture f;
    AppState& st = f.state;
    platform::ScriptedResponder& responder = f.responder;

    QString Clients(const QString& name) const { return st.folders.ClientsFolder + name; }
    QString Write(const QString& name, const std::string& line) const
    {
        test::WriteBytes(Clients(name), line + "\r\n");
        return Clients(name);
    }
    static void Leave(QWidget* box)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    static void Type(QLineEdit* box, const QString& text)
    {
        box->clear();
        QTest::keyClicks(box, text);
        Leave(box);
    }
    static QStringList Codes(const frmClientConfig& w)
    {
        return {w.txtStartOfBlockChar->text(), w.txtEndOfBlockChar->text(),
                w.txtEndOfDataChar->text()};
    }
    size_t Questions() const
    {
        size_t n = 0;
        for (const auto& box : responder.shown())
            n += box.title == "Server Configuration Not Saved";
        return n;
    }
};

TEST_F(Editor, ShowsTheFileWithItsBaseAndOptions)
{
    struct Case {
        std::string base;
        int checked;  // -1: none
        QStringList codes;
    };
    const std::vector<Case> cases = {
        {"0", 0, {"11", "13", "28"}}, {"1", 1, {"13", "15", "34"}},
        {"2", 2, {"0B", "0D", "1C"}}, {"7", -1, {"11", "13", "28"}},
        {"hex", 0, {"11", "13", "28"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        st.client.ClientConfigName = "lab.client";
        Write("lab.client", "h,i,2575," + c.base + ",11,13,28,4,5,6,7,MSA|AR,2,0,9,1,06");
        frmClientConfig w(st, responder);
        w.show();
        EXPECT_EQ(w.windowTitle(), "Configure TCP/IP Client - lab.client");
        EXPECT_EQ(w.FilePath(), Clients("lab.client"));
        EXPECT_EQ(Codes(w), c.codes);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(w.optBase[static_cast<size_t>(i)]->isChecked(), i == c.checked);
        EXPECT_EQ(w.txtImClient_ServerHostname->text(), "h");
        EXPECT_EQ(w.txtIP->text(), "i");
        EXPECT_EQ(w.txtImClient_ServerPort->text(), "2575");
        EXPECT_EQ(w.txtDelayAfterConnecting->text(), "4");
        EXPECT_EQ(w.txtMaxTimeWaitForACK->text(), "5");
        EXPECT_EQ(w.txtMaxTriesResend->text(), "6");
        EXPECT_EQ(w.txtDelayBetweenRecords->text(), "9");
        EXPECT_EQ(w.txtACK->text(), "MSA|AR");
        EXPECT_EQ(w.txtSimpleACK->text(), "06");
        EXPECT_TRUE(w.chkWaitForACK->isChecked());
        EXPECT_TRUE(w.optACKtype[1]->isChecked());
        EXPECT_TRUE(w.optNAKrcvd[2]->isChecked());
        EXPECT_TRUE(w.optMaxNAKrcvd[0]->isChecked());
        EXPECT_FALSE(w.Changed());
        EXPECT_TRUE(responder.shown().empty());
        w.cmdCancel_Click();
        EXPECT_EQ(Questions(), 0u);
    }
}

TEST_F(Editor, CodeBoxesFollowTheChosenBase)
{
    Write("default.client", "h,i,2575,2,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,06");
    frmClientConfig w(st, responder);
    w.show();
    EXPECT_EQ(Codes(w), QStringList({"0B", "0D", "1C"}));
    w.optBase[1]->click();
    EXPECT_EQ(Codes(w), QStringList({"13", "15", "34"}));
    EXPECT_EQ(w.Values().DisplayBase, "1");
    EXPECT_TRUE(w.Changed());

    // Typed key by key, read in the chosen base when the box is left; a box left with no code
    // shows its code again.
    struct Case { int base; QString keys; QString shown; int16_t code; };
    const std::vector<Case> cases = {
        {2, "1C", "1C", 28}, {2, "1c", "1C", 28}, {2, "1G4", "14", 20}, {2, "1FF", "1F", 31},
        {1, "34", "34", 28}, {1, "9", "34", 28}, {1, "377", "377", 255}, {0, "300", "30", 30},
        {0, "", "30", 30}, {0, "x7", "7", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        w.optBase[static_cast<size_t>(c.base)]->click();
        Type(w.txtEndOfDataChar, c.keys);
        EXPECT_EQ(w.txtEndOfDataChar->text(), c.shown);
        EXPECT_EQ(w.Values().EndOfDataCode, c.code);
    }
    // A code being typed counts in its own base when another base is chosen.
    w.optBase[2]->click();
    w.txtStartOfBlockChar->setFocus();
    w.txtStartOfBlockChar->setText("1C");
    w.optBase[0]->click();
    EXPECT_EQ(w.txtStartOfBlockChar->text(), "28");
    EXPECT_EQ(w.Values().StartOfBlockCode, 28);
}

TEST_F(Editor, NumberBoxesTakeDigitsOnly)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    frmClientConfig w(st, responder);
    w.show();
    struct Case { QLineEdit* box; QString keys; QString shown; };
    const std::vector<Case> cases = {
        {w.txtImClient_ServerPort, "3a0b0", "300"},
        {w.txtImClient_ServerPort, "2147483647", "2147483647"},
        {w.txtImClient_ServerPort, "21474836479", "2147483647"},
        {w.txtImClient_ServerPort, "-1 ", "1"},
        {w.txtImClient_ServerPort, "", "3000"},  // an empty port is the default port
        {w.txtDelayAfterConnecting, "1x2-3", "123"},
        {w.txtMaxTimeWaitForACK, "99999", "9999"},
        {w.txtMaxTriesResend, "32767", "32767"},
        {w.txtDelayBetweenRecords, "0.5", "05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        Type(c.box, c.keys);
        EXPECT_EQ(c.box->text(), c.shown);
    }
    Type(w.txtImClient_ServerPort, "2575");
    EXPECT_EQ(w.Values().ServerPort, 2575);
    EXPECT_EQ(w.Values().MaxTriesResend, 32767);
    EXPECT_EQ(w.Values().DelayBetweenRecords, 5);

    // Entering a box selects its whole text.
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(w.txtIP, &in);
    QApplication::processEvents();
    EXPECT_EQ(w.txtIP->selectedText(), "127.0.0.1");
}

TEST_F(Editor, ResetButtons)
{
    st.delimiters.FieldSeparator = "!";
    Write("default.client", "h,i,1,0,11,13,28,0,10,10,1,MSA|AE,0,1,0,0,06");
    frmClientConfig w(st, responder);
    w.cmdReset[0]->click();
    EXPECT_EQ(w.txtACK->text(), "MSA!AA");
    w.cmdReset[1]->click();
    EXPECT_EQ(w.txtSimpleACK->text(), "0b 06 1c 0d");
    EXPECT_TRUE(w.Changed());
}

TEST_F(Editor, SaveWritesTheLineAsShownAndCloses)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    frmClientConfig w(st, responder);
    w.show();
    Type(w.txtImClient_ServerHostname, "a");
    Type(w.txtIP, "b");
    Type(w.txtImClient_ServerPort, "3001");
    w.optBase[2]->click();
    Type(w.txtStartOfBlockChar, "02");
    Type(w.txtEndOfBlockChar, "03");
    Type(w.txtDelayAfterConnecting, "1");
    Type(w.txtMaxTimeWaitForACK, "5");
    Type(w.txtMaxTriesResend, "3");
    w.chkWaitForACK->click();
    w.optACKtype[1]->click();
    Type(w.txtACK, "MSA|AE");
    Type(w.txtSimpleACK, "06");
    w.optNAKrcvd[2]->click();
    w.optMaxNAKrcvd[2]->click();
    Type(w.txtDelayBetweenRecords, "1");
    // The last code is still being typed when Save is pressed.
    w.txtEndOfDataChar->setFocus();
    w.txtEndOfDataChar->setText("04");

    responder.QueueFiles({Clients("lab")});
    w.cmdSave->click();

    EXPECT_EQ(test::ReadBytes(Clients("lab.client")), kEditorLine + "\r\n");
    ASSERT_EQ(responder.fileDialogs().size(), 1u);
    const platform::FileDialogRequest& request = responder.fileDialogs()[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, "Save Client Configuration");
    EXPECT_EQ(request.folder, Clients("default.client"));
    EXPECT_EQ(request.patterns, QStringList({"Client Files (*.client)"}));
    EXPECT_TRUE(responder.shown().empty());  // saved: no question on leaving
    EXPECT_EQ(st.client.ClientConfigName, "lab.client");
    EXPECT_EQ(w.windowTitle(), "Configure TCP/IP Client - lab.client");
    EXPECT_EQ(w.SavedPath(), Clients("lab.client"));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
    // The default configuration the editor opened on is as it was.
    EXPECT_EQ(test::ReadBytes(Clients("default.client")),
              std::string(kDefaultClientConfigLine) + "\r\n");
}

// A port no connection can be made to is refused with a message before a name is asked for:
// nothing is written and Save leaves the window open for the port to be corrected.
TEST_F(Editor, SaveRefusesAPortOutside1To65535)
{
    struct Case { const char* port; bool saved; };
    const std::vector<Case> cases = {
        {"0", false}, {"65536", false}, {"2147483647", false}, {"1", true}, {"65535", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        Write("default.client", std::string(kDefaultClientConfigLine));
        QFile::remove(Clients("lab.client"));
        st.client.ClientConfigName = QStringLiteral("default.client");
        responder.Clear();
        frmClientConfig w(st, responder);
        w.show();
        Type(w.txtImClient_ServerPort, c.port);
        responder.QueueFiles({Clients("lab")});
        w.cmdSave->click();
        EXPECT_EQ(QFileInfo::exists(Clients("lab.client")), c.saved);
        EXPECT_EQ(w.isVisible(), !c.saved);
        if (c.saved) {
            EXPECT_TRUE(responder.shown().empty());
            continue;
        }
        EXPECT_TRUE(responder.fileDialogs().empty());
        ASSERT_EQ(responder.shown().size(), 1u);
        EXPECT_EQ(responder.shown()[0].title, "Invalid Port Number");
        EXPECT_EQ(responder.shown()[0].text,
                  QStringLiteral("%1 is not a valid port number. Please enter a port number "
                                 "from 1 to 65535.")
                      .arg(c.port));
        EXPECT_EQ(responder.shown()[0].icon, platform::MsgIcon::Exclamation);
    }
}

TEST_F(Editor, LeavingWithUnsavedChangesAsks)
{
    using Edit = std::function<void(frmClientConfig&)>;
    struct Change { const char* name; Edit edit; bool asks; };
    const std::vector<Change> changes = {
        {"nothing", [](frmClientConfig&) {}, false},
        {"host", [](frmClientConfig& w) { Type(w.txtImClient_ServerHostname, "x"); }, true},
        {"ACK type only", [](frmClientConfig& w) { w.optACKtype[1]->click(); }, true},
        {"base only", [](frmClientConfig& w) { w.optBase[1]->click(); }, true},
        {"simple ACK only", [](frmClientConfig& w) { w.txtSimpleACK->setText("06"); }, true},
        {"wait for ACK", [](frmClientConfig& w) { w.chkWaitForACK->click(); }, true},
        {"NAK action", [](frmClientConfig& w) { w.optMaxNAKrcvd[2]->click(); }, true},
    };
    struct Leave { const char* name; Edit leave; };
    const std::vector<Leave> leaves = {
        {"Cancel", [](frmClientConfig& w) { w.cmdCancel->click(); }},
        {"File > Exit", [](frmClientConfig& w) { w.mnuFileExit->trigger(); }},
        {"Escape", [](frmClientConfig& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](frmClientConfig& w) { w.close(); }},
    };
    Write("default.client", std::string(kDefaultClientConfigLine));
    for (const Change& change : changes) {
        for (const Leave& leave : leaves) {
            SCOPED_TRACE(std::string(change.name) + " / " + leave.name);
            responder.Clear();
            frmClientConfig w(st, responder);
            w.show();
            change.edit(w);
            if (change.asks)
                responder.QueueAnswer(MsgAnswer::No);
            leave.leave(w);
            EXPECT_FALSE(w.isVisible());
            EXPECT_FALSE(w.Saved());
            ASSERT_EQ(responder.shown().size(), change.asks ? 1u : 0u);
            if (change.asks) {
                const auto& box = responder.shown()[0];
                EXPECT_EQ(box.text, "This client configuration was changed but not saved.  Do "
                                    "you want to save it before exiting?");
                EXPECT_EQ(box.title, "Server Configuration Not Saved");
                EXPECT_EQ(box.icon, MsgIcon::Exclamation);
                EXPECT_EQ(box.buttons, MsgButtons::YesNo);
            }
            EXPECT_TRUE(responder.fileDialogs().empty());
            EXPECT_EQ(QDir(st.folders.ClientsFolder).entryList(QDir::Files),
                      QStringList({"default.client"}));
        }
    }
}

TEST_F(Editor, YesToTheQuestionSavesAs)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    {
        // Yes, then a name: saved, and the window closes.
        frmClientConfig w(st, responder);
        w.show();
        Type(w.txtImClient_ServerHostname, "x");
        responder.QueueAnswer(MsgAnswer::Yes);
        responder.QueueFiles({Clients("x.client")});
        w.cmdCancel->click();
        EXPECT_TRUE(responder.allAnswersUsed());
        EXPECT_EQ(test::ReadBytes(Clients("x.client")),
                  "x,127.0.0.1,3000,0,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,0b 06 1c 0d\r\n");
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
    {
        // Yes, then the name is cancelled: the window closes all the same.
        responder.Clear();
        frmClientConfig w(st, responder);
        w.show();
        Type(w.txtImClient_ServerHostname, "y");
        responder.QueueAnswer(MsgAnswer::Yes);
        responder.QueueFiles({});
        w.cmdCancel->click();
        EXPECT_EQ(responder.fileDialogs().size(), 1u);
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(w.Saved());
        EXPECT_EQ(w.result(), QDialog::Rejected);
    }
    // Save whose name is cancelled asks the question on leaving; No leaves unsaved.
    responder.Clear();
    frmClientConfig w(st, responder);
    w.show();
    Type(w.txtImClient_ServerHostname, "z");
    responder.QueueFiles({});
    responder.QueueAnswer(MsgAnswer::No);
    w.cmdSave->click();
    EXPECT_TRUE(responder.allAnswersUsed());
    EXPECT_EQ(Questions(), 1u);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFileInfo::exists(Clients("z.client")));
}

TEST_F(Editor, SaveAsPlacesNewNamesInTheClientsFolder)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    QTemporaryDir elsewhere;
    const QString existing = elsewhere.filePath("old.client");
    test::WriteBytes(existing, "old\r\n");
    struct Case { QString chosen; QString written; QString name; };
    const std::vector<Case> cases = {
        {Clients("a.client"), Clients("a.client"), "a.client"},
        {Clients("b"), Clients("b.client"), "b.client"},
        {Clients("c.txt"), Clients("c.txt.client"), "c.txt.client"},
        {Clients("D.CLIENT"), Clients("D.CLIENT"), "D.CLIENT"},
        {elsewhere.filePath("new.client"), Clients("new.client"), "new.client"},
        {existing, existing, "old.client"},
    };
    frmClientConfig w(st, responder);
    w.show();
    QString proposed = "default.client";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        Type(w.txtImClient_ServerHostname, "h");
        responder.QueueFiles({c.chosen});
        w.mnuFileSaveAs->trigger();
        EXPECT_EQ(test::ReadBytes(c.written),
                  "h,127.0.0.1,3000,0,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,0b 06 1c 0d\r\n");
        EXPECT_EQ(st.client.ClientConfigName, c.name);
        EXPECT_EQ(w.windowTitle(), "Configure TCP/IP Client - " + c.name);
        EXPECT_EQ(w.SavedPath(), c.written);
        EXPECT_FALSE(w.Changed());
        EXPECT_TRUE(w.isVisible());
        // Each dialog proposes the name last saved.
        EXPECT_EQ(responder.fileDialogs().back().folder, Clients(proposed));
        proposed = c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath("new.client")));
    EXPECT_TRUE(responder.shown().empty());
}

TEST_F(Editor, SaveAsReportsABoxThatHoldsNoNumber)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    frmClientConfig w(st, responder);
    w.show();
    Type(w.txtMaxTriesResend, "");
    EXPECT_EQ(w.Values().MaxTriesResend, 10);  // left empty: the old value stays
    responder.QueueFiles({Clients("e.client")});
    w.mnuFileSaveAs->trigger();
    ASSERT_EQ(responder.shown().size(), 1u);
    const auto& box = responder.shown()[0];
    EXPECT_EQ(box.text, "Unanticipated error 13 - Type mismatch in frmConfigureClient:mnuFileSaveAs. "
                        "Please contact Tech Support.");
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.title, "Quillon");
    EXPECT_FALSE(QFileInfo::exists(Clients("e.client")));
    EXPECT_TRUE(w.Changed());
    EXPECT_EQ(st.client.ClientConfigName, "default.client");
}

TEST_F(Editor, OpenShowsAnotherFile)
{
    Write("default.client", std::string(kDefaultClientConfigLine));
    const QString lab = Write("lab.client", kEditorLine);
    const QString shortFile = Write("short.client", "a,b,3001,2,2,3,4,1");
    frmClientConfig w(st, responder);
    w.show();

    responder.QueueFiles({});  // cancelled
    w.mnuFileOpen->trigger();
    EXPECT_EQ(w.FilePath(), Clients("default.client"));
    ASSERT_EQ(responder.fileDialogs().size(), 1u);
    EXPECT_FALSE(responder.fileDialogs()[0].save);
    EXPECT_EQ(responder.fileDialogs()[0].title, "Open Client File");
    EXPECT_EQ(responder.fileDialogs()[0].folder, st.folders.ClientsFolder);

    responder.QueueFiles({lab});
    w.mnuFileOpen->trigger();
    EXPECT_EQ(w.FilePath(), lab);
    EXPECT_EQ(w.Values(), EditorValues());
    EXPECT_EQ(w.windowTitle(), "Configure TCP/IP Client - lab.client");
    EXPECT_EQ(Codes(w), QStringList({"02", "03", "04"}));
    EXPECT_FALSE(w.chkWaitForACK->isChecked());
    EXPECT_FALSE(w.Changed());

    // A file that cannot be read changes nothing.
    responder.QueueFiles({shortFile});
    w.mnuFileOpen->trigger();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "Unanticipated error in frmConfigureClient:mnuFileOpen: 62 "
                                         "Input past end of filePlease contact Tech Support");
    EXPECT_EQ(responder.shown()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(responder.shown()[0].title, "Error");
    EXPECT_EQ(w.FilePath(), lab);
    EXPECT_EQ(w.Values(), EditorValues());
    EXPECT_EQ(w.txtImClient_ServerHostname->text(), "a");
}

TEST_F(Editor, AConfigurationThatCannotBeReadShowsTheDefaults)
{
    st.client.ClientConfigName = "gone.client";
    frmClientConfig w(st, responder);
    w.show();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "Unanticipated error in frmConfigureClient:Form_Load: 53 "
                                         "File not foundPlease contact Tech Support");
    EXPECT_EQ(w.windowTitle(), "Configure TCP/IP Client - gone.client");
    EXPECT_EQ(w.Values(), ClientConfig{});
    EXPECT_EQ(w.txtImClient_ServerHostname->text(), "localhost");
    EXPECT_TRUE(w.optBase[0]->isChecked());
    EXPECT_FALSE(w.Changed());
    // Saved under the proposed name, the defaults make the missing file.
    responder.QueueFiles({Clients("gone.client")});
    w.mnuFileSave->trigger();
    EXPECT_EQ(test::ReadBytes(Clients("gone.client")),
              "localhost,127.0.0.1,3000,0,11,13,28,0,10,10,1,MSA|AA,0,1,0,0,0b 06 1c 0d\r\n");
    EXPECT_EQ(responder.fileDialogs().back().folder, Clients("gone.client"));
}

}  // namespace
}  // namespace quillon
