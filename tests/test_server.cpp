// The TCP/IP server's receive engine: records cut from data arriving in chunks, then the same
// through the main window over real sockets on 127.0.0.1 (replies, store, list, labels, the disk
// log and the trace). Every wait is bounded.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "platform/WinsockControl.h"
#include "tcpip/ServerEngine.h"

namespace quillon::test {
namespace {

namespace wstate = platform::winsock_state;

const std::string kMsh = "MSH|^~\\&|A|B|C|D|||ADT^A01|123|P|2.3";
const std::string kAck =
    "\x0bMSH|^~\\&|A|B|C|D|||ACK|123|P|2.3\rMSA|AA|123|ACK Created by QN\r\x1c\r";

std::string Frame(const std::string& record, const EnvelopeChars& e = {})
{
    return std::string(1, e.StartOfBlockChar) + record + e.EndOfDataChar + e.EndOfBlockChar;
}

// A one-segment record whose control ID is `id`.
std::string Rec(const std::string& id)
{
    return "MSH|^~\\&|A|B|C|D|||ADT^A01|" + id + "|P|2.3\r";
}

std::string AckFor(const std::string& id)
{
    return "\x0bMSH|^~\\&|A|B|C|D|||ACK|" + id + "|P|2.3\rMSA|AA|" + id
           + "|ACK Created by QN\r\x1c\r";
}

// Feeds the chunks as the window does (append, then cut) and collects the stored texts.
std::vector<std::string> Cut(RecordCutter& cutter, const std::vector<std::string>& chunks,
                             Delimiters& d, const EnvelopeChars& e = {})
{
    std::vector<std::string> out;
    for (const std::string& p : chunks) {
        cutter.Append(p, e);
        for (ReceivedRecord& r : cutter.CutRecords(e, d))
            out.push_back(std::move(r.record));
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Record cutting

TEST(RecordCutter, FrameSplitAtEveryByteGivesOneRecordAndItsDelimiters)
{
    const std::string record = "MSH*+?!%*A*B\rPID*1\r";
    const std::string frame = Frame(record);
    for (size_t at = 1; at < frame.size(); ++at) {
        RecordCutter cutter;
        Delimiters d;
        const auto got = Cut(cutter, {frame.substr(0, at), frame.substr(at)}, d);
        ASSERT_EQ(got, std::vector<std::string>{record}) << "split at " << at;
        EXPECT_EQ(d.AllDelimiters, "*+?!%") << "split at " << at;
        EXPECT_TRUE(cutter.Text().empty()) << "split at " << at;
    }
}

TEST(RecordCutter, CutsWhatTheArrivalsComplete)
{
    const std::string r1 = Rec("1"), r2 = Rec("2"), r3 = Rec("3");
    std::vector<std::string> bytes;
    for (char c : Frame(r1))
        bytes.emplace_back(1, c);
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> records;
        std::string delimiters;  // AllDelimiters afterwards
    };
    const std::string fs = "\x1c", any = "|^~\\&";
    const std::string inner = "MSH|^~\\&|A" + fs + "B\rZ" + fs + "C\r";  // lone end-of-data
    // clang-format off
    const std::vector<Case> cases = {
        {"three frames in one chunk", {Frame(r1) + Frame(r2) + Frame(r3)}, {r1, r2, r3}, any},
        {"one-byte chunks", bytes, {r1}, any},
        {"blanks, CR and LF before and between records",
         {" \r\n" + Frame(r1) + "\r\n  " + Frame(r2)}, {r1, r2}, any},
        {"end-of-data inside the record does not end it",
         {Frame(inner)}, {inner}, any},
        {"end-of-data ends one chunk, end-of-block starts the next",
         {"\x0b" + r1 + fs, "\r" + Frame(r2)}, {r1, r2}, any},
        {"delimiters from each header", {Frame("MSH#$%@!#X\r") + Frame("FHS|^~\\&|Y\r")},
         {"MSH#$%@!#X\r", "FHS|^~\\&|Y\r"}, any},
        {"batch trailer keeps the delimiters", {Frame("MSH#$%@!#X\r") + Frame("BTS#1\r")},
         {"MSH#$%@!#X\r", "BTS#1\r"}, "#$%@!"},
        {"one stray character before the header is dropped", {Frame("xMSH*+?!%*A\r")},
         {"MSH*+?!%*A\r"}, "*+?!%"},
        {"only control characters, then a record", {"\r\n\x01\x02\x03\x04\x05\x06", Frame(r1)},
         {r1}, any},
        {"a lone envelope end after blanks", {"       \x1c\r", Frame(r1)}, {r1}, any},
    };
    // clang-format on
    for (const Case& c : cases) {
        RecordCutter cutter;
        Delimiters d;
        EXPECT_EQ(Cut(cutter, c.chunks, d), c.records) << c.name;
        EXPECT_EQ(d.AllDelimiters, c.delimiters) << c.name;
        EXPECT_TRUE(cutter.Text().empty()) << c.name;
    }
}

TEST(RecordCutter, IncompleteRecordWaitsAndReportsComplete)
{
    RecordCutter cutter;
    Delimiters d;
    const EnvelopeChars e;
    EXPECT_FALSE(cutter.Append("\x0bMSH|^~\\&|A\r\x1c", e));
    EXPECT_TRUE(cutter.CutRecords(e, d).empty());
    EXPECT_EQ(cutter.Text(), "MSH|^~\\&|A\r\x1c");  // the start-of-block is gone already
    EXPECT_TRUE(cutter.Append("\r", e));
    const auto got = cutter.CutRecords(e, d);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].ackSource, "MSH|^~\\&|A\r\x1c");
    EXPECT_EQ(got[0].headerName, "MSH");
}

TEST(RecordCutter, ManyRecordsAndLongRecordsInLinearTime)
{
    const EnvelopeChars e;
    {
        std::string all;
        for (int i = 0; i < 100000; ++i)
            all += Frame(Rec(std::to_string(i)));
        RecordCutter cutter;
        Delimiters d;
        const auto got = Cut(cutter, {all}, d);
        ASSERT_EQ(got.size(), 100000u);
        EXPECT_EQ(got.front(), Rec("0"));
        EXPECT_EQ(got.back(), Rec("99999"));
    }
    {
        // A 2 MB record in 64-byte chunks: rescanning the buffer on each arrival would take
        // minutes.
        const std::string record = kMsh + "\r" + std::string(2 << 20, 'x') + "\r";
        const std::string frame = Frame(record);
        RecordCutter cutter;
        Delimiters d;
        std::vector<std::string> got;
        for (size_t at = 0; at < frame.size(); at += 64) {
            cutter.Append(std::string_view(frame).substr(at, 64), e);
            for (ReceivedRecord& r : cutter.CutRecords(e, d))
                got.push_back(std::move(r.record));
        }
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], record);
    }
}

