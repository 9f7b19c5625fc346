// The TCP/IP client's send engine, through the main window over loopback sockets: a test server
// on 127.0.0.1 answers each frame as the case tells it (ACK, NAK, silence, an ACK in two parts,
// a late ACK, a dropped connection), and the frames it receives, with the connection each came
// on, are compared byte for byte.
// Also the wait helper the engine is built on. Every wait is bounded: a watchdog stops any run
// that outlives its case.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/WinsockControl.h"
#include "tcpip/EventWait.h"
#include "tcpip/Framing.h"

namespace quillon::test {
namespace {

using namespace std::chrono_literals;
using platform::MsgIcon;
namespace wstate = platform::winsock_state;

// ---------------------------------------------------------------------------------------------
// The wait helper

TEST(WaitWithEvents, EndsOnItsConditionStopOrDeadline)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds limit;
        int doneAfterMs;  // a timer makes `done` true then; -1 never
        int stopAfterMs;  // likewise for `stop`
        WaitEnd end;
        int minMs, maxMs;  // elapsed time allowed
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"condition met early",            1000ms,  30, -1, WaitEnd::Done,     25, 500},
        {"stop asked early",               1000ms, -1,  30, WaitEnd::Stopped,  25, 500},
        {"stop wins when both come",       1000ms,  30, 30, WaitEnd::Stopped,  25, 500},
        {"deadline",                        150ms, -1,  -1, WaitEnd::TimedOut, 149, 600},
        {"no limit ends on the condition",   -1ms,  40, -1, WaitEnd::Done,     35, 500},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool done = false, stop = false;
        // Precise timers, started after the clock: a coarse timer may fire
        // early by several milliseconds on a busy machine.
        QElapsedTimer t;
        t.start();
        QTimer doneTimer, stopTimer;
        doneTimer.setTimerType(Qt::PreciseTimer);
        stopTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&doneTimer, &QTimer::timeout, [&] { done = true; });
        QObject::connect(&stopTimer, &QTimer::timeout, [&] { stop = true; });
        if (c.doneAfterMs >= 0)
            doneTimer.start(c.doneAfterMs);
        if (c.stopAfterMs >= 0)
            stopTimer.start(c.stopAfterMs);
        EXPECT_EQ(WaitWithEvents(
                      c.limit, [&] { return done; }, [&] { return stop; }),
                  c.end);
        EXPECT_GE(t.elapsed(), c.minMs);
        EXPECT_LE(t.elapsed(), c.maxMs);
    }
}

TEST(WaitWithEvents, ZeroLimitRunsWaitingEventsOnce)
{
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    QCoreApplication::processEvents();  // let the zero timer become due
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ++ran; }, Qt::QueuedConnection);
    EXPECT_EQ(WaitWithEvents(0ms), WaitEnd::TimedOut);
    EXPECT_GE(ran, 1);
    // A condition already met returns at once, with nothing run.
    bool posted = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    EXPECT_EQ(WaitWithEvents(1000ms, [] { return true; }), WaitEnd::Done);
    EXPECT_FALSE(posted);
    QCoreApplication::processEvents();
    EXPECT_TRUE(posted);
}

TEST(WaitWithEvents, BlocksInsteadOfSpinning)
{
    const std::clock_t cpu = std::clock();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(WaitWithEvents(400ms, [] { return false; }), WaitEnd::TimedOut);
    EXPECT_GE(t.elapsed(), 399);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuMs, 100.0) << "the wait kept the processor busy";
}

// ---------------------------------------------------------------------------------------------
// A server that answers each frame as scripted

// "{id}" becomes the control ID (MSH-10) of the frame answered.
const std::string kAckReply = "\x0bMSA|AA|{id}\r\x1c\r";
const std::string kNakReply = "\x0bMSA|AE|1\r\x1c\r";

struct Reply {
    enum Kind { Send, Silence, Drop } kind = Send;
    std::string bytes = kAckReply;
    int splitAt = -1;     // the bytes after this many follow restAfterMs later
    int delayMs = 0;      // the reply (its first part when split) comes this late
    int restAfterMs = 150;
};

Reply Ack()
{
    return {};
}
Reply Nak()
{
    return {Reply::Send, kNakReply};
}
Reply Silence()
{
    return {Reply::Silence, {}};
}
Reply Raw(std::string bytes)
{
    return {Reply::Send, std::move(bytes)};
}
Reply SplitAck(int at)
{
    return {Reply::Send, kAckReply, at};
}
Reply LateAck(int ms, std::string bytes = kAckReply)
{
    return {Reply::Send, std::move(bytes), -1, ms};
}
// The ACK, and the same ACK again `ms` later (before the client's next record when below 50).
Reply RepeatedAck(int ms)
{
    return {Reply::Send, kAckReply + kAckReply, static_cast<int>(kAckReply.size()), 0, ms};
}
// `bytes` cut after `at` characters: the first part `firstMs` after the frame, the rest
// `restMs` after the frame.
Reply SplitLate(std::string bytes, int at, int firstMs, int restMs)
{
    return {Reply::Send, std::move(bytes), at, firstMs, restMs - firstMs};
}
Reply Drop()
{
    return {Reply::Drop, {}};
}

// The control ID of a frame: the tenth field of its first segment, "" when it has none.
std::string ControlId(const std::string& frame)
{
    const std::string header = frame.substr(1, frame.find('\r') - 1);
    size_t at = 0;
    for (int field = 0; field < 9; ++field) {
        at = header.find('|', at);
        if (at == std::string::npos)
            return {};
        ++at;
    }
    return header.substr(at, header.find('|', at) - at);
}

