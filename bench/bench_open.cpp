// File > Open of compressed files: a .gz and a .zip archive of 100 MB of HL7 each, opened by the
// main window's own command (copy into the working folder, decompression by gzip or the unzip
// wrapper, loading), next to `gzip -dc FILE > /dev/null` and `unzip -p FILE > /dev/null` of the
// same files in the same run. The steps of the road are also timed one after the other with
// the pipeline's functions (copy, the decompression loop, the core load); the window's Open of
// a single .gz loads while gzip writes, so it can take less than their sum. The records are
// realistic ones, which gzip shrinks about 6:1 as it does real traffic (the ratio is printed),
// and every load must hold all of them: a wrong count prints WRONG RESULT and fails the run.
//   bench_open [megabytes]          (default 100)
//   BENCH_OPEN_VERBOSE=1            also each run, the emptying of Files2Load and a reload
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/frmMain.h"
#include "files/OpenPipeline.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "platform/Unzip.h"
#include "records/HL7Loader.h"

using namespace quillon;

using namespace quillon::bench;

namespace {

// At least `bytes` of realistic records (segments ended by CR LF); `records` gets their count.
std::string MakeContent(size_t bytes, int32_t& records)
{
    std::string out;
    out.reserve(bytes + 4096);
    RealisticRecords generator;
    records = 0;
    while (out.size() < bytes)
        generator.Append(out, ++records, "\r\n");
    return out;
}

double Shell(const QString& command)
{
    QElapsedTimer t;
    t.start();
    if (std::system(command.toLocal8Bit().constData()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.toLocal8Bit().constData());
    return Seconds(t);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class SilentHost : public LoadHost {
public:
    bool AskLoadNonHL7() override { return false; }
};

struct Steps {
    double copy = 0, decompress = 0, load = 0;
    int32_t records = -1;
};

// The road of File > Open step by step, with the functions the command uses.
Steps Road(const QString& archive, const QString& working, platform::Dialogs& dialogs)
{
    Steps s;
    EmptyFolder(working);
    QElapsedTimer t;
    t.start();
    QFile::copy(archive, working + QFileInfo(archive).fileName());
    s.copy = Seconds(t);
    Decompressors tools;
    tools.gunzip = [](const QString& path, QString* errorOutput) { return RunGunzip(path, 120000, errorOutput); };
    tools.unzip = [&dialogs](const QString& path, const QString& folder, QString* message) {
        platform::CGUnzipFiles unzip(dialogs);
        unzip.setZipFileName(path);
        unzip.setExtractDir(folder);
        unzip.setHonorDirectories(false);
        const int rc = unzip.Unzip();
        *message = unzip.GetLastMessage();
        return rc;
    };
    t.restart();
    const DecompressOutcome outcome = DecompressFolder(working, tools);
    s.decompress = Seconds(t);
    if (outcome.files.size() != 1) {
        std::fprintf(stderr, "decompression left %d files\n", static_cast<int>(outcome.files.size()));
        return s;
    }
    t.restart();
    RecordStore store;
    Delimiters delimiters;
    SilentHost host;
    platform::ReadResult error;
    LoadHL7FromFile(outcome.files.front(), store, delimiters, '\r', host, error);
    s.load = Seconds(t);
    s.records = store.RecordCount;
    return s;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const size_t megabytes = argc > 1 ? static_cast<size_t>(std::max(1, std::atoi(argv[1]))) : 100;

    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("data.hl7"));
    int32_t expected = 0;
    qint64 plainBytes = 0;
    {
        const std::string content = MakeContent(megabytes * 1000 * 1000, expected);
        plainBytes = static_cast<qint64>(content.size());
        QFile f(plain);
        f.open(QIODevice::WriteOnly);
        f.write(content.data(), static_cast<qint64>(content.size()));
    }
    const QString gz = plain + QStringLiteral(".gz");
    const QString zip = dir.filePath(QStringLiteral("data.zip"));
    Shell(QStringLiteral("gzip -k '%1'").arg(plain));
    Shell(QStringLiteral("cd '%1' && zip -q data.zip data.hl7").arg(dir.path()));
    QFile::remove(plain);  // only the archives are opened
    const double mb = static_cast<double>(megabytes);

    AppState state;
    InitDataFolders(state.folders, dir.filePath(QStringLiteral("home")), QStringLiteral("quillon"));
    platform::ScriptedResponder dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();
    const QString working = state.folders.Files2LoadFolder;

    const double gzBytes = static_cast<double>(QFileInfo(gz).size());
    std::printf(
        "%zu MB of HL7, %d records; .gz %.1f MB (%.1f:1), .zip %.1f MB; median of 3 runs; "
        "nproc %d\n",
        megabytes, expected, gzBytes / 1e6, static_cast<double>(plainBytes) / gzBytes,
        static_cast<double>(QFileInfo(zip).size()) / 1e6, QThread::idealThreadCount());
    bool right = true;
    struct Kind {
        const char* name;
        QString archive;
        QString reference;
        const char* referenceName;
    } kinds[] = {
        {".gz", gz, QStringLiteral("gzip -dc '%1' > /dev/null").arg(gz), "gzip -dc FILE > /dev/null"},
        {".zip", zip, QStringLiteral("unzip -p '%1' > /dev/null").arg(zip), "unzip -p FILE > /dev/null"},
    };
    for (const Kind& k : kinds) {
        std::vector<double> reference, open, copy, decompress, load;
        int32_t records = 0;
        for (int r = 0; r < 3; ++r) {
            reference.push_back(Shell(k.reference));
            dialogs.QueueFiles({k.archive});
            QElapsedTimer t;
            if (std::getenv("BENCH_OPEN_VERBOSE")) {
                t.start();
                EmptyFolder(working);
                std::fprintf(stderr, "empty folder %.3f s\n", Seconds(t));
            }
            t.start();
            window.mnuFileOpen_Click();
            open.push_back(Seconds(t));
            if (std::getenv("BENCH_OPEN_VERBOSE"))
                std::fprintf(stderr, "%s open run %d: %.3f s\n", k.name, r, open.back());
            records = state.records.RecordCount;
            if (records != expected) {
                std::printf("%s File > Open run %d: %d records, not %d\n", k.name, r + 1, records,
                            expected);
                right = false;
            }
            if (std::getenv("BENCH_OPEN_VERBOSE")) {
                t.start();
                window.LoadHL7File(window.sFileName);
                std::fprintf(stderr, "window reload %.3f s\n", Seconds(t));
            }
            const Steps s = Road(k.archive, working, dialogs);
            if (s.records != expected) {
                std::printf("%s step-by-step load run %d: %d records, not %d\n", k.name, r + 1,
                            s.records, expected);
                right = false;
            }
            copy.push_back(s.copy);
            decompress.push_back(s.decompress);
            load.push_back(s.load);
        }
        if (!dialogs.shown().empty())
            std::fprintf(stderr, "a message box was shown: %s\n",
                         dialogs.shown().back().text.toLocal8Bit().constData());
        const double ref = Median(reference), o = Median(open);
        std::printf("\n%s (%d records)\n", k.name, records);
        std::printf("  %-34s %7.3f s %8.1f MB/s\n", k.referenceName, ref, mb / ref);
        std::printf("  %-34s %7.3f s %8.1f MB/s  %5.2fx the reference\n",
                    "File > Open (main window)", o, mb / o, o / ref);
        std::printf("  %-34s %7.3f s\n", "  copy into Files2Load", Median(copy));
        std::printf("  %-34s %7.3f s  %5.2fx the reference\n", "  decompress in Files2Load",
                    Median(decompress), Median(decompress) / ref);
        std::printf("  %-34s %7.3f s\n", "  core load of the result", Median(load));
    }
    std::printf("%s\n", right ? "results checked: every load has all records" : "WRONG RESULT");
    return right ? 0 : 1;
}
