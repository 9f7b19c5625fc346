// TCP/IP benchmark over 127.0.0.1 (offscreen):
//  1. client: a main window sends generated records with SendRecordsToServer to a bare
//     responder (a QTcpServer that answers each frame with an ACK at once), so what the run
//     takes beyond its delays is the client's own work. The client waits for each ACK and then
//     at least 0.05 s before the next record (a delay of 0 configured means 0.05 s), so the run
//     is dominated by those delays: the figure is the own work per record,
//     (run time - records x 0.05 s) / records, next to its goal of 0.5 ms.
//  2. server alone: a raw QTcpSocket pushes 100,000 pre-framed records to a listening window as
//     fast as the window takes them (the window acknowledges, stores, lists and counts each).
//  3. a 20 MB frame and a small one after it, sent by a raw socket to a fresh listening window,
//     timed from the first byte to the small frame's ACK: once with the TCP/IP trace off and once
//     with it on (every byte dumped into the trace log); goal: on / off at most 2x.
// Prints records per second for 1 and 2 and their ratio, and the times and ratio of 3. A count
// that does not match what was sent (frames, records, ACKs) prints WRONG RESULT and the run
// exits with 1.
//   bench_tcpip [client records] [server records]     (defaults 400 and 100000)
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/WinsockControl.h"
#include "tcpip/EventWait.h"
#include "tcpip/Framing.h"

using namespace quillon;
using namespace std::chrono_literals;

using namespace quillon::bench;