// (connection number from 1, frame bytes)
using Frames = std::vector<std::pair<int, std::string>>;

class ScriptedServer {
public:
    ScriptedServer()
    {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                const int number = ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, s,
                                 [this, s, number] { Receive(s, number); });
                if (relistenAfterMs >= 0) {
                    port_ = server_.serverPort();
                    server_.close();
                    QObject::connect(s, &QTcpSocket::disconnected, &server_, [this] {
                        QTimer::singleShot(relistenAfterMs, &server_, [this] {
                            server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), port_);
                        });
                    });
                }
            }
        });
        clock_.start();
    }

    bool Listen() { return server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0); }
    int Port() const { return port_ != 0 ? port_ : server_.serverPort(); }
    // 0 or more: one connection at a time. The server stops listening while it serves one and
    // listens again on its port this many ms after that connection closed.
    int relistenAfterMs = -1;

    EnvelopeChars envelope;  // how frames are cut
    std::deque<Reply> script;
    Reply fallback = Ack();  // once the script is used up
    std::function<void(size_t frame)> onFrame;
    std::string ackText = "MSA|AA";  // what ackAfter looks for

    Frames frames;
    std::vector<qint64> frameTimes;  // ms since the server started
    // Per frame, ms from its arrival until the reply written to its connection held ackText
    // whole; -1 when that never happened.
    std::vector<qint64> ackAfter;
    int connections = 0;

private:
    void Receive(QTcpSocket* s, int number)
    {
        std::string& buffer = buffers_[s];
        buffer += s->readAll().toStdString();
        size_t end = 0;
        while ((end = FindRecordEnd(buffer, envelope)) != std::string::npos) {
            frames.emplace_back(number, buffer.substr(0, end + 2));
            frameTimes.push_back(clock_.elapsed());
            ackAfter.push_back(-1);
            buffer.erase(0, end + 2);
            if (onFrame)
                onFrame(frames.size() - 1);
            if (!Answer(s, frames.size() - 1))
                return;
        }
    }

    // False once the connection is dropped.
    bool Answer(QTcpSocket* s, size_t frame)
    {
        Reply r = fallback;
        if (!script.empty()) {
            r = script.front();
            script.pop_front();
        }
        const std::string id = ControlId(frames[frame].second);
        auto fill = [&id](std::string bytes) {
            for (size_t at; (at = bytes.find("{id}")) != std::string::npos;)
                bytes.replace(at, 4, id);
            return bytes;
        };
        auto written = std::make_shared<std::string>();
        auto write = [this, s, frame, written](const std::string& bytes) {
            if (s->state() != QAbstractSocket::ConnectedState)
                return;
            s->write(bytes.data(), static_cast<qint64>(bytes.size()));
            s->flush();
            *written += bytes;
            if (ackAfter[frame] < 0 && written->find(ackText) != std::string::npos)
                ackAfter[frame] = clock_.elapsed() - frameTimes[frame];
        };
        auto at = [s, write](int ms, std::string bytes) {
            if (ms <= 0)
                write(bytes);
            else
                QTimer::singleShot(ms, Qt::PreciseTimer, s, [write, bytes] { write(bytes); });
        };
        switch (r.kind) {
        case Reply::Silence:
            return true;
        case Reply::Drop:
            s->disconnectFromHost();
            return false;
        case Reply::Send:
            break;
        }
        if (r.splitAt < 0) {
            at(r.delayMs, fill(r.bytes));
        } else {
            const auto cut = static_cast<size_t>(r.splitAt);
            at(r.delayMs, fill(r.bytes.substr(0, cut)));
            at(r.delayMs + r.restAfterMs, fill(r.bytes.substr(cut)));
        }
        return true;
    }

    QTcpServer server_;
    quint16 port_ = 0;  // while one connection is served
    std::map<QTcpSocket*, std::string> buffers_;
    QElapsedTimer clock_;
};

std::string Frame(const std::string& record)
{
    return "\x0b" + record + "\x1c\r";
}

std::string Rec(int n)
{
    return "MSH|^~\\&|A|B|C|D|||ADT^A01|" + std::to_string(n) + "|P|2.3\rPID|1||"
           + std::to_string(n) + "\r";
}

struct Box {
    QString title;
    QString text;
    MsgIcon icon;
    bool operator==(const Box&) const = default;
};

void PrintTo(const Box& b, std::ostream* os)
{
    *os << "{" << b.title.toStdString() << ": \"" << b.text.toStdString() << "\" icon "
        << static_cast<int>(b.icon) << "}";
}

// A main window whose client is set up for the scripted server.
struct Harness {
    Harness()
    {
        listening = server.Listen();
        ClientState& c = st.client;
        c.ClientServerHost = QStringLiteral("127.0.0.1");
        c.ClientServerAddress = QStringLiteral("127.0.0.1");
        c.ClientServerPort = server.Port();
        c.ClientMaxTimeWaitForAck = 1;
        c.ClientMaxTriesResend = 3;
        w->chkSendSelectedOnly->setChecked(false);
        w->txtStartWithRecord->clear();
        w->txtEndWithRecord->clear();
        w->lblTCPIPcount->setText(QStringLiteral("Count:"));
    }
    ~Harness() { w->sock->Close(); }

    void Load(const std::vector<std::string>& records)
    {
        st.records.Reset(1);
        for (const std::string& r : records)
            st.records.Append(r);
        w->CurrentPage = 1;
        w->DisplayPage(w->CurrentPage);
        w->lstRecords->clearSelection();
    }