// ---------------------------------------------------------------------------------------------
// Through the main window over loopback sockets

bool WaitFor(const std::function<bool()>& done, int ms = 5000)
{
    return QTest::qWaitFor(done, ms);
}

class ServerEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A port just bound and released by us; retried in the unlikely case it was taken.
        QString error;
        for (int attempt = 0; attempt < 5 && !listening; ++attempt) {
            QTcpServer probe;
            ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
            probe.close();
            st.server.LocalPort = port;
            w->Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
            listening = w->StartListening(&error);
        }
        ASSERT_TRUE(listening) << error.toStdString();
        ASSERT_EQ(w->Winsock1->LocalPort(), port);
        ASSERT_EQ(w->Winsock1->State(), wstate::Listening);
    }

    void TearDown() override
    {
        for (auto& c : clients)
            c->abort();
        w->StopListening();
        EXPECT_TRUE(f.responder.shown().empty())
            << "message box: " << f.responder.shown().front().text.toStdString();
    }

    QTcpSocket& Connect()
    {
        clients.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket& c = *clients.back();
        c.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        EXPECT_TRUE(WaitFor([&] { return c.state() == QAbstractSocket::ConnectedState; }));
        EXPECT_TRUE(WaitFor([&] {
            return w->Winsock1->State() == wstate::Connected
                   && w->Winsock1->RemotePort() == c.localPort();
        }));
        // Let the reverse lookup of the peer answer, so the host shown no longer changes.
        WaitFor([&] { return !w->Winsock1->RemoteHost().isEmpty(); }, 1000);
        return c;
    }

    static void Send(QTcpSocket& c, const std::string& bytes)
    {
        c.write(bytes.data(), static_cast<qint64>(bytes.size()));
        c.flush();
        WaitFor([&] { return c.bytesToWrite() == 0; });
        QTest::qWait(1);
    }

    // Reads until `size` bytes came, then a moment more for anything unexpected.
    static std::string Reply(QTcpSocket& c, size_t size)
    {
        std::string got;
        WaitFor([&] {
            got += c.readAll().toStdString();
            return got.size() >= size;
        });
        QTest::qWait(size == 0 ? 300 : 50);
        return got + c.readAll().toStdString();
    }

    // The list and the labels follow the store within 50 ms; the flush brings them now.
    bool WaitForRecords(int32_t n)
    {
        const bool got = WaitFor([&] { return st.records.RecordCount >= n; });
        w->FlushReceivedRows();
        return got;
    }

    QString LogText() const
    {
        QString all;
        const QDir logs(st.folders.LogsFolder);
        for (const QString& name : logs.entryList(QDir::Files))
            all += QString::fromStdString(ReadBytes(logs.filePath(name)));
        return all;
    }

    MainWindowFixture f;
    AppState& st = f.state;
    frmMain* w = f.window.get();
    int port = 0;
    bool listening = false;
    std::vector<std::unique_ptr<QTcpSocket>> clients;
};

