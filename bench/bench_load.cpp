// Loading benchmark: one file, loaded by the core loader and by the main window, next to a
// plain read of the same file (read through a reused buffer, as `cat` does) and to a Python
// one-liner that reads the file and splits it into records at every line starting with MSH.
// Also the peak memory of a first load, measured in a child process: its VmHWM (reset just
// before the load) divided by the file's size.
// The generated file holds realistic records (gzip shrinks them about 6:1, as real traffic; the
// ratio is printed). Every load must find the right number of records (the generated count,
// or for a given file the Python split's): a wrong count prints WRONG RESULT and fails the run.
//   bench_load [records]            a generated file of `records` records (default 100000)
//   bench_load --file PATH          the file at PATH
//   --peak-only                     only the first load in a child process (for profiling)
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "BenchSupport.h"
#include "app/frmMain.h"
#include "platform/Heap.h"
#include "platform/QtDialogs.h"
#include "records/HL7Loader.h"

using namespace quillon;

using namespace quillon::bench;

namespace {

// The reference in Python: the whole file read, then split before every line starting "MSH".
const char* const kPythonSplit =
    "import re,sys; d=open(sys.argv[1],'rb').read(); "
    "r=re.split(rb'[\\r\\n](?=MSH)', d); print(len(r))";

std::string MakeFile(int records)
{
    std::string out;
    out.reserve(static_cast<size_t>(records) * 800);
    RealisticRecords generator;
    for (int i = 1; i <= records; ++i)
        generator.Append(out, i, "\r\n");
    return out;
}

double PlainRead(const std::string& path)
{
    QElapsedTimer t;
    t.start();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return Seconds(t);
}

class SilentHost : public LoadHost {
public:
    bool AskLoadNonHL7() override { return false; }
};

// A first load: into an empty store, which is dropped after the clock stops.
double CoreLoad(const QString& path, int32_t* count)
{
    QElapsedTimer t;
    t.start();
    RecordStore store;
    Delimiters delimiters;
    SilentHost host;
    platform::ReadResult error;
    LoadHL7FromFile(path, store, delimiters, '\r', host, error);
    const double s = Seconds(t);
    *count = store.RecordCount;
    return s;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long StatusKb(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(field);
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            kb = std::atol(line + n + 1);
    if (f)
        std::fclose(f);
    return kb;
}

struct Peak {
    long baselineKb = -1;  // resident before the load
    long peakKb = -1;      // the high-water mark during the load
    double seconds = 0;    // the load's time in a fresh process
    long records = -1;     // what that load found
};

// The core load in a child process: the peak is that load's alone.
Peak MeasurePeak(const QString& path)
{
    int fds[2];
    Peak peak;
    if (::pipe(fds) != 0)
        return peak;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        // As a fresh process: none of the parent's freed heap kept, and the heap readied as the
        // program readies it at start.
        ::malloc_trim(0);
        platform::PrepareHeapForLargeLoads();
        Peak p;
        // Writing 5 resets VmHWM to the present resident size.
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        p.baselineKb = StatusKb("VmRSS:");
        int32_t count = 0;
        p.seconds = CoreLoad(path, &count);
        p.peakKb = StatusKb("VmHWM:");
        p.records = count;
        if (::write(fds[1], &p, sizeof p) != sizeof p)
            ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    if (::read(fds[0], &peak, sizeof peak) != sizeof peak)
        peak = Peak{};
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return peak;
}

double PythonSplit(const std::string& path, long* records)
{
    const std::string command =
        "python3 -c \"" + std::string(kPythonSplit) + "\" '" + path + "'";
    QElapsedTimer t;
    t.start();
    FILE* p = ::popen(command.c_str(), "r");
    *records = -1;
    if (p) {
        if (std::fscanf(p, "%ld", records) != 1)
            *records = -1;
        ::pclose(p);
    }
    return Seconds(t);
}

}  // namespace

int main(int argc, char* argv[])
{
    platform::PrepareHeapForLargeLoads();  // as the program does at start
    QString path;
    int records = 100000;
    bool peakOnly = false;  // only the fresh-process load (for profiling it)
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--peak-only") == 0)
            peakOnly = true;
        else if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc)
            path = QString::fromLocal8Bit(argv[++i]);
        else
            records = std::max(1, std::atoi(argv[i]));
    }

    QTemporaryDir dir;
    const bool generated = path.isEmpty();
    double gzipRatio = 0;
    if (generated) {
        path = dir.filePath(QStringLiteral("bench.hl7"));
        const std::string data = MakeFile(records);
        gzipRatio = GzipRatio(data);
        FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    const std::string file = path.toStdString();
    const double bytes = static_cast<double>(QFileInfo(path).size());
    const double mb = bytes / 1e6;

    PlainRead(file);  // warm the page cache
    // Before any window exists, so the child holds nothing but the load.
    // Three children: the median time, the highest peak.
    Peak peak;
    std::vector<Peak> children;
    {
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) {
            const Peak p = MeasurePeak(path);
            children.push_back(p);
            times.push_back(p.seconds);
            if (p.peakKb > peak.peakKb)
                peak = p;
        }
        peak.seconds = Median(times);
    }
    if (peakOnly) {
        std::printf("fresh process: %.3f s, VmHWM %.2fx the file\n", peak.seconds,
                    peak.peakKb * 1024.0 / bytes);
        return 0;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppState state;
    InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();

    const int runs = 5;
    std::vector<double> plain, core, python, gui;
    int32_t coreCount = 0;
    long pythonCount = 0;
    // Every run's counts: {what, run, count}.
    struct Count {
        const char* what;
        int run;
        long count;
    };
    std::vector<Count> counts;
    for (const Peak& p : children)
        counts.push_back({"core load in a fresh process",
                          static_cast<int>(&p - children.data()) + 1, p.records});
    for (int r = 0; r < runs; ++r) {
        plain.push_back(PlainRead(file));
        core.push_back(CoreLoad(path, &coreCount));
        counts.push_back({"core load", r + 1, coreCount});
        if (r < 3) {
            python.push_back(PythonSplit(file, &pythonCount));
            counts.push_back({"python split", r + 1, pythonCount});
        }
        QElapsedTimer t;
        t.start();
        window.LoadHL7File(path);
        gui.push_back(Seconds(t));
        counts.push_back({"main window load", r + 1, state.records.RecordCount});
    }
    // The right count: the generated one, or the Python split's for a given file.
    const long expected = generated ? records : pythonCount;
    bool right = true;
    for (const Count& c : counts) {
        if (c.count == expected)
            continue;
        std::printf("%s, run %d: %ld records, not %ld\n", c.what, c.run, c.count, expected);
        right = false;
    }

    const double p = Median(plain), c = Median(core), py = Median(python), g = Median(gui);
    std::printf("file: %s\n      %d records, %.1f MB; median of %d runs (python %d); nproc %d\n",
                file.c_str(), coreCount, mb, runs, static_cast<int>(python.size()),
                QThread::idealThreadCount());
    if (generated)
        std::printf("      realistic records, gzip shrinks them %.1f:1\n", gzipRatio);
    std::printf("%-28s %8.3f s %9.1f MB/s\n", "plain read (reference)", p, mb / p);
    std::printf("%-28s %8.3f s %9.1f MB/s  %5.2fx the plain read\n", "python read+split (ref.)",
                py, mb / py, py / p);
    std::printf("%-28s %8.3f s %9.1f MB/s  %5.2fx the plain read, %5.2fx python\n",
                "core loader", c, mb / c, c / p, c / py);
    std::printf("%-28s %8.3f s %9.1f MB/s  %5.2fx the plain read, %5.2fx python\n",
                "main window LoadHL7File", g, mb / g, g / p, g / py);
    std::printf("%-28s %8.3f s %9.1f MB/s  %5.2fx the plain read\n",
                "core loader, fresh process (3)", peak.seconds, mb / peak.seconds,
                peak.seconds / p);
    if (peak.peakKb > 0)
        std::printf("core loader peak memory (child process): VmHWM %.1f MB = %.2fx the file "
                    "(%.1f MB resident before the load; the load added %.2fx the file)\n",
                    peak.peakKb / 1024.0 * 1.048576, peak.peakKb * 1024.0 / bytes,
                    peak.baselineKb / 1024.0 * 1.048576,
                    (peak.peakKb - peak.baselineKb) * 1024.0 / bytes);
    std::printf("%s\n",
                right ? "results checked: every load has the right record count" : "WRONG RESULT");
    return right ? 0 : 1;
}