    // Runs the engine as Start does (Start disabled, Pause and Stop enabled); a watchdog presses
    // Stop should the run outlive `limitMs`. Then lets the server read what is still on its way
    // (up to `frames` frames, 1 s at most). Answers the run's length in ms.
    qint64 Run(size_t frames = 0, int limitMs = 9000)
    {
        w->cmdStart->setEnabled(false);
        w->cmdPause->setEnabled(true);
        w->cmdStop->setEnabled(true);
        bool timedOut = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            PressStop();
        });
        watchdog.start(limitMs);
        QElapsedTimer t;
        t.start();
        w->SendRecordsToServer();
        const qint64 ms = t.elapsed();
        watchdog.stop();
        EXPECT_FALSE(timedOut) << "the run had to be stopped";
        EXPECT_FALSE(st.client.Sending);
        static_cast<void>(QTest::qWaitFor([&] { return server.frames.size() >= frames; }, 1000));
        QTest::qWait(20);
        return ms;
    }

    // A client configuration as the configuration window writes it.
    struct Settings {
        int wait = 1;  // seconds
        int tries = 3;
        int nakAction = 0;
        int maxNakAction = 1;
        int ackType = 0;
    };

    // Runs the engine as the user does: the configuration "acks" is chosen in the TCP/IP panel
    // and Start is clicked; Stop is clicked should the run still go on after `stopAfterMs`.
    // Then lets the server read what is still on its way (up to `frames` frames, 1 s at most).
    // Answers whether Stop was needed; `ms` gets the run's length.
    bool StartFromPanel(const Settings& s, size_t frames, int stopAfterMs, qint64* ms = nullptr)
    {
        const QString line =
            QStringLiteral("127.0.0.1,127.0.0.1,%1,0,11,13,28,0,%2,%3,1,MSA|AA,%4,%5,0,%6,"
                           "0b 06 1c 0d")
                .arg(server.Port())
                .arg(s.wait)
                .arg(s.tries)
                .arg(s.nakAction)
                .arg(s.maxNakAction)
                .arg(s.ackType);
        WriteBytes(st.folders.ClientsFolder + QStringLiteral("acks.client"), line.toStdString());
        w->optClientOrServer[0]->click();
        w->cboTCPIPNames->setCurrentIndex(w->cboTCPIPNames->findText(QStringLiteral("acks")));
        bool stopped = false;
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] {
            stopped = true;
            w->cmdStop->click();
        });
        stop.start(stopAfterMs);
        QElapsedTimer t;
        t.start();
        w->cmdStart->click();
        if (ms != nullptr)
            *ms = t.elapsed();
        stop.stop();
        EXPECT_FALSE(st.client.Sending);
        static_cast<void>(QTest::qWaitFor([&] { return server.frames.size() >= frames; }, 1000));
        QTest::qWait(20);
        return stopped;
    }

    // What the panel's Stop does to the engine: closes the socket and asks the run to stop.
    void PressStop()
    {
        w->sock->Close();
        st.client.StopAsked = true;
    }

    std::vector<Box> Boxes() const
    {
        std::vector<Box> out;
        for (const auto& s : f.responder.shown())
            out.push_back({s.title, s.text, s.icon});
        return out;
    }

    QString Target() const
    {
        return QStringLiteral("127.0.0.1 127.0.0.1 on port %1").arg(server.Port());
    }

    // The trace: (category, text) of every entry, blanks trimmed from the category.
    std::vector<std::pair<std::string, std::string>> Trace() const
    {
        std::vector<std::pair<std::string, std::string>> out;
        const QDir logs(st.folders.LogsFolder);
        for (const QString& name : logs.entryList(QDir::Files)) {
            const std::string all = ReadBytes(logs.filePath(name));
            size_t at = 0;
            for (size_t end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2) {
                const std::string line = all.substr(at, end - at);
                if (line.size() < 20)
                    continue;
                std::string category = line.substr(13, 5);
                category.erase(category.find_last_not_of(' ') + 1);
                out.emplace_back(category, line.substr(20));
            }
        }
        return out;
    }

    MainWindowFixture f;
    AppState& st = f.state;
    frmMain* w = f.window.get();
    ScriptedServer server;
    bool listening = false;
};