TEST_F(ServerEngine, RepliesStoresAndLists)
{
    const EnvelopeChars odd{2, 10, 3};  // start-of-block, end-of-block, end-of-data
    const std::string oddRec = "MSH|^~\\&|A|B|C|D|||ADT^A01|123|P|2.3\nPID|1\n";
    std::vector<std::string> bytes;
    for (char c : Frame(Rec("123")))
        bytes.emplace_back(1, c);
    struct Case {
        const char* name;
        std::vector<std::string> writes;
        std::vector<std::string> records;
        std::string reply;
        int16_t sendAck = 1;
        int16_t ackType = 0;
        std::string ackFile = {};  // content of the user ACK file; empty: no file chosen
        EnvelopeChars envelope = {};
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"one frame", {Frame(kMsh + "\r")}, {kMsh + "\r"}, kAck},
        {"later segments stay out of the ACK", {Frame(kMsh + "\rPID|1||X\r")},
         {kMsh + "\rPID|1||X\r"}, kAck},
        {"three frames in one write", {Frame(Rec("1")) + Frame(Rec("2")) + Frame(Rec("3"))},
         {Rec("1"), Rec("2"), Rec("3")}, AckFor("1") + AckFor("2") + AckFor("3")},
        {"line ends between frames", {Frame(Rec("1")) + "\r\n", Frame(Rec("2")) + "\n"},
         {Rec("1"), Rec("2")}, AckFor("1") + AckFor("2")},
        {"one-byte writes", bytes, {Rec("123")}, AckFor("123")},
        {"no MSH-9: stored, nothing sent", {Frame("MSH|^~\\&|A|B\r")}, {"MSH|^~\\&|A|B\r"}, ""},
        {"other envelope characters", {Frame(oddRec, odd)}, {oddRec},
         "\x02MSH|^~\\&|A|B|C|D|||ACK|123|P|2.3\nMSA|AA|123|ACK Created by QN\n\x03\n",
         1, 0, "", odd},
        {"no ACK wanted", {Frame(Rec("7"))}, {Rec("7")}, "", 0},
        {"fixed ACK bytes", {Frame(Rec("7"))}, {Rec("7")}, "\x0b\x06\x1c\x0d", 1, 1},
        {"user ACK type without a file: generated ACK", {Frame(Rec("7"))}, {Rec("7")},
         AckFor("7"), 1, 2},
        {"user ACK file: its first item", {Frame(Rec("7"))}, {Rec("7")}, "MY ACK, 1", 1, 2,
         "  \"MY ACK, 1\",second\r\n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        st.records.Reset(1);
        w->CurrentPage = 0;
        w->lstRecords->clear();
        st.envelope = c.envelope;
        st.server.SendAck = c.sendAck;
        st.ack.UseAckBytes = c.ackType;
        st.ack.UserAckFile = c.ackFile.empty() ? QString() : f.WriteFile("ack.txt", c.ackFile);

        QTcpSocket& client = Connect();
        for (const std::string& chunk : c.writes)
            Send(client, chunk);
        ASSERT_TRUE(WaitForRecords(static_cast<int32_t>(c.records.size())));
        EXPECT_EQ(Reply(client, c.reply.size()), c.reply);

        const auto n = static_cast<int32_t>(c.records.size());
        ASSERT_EQ(st.records.RecordCount, n);
        ASSERT_EQ(w->lstRecords->count(), n);
        for (int32_t i = 0; i < n; ++i) {
            EXPECT_EQ(st.records.Record(i + 1), c.records[static_cast<size_t>(i)]);
            EXPECT_EQ(w->lstRecords->item(i)->text(),
                      QString::fromLatin1(c.records[static_cast<size_t>(i)]));
        }
        // The first record is selected and its segments shown.
        const std::string& first = c.records.front();
        EXPECT_EQ(w->lstRecords->currentRow(), 0);
        EXPECT_EQ(w->lstSegments->count(),
                  std::count(first.begin(), first.end(), c.envelope.EndOfBlockChar));
        EXPECT_EQ(w->lblTCPIPcount->text(), QStringLiteral("Count: %1").arg(n));
        EXPECT_EQ(w->lblFile->text(), QStringLiteral("Rec 1/%1").arg(n));
        EXPECT_EQ(w->lblPageOf->text(), QStringLiteral("Pg 1/1"));
        const QString source = QStringLiteral("Data from TCP/IP Client %1 at 127.0.0.1 Port: %2")
                                   .arg(w->Winsock1->RemoteHost())
                                   .arg(client.localPort());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillon - ") + source);
        EXPECT_EQ(st.session.CurrentFileName, source);
        if (c.ackType == 2 && c.ackFile.empty()) {
            EXPECT_EQ(st.ack.UseAckBytes, 0);
        }

        client.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
    }
}

