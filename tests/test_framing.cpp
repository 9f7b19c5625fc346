// The TCP/IP wire format (frames, record ends, ACKs, the client's ACK test, the item syntax),
// the server configuration line and the main window's loading of a configuration.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <QDir>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "tcpip/Framing.h"
#include "tcpip/ServerConfig.h"

namespace quillon {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
constexpr size_t npos = std::string::npos;
const std::string kEnd = "\r\x1c\r";  // the end of a generated ACK with the default envelope

TEST(Framing, FrameRecord)
{
    EXPECT_EQ(FrameRecord("MSH|a\rPID|1\r", EnvelopeChars{}), "\x0bMSH|a\rPID|1\r\x1c\r");
    EXPECT_EQ(FrameRecord("R\n", EnvelopeChars{'<', '\n', '>'}), "<R\n>\n");
}

TEST(Framing, RecordEndOverPieces)
{
    struct Case { std::vector<std::string> pieces; std::vector<size_t> endAfterEach; };
    const std::vector<Case> cases = {
        // End-of-data at the end of one piece, end-of-block in the next.
        {{"\x0bMSH|1\r\x1c", "\r"}, {npos, 7}},
        {{"\x0bMSH|1\r", "\x1c", "\rX"}, {npos, npos, 7}},
        // An end-of-data inside the record text does not end it.
        {{"\x0bMSH|\x1c" "a\r\x1c\r"}, {8}},
        // Two records in one piece: the first pair ends the first.
        {{"\x0b" "A\r\x1c\r\x0b" "B\r\x1c\r"}, {3}},
        {{"\x1c\x1c", "\x1c\r"}, {npos, 2}},
    };
    for (const Case& c : cases) {
        std::string buffer;
        for (size_t i = 0; i < c.pieces.size(); ++i) {
            buffer += c.pieces[i];
            EXPECT_EQ(FindRecordEnd(buffer, EnvelopeChars{}), c.endAfterEach[i]) << i;
        }
    }
    EXPECT_EQ(FindRecordEnd("<R\n>\r>\n", EnvelopeChars{'<', '\n', '>'}), 5u);
}

TEST(Framing, GeneratedAck)
{
    struct Case { std::string record, header, ackText, expected; };
    const std::string msh = "MSH|^~\\&|A|B|C|D|||";
    const std::vector<Case> cases = {
        // Sender and receiver stay where they were; MSH-9 becomes ACK.
        {msh + "ADT^A01|123|P|2.3\rPID|1\r\x1c", "MSH", "MSA|AA",
         "\x0b" + msh + "ACK|123|P|2.3\rMSA|AA|123|ACK Created by QN" + kEnd},
        {msh + "ORU^R01|X1\rOBX|1\r\x1c", "MSH", "MSA|CA",
         "\x0b" + msh + "ACK|X1\rMSA|CA|X1|ACK Created by QN" + kEnd},
        // A one-segment record whose segment is not terminated.
        {msh + "ADT^A01|123|P|2.3\x1c", "MSH", "MSA|AA",
         "\x0b" + msh + "ACK|123|P|2.3\rMSA|AA|123|ACK Created by QN" + kEnd},
        {msh + "ADT^A01|77", "MSH", "MSA|AA",
         "\x0b" + msh + "ACK|77\rMSA|AA|77|ACK Created by QN" + kEnd},
        // No MSH-10: the ACK's MSH ends after ACK, the control ID is empty.
        {msh + "ADT^A01\rPID|1|2|3|4|5|6|7|8|9|10\r\x1c", "MSH", "MSA|AA",
         "\x0b" + msh + "ACK|\rMSA|AA||ACK Created by QN" + kEnd},
        {"FHS|^~\\&|A|B|C|D|||F|F1\rMSH|^~\\&|x\r\x1c", "FHS", "MSA|AA",
         "\x0b" "FHS|^~\\&|A|B|C|D|||ACK|F1\rMSA|AA|F1|ACK Created by QN" + kEnd},
        // No MSH-9, also when a later segment has that many fields: nothing to send.
        {"MSH|^~\\&|A|B|C|D||\rPID|1|2|3|4|5|6|7|8|9|10\r\x1c", "MSH", "MSA|AA", ""},
        {"MSH|^~\\&|A|B|C|D||\nPID|1|2|3|4|5|6|7|8|9|10\n\x1c", "MSH", "MSA|AA", ""},
        {"\x1c", "MSH", "MSA|AA", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GenerateAck(c.record, c.header, Delimiters{}, EnvelopeChars{}, c.ackText),
                  c.expected) << c.record;

    Delimiters hash;
    hash.FieldSeparator = "#";
    EXPECT_EQ(GenerateAck("MSH#^~\\&#A#B#C#D###ADT#9#P\n>", "MSH", hash,
                          EnvelopeChars{'<', '\n', '>'}, "MSA|AA"),
              "<MSH#^~\\&#A#B#C#D###ACK#9#P\nMSA|AA#9#ACK Created by QN\n>\n");
}

TEST(Framing, IsAcknowledgement)
{
    struct Case { std::string reply; int16_t type; std::string ackText; bool expected; };
    const std::vector<Case> cases = {
        {"\x0bMSH|x\rMSA|AA|1|ok\r\x1c\r", 0, "MSA|AA", true},
        {"MSA|AAX", 0, "MSA|AA", true},
        {"msa|aa", 0, "MSA|AA", false},
        {"MSA|AE|1", 0, "MSA|AA", false},
        {"x", 0, "", true},
        {"", 0, "", false},
        {"\x0b\x06\x1c\r", 1, "MSA|AA", true},
        {"ab\x0b\x06\x1c\rcd", 2, "MSA|AA", true},
        {"\x0b\x06\x1c", 1, "MSA|AA", false},
        {"MSA|AA", 1, "MSA|AA", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsAcknowledgement(c.reply, c.type, c.ackText, "0b 06 1c 0d"), c.expected)
            << c.reply << " type " << c.type;
}

TEST(Framing, ItemSyntax)
{
    const std::vector<std::pair<std::string, std::string>> first = {
        {"", ""}, {"abc", "abc"}, {"  abc,def", "abc"}, {"\t x", "x"}, {",x", ""},
        {"\"a,b\",c", "a,b"}, {"  \"quoted\" tail,next", "quoted"}, {"\"open, to the end", "open, to the end"},
        {"MSA|AA\r\nnext", "MSA|AA"}, {"one\ntwo", "one"}, {"a b ,c", "a b "},
        {"\x0b\x06\x1c\r", "\x0b\x06\x1c"},
    };
    for (const auto& [text, item] : first)
        EXPECT_EQ(ReadFirstItem(text), item) << text;
    EXPECT_EQ(ReadConfigItems("1, \"a,b\" ,x\r\ny,"),
              (std::vector<std::string>{"1", "a,b", "x", "y", ""}));
}

// ---------------------------------------------------------------- the configuration line

ServerConfig Expected(const QString& log, const QString& userAck)
{
    ServerConfig c;
    c.LogFile = log;
    c.UserAckFile = userAck;
    return c;
}

TEST(ServerConfigLine, WrittenAndDefaultLinesReadAlike)
{
    const std::string def = DefaultServerConfigLine("/d/", "/r/");
    EXPECT_EQ(def, "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,/d/LoggedMessages.dat,/r/AlternateAck.txt");
    const ServerConfig expected = Expected("/d/LoggedMessages.dat", "/r/AlternateAck.txt");
    EXPECT_EQ(FormatServerConfigLine(expected),
              "3000, 0, 11, 13, 28,1,MSA|AA,0b 06 1c 0d,0,\"/d/LoggedMessages.dat\",\"/r/AlternateAck.txt\"");
    for (const std::string& line :
         {def, def + "\r\n", FormatServerConfigLine(expected) + "\r\n",
          std::string("3000 , 0 ,11, 13 ,28, 1, MSA|AA, 0b 06 1c 0d, 0, /d/LoggedMessages.dat, "
                      "\"/r/AlternateAck.txt\"")}) {
        const ServerConfigParse p = ParseServerConfigLine(line);
        EXPECT_TRUE(p.ok()) << line;
        EXPECT_EQ(p.itemsRead, 11) << line;
        EXPECT_EQ(p.config, expected) << line;
    }
}

TEST(ServerConfigLine, FormatThenParse)
{
    ServerConfig other{2575, 2, -1, 3, 4, 0, "MSA|CA", "06", 1, "/a b/c,d.dat", "/dätä/ack.txt"};
    EXPECT_EQ(FormatServerConfigLine(other),
              "2575, 2,-1, 3, 4,0,MSA|CA,06,1,\"/a b/c,d.dat\",\"/dätä/ack.txt\"");
    for (const ServerConfig& c : {ServerConfig{}, other, Expected("", "")}) {
        const ServerConfigParse p = ParseServerConfigLine(FormatServerConfigLine(c) + "\r\n");
        EXPECT_TRUE(p.ok());
        EXPECT_EQ(p.config, c);
    }
}

TEST(ServerConfigLine, Errors)
{
    struct Case { std::string line; int error; int itemsRead; };
    const std::vector<Case> cases = {
        {"", 62, 0},
        {"3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0", 62, 9},
        {"abc,0,11,13,28,1,MSA|AA,0b,0,/l", 13, 0},
        {"3000,0,x11,13,28,1,MSA|AA,0b,0,/l", 13, 2},
        {"3000,0,11,13,28,1,MSA|AA,0b,zero,/l", 13, 8},
        {"3000,0,40000,13,28,1,MSA|AA,0b,0,/l", 6, 2},
        {"99999999999,0,11,13,28,1,MSA|AA,0b,0,/l", 6, 0},
        {"3000,hex,11,13,28,1,MSA|AA,0b,0,/l", 0, 10},
        {"3000,0,11,13,28,1,MSA|AA,0b,0,", 0, 10},
    };
    for (const Case& c : cases) {
        const ServerConfigParse p = ParseServerConfigLine(c.line);
        EXPECT_EQ(p.errorNumber, c.error) << c.line;
        EXPECT_EQ(p.itemsRead, c.itemsRead) << c.line;
    }
}

// ---------------------------------------------------------------- loading into the window

struct Loading : test::MainWindowFixture {
    frmMain& w = *window;
    QString Servers(const QString& name) const { return state.folders.ServersFolder + name; }
    QString Panel(size_t i) const { return w.stsPanels[i]->text(); }
    std::string TraceLog() const
    {
        std::string all;
        for (const QString& f : QDir(state.folders.LogsFolder).entryList(QDir::Files))
            all += test::ReadBytes(state.folders.LogsFolder + f);
        return all;
    }
};

TEST(LoadServerConfiguration, FirstStartWritesAndLoadsTheDefaults)
{
    Loading f;
    f.state.server.LocalPort = 1;
    f.state.ack.AckText = "old";
    f.state.trace.LogTCPIP = true;
    QString path = f.Servers("default.server");
    f.w.LoadServerConfiguration(path);
    const DataFolders& d = f.state.folders;
    EXPECT_EQ(test::ReadBytes(path), DefaultServerConfigLine(d.DataFolder, d.DataRoot) + "\r\n");
    EXPECT_EQ(f.state.server.LocalPort, 3000);
    EXPECT_EQ(f.state.server.SendAck, 1);
    EXPECT_EQ(f.state.ack.UseAckBytes, 0);
    EXPECT_EQ(f.state.ack.AckText, "MSA|AA");
    EXPECT_EQ(f.state.server.ServerLogFile, d.DataFolder + "LoggedMessages.dat");
    EXPECT_TRUE(f.w.mnuServerStartListeningForRecords->isEnabled());
    EXPECT_EQ(f.w.mnuServerStartListeningForRecords->text(), "Start Listening for Records on Port 3000");
    EXPECT_EQ(f.Panel(2), "TCP/IP Server: default.server");
    EXPECT_EQ(f.Panel(3), "Not Listening");
    EXPECT_TRUE(f.responder.shown().empty());
    const std::string log = f.TraceLog();
    EXPECT_NE(log.find("Selected Server Configuration " + path.toStdString()), npos);
    EXPECT_NE(log.find("Set local port = 3000, StartOfBlockChar= 11, EndOfBlockChar= 13, EndOfDataChar= 28"), npos);
}

TEST(LoadServerConfiguration, EditorFileMissingFileAndTrace)
{
    Loading f;
    f.state.ack.UserAckFile = "/kept.txt";
    QString edited = f.Servers("lab.server");
    test::WriteBytes(edited, "2575, 0, 2, 3, 4,0,MSA|CA,06,2,\"/l b.dat\",\"/u.txt\"\r\n");
    f.state.trace.LogTCPIP = true;
    f.w.LoadServerConfiguration(edited);
    EXPECT_EQ(f.state.server.LocalPort, 2575);
    EXPECT_EQ(f.state.server.ServerStartOfBlockCode, 2);
    EXPECT_EQ(f.state.server.SendAck, 0);
    EXPECT_EQ(f.state.ack.AckBytes, "06");
    EXPECT_EQ(f.state.ack.UseAckBytes, 2);
    EXPECT_EQ(f.state.server.ServerLogFile, "/l b.dat");
    EXPECT_EQ(f.state.ack.UserAckFile, "/u.txt");
    EXPECT_EQ(f.state.envelope.StartOfBlockChar, 11);  // the file's codes never frame
    EXPECT_NE(f.TraceLog().find("StartOfBlockChar= 2, EndOfBlockChar= 3, EndOfDataChar= 4"), npos);

    // A missing configuration loads default.server, which keeps what it holds.
    test::WriteBytes(f.Servers("default.server"), "4000,0,11,13,28,1,MSA|AA,0b,0,/x\r\n");
    for (QString missing : {f.Servers("gone.server"), QString()}) {
        f.w.LoadServerConfiguration(missing);
        EXPECT_EQ(f.state.server.LocalPort, 4000);
    }
    EXPECT_EQ(test::ReadBytes(f.Servers("default.server")), "4000,0,11,13,28,1,MSA|AA,0b,0,/x\r\n");
    EXPECT_EQ(f.Panel(2), "TCP/IP Server: ");
}

TEST(LoadServerConfiguration, LogFileAndPanel4)
{
    struct Case { std::string logItem; bool ticked; QString panel4; bool box; };
    const std::vector<Case> cases = {
        {"/x/log.dat", true, "Logging to: /x/log.dat", false},
        {"/x/log.dat", false, "before", false},
        {"", false, "", false},
        {"", true, "Logging to: %1LoggedMessages.dat", true},
    };
    for (const Case& c : cases) {
        Loading f;
        QString path = f.Servers("t.server");
        test::WriteBytes(path, "3000,0,11,13,28,1,MSA|AA,0b,0," + c.logItem + "\r\n");
        f.w.chkLogToDisk->setChecked(c.ticked);
        f.w.stsPanels[4]->setText("before");
        f.w.LoadServerConfiguration(path);
        const QString folder = f.state.folders.DataFolder;
        EXPECT_EQ(f.Panel(4), QString(c.panel4).replace("%1", folder)) << c.logItem;
        ASSERT_EQ(f.responder.shown().size(), c.box ? 1u : 0u);
        if (!c.box)
            continue;
        const auto& box = f.responder.shown()[0];
        EXPECT_EQ(box.title, "Using Default Filename");
        EXPECT_EQ(box.icon, MsgIcon::None);
        EXPECT_EQ(box.text, "You have not selected a file into which to save the incoming records.  "
                            "By default, the following file will be used:\r\n\r\n     "
                                + folder + "LoggedMessages.dat\r\n\r\nIf you wish to use a "
                                "different file, then edit the Server configuration.");
    }
}

TEST(LoadServerConfiguration, BrokenFilesShowTheErrorBox)
{
    struct Case { std::string content; QString message; };
    const std::vector<Case> cases = {
        {"3000,0,11\r\n", "Error 62 - Input past end of file"},
        {"port,0,11,13,28,1,A,B,0,/l\r\n", "Error 13 - Type mismatch"},
        {"3000,0,5,6,x,1,A,B,0,/l\r\n", "Error 13 - Type mismatch"},
        {"70000,0,11,13,28,1,A,B,0,/l\r\n", "Error 380 - Invalid property value"},
    };
    for (const Case& c : cases) {
        Loading f;
        QString path = f.Servers("bad.server");
        test::WriteBytes(path, c.content);
        f.w.LoadServerConfiguration(path);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        const auto& box = f.responder.shown()[0];
        EXPECT_EQ(box.text, c.message + " in LoadServerConfiguration(" + path + ").Please contact Tech Support");
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(f.state.server.LocalPort, 3000);
        EXPECT_EQ(f.Panel(3), "");
    }
    // Items read before the error keep their new values.
    Loading f;
    QString path = f.Servers("bad.server");
    test::WriteBytes(path, "3000,0,5,6,x,1,A,B,0,/l\r\n");
    f.w.LoadServerConfiguration(path);
    EXPECT_EQ(f.state.server.ServerStartOfBlockCode, 5);
    EXPECT_EQ(f.state.server.ServerEndOfBlockCode, 6);
    EXPECT_EQ(f.state.server.ServerEndOfDataCode, 28);
    // default.server cannot be written.
    QDir().mkpath(f.Servers("default.server"));
    QString none;
    f.w.LoadServerConfiguration(none);
    EXPECT_EQ(f.responder.shown().back().text,
              "Error 75 - Path/File access error in LoadServerConfiguration().Please contact Tech Support");
}

TEST(LogToDisk, TickAndClear)
{
    struct Case { bool tick; QString logFile; std::vector<MsgAnswer> answers;
                  bool tickedAfter; QString logAfter; bool editorAsked; };
    const std::vector<Case> cases = {
        {false, "/x/a.dat", {}, false, "/x/a.dat", false},
        {true, "/x/a.dat", {}, true, "/x/a.dat", false},
        {true, "a.dat", {}, true, "%1a.dat", false},
        {true, "", {MsgAnswer::Yes}, true, "%1lab.server", false},
        {true, "", {MsgAnswer::No}, true, "%1lab.server", true},
        {true, "", {MsgAnswer::Cancel}, false, "", false},
    };
    for (const Case& c : cases) {
        Loading f;
        f.state.server.ServerConfigName = "lab.server";
        f.state.server.ServerLogFile = c.logFile;
        for (MsgAnswer a : c.answers)
            f.responder.QueueAnswer(a);
        f.w.stsPanels[4]->setText("before");
        f.w.chkLogToDisk->setChecked(c.tick);
        // "No" opens the server configuration editor on its log tab: close it as a user would.
        bool editorShown = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                editorShown = true;
                modal->close();
            }
        });
        closer.start(10);
        f.w.chkLogToDisk_Click();
        closer.stop();
        EXPECT_EQ(editorShown, c.editorAsked);
        const QString log = QString(c.logAfter).replace("%1", f.state.folders.DataFolder);
        EXPECT_EQ(f.state.server.ServerLogFile, log) << c.logFile.toStdString();
        EXPECT_EQ(f.w.chkLogToDisk->isChecked(), c.tickedAfter) << c.logFile.toStdString();
        EXPECT_EQ(f.Panel(4), c.tickedAfter ? "Logging to: " + log : QString());
        EXPECT_EQ(f.state.server.SelectLogFileRequest, c.editorAsked);
        // The editor may have had its own say about the missing configuration file.
        if (!c.editorAsked) {
            EXPECT_EQ(f.responder.shown().size(), c.answers.size());
        }
        if (!c.answers.empty()) {
            const auto& box = f.responder.shown()[0];
            EXPECT_EQ(box.title, "Specify Logging File");
            EXPECT_EQ(box.buttons, MsgButtons::YesNoCancel);
            EXPECT_EQ(box.icon, MsgIcon::Question);
            EXPECT_EQ(box.text, "You have not selected a file into which to save the incoming "
                                "records.  By default, the following file will be used:\r\n\r\n     "
                                    + f.state.folders.DataFolder + "lab.server\r\n\r\nIf this is OK, click "
                                    "<YES>.  If you wish to use a different file, click <NO>.  If you "
                                    "want to cancel logging, click <CANCEL>.");
        }
    }
}

}  // namespace
}  // namespace quillon