TEST(ClientEngine, RunsAgainstScriptedServer)
{
    const std::string r1 = Rec(1), r2 = Rec(2), r3 = Rec(3), r4 = Rec(4), r5 = Rec(5);
    struct Case {
        const char* name;
        std::vector<std::string> records;
        std::function<void(ClientState&, frmMain&, ScriptedServer&)> setup;
        std::vector<Reply> script;
        Frames frames;
        QString count;   // lblTCPIPcount afterwards
        QString panel3;  // "%T" stands for the target
        std::vector<Box> boxes = {};
    };
    auto none = [](ClientState&, frmMain&, ScriptedServer&) {};
    auto noWait = [](int tries, int nak, int maxNak) {
        return [=](ClientState& c, frmMain&, ScriptedServer&) {
            c.ClientMaxTimeWaitForAck = 0;  // nothing can answer within one round of events
            c.ClientMaxTriesResend = static_cast<int16_t>(tries);
            c.ClientNakAction = static_cast<int16_t>(nak);
            c.ClientMaxNakAction = static_cast<int16_t>(maxNak);
        };
    };
    const QString sent3 = QStringLiteral("Sent 3 records to %T");
    const QString sent0 = QStringLiteral("Sent  records to %T");
    const std::string mapped = "MSH|a\rPID|\x0bx\x1cy\r";
    // clang-format off
    const std::vector<Case> cases = {
        {"three records, each acknowledged", {r1, r2, r3}, none, {},
         {{1, Frame(r1)}, {1, Frame(r2)}, {1, Frame(r3)}}, "Count: 3", sent3},
        {"typed range 2 to 3", {r1, r2, r3},
         [](ClientState&, frmMain& w, ScriptedServer&) {
             w.txtStartWithRecord->setText("2");
             w.txtEndWithRecord->setText("3");
         }, {}, {{1, Frame(r2)}, {1, Frame(r3)}}, "Count: 2", "Sent 2 records to %T"},
        {"selected rows only", {r1, r2, r3},
         [](ClientState&, frmMain& w, ScriptedServer&) {
             w.chkSendSelectedOnly->setChecked(true);
             w.lstRecords->item(0)->setSelected(true);
             w.lstRecords->item(2)->setSelected(true);
         }, {}, {{1, Frame(r1)}, {1, Frame(r3)}}, "Count: 2", "Sent 2 records to %T"},
        {"selected rows only, typed range far past the list", {r1, r2, r3},
         [](ClientState&, frmMain& w, ScriptedServer&) {
             w.chkSendSelectedOnly->setChecked(true);
             w.txtStartWithRecord->setText("1");
             w.txtEndWithRecord->setText("2000000000");
             w.lstRecords->item(0)->setSelected(true);
             w.lstRecords->item(2)->setSelected(true);
         }, {}, {{1, Frame(r1)}, {1, Frame(r3)}}, "Count: 2", "Sent 2 records to %T"},
        {"typed range past the last record ends at the end of the store", {r1, r2, r3},
         [](ClientState&, frmMain& w, ScriptedServer&) {
             w.txtStartWithRecord->setText("2");
             w.txtEndWithRecord->setText("5");
         }, {}, {{1, Frame(r2)}, {1, Frame(r3)}}, "Count: 2", "Not Sending"},
        {"a missing final CR is added, an empty record gets none",
         {"MSH|a", "MSH|b\rPID|1\r", ""}, none, {},
         {{1, "\x0bMSH|a\r\x1c\r"}, {1, "\x0bMSH|b\rPID|1\r\x1c\r"}, {1, "\x0b\x1c\r"}},
         "Count: 3", sent3},
        {"client envelope 2, 3, 4 replaces the program's 11, 13, 28 in the record", {mapped},
         [](ClientState& c, frmMain&, ScriptedServer& s) {
             c.ClientStartOfBlockCode = 2;
             c.ClientEndOfBlockCode = 3;
             c.ClientEndOfDataCode = 4;
             s.envelope = {2, 3, 4};
         }, {}, {{1, "\x02MSH|a\x03PID|\x02x\x04y\x03\r\x04\x03"}}, "Count: 1",
         "Sent 1 records to %T"},
        {"empty host name: connects to the address", {r1},
         [](ClientState& c, frmMain&, ScriptedServer&) { c.ClientServerHost.clear(); }, {},
         {{1, Frame(r1)}}, "Count: 1", "Sent 1 records to  127.0.0.1 on port %P"},
        {"NAK: the record is sent again on a new connection", {r1, r2}, none, {Nak()},
         {{1, Frame(r1)}, {2, Frame(r1)}, {2, Frame(r2)}}, "Count: 2", "Sent 2 records to %T"},
        {"ACK cut inside its text counts once whole", {r1}, none, {SplitAck(6)},
         {{1, Frame(r1)}}, "Count: 1", "Sent 1 records to %T"},
        {"a repeated ACK of record 1 does not acknowledge record 2", {r1, r2},
         [](ClientState& c, frmMain&, ScriptedServer&) { c.ClientMaxTriesResend = 1; },
         {RepeatedAck(10), Silence()}, {{1, Frame(r1)}, {1, Frame(r2)}}, "Count: 1",
         "Sent 1 records to %T"},
        {"ACK cut after its text counts", {r1, r2}, none, {Ack(), SplitAck(8)},
         {{1, Frame(r1)}, {1, Frame(r2)}}, "Count: 2", "Sent 2 records to %T"},
        {"no ACK wanted: every record counts", {r1, r2, r3},
         [](ClientState& c, frmMain&, ScriptedServer& s) {
             c.ClientWaitForAck = 0;
             s.fallback = Silence();
         }, {}, {{1, Frame(r1)}, {1, Frame(r2)}, {1, Frame(r3)}}, "Count: 3", sent3},
        // Every frame not answered in time goes with its connection.
        {"no reply: two tries, then the next record", {r1, r2}, noWait(2, 0, 1),
         {Silence(), Silence(), Silence(), Silence()},
         {{1, Frame(r1)}, {2, Frame(r1)}, {3, Frame(r2)}, {4, Frame(r2)}}, "Count:", sent0},
        {"giving-up action 0 is the same as 1", {r1, r2}, noWait(2, 0, 0),
         {Silence(), Silence(), Silence(), Silence()},
         {{1, Frame(r1)}, {2, Frame(r1)}, {3, Frame(r2)}, {4, Frame(r2)}}, "Count:", sent0},
        {"one try: each record sent once", {r1, r2}, noWait(1, 0, 1), {Silence(), Silence()},
         {{1, Frame(r1)}, {2, Frame(r2)}}, "Count:", sent0},
        {"no tries configured: each record sent once", {r1, r2}, noWait(0, 0, 1),
         {Silence(), Silence()}, {{1, Frame(r1)}, {2, Frame(r2)}}, "Count:", sent0},
        {"skip action: no resend", {r1, r2}, noWait(3, 2, 1), {Silence(), Silence()},
         {{1, Frame(r1)}, {2, Frame(r2)}}, "Count:", sent0},
        {"giving-up action 2 stops the run", {r1, r2}, noWait(1, 0, 2), {Silence()},
         {{1, Frame(r1)}}, "Count:", sent0,
         {{"Server Not ACKing Records",
           "The server is not ACKing the records that are being sent to it.  Per client "
           "configuration, no more attempts to send records will be made.", MsgIcon::Critical}}},
        {"unknown giving-up action is reported, then the summary", {r1, r2}, noWait(1, 0, 5),
         {Silence()}, {{1, Frame(r1)}}, "Count:", sent0,
         {{"Quillon", "Unexpected case of 5 in SendRecordsToServer.", MsgIcon::None}}},
        {"one connection at a time: the refused reconnect is tried until the server listens",
         {r1, r2, r3, r4, r5},
         [](ClientState& c, frmMain&, ScriptedServer& s) {
             c.ClientMaxTriesResend = 2;
             s.relistenAfterMs = 300;
         }, {Ack(), Ack(), Silence()},
         {{1, Frame(r1)}, {1, Frame(r2)}, {1, Frame(r3)}, {2, Frame(r3)}, {2, Frame(r4)},
          {2, Frame(r5)}}, "Count: 5", "Sent 5 records to %T"},
        {"reset action: closed, reconnected, then sent again", {r1, r2},
         [](ClientState& c, frmMain&, ScriptedServer&) { c.ClientNakAction = 1; },
         {Silence()}, {{1, Frame(r1)}, {2, Frame(r1)}, {2, Frame(r2)}}, "Count: 2",
         "Sent 2 records to %T"},
        {"received replies shown: ACK bytes empty once trimmed, NAK as text", {r1, r2},
         [](ClientState& c, frmMain& w, ScriptedServer&) {
             c.ViewReceivedAcks = true;
             w.st.ack.UseAckBytes = 1;
             w.st.ack.AckBytes = "0b 06 1c 0d";
         }, {Raw("\x0b\x06\x1c\x0d"), Nak(), Raw("\x0b\x06\x1c\x0d")},
         {{1, Frame(r1)}, {1, Frame(r2)}, {2, Frame(r2)}}, "Count: 2", "Sent 2 records to %T",
         {{"Received ACK Message from External", "", MsgIcon::Information},
          {"Received NAK Message from External", "MSA|AE|1", MsgIcon::Exclamation},
          {"Received ACK Message from External", "", MsgIcon::Information}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;  // a fresh window and server for each case
        ASSERT_TRUE(h.listening);
        h.Load(c.records);
        c.setup(h.st.client, *h.w, h.server);
        h.server.script.assign(c.script.begin(), c.script.end());
        h.Run(c.frames.size());

        EXPECT_EQ(h.server.frames, c.frames);
        EXPECT_EQ(h.w->lblTCPIPcount->text(), c.count);
        QString panel3 = c.panel3;
        panel3.replace(QStringLiteral("%T"), QStringLiteral("127.0.0.1 127.0.0.1 on port %P"));
        panel3.replace(QStringLiteral("%P"), QString::number(h.server.Port()));
        EXPECT_EQ(h.w->stsPanels[3]->text(), panel3);
        EXPECT_EQ(h.Boxes(), c.boxes);
        if (panel3 == QLatin1String("Not Sending")) {
            // The failed run left the window ready for another Start.
            EXPECT_TRUE(h.w->cmdStart->isEnabled());
            EXPECT_FALSE(h.w->cmdPause->isEnabled());
            EXPECT_FALSE(h.w->cmdStop->isEnabled());
            EXPECT_EQ(h.w->sock->State(), wstate::Closed);
        }
    }
}

// A record whose PID is `n` and whose control ID (MSH-10) is `id`.
std::string RecWithId(int n, const std::string& id)
{
    return "MSH|^~\\&|A|B|C|D|||ADT^A01|" + id + "|P|2.3\rPID|1||" + std::to_string(n) + "\r";
}

// Started from the panel with 1 s waits: a record counts only when a reply to its own frame
// holds the ACK within that frame's wait, whatever the control IDs say.
TEST(ClientEngine, CountsARecordOnlyOnAReplyToItsOwnFrame)
{
    struct Case {
        const char* name;
        std::vector<std::string> records;
        Harness::Settings settings;
        std::vector<Reply> script;
        Reply fallback;
        Frames frames;
        QString count;
        qint64 maxMs = 9000;
    };
    const std::string a1 = RecWithId(1, "1"), b1 = RecWithId(2, "1");
    const std::string a0 = RecWithId(1, ""), b0 = RecWithId(2, "");
    const std::string r1 = Rec(1), r2 = Rec(2), r3 = Rec(3), r10 = RecWithId(1, "10");
    const std::string ack10 = "\x0bMSA|AA|10\r\x1c\r";
    // clang-format off
    const std::vector<Case> cases = {
        {"shared control IDs: the late ACK of record 1 does not count for record 2", {a1, b1},
         {1, 1}, {}, LateAck(1500), {{1, Frame(a1)}, {2, Frame(b1)}}, "Count:"},
        {"empty control IDs: the same", {a0, b0}, {1, 1}, {}, LateAck(1500),
         {{1, Frame(a0)}, {2, Frame(b0)}}, "Count:"},
        {"the late ACK of a first try does not count for the resend", {r1, r2}, {1, 2},
         {LateAck(1300), Silence()}, Ack(), {{1, Frame(r1)}, {2, Frame(r1)}, {3, Frame(r2)}},
         "Count: 1"},
        // Each try of record 1 is answered 1.3 s late, the second one's reply cut after
        // "MSA|AA|1" with "0" and the rest 1.5 s later: no reply came within a wait of record 1.
        {"a reply cut across the end of a wait", {r10, r2}, {1, 2},
         {LateAck(1300, ack10), SplitLate(ack10, 9, 1300, 2800), Silence()}, Ack(),
         {{1, Frame(r10)}, {2, Frame(r10)}, {3, Frame(r2)}, {4, Frame(r2)}}, "Count: 1"},
        {"late ACK bytes do not count for the next record", {r1, r2}, {1, 1, 0, 1, 1}, {},
         LateAck(1500, "\x0b\x06\x1c\x0d"), {{1, Frame(r1)}, {2, Frame(r2)}}, "Count:"},
        {"the bare ACK text counts at once", {r1, r2, r3}, {1, 1}, {Ack(), Raw("MSA|AA")}, Ack(),
         {{1, Frame(r1)}, {1, Frame(r2)}, {1, Frame(r3)}}, "Count: 3", 900},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        ASSERT_TRUE(h.listening);
        h.Load(c.records);
        h.server.script.assign(c.script.begin(), c.script.end());
        h.server.fallback = c.fallback;
        qint64 ms = 0;
        EXPECT_FALSE(h.StartFromPanel(c.settings, c.frames.size(), 9000, &ms));
        EXPECT_EQ(h.server.frames, c.frames);
        EXPECT_EQ(h.w->lblTCPIPcount->text().toStdString(), c.count.toStdString());
        EXPECT_LT(ms, c.maxMs);
        EXPECT_TRUE(h.Boxes().empty());
    }
}

// Seeded random runs started from the panel, 1 s waits: replies in time, late, cut across the
// end of a wait or within it, NAKs and silence, to records with shared, empty and own control
// IDs. After every run, read from the trace try by try: each record counted rests on a frame of
// its own that the server acknowledged within that frame's wait, and none is counted twice.
// Each run is stopped after 2.5 s.
TEST(ClientEngine, RandomRepliesCountOnlyRecordsAcknowledgedInTime)
{
    std::mt19937 rng(7);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    constexpr int kWaitMs = 1000;
    constexpr int kSlackMs = 50;  // the round of events that ends a wait may end just after it
    const std::string nak = "\x0bMSA|AE|{id}\r\x1c\r";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        Harness h;
        ASSERT_TRUE(h.listening);
        std::vector<std::string> records;
        for (int n = 1; n <= 8; ++n) {
            const char* shared[] = {"1", "", "7"};
            const int k = pick(0, 3);
            records.push_back(RecWithId(n, k < 3 ? shared[k] : "own" + std::to_string(n)));
        }
        h.Load(records);
        for (int i = 0; i < 20; ++i) {
            // Cuts outside "{id}" of "\x0bMSA|AA|{id}\r\x1c\r".
            const int cut = std::vector<int>{1, 3, 5, 6, 7, 8, 12, 13, 14}[pick(0, 8)];
            const int first = pick(0, 400);
            const int kind = pick(0, 9);
            h.server.script.push_back(
                kind < 4    ? LateAck(pick(0, kWaitMs - 100))
                : kind < 6  ? LateAck(pick(kWaitMs + 100, 1900))
                : kind == 6 ? SplitLate(kAckReply, cut, pick(400, 900), pick(1100, 1700))
                : kind == 7 ? SplitLate(kAckReply, cut, first, first + pick(50, 400))
                : kind == 8 ? Silence()
                            : LateAck(pick(0, kWaitMs - 100), nak));
        }
        h.server.fallback = Silence();
        h.st.trace.LogTCPIP = true;
        Harness::Settings settings;
        settings.tries = pick(1, 2);
        settings.nakAction = pick(0, 1) * 2;  // resend or skip
        h.StartFromPanel(settings, 0, 2500);

        std::vector<bool> counted;  // per try, in the order sent
        bool open = false;
        for (const auto& [category, text] : h.Trace()) {
            if (text.starts_with("CLIENT: Record has been sent to the server - try # ")) {
                counted.push_back(false);
                open = true;
            } else if (text.ends_with("' not received from Server.")) {
                open = false;
            } else if (open && text.ends_with(" seconds before sending next record (if any).")) {
                counted.back() = true;
                open = false;
            }
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return h.server.frames.size() >= counted.size(); }));
        ASSERT_EQ(h.server.frames.size(), counted.size());
        std::vector<size_t> recordOf;
        std::string tries;
        for (size_t i = 0; i < counted.size(); ++i) {
            const Frames& f = h.server.frames;
            recordOf.push_back(static_cast<size_t>(
                std::find_if(records.begin(), records.end(),
                             [&](const std::string& r) { return Frame(r) == f[i].second; })
                - records.begin()));
            tries += " [record " + std::to_string(recordOf[i] + 1) + ", connection "
                     + std::to_string(f[i].first) + ", ACK after "
                     + std::to_string(h.server.ackAfter[i]) + " ms"
                     + (counted[i] ? ", counted]" : "]");
        }
        SCOPED_TRACE(tries);
        std::set<size_t> delivered;
        for (size_t i = 0; i < counted.size(); ++i) {
            if (!counted[i])
                continue;
            const qint64 ackMs = h.server.ackAfter[i];
            EXPECT_TRUE(ackMs >= 0 && ackMs <= kWaitMs + kSlackMs) << "try " << i + 1;
            EXPECT_TRUE(delivered.insert(recordOf[i]).second) << "counted twice: try " << i + 1;
        }
        EXPECT_GE(counted.size(), 2u);
        const auto n = std::count(counted.begin(), counted.end(), true);
        EXPECT_EQ(h.w->lblTCPIPcount->text().toStdString(),
                  n == 0 ? std::string("Count:") : "Count: " + std::to_string(n));
    }
}

