// The server window with one message in flight, as a real sending system drives it: a load
// generator on its own thread (plain blocking sockets, one connection) sends a record, waits for
// its ACK, then sends the next. It drives the main window in server mode (offscreen), with the
// disk log off and on, and, as the reference, a single-threaded Python asyncio MLLP server that
// cuts records at FS CR and answers each with a small ACK, storing nothing. Prints messages per
// second and the 50th and 99th percentile round trip of each, and the window's figures as a
// ratio of the reference's, and each server's own CPU time per message (the window's process less
// the load generator's thread; the reference's process), which does not hang on the round trip
// that both servers wait on. Checks that the store and the disk log hold every record once.
//   bench_server [records]     (default 100000)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/WinsockControl.h"
#include "tcpip/Framing.h"

using namespace quillon;
using Clock = std::chrono::steady_clock;

using namespace quillon::bench;

namespace {

std::string ControlId(int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "MSG%08d", i);
    return buf;
}

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// User and system time of another process so far; -1 when it cannot be read.
double ProcessCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the program's name, which ends with the last ')': utime and stime are the
    // 12th and 13th of them.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong())
           / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Run {
    int sent = 0;
    double seconds = 0;
    double serverCpuSeconds = -1;  // the server's own CPU time over the run
    std::vector<double> rttMs;
    std::string lastAck;
    std::string error;

    double Rate() const { return seconds > 0 ? sent / seconds : 0; }
    double CpuPerMessageUs() const { return sent > 0 && serverCpuSeconds >= 0 ? serverCpuSeconds / sent * 1e6 : -1; }
    double Percentile(double p) const
    {
        if (rttMs.empty())
            return 0;
        std::vector<double> sorted = rttMs;
        const size_t k = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(k), sorted.end());
        return sorted[k];
    }
};

// One connection; each frame goes out after the ACK of the one before has come back whole
// (it ends with FS CR).
Run Generate(int port, const std::vector<std::string>& frames)
{
    Run run;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        run.error = "cannot connect";
        if (fd >= 0)
            ::close(fd);
        return run;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    run.rttMs.reserve(frames.size());
    std::string reply;
    char buf[4096];
    const Clock::time_point start = Clock::now();
    for (const std::string& frame : frames) {
        const Clock::time_point sentAt = Clock::now();
        for (size_t off = 0; off < frame.size();) {
            const ssize_t n = ::send(fd, frame.data() + off, frame.size() - off, MSG_NOSIGNAL);
            if (n <= 0) {
                run.error = "send failed";
                break;
            }
            off += static_cast<size_t>(n);
        }
        reply.clear();
        while (run.error.empty()
               && (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\x1c\r") != 0)) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                run.error = "connection closed while waiting for an ACK";
                break;
            }
            reply.append(buf, static_cast<size_t>(n));
        }
        if (!run.error.empty())
            break;
        run.rttMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt).count());
        ++run.sent;
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.lastAck = reply;
    ::close(fd);
    return run;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The window in server mode as Start leaves it; the generator runs on its own thread while this