// Whatever ends the segments of a message, its ACK holds the received header and nothing of
// the segments after it.
TEST_F(ServerEngine, AckHoldsTheHeaderAloneWhateverEndsTheSegments)
{
    const std::string ack =
        "\x0bMSH|^~\\&|A|B|C|D|||ACK|X4|P|2.5\rMSA|AA|X4|ACK Created by QN\r\x1c\r";
    for (const std::string end : {"\r", "\n", "\r\n"}) {
        SCOPED_TRACE(end == "\r" ? "CR" : end == "\n" ? "LF" : "CR LF");
        const std::string message = "MSH|^~\\&|A|B|C|D|||ADT^A01|X4|P|2.5" + end
                                    + "PID|1||123^^^H||DOE^JANE" + end
                                    + "OBX|1|TX|NOTE||private text" + end;
        st.records.Reset(1);
        QTcpSocket& client = Connect();
        Send(client, Frame(message));
        ASSERT_TRUE(WaitForRecords(1));
        EXPECT_EQ(Reply(client, ack.size()), ack);
        EXPECT_EQ(st.records.Record(1), message);
        client.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
    }
}

TEST_F(ServerEngine, UnfinishedRecordOfAnEarlierClientIsNotContinued)
{
    const std::string partial = "\x0bMSH|^~\\&|A|B|C|D|||ADT^A01|1|P|2.3\rPID|";
    enum class Then { Closes, IsReplaced, ListeningRestarts };
    for (const Then then : {Then::Closes, Then::IsReplaced, Then::ListeningRestarts}) {
        SCOPED_TRACE(static_cast<int>(then));
        st.records.Reset(1);
        QTcpSocket& first = Connect();
        Send(first, partial);
        ASSERT_TRUE(WaitFor([&] { return !st.server.ReceiveBuffer.Text().empty(); }));
        if (then == Then::Closes) {
            first.disconnectFromHost();
            ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
        } else if (then == Then::ListeningRestarts) {
            w->StopListening();
            first.abort();
            ASSERT_TRUE(w->StartListening(nullptr));
        }
        QTcpSocket& second = Connect();
        Send(second, Frame(Rec("123")));
        ASSERT_TRUE(WaitForRecords(1));
        EXPECT_EQ(st.records.RecordCount, 1);
        EXPECT_EQ(st.records.Record(1), Rec("123"));
        EXPECT_EQ(Reply(second, AckFor("123").size()), AckFor("123"));
        second.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
    }
}

TEST_F(ServerEngine, EndlessUnfinishedRecordIsDroppedAndTraced)
{
    QTcpSocket& client = Connect();
    std::string flood = "\x0bMSH|^~\\&|A|B|C|D|||ADT^A01|1|P|2.3\rZ|";
    flood.resize(RecordCutter::kMaxPending + 64, 'x');
    client.write(flood.data(), static_cast<qint64>(flood.size()));
    ASSERT_TRUE(WaitFor(
        [&] { return LogText().contains(QStringLiteral("SERVER: Receive buffer full: ")); },
        20000));
    EXPECT_TRUE(st.server.ReceiveBuffer.Text().empty());
    // The rest of the dropped record goes too, up to its end; the next record is whole.
    Send(client, "xx\x1c");
    Send(client, "\r" + Frame(Rec("9")));
    ASSERT_TRUE(WaitForRecords(1));
    ASSERT_EQ(st.records.RecordCount, 1);
    ASSERT_EQ(st.records.Record(1).size(), Rec("9").size());
    EXPECT_EQ(st.records.Record(1), Rec("9"));
    EXPECT_EQ(Reply(client, AckFor("9").size()), AckFor("9"));
}