// The server drops the connection while record 1 waits for its ACK: the resend finds the
// connection broken, and the run ends without a message, the window ready for another Start.
TEST(ClientEngine, BrokenConnectionTidiesTheWindowWithoutMessage)
{
    Harness h;
    ASSERT_TRUE(h.listening);
    frmMain* w = h.w;
    h.Load({Rec(1), Rec(2)});
    h.server.script = {Drop()};
    w->cmdPause->setText(QStringLiteral("Pause"));
    const std::vector<QWidget*> enabled = {w->optClientOrServer[0], w->optClientOrServer[1],
                                           w->cmdDeleteConfig, w->cmdEditConfig, w->cmdNewConfig};
    for (QWidget* b : enabled)
        b->setEnabled(false);
    w->mnuClientSelectClientConfiguration->setEnabled(false);
    h.Run(1);
    EXPECT_EQ(h.server.frames, (Frames{{1, Frame(Rec(1))}}));
    EXPECT_TRUE(h.Boxes().empty());
    EXPECT_EQ(w->stsPanels[3]->text(), QStringLiteral("Not Sending"));
    EXPECT_EQ(w->lblTCPIPcount->text(), QStringLiteral("Count:"));
    EXPECT_EQ(w->cmdPause->text(), QStringLiteral("Resume"));
    EXPECT_FALSE(w->cmdPause->isEnabled());
    EXPECT_FALSE(w->cmdStop->isEnabled());
    EXPECT_TRUE(w->cmdStart->isEnabled());
    for (QWidget* b : enabled)
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(w->mnuClientSelectClientConfiguration->isEnabled());
    EXPECT_EQ(w->mnuClientStartSendingRecords->text(),
              QStringLiteral("Start Sending Records to 127.0.0.1, port %1").arg(h.server.Port()));
    EXPECT_EQ(w->lblState->text(), QStringLiteral("State: Closed"));
}