// one runs the window's event loop.
Run DriveWindow(const std::vector<std::string>& frames, bool logToDisk, bool& ok)
{
    BenchWindow server;
    frmMain& w = *server.window;
    const QString logFile = server.dir.filePath(QStringLiteral("received.dat"));
    server.state.server.ServerLogFile = logFile;
    {
        const QSignalBlocker block(w.chkLogToDisk);
        w.chkLogToDisk->setChecked(logToDisk);
    }
    server.state.server.LocalPort = 0;
    w.Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
    QString error;
    if (!w.StartListening(&error)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(error));
        ok = false;
        return {};
    }
    const int port = w.Winsock1->LocalPort();
    QEventLoop loop;
    Run run;
    double generatorCpu = 0;
    const double processCpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread generator([&] {
        const double before = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        run = Generate(port, frames);
        generatorCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    generator.join();
    w.FlushReceivedRows();
    run.serverCpuSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuBefore - generatorCpu;

    const int n = static_cast<int>(frames.size());
    const std::string last = ControlId(n - 1);
    const int32_t count = server.state.records.RecordCount;
    ok = run.error.empty() && run.sent == n && count == n
         && server.state.records.Record(count).find("|" + last + "|") != std::string::npos
         && run.lastAck.find("MSA|AA|" + last + "|") != std::string::npos;
    if (!ok)
        std::fprintf(stderr, "window: %s; %d sent, %d stored, last ACK %s\n", run.error.c_str(),
                     run.sent, count, run.lastAck.c_str());
    if (logToDisk) {
        QFile f(logFile);
        std::string logged;
        if (f.open(QIODevice::ReadOnly))
            logged = f.readAll().toStdString();
        const std::string tail = "NTE|1||Specimen received in good condition.\r\r\n";
        const bool complete = Count(logged, "MSH|") == static_cast<size_t>(n)
                              && logged.rfind("|" + last + "|") != std::string::npos
                              && logged.size() >= tail.size()
                              && logged.compare(logged.size() - tail.size(), tail.size(), tail) == 0;
        if (!complete) {
            std::fprintf(stderr, "disk log: %zu records, last ID %s\n", Count(logged, "MSH|"),
                         logged.rfind(last) != std::string::npos ? "present" : "missing");
            ok = false;
        }
    }
    w.StopListening();
    return run;
}

const char* kPythonServer = R"PY(
import asyncio
ACK = b"\x0bMSH|^~\\&|R|F|S|F|||ACK|1|P|2.4\rMSA|AA|1\r\x1c\r"
class Mllp(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        self.buffer = b""
    def data_received(self, data):
        self.buffer += data
        while True:
            end = self.buffer.find(b"\x1c\r")
            if end < 0:
                break
            self.buffer = self.buffer[end + 2:]
            self.transport.write(ACK)
async def main():
    server = await asyncio.get_running_loop().create_server(Mllp, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()
asyncio.run(main())
)PY";

Run DrivePython(const std::vector<std::string>& frames, bool& ok)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kPythonServer)});
    if (!python.waitForStarted(10000) || !python.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the Python reference server did not start\n");
        ok = false;
        return {};
    }
    const int port = python.readLine().trimmed().toInt();
    const double cpuBefore = ProcessCpuSeconds(python.processId());
    Run run = Generate(port, frames);
    const double cpuAfter = ProcessCpuSeconds(python.processId());
    if (cpuBefore >= 0 && cpuAfter >= 0)
        run.serverCpuSeconds = cpuAfter - cpuBefore;
    ok = run.error.empty() && run.sent == static_cast<int>(frames.size());
    if (!ok)
        std::fprintf(stderr, "python: %s; %d sent\n", run.error.c_str(), run.sent);
    python.kill();
    python.waitForFinished(5000);
    return run;
}

void Print(const char* name, const Run& run, const Run* reference)
{
    std::printf("%-40s %7d msgs in %6.2f s: %8.0f msgs/s, p50 %6.3f ms, p99 %6.3f ms, CPU %5.1f us/msg",
                name, run.sent, run.seconds, run.Rate(), run.Percentile(0.50), run.Percentile(0.99),
                run.CpuPerMessageUs());
    if (reference != nullptr && reference->Rate() > 0)
        std::printf("  | %.2fx the reference's rate, p99 %.2fx, CPU per message %.2fx",
                    run.Rate() / reference->Rate(), run.Percentile(0.99) / reference->Percentile(0.99),
                    run.CpuPerMessageUs() / reference->CpuPerMessageUs());
    std::printf("\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    std::vector<std::string> frames;
    frames.reserve(static_cast<size_t>(records));
    const EnvelopeChars envelope;
    for (int i = 0; i < records; ++i)
        frames.push_back(FrameRecord(GeneratedRecord(i), envelope));

    bool ok = true, each = true;
    const Run python = DrivePython(frames, each);
    ok = ok && each;
    const Run windowNoLog = DriveWindow(frames, false, each);
    ok = ok && each;
    const Run windowLog = DriveWindow(frames, true, each);
    ok = ok && each;

    std::printf("One message in flight, %d records of ~%zu bytes, one connection:\n", records,
                frames.front().size());
    Print("reference: Python asyncio MLLP server", python, nullptr);
    Print("server window, list on, disk log off", windowNoLog, &python);
    Print("server window, list on, disk log on", windowLog, &python);
    std::printf("records stored and logged: %s\n", ok ? "all, once each" : "MISMATCH");
    return ok ? 0 : 1;
}