TEST_F(ServerEngine, FileAckConfigurationAnswersFromTheStart)
{
    const QString ack = f.WriteFile("ack.txt", "\"FILE ACK\",x\r\n");
    QString path = st.folders.ServersFolder + QStringLiteral("file.server");
    WriteBytes(path, "3000,0,11,13,28,1,MSA|AA,06,2,/l.dat,\"" + ack.toStdString() + "\"\r\n");
    w->LoadServerConfiguration(path);
    EXPECT_EQ(st.ack.UseAckBytes, 2);
    QTcpSocket& client = Connect();
    Send(client, Frame(Rec("1")));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(Reply(client, 8), "FILE ACK");
    EXPECT_EQ(st.ack.UseAckBytes, 2);
}

TEST_F(ServerEngine, EmptyAckIsTracedAndNothingSent)
{
    st.trace.LogTCPIP = true;
    struct Case {
        const char* name;
        std::string record;
        int16_t ackType;
        size_t boxes;
    };
    const std::vector<Case> cases = {
        {"no MSH-9", "MSH|^~\\&|A|B\r", 0, 0},
        {"user ACK file missing", Rec("4"), 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(st.folders.LogsFolder).removeRecursively();
        QDir().mkpath(st.folders.LogsFolder);
        f.responder.Clear();
        st.ack.UseAckBytes = c.ackType;
        st.ack.UserAckFile = f.home.filePath(QStringLiteral("no-such-ack.txt"));
        const int32_t before = st.records.RecordCount;
        QTcpSocket& client = Connect();
        Send(client, Frame(c.record));
        ASSERT_TRUE(WaitForRecords(before + 1));
        EXPECT_EQ(Reply(client, 0), "");
        const QString log = LogText();
        EXPECT_TRUE(log.contains(QStringLiteral("SERVER: No ACK sent (empty ACK).")));
        EXPECT_FALSE(log.contains(QStringLiteral("SERVER: Sent ACK"))) << log.toStdString();
        EXPECT_EQ(f.responder.shown().size(), c.boxes);
        client.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
    }
    f.responder.Clear();
}

TEST_F(ServerEngine, RecordIsStoredAndLoggedBeforeItsAck)
{
    st.server.ServerLogFile = f.home.filePath(QStringLiteral("kept.dat"));
    w->chkLogToDisk->click();
    ASSERT_TRUE(w->chkLogToDisk->isChecked());
    // A missing ACK file stops the engine in a box at the moment the ACK is made.
    st.ack.UseAckBytes = 2;
    st.ack.UserAckFile = f.home.filePath(QStringLiteral("no-such-ack.txt"));
    int32_t storedAtAck = 0;
    std::string loggedAtAck;
    f.responder.whileShown = [&](const platform::ScriptedResponder::Shown&) {
        storedAtAck = st.records.RecordCount;
        loggedAtAck = ReadBytes(st.server.ServerLogFile);
    };
    QTcpSocket& client = Connect();
    Send(client, Frame(Rec("1")));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(storedAtAck, 1);
    EXPECT_EQ(loggedAtAck, Rec("1") + "\r\n");
    f.responder.whileShown = nullptr;
    f.responder.Clear();
}

// A record the server takes in after a command has returned stays when a file of that command
// fails beside the window and the command is taken back: it follows the records as they were.
TEST_F(ServerEngine, RecordReceivedAfterASortStaysWhenTheSortIsTakenBack)
{
    const FullFolder full;  // made before the writing thread starts
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    st.undo.UndoEnabled = true;
    st.folders.TempFolder = QFileInfo(full.FilePath("x")).path() + "/";
    w->WriteBesideFrom = 0;
    // More than the small disk holds, in descending order of MSH-7.
    std::vector<std::string> before;
    for (int i = 0; i < 2000; ++i) {
        before.push_back("MSH|^~\\&|A|B|C|D|" + std::to_string(90000 - i) + "||ADT|"
                         + std::to_string(i) + "\rPID|1\r");
        st.records.Append(before.back());
    }
    w->DisplayPage(w->CurrentPage);
    QTcpSocket& client = Connect();
    {
        HeldWrites held(w->backgroundWrites_);
        ASSERT_TRUE(ChooseMenuItem(w->mnuToolsSortMSH7));
        ASSERT_EQ(st.records.Record(1), before.back());
        Send(client, Frame(Rec("late")));
        ASSERT_TRUE(WaitForRecords(2001));
        EXPECT_FALSE(Reply(client, 1).empty());  // acknowledged
    }
    w->AwaitWrites();
    ASSERT_FALSE(f.responder.shown().empty());
    EXPECT_EQ(f.responder.shown().front().title, "Undo");
    f.responder.Clear();
    ASSERT_EQ(st.records.RecordCount, 2001);
    for (int32_t i = 1; i <= 2000; ++i)
        ASSERT_EQ(st.records.Record(i), before[static_cast<size_t>(i - 1)]) << i;
    EXPECT_EQ(st.records.Record(2001), Rec("late"));
}

TEST_F(ServerEngine, FailedLogWriteStaysInPanel4UntilTheNextGoodOne)
{
    const QString folder = f.home.filePath(QStringLiteral("a-folder"));
    QDir().mkpath(folder);
    st.server.ServerLogFile = folder;  // exists, but cannot be appended to
    w->chkLogToDisk->click();
    ASSERT_TRUE(w->chkLogToDisk->isChecked());
    const QString failed =
        QStringLiteral("Received records cannot be logged to ") + folder + ": Is a directory";
    QTcpSocket& client = Connect();
    for (int i = 1; i <= 2; ++i) {
        Send(client, Frame(Rec(std::to_string(i))));
        ASSERT_TRUE(WaitForRecords(i));
        EXPECT_EQ(w->stsPanels[4]->text(), failed);
    }
    // The trace may be on its way through the writer thread.
    ASSERT_TRUE(WaitFor([&] { return LogText().contains(QStringLiteral("SERVER: ") + failed); }));
    st.server.ServerLogFile = f.home.filePath(QStringLiteral("good.dat"));
    Send(client, Frame(Rec("3")));
    ASSERT_TRUE(WaitForRecords(3));
    EXPECT_EQ(w->stsPanels[4]->text(), QStringLiteral("Logging to: ") + st.server.ServerLogFile);
    EXPECT_EQ(ReadBytes(st.server.ServerLogFile), Rec("3") + "\r\n");
}

// A file put in the log's place gets the records after it: nothing lost, nothing twice.
TEST_F(ServerEngine, LogFollowsItsNameWhenTheFileIsReplaced)
{
    const QString log = f.home.filePath(QStringLiteral("log.dat"));
    f.responder.QueueFiles({log});                      // File > Open
    f.responder.QueueAnswer(platform::MsgAnswer::Yes);  // File > Save Now: "File Changed"
    const std::function<void(int record)> before[] = {
        [&](int i) {  // File > Open of the log, then File > Save Now over it
            ASSERT_TRUE(i == 3 || ChooseMenuItem(i == 1 ? w->mnuFileOpen : w->mnuFileSaveNow));
        },
        [&](int i) {  // a copy renamed over it from outside
            if (i == 2 && QFile::copy(log, log + "~")) {
                ASSERT_EQ(std::rename(QFile::encodeName(log + "~"), QFile::encodeName(log)), 0);
            }
        }};
    st.server.ServerLogFile = log;
    w->chkLogToDisk->click();
    QTcpSocket& client = Connect();
    for (const auto& replace : before) {
        std::string logged = Rec("0") + "\r\n";
        WriteBytes(log, logged);
        for (int i = 1; i <= 3; ++i) {
            replace(i);
            const int32_t count = st.records.RecordCount + 1;
            Send(client, Frame(Rec(std::to_string(i))));
            ASSERT_TRUE(WaitForRecords(count));
            logged += Rec(std::to_string(i)) + "\r\n";
        }
        EXPECT_EQ(ReadBytes(log), logged);
    }
    EXPECT_TRUE(f.responder.allAnswersUsed());
    f.responder.Clear();
}

TEST_F(ServerEngine, DataArrivingWhileABoxIsOpenIsTakenWhenItCloses)
{
    st.ack.UseAckBytes = 2;
    st.ack.UserAckFile = f.home.filePath(QStringLiteral("no-such-ack.txt"));
    QTcpSocket& client = Connect();
    f.responder.whileShown = [&](const platform::ScriptedResponder::Shown&) {
        if (f.responder.shown().size() != 1)
            return;
        // The client sends on while the first record's box is open.
        client.write(QByteArray::fromStdString(Frame(Rec("2")) + Frame(Rec("3"))));
        WaitFor([&] { return w->Winsock1->BytesReceived() > 0; }, 2000);
    };
    Send(client, Frame(Rec("1")));
    ASSERT_TRUE(WaitForRecords(3));
    EXPECT_EQ(st.records.Record(3), Rec("3"));
    EXPECT_EQ(f.responder.shown().size(), 3u);
    f.responder.whileShown = nullptr;
    f.responder.Clear();
}

TEST_F(ServerEngine, NewClientReplacesTheConnectedOne)
{
    QTcpSocket& first = Connect();
    QTcpSocket& second = Connect();
    EXPECT_TRUE(WaitFor([&] { return first.state() == QAbstractSocket::UnconnectedState; }));
    Send(second, Frame(Rec("2")));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(Reply(second, AckFor("2").size()), AckFor("2"));
    EXPECT_EQ(st.records.Record(1), Rec("2"));
    EXPECT_EQ(w->Winsock1->State(), wstate::Connected);
}

TEST_F(ServerEngine, RecordBeyondTheShownPageIsStoredNotListed)
{
    QTcpSocket& client = Connect();
    for (int from = 1; from <= 401; from += 100) {
        std::string chunk;
        for (int i = from; i < from + 100 && i <= 401; ++i)
            chunk += Frame(Rec(std::to_string(i)));
        Send(client, chunk);
    }
    ASSERT_TRUE(WaitForRecords(401));
    EXPECT_EQ(st.records.RecordCount, 401);
    EXPECT_EQ(st.records.Record(401), Rec("401"));
    EXPECT_EQ(w->lstRecords->count(), 400);
    EXPECT_EQ(w->lstRecords->item(399)->text(), QString::fromLatin1(Rec("400")));
    EXPECT_EQ(w->lblPageOf->text(), QStringLiteral("Pg 1/2"));
    EXPECT_TRUE(w->lblFile->text().endsWith(QStringLiteral("/401")))
        << w->lblFile->text().toStdString();
    EXPECT_EQ(w->lblTCPIPcount->text(), QStringLiteral("Count: 401"));
}

TEST_F(ServerEngine, RowsAndLabelsFollowAtMostEvery50ms)
{
    // Rows added in one go are one redraw; a pause of more than 2 ms starts another.
    QElapsedTimer clock;
    std::vector<qint64> added;
    QObject::connect(w->lstRecords->model(), &QAbstractItemModel::rowsInserted,
                     [&] { added.push_back(clock.elapsed()); });
    QTcpSocket& client = Connect();
    clock.start();
    for (int i = 1; i <= 30; ++i) {
        Send(client, Frame(Rec(std::to_string(i))));
        QTest::qWait(5);
    }
    // No flush from the test: the rows and labels come by themselves.
    ASSERT_TRUE(WaitFor([&] { return w->lstRecords->count() == 30; }));
    EXPECT_EQ(w->lblTCPIPcount->text(), QStringLiteral("Count: 30"));
    EXPECT_EQ(w->lstRecords->item(29)->text(), QString::fromLatin1(Rec("30")));
    int redraws = 1;
    for (size_t i = 1; i < added.size(); ++i)
        redraws += added[i] - added[i - 1] > 2 ? 1 : 0;
    EXPECT_LE(redraws, 2 + clock.elapsed() / 50) << clock.elapsed() << " ms";
}

TEST_F(ServerEngine, LogsRecordsToDisk)
{
    const std::string r1 = Rec("1"), r2 = kMsh + "\rPID|1\r";
    struct Case {
        const char* name;
        bool envelope;
        QString logFile;  // in the scratch folder; one in a missing folder falls back on DataFolder
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain", false, QStringLiteral("plain.dat"), r1 + "\r\n" + r2 + "\r\n"},
        {"framed", true, QStringLiteral("framed.dat"),
         "\x0b" + r1 + "\r\x1c\r" + "\x0b" + r2 + "\r\x1c\r"},
        {"folder missing: the default log", false, QStringLiteral("missing/x.dat"),
         " \r\n" + r1 + "\r\n" + r2 + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString defaultLog = st.folders.DataFolder + QStringLiteral("LoggedMessages.dat");
        QFile::remove(defaultLog);
        st.options.DiskUseEnvelope = c.envelope;
        st.server.ServerLogFile = f.home.filePath(c.logFile);
        if (c.logFile.contains(QLatin1Char('/')))
            QFile::remove(st.server.ServerLogFile);
        else  // an existing file is appended to
            WriteBytes(st.server.ServerLogFile, "");
        if (w->chkLogToDisk->isChecked())
            w->chkLogToDisk->click();
        w->chkLogToDisk->click();
        ASSERT_TRUE(w->chkLogToDisk->isChecked());
        EXPECT_EQ(w->stsPanels[4]->text(),
                  QStringLiteral("Logging to: ") + st.server.ServerLogFile);

        const int32_t before = st.records.RecordCount;
        QTcpSocket& client = Connect();
        Send(client, Frame(r1) + Frame(r2));
        ASSERT_TRUE(WaitForRecords(before + 2));
        const QString written =
            c.logFile.contains(QLatin1String("missing")) ? defaultLog : st.server.ServerLogFile;
        EXPECT_EQ(ReadBytes(written), c.expected);
        client.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return w->Winsock1->State() == wstate::Listening; }));
    }
    w->chkLogToDisk->click();  // cleared: logging stops with the next record
    EXPECT_TRUE(w->stsPanels[4]->text().isEmpty());
    const std::string before = ReadBytes(f.home.filePath(QStringLiteral("plain.dat")));
    st.server.ServerLogFile = f.home.filePath(QStringLiteral("plain.dat"));
    QTcpSocket& client = Connect();
    Send(client, Frame(Rec("9")));
    ASSERT_TRUE(WaitFor([&] { return st.records.Record(st.records.RecordCount) == Rec("9"); }));
    EXPECT_EQ(ReadBytes(st.server.ServerLogFile), before);
}