TEST(ClientEngine, NoServerListening)
{
    Harness h;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const int port = probe.serverPort();
    probe.close();
    h.st.client.ClientServerPort = port;
    h.Load({Rec(1)});
    const qint64 ms = h.Run();
    EXPECT_LT(ms, 3000) << "a refused connection should not take the whole connect wait";
    const std::vector<Box> expected = {
        {"Server has Abruptly Stopped Listening",
         QStringLiteral("The server at 127.0.0.1 is not listening on port %1 for a connection.")
             .arg(port),
         MsgIcon::Exclamation},
        {"Unable to Connect",
         QStringLiteral("Unable to connect to 127.0.0.1 on port %1.").arg(port),
         MsgIcon::Exclamation},
    };
    EXPECT_EQ(h.Boxes(), expected);
    EXPECT_EQ(h.w->stsPanels[3]->text(), QStringLiteral("Not Sending"));
    EXPECT_EQ(h.w->lblTCPIPcount->text(), QStringLiteral("Count:"));
}

TEST(ClientEngine, StopDuringAckWaitEndsTheRunPromptly)
{
    Harness h;
    ASSERT_TRUE(h.listening);
    h.st.client.ClientMaxTimeWaitForAck = 10;
    h.Load({Rec(1), Rec(2)});
    h.server.fallback = Silence();
    h.server.onFrame = [&](size_t) { QTimer::singleShot(100, h.w, [&] { h.PressStop(); }); };
    const qint64 ms = h.Run(1, 15000);
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(h.server.frames, (Frames{{1, Frame(Rec(1))}}));
    // Ended without a summary: the panel still names the record being sent.
    EXPECT_EQ(h.w->stsPanels[3]->text(), QStringLiteral("Sending record 1 to ") + h.Target());
    EXPECT_TRUE(h.Boxes().empty());
}