namespace {

bool wrongResult = false;

void Wrong(const char* what, long long got, long long wanted)
{
    std::printf("WRONG RESULT: %s: %lld, expected %lld\n", what, got, wanted);
    wrongResult = true;
}

bool Listen(BenchWindow& server)
{
    server.state.server.LocalPort = 0;  // the system picks a free port
    server.window->Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
    QString error;
    if (!server.window->StartListening(&error)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

// One 20 MB frame and a small frame after it into a fresh server window, from the first byte
// written to the small frame's ACK; answers seconds, or a negative number when it failed.
double BigFrameSeconds(bool trace)
{
    BenchWindow server;
    server.state.trace.LogTCPIP = trace;
    if (!Listen(server))
        return -1;
    const EnvelopeChars envelope;
    std::string big =
        "MSH|^~\\&|SENDER|FACILITY|RECEIVER|LAB|20261208||ORU^R01|BIG00001|P|2.4\r"
        "OBX|1|ED|PDF^Report^L||^AP^PDF^Base64^";
    constexpr size_t kBig = size_t{20} << 20;
    static const char* base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    while (big.size() < kBig)
        big += base64[(big.size() * 7) % 64];
    big += "||||||F\r";
    const std::string wire = FrameRecord(big, envelope) + FrameRecord(GeneratedRecord(1), envelope);

    QTcpSocket raw;
    std::string acks;
    QObject::connect(&raw, &QTcpSocket::readyRead, [&] { acks += raw.readAll().toStdString(); });
    raw.connectToHost(QStringLiteral("127.0.0.1"),
                      static_cast<quint16>(server.window->Winsock1->LocalPort()));
    if (WaitWithEvents(5000ms, [&] { return raw.state() == QAbstractSocket::ConnectedState; })
        != WaitEnd::Done) {
        std::fprintf(stderr, "cannot connect to the server window\n");
        return -1;
    }
    auto ackCount = [&] {
        int n = 0;
        for (size_t at = 0; (at = acks.find("MSA|AA|", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    QElapsedTimer t;
    t.start();
    raw.write(wire.data(), static_cast<qint64>(wire.size()));
    const bool both = WaitWithEvents(300s, [&] { return ackCount() >= 2; }) == WaitEnd::Done;
    const double s = Seconds(t);
    WaitWithEvents(100ms);  // anything more that comes would be wrong
    const std::string mode = trace ? "20 MB frame, trace on" : "20 MB frame, trace off";
    if (!both || ackCount() != 2)
        Wrong((mode + ": ACKs received").c_str(), ackCount(), 2);
    const RecordStore& records = server.state.records;
    if (records.RecordCount != 2)
        Wrong((mode + ": records stored").c_str(), records.RecordCount, 2);
    else if (records.Record(1).size() != big.size())
        Wrong((mode + ": size of the stored 20 MB record").c_str(),
              static_cast<long long>(records.Record(1).size()), static_cast<long long>(big.size()));
    // The trace goes on being written beside the window after the ACK; it is sized once all of it
    // is in the file.
    FlushTraceWrites(server.state);
    qint64 traced = 0;
    const QDir logs(server.state.folders.LogsFolder);
    for (const QFileInfo& file : logs.entryInfoList(QDir::Files))
        traced += file.size();
    std::printf("%s: %.3f s to the next frame's ACK, %.1f MB of trace written\n", mode.c_str(), s,
                static_cast<double>(traced) / 1e6);
    raw.abort();
    return s;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int clientRecords = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
    const int serverRecords = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;

    // 1. The client engine against a responder that does next to nothing.
    double clientRate = 0;
    {
        QTcpServer responder;
        if (!responder.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0)) {
            std::fprintf(stderr, "cannot listen\n");
            return 1;
        }
        const EnvelopeChars envelope;
        const std::string ack = FrameRecord("MSH|^~\\&|B|A\rMSA|AA|1\r", envelope);
        int32_t framesSeen = 0;
        std::vector<qint64> frameTimes;  // ns, as each frame is complete
        QElapsedTimer clock;
        clock.start();
        std::string buffer;
        QObject::connect(&responder, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* s = responder.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
                    buffer += s->readAll().toStdString();
                    for (size_t end; (end = FindRecordEnd(buffer, envelope)) != std::string::npos;) {
                        buffer.erase(0, end + 2);
                        ++framesSeen;
                        frameTimes.push_back(clock.nsecsElapsed());
                        s->write(ack.data(), static_cast<qint64>(ack.size()));
                    }
                });
            }
        });
        BenchWindow client;
        ClientState& c = client.state.client;
        c.ClientServerHost = QStringLiteral("127.0.0.1");
        c.ClientServerAddress = QStringLiteral("127.0.0.1");
        c.ClientServerPort = responder.serverPort();
        c.ClientDelayAfterConnecting = 0;
        c.ClientDelayBetweenRecords = 0;  // the shortest delay there is: 0.05 s
        c.ClientWaitForAck = 1;
        client.state.records.Reset(1);
        for (int i = 0; i < clientRecords; ++i)
            client.state.records.Append(GeneratedRecord(i));
        frmMain& w = *client.window;
        int32_t page = 1;
        w.DisplayPage(page);  // the record list as a user sees it
        w.chkSendSelectedOnly->setChecked(false);
        w.txtStartWithRecord->clear();
        w.txtEndWithRecord->clear();
        w.cmdStart->setEnabled(false);  // as Start leaves it for the run
        w.show();  // labels repaint as they would on screen
        WaitWithEvents(300ms);  // the window's first paint is not the run's work

        QElapsedTimer t;
        t.start();
        w.SendRecordsToServer();
        const double s = Seconds(t);
        if (framesSeen != clientRecords)
            Wrong("client: frames the responder received", framesSeen, clientRecords);
        if (w.lblTCPIPcount->text()
            != QStringLiteral("Count: ") + QLocale::c().toString(clientRecords))
            Wrong(("client: records acknowledged (" + w.lblTCPIPcount->text().toStdString() + ")")
                      .c_str(),
                  w.lblTCPIPcount->text().mid(7).remove(QLatin1Char(',')).toLongLong(),
                  clientRecords);
        clientRate = clientRecords / s;
        constexpr double kGoalMs = 0.5;
        const double ownMs = 1000.0 * (s - 0.05 * clientRecords) / clientRecords;
        std::printf("client engine -> responder: %d records in %.2f s, %.1f records/s (%s)\n",
                    clientRecords, s, clientRate, qPrintable(w.lblTCPIPcount->text()));
        std::printf(
            "  client's own work per record (run - %d x 0.05 s delays) / records: %.3f ms; "
            "goal %.1f ms; own work / goal: %.2f\n",
            clientRecords, ownMs, kGoalMs, ownMs / kGoalMs);
        // The same per record, from the gaps between the frames: the median shows what a
        // record costs when the machine does not hold the process up.
        std::vector<double> gaps;
        for (size_t i = 1; i < frameTimes.size(); ++i)
            gaps.push_back(static_cast<double>(frameTimes[i] - frameTimes[i - 1]) / 1e6 - 50.0);
        if (!gaps.empty()) {
            std::sort(gaps.begin(), gaps.end());
            const double median = gaps[gaps.size() / 2];
            std::printf("  median record gap - 50 ms: %.3f ms (goal / median: %.1f); 90th "
                        "percentile %.3f ms\n",
                        median, kGoalMs / median, gaps[gaps.size() * 9 / 10]);
        }
        std::printf(
            "  100,000 records would take %.0f s (%.1f min): each record waits for its "
            "ACK and then at least 0.05 s, the smallest delay the client allows\n",
            100000.0 / clientRate, 100000.0 / clientRate / 60.0);
        client.window->sock->Close();
    }

    // 2. The server window alone, fed by a raw socket as fast as it takes the data.
    double serverRate = 0;
    {
        BenchWindow server;
        if (!Listen(server))
            return 1;
        std::string wire;
        const EnvelopeChars envelope;
        for (int i = 0; i < serverRecords; ++i)
            wire += FrameRecord(GeneratedRecord(i), envelope);
        const double mb = static_cast<double>(wire.size()) / 1e6;

        QTcpSocket raw;
        size_t offset = 0;
        constexpr size_t kChunk = size_t{256} << 10;
        auto feed = [&] {
            while (offset < wire.size() && raw.bytesToWrite() < qint64{1} << 20) {
                const size_t n = std::min(kChunk, wire.size() - offset);
                raw.write(wire.data() + offset, static_cast<qint64>(n));
                offset += n;
            }
        };
        QObject::connect(&raw, &QTcpSocket::readyRead, [&] { raw.readAll(); });  // the ACKs
        QObject::connect(&raw, &QTcpSocket::bytesWritten, feed);
        raw.connectToHost(QStringLiteral("127.0.0.1"),
                          static_cast<quint16>(server.window->Winsock1->LocalPort()));
        if (WaitWithEvents(5000ms, [&] { return raw.state() == QAbstractSocket::ConnectedState; })
            != WaitEnd::Done) {
            std::fprintf(stderr, "cannot connect to the server window\n");
            return 1;
        }
        QElapsedTimer t;
        t.start();
        feed();
        const int32_t& count = server.state.records.RecordCount;
        const bool all =
            WaitWithEvents(600s, [&] { return count >= serverRecords; }) == WaitEnd::Done;
        const double s = Seconds(t);
        if (!all)
            std::fprintf(stderr, "gave up after %.0f s\n", s);
        if (count != serverRecords)
            Wrong("server: records stored", count, serverRecords);
        serverRate = count / s;
        std::printf(
            "raw socket -> server window: %d records (%.1f MB) in %.2f s, %.0f "
            "records/s, %.1f MB/s\n",
            count, mb, s, serverRate, mb / s);
        raw.abort();
    }

    std::printf("server window / client engine: %.0fx the records per second\n",
                serverRate / clientRate);

    // 3. The trace's cost on a 20 MB frame.
    const double off = BigFrameSeconds(false);
    const double on = BigFrameSeconds(true);
    if (off > 0 && on > 0)
        std::printf("20 MB frame, trace on / trace off: %.2fx (goal at most 2x)\n", on / off);
    return wrongResult ? 1 : 0;
}