// The trace as written, each time stamp masked: the entries, their order and every byte of the
// character-code dumps.
TEST_F(ServerEngine, TracesArrivalsAndAcks)
{
    st.trace.LogTCPIP = true;
    st.trace.LogMessageASCII = true;
    QTcpSocket& client = Connect();
    const std::string frame = Frame(Rec("5"));
    Send(client, frame.substr(0, 10));
    ASSERT_TRUE(WaitFor([&] { return LogText().contains(QStringLiteral("NOT found")); }));
    Send(client, frame.substr(10));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(Reply(client, AckFor("5").size()), AckFor("5"));
    std::string log = LogText().toStdString();
    for (size_t at = 0; (at = log.find("\r\n", at)) != std::string::npos; at += 2)
        if (at + 13 <= log.size() && log[at + 4] == ':' && log[at + 10] == '.')
            log.replace(at + 2, 11, "hh:mm:ss.cc");
    const std::vector<std::string> lines = {
        " ",
        "hh:mm:ss.cc  TCPIP  SERVER: Received _ConnectionRequest",
        "hh:mm:ss.cc  TCPIP  SERVER: Connection already exists.  Closing existing connection.",
        "hh:mm:ss.cc  TCPIP  SERVER: Accepting new _ConnectionRequest.",
        "hh:mm:ss.cc  TCPIP  SERVER: Received following 10 characters of data in _DataArrival:",
        "hh:mm:ss.cc  TCPIP  \x0bMSH|^~\\&|          0B 4D 53 48 7C 5E 7E 5C 26 7C ",
        "hh:mm:ss.cc  TCPIP  SERVER: EndOfDataChar/EndOfBlockChar NOT found. Incomplete record "
        "received.  Waiting for more data.",
        "hh:mm:ss.cc  TCPIP  SERVER: Received following 28 characters of data in _DataArrival:",
        "hh:mm:ss.cc  TCPIP  A|B|C|D|||ADT^A01|5 41 7C 42 7C 43 7C 44 7C 7C 7C 41 44 54 5E 41 30 "
        "31 "
        "7C 35 ",
        "hh:mm:ss.cc         |P|2.3\r\x1c\r           7C 50 7C 32 2E 33 0D 1C 0D ",
        "hh:mm:ss.cc  TCPIP  SERVER: EndOfDataChar/EndOfBlockChar found. Complete record received.",
        "hh:mm:ss.cc  ASCSV  MSH|^~\\&|A|B|C|D||| 4D 53 48 7C 5E 7E 5C 26 7C 41 7C 42 7C 43 7C 44 "
        "7C "
        "7C 7C ",
        "hh:mm:ss.cc         ADT^A01|5|P|2.3\r\x1c\r  41 44 54 5E 41 30 31 7C 35 7C 50 7C 32 2E 33 "
        "0D "
        "1C 0D ",
        "hh:mm:ss.cc  TCPIP  CLIENT: _SendComplete",
        "hh:mm:ss.cc  TCPIP  SERVER: Sent ACK 'MSA|AA' to external system.",
        "hh:mm:ss.cc  TCPIP  SERVER: ACK message sent is as follows:",
        "hh:mm:ss.cc  TCPIP  \x0bMSH|^~\\&|A|B|C|D|| 0B 4D 53 48 7C 5E 7E 5C 26 7C 41 7C 42 7C 43 "
        "7C "
        "44 7C 7C ",
        "hh:mm:ss.cc         |ACK|5|P|2.3\rMSA|AA 7C 41 43 4B 7C 35 7C 50 7C 32 2E 33 0D 4D 53 41 "
        "7C "
        "41 41 ",
        "hh:mm:ss.cc         |5|ACK Created by Q 7C 35 7C 41 43 4B 20 43 72 65 61 74 65 64 20 62 "
        "79 "
        "20 51 ",
        "hh:mm:ss.cc         N\r\x1c\r                4E 0D 1C 0D ",
    };
    std::string expected;
    for (const std::string& line : lines)
        expected += line + "\r\n";
    EXPECT_EQ(log, expected);
}

}  // namespace
}  // namespace quillon::test