TEST(ClientEngine, PauseHoldsTheNextRecordUntilResumed)
{
    struct Case {
        const char* name;
        bool stopWhilePaused;
        size_t frames;
    };
    const std::vector<Case> cases = {{"resumed after 400 ms", false, 3},
                                     {"stopped while paused", true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        ASSERT_TRUE(h.listening);
        h.Load({Rec(1), Rec(2), Rec(3)});
        h.server.onFrame = [&](size_t frame) {
            if (frame != 0)
                return;
            h.st.client.TCPIPPaused = true;
            QTimer::singleShot(400, h.w, [&] {
                if (c.stopWhilePaused)
                    h.PressStop();
                else
                    h.st.client.TCPIPPaused = false;
            });
        };
        const qint64 ms = h.Run(c.frames);
        EXPECT_LT(ms, 2000);
        ASSERT_EQ(h.server.frames.size(), c.frames);
        if (!c.stopWhilePaused) {
            EXPECT_GE(h.server.frameTimes[1] - h.server.frameTimes[0], 390);
            EXPECT_LT(h.server.frameTimes[2] - h.server.frameTimes[1], 390);
            EXPECT_EQ(h.w->lblTCPIPcount->text(), QStringLiteral("Count: 3"));
        }
    }
}

// The window's repaints are the engine's own work: they must fall into the 0.05 s between
// records, not hold up the next record. A status bar that takes 30 ms to paint leaves the records
// about 50 ms apart.
TEST(ClientEngine, SlowRepaintDoesNotDelayTheNextRecord)
{
    class SlowPaint : public QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                QThread::msleep(30);
            return false;
        }
    } slowPaint;
    Harness h;
    ASSERT_TRUE(h.listening);
    h.w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.w));
    h.w->stsPanels[3]->installEventFilter(&slowPaint);
    h.Load({Rec(1), Rec(2), Rec(3), Rec(4)});
    h.Run(4);
    ASSERT_EQ(h.server.frameTimes.size(), 4u);
    qint64 closest = std::numeric_limits<qint64>::max();
    for (size_t i = 1; i < h.server.frameTimes.size(); ++i)
        closest = std::min(closest, h.server.frameTimes[i] - h.server.frameTimes[i - 1]);
    EXPECT_GE(closest, 49);
    EXPECT_LT(closest, 70) << "the repaint held up the records";
}

TEST(ClientEngine, RecordsChangedDuringARun)
{
    struct Case {
        const char* name;
        std::function<void(RecordStore&)> change;  // made while record 1 waits for its ACK
        std::vector<Reply> script;
        Frames frames;
        QString panel3;  // "%T" stands for the target
    };
    const std::string r1 = Rec(1), r2 = Rec(2), r3 = Rec(3);
    const std::vector<Case> cases = {
        {"count lowered: the run ends at the new end",
         [](RecordStore& r) { r.RecordCount = 1; },
         {},
         {{1, Frame(r1)}},
         "Not Sending"},
        {"store emptied to one slot",
         [](RecordStore& r) { r.Reset(1); },
         {},
         {{1, Frame(r1)}},
         "Not Sending"},
        {"record replaced: the resend carries the bytes first sent",
         [](RecordStore& r) { r.Records[1] = RecordText("MSH|changed\r"); },
         {Nak()},
         {{1, Frame(r1)}, {2, Frame(r1)}, {2, Frame(r2)}, {2, Frame(r3)}},
         "Sent 3 records to %T"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        ASSERT_TRUE(h.listening);
        h.Load({r1, r2, r3});
        std::vector<bool> sending;
        h.server.script.assign(c.script.begin(), c.script.end());
        h.server.onFrame = [&](size_t frame) {
            sending.push_back(h.st.client.Sending);
            if (frame == 0)
                c.change(h.st.records);
        };
        h.Run(c.frames.size());
        EXPECT_EQ(sending, std::vector<bool>(c.frames.size(), true));
        EXPECT_EQ(h.server.frames, c.frames);
        EXPECT_EQ(h.w->stsPanels[3]->text(), QString(c.panel3).replace("%T", h.Target()));
        EXPECT_TRUE(h.Boxes().empty());
    }
}

// A server that answers with megabytes of garbage while the trace dumps every byte it sends:
// the ACK wait still ends when its time is up, not when the dump is done.
TEST(ClientEngine, TracedFloodDoesNotStretchTheAckWait)
{
    Harness h;
    ASSERT_TRUE(h.listening);
    h.st.trace.LogTCPIP = true;
    h.st.client.ClientMaxTriesResend = 1;
    h.Load({Rec(1)});
    h.server.script = {Raw(std::string(size_t{6} << 20, 'x'))};
    const qint64 ms = h.Run(1, 30000);
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 2500) << "the trace held up the 1 s wait";
    EXPECT_EQ(h.w->lblTCPIPcount->text(), QStringLiteral("Count:"));
}

TEST(ClientEngine, TracesTheRun)
{
    Harness h;
    ASSERT_TRUE(h.listening);
    h.st.trace.LogTCPIP = true;
    h.st.trace.LogMessageASCII = true;
    h.Load({"MSH|123456789012\r"});  // 17 characters: a packet of 20
    const std::string ack = "\x0bMSA|AA|1\r\x1c\r";
    h.server.fallback = Raw(ack);
    h.Run(1);
    const std::string port = std::to_string(h.server.Port());
    using Lines = std::vector<std::pair<std::string, std::string>>;
    const Lines expected = {
        {"TCPIP", "CLIENT: Began socket initialization by closing socket."},
        {"TCPIP", "CLIENT: Set RemoteHost to 127.0.0.1 and RemotePort to " + port},
        {"TCPIP", "CLIENT: Attempting connection to server."},
        {"TCPIP", "CLIENT: There are 1 records to send to the server."},
        {"TCPIP", "CLIENT: Connection successful."},
        {"TCPIP", "CLIENT: Waiting 0 second(s) after connection to begin sending records."},
        {"TCPIP", "CLIENT: The socket is connected.  Ready to send record to the server."},
        {"TCPIP", "CLIENT: Record has been sent to the server - try # 1"},
        {"ASCII",
         "\x0bMSH|123456789012\r\x1c 0B 4D 53 48 7C 31 32 33 34 35 36 37 38 39 30 31 32 0D 1C "},
        {"", "\r" + std::string(19, ' ') + "0D "},
        {"TCPIP", "CLIENT: Waiting up to 1 seconds for ACK (MSA|AA) from Server."},
        {"TCPIP", "CLIENT: Data Arriving"},
        {"TCPIP", "CLIENT: ACK received from external system."},
        {"TCPIP", "CLIENT: Received ACK message is as follows:"},
        {"TCPIP", ack + std::string(20 - ack.size(), ' ') + "0B 4D 53 41 7C 41 41 7C 31 0D 1C 0D "},
        {"TCPIP", "CLIENT: Waiting 0 seconds before sending next record (if any)."},
        {"TCPIP", "CLIENT: No more records to send."},
    };
    EXPECT_EQ(h.Trace(), expected);
}

}  // namespace
}  // namespace quillon::test
