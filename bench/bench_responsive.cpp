// How long the main window is held by the big edits over a million generated records, and how
// much memory it holds meanwhile: Sort on MSH-7, Replace All and the record filter, and Edit >
// Undo of each, driven through the window's menu items and dialogs. For each it prints the time
// until the command returns to the event loop and the longest gap between two turns of the event
// loop while it ran, next to one memmem pass over the same bytes measured in the same run, and
// the memory resident after it and at its highest until the next command, as a ratio to the
// file's size. The load's own figures come first: resident when it ends and 1.5 s later, when
// the window is idle. It runs once on a quiet disk and once while `dd` writes to the same disk
// with direct I/O beside it. The records are checked against digests kept of the generated
// ones: the bench holds no copy of them, so the memory figures are the window's.
//   bench_responsive [records] [quiet|busy|both]      (default 1000000 both; each disk in a
//                                                      process of its own)
// Goals: each command back within 1.5 s, no gap of 200 ms or more; idle after the load at most
// 1.3x the file, the highest resident memory through the whole session at most 2.2x.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "editing/frmFilterRecords.h"
#include "editing/frmReplaceInRecordList.h"
#include "platform/Heap.h"

using namespace quillon;

namespace {

constexpr double kReturnGoal = 1.5;
constexpr double kGapGoal = 0.200;
constexpr double kIdleGoal = 1.3;
constexpr double kPeakGoal = 2.2;

// Turns of the event loop, seen as the firings of a 2 ms timer.
class GapMeter {
public:
    GapMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Turn(); });
    }
    void Start()
    {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    // The longest gap, the stretch up to now included.
    double Stop()
    {
        Turn();
        timer_.stop();
        return static_cast<double>(longest_) / 1e9;
    }
    double Elapsed() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

private:
    void Turn()
    {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

struct Figure {
    double seconds = 0;
    double gap = 0;
};

// Runs `command` (which triggers a menu item) with the meter on; `press` runs once the command's
// dialog is up and starts the clock there, since the time a user spends in a dialog is not the
// command's.
Figure Timed(GapMeter& meter, const std::function<void()>& command,
             const std::function<void()>& press = {})
{
    Figure f;
    if (press)
        QTimer::singleShot(50, [&] {
            meter.Start();
            press();
        });
    else
        meter.Start();
    command();
    f.seconds = meter.Elapsed();
    f.gap = meter.Stop();
    return f;
}

bool Sorted(const RecordStore& store)
{
    std::string_view previous;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string_view r = store.Record(i);
        const std::string_view key = r.substr(r.find("|2026") + 1, 14);
        if (key < previous)
            return false;
        previous = key;
    }
    return true;
}

// What the generated records were, without a copy of them: a digest of all of them in their
// order, their number, and how many the filter keeps.
struct Expected {
    uint64_t digest = 0;
    int32_t count = 0;
    int32_t keep = 0;
    double bytes = 0;
    int32_t Count() const { return count; }
};

uint64_t Digest(const RecordStore& store)
{
    uint64_t digest = 14695981039346656037ULL;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        digest = (digest ^ std::hash<std::string_view>{}(store.Record(i))) * 1099511628211ULL;
    return digest;
}

bool SameRecords(const RecordStore& store, const Expected& expected)
{
    return store.RecordCount == expected.count && Digest(store) == expected.digest;
}

// Records whose MSH-7 values come in a scattered order.
RecordStore Store(int count, size_t& bytes)
{
    RecordStore store;
    bytes = 0;
    uint32_t x = 12345;
    for (int i = 1; i <= count; ++i) {
        std::string record = bench::GeneratedRecord(i);
        x = x * 1103515245u + 12345u;
        char stamp[8];
        std::snprintf(stamp, sizeof stamp, "%06u", (x >> 8) % 1000000u);
        record.replace(record.find("|20261208") + 9, 6, stamp);
        bytes += record.size();
        store.Append(std::move(record));
    }
    return store;
}

double MB(long kb)
{
    return static_cast<double>(kb) * 1024 / 1e6;
}

class Run {
public:
    // The records come in as a file the window loads, as they would for a user.
    Run(const QString& file, const Expected& expected, double reference)
        : expected_(expected), reference_(reference)
    {
        st().undo.UndoEnabled = true;
        w().show();
        QApplication::processEvents();
        ResetPeak();
        w().LoadHL7File(file);
        loadedKb_ = bench::ProcessKb("VmRSS:");
        loaded_ = SameRecords(st().records, expected_);
        if (!loaded_)
            std::printf("the file did not load as generated  WRONG RESULT\n");
        // A user looks at the first page before the first command.
        QElapsedTimer look;
        look.start();
        while (look.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        idleKb_ = bench::ProcessKb("VmRSS:");
        while (look.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    bool All(const char* disk)
    {
        std::printf("-- %s disk\n", disk);
        const double idle = Ratio(idleKb_);
        const bool idleMet = idle <= kIdleGoal;
        std::printf(
            "%-18s resident %6.0f MB (%4.2fx the file) as it ends, %6.0f MB (%4.2fx) "
            "1.5 s later; peak %6.0f MB (%4.2fx)%s\n",
            "Load", MB(loadedKb_), Ratio(loadedKb_), MB(idleKb_), idle, MB(PeakKb()),
            Ratio(PeakKb()), idleMet ? "" : "  MISSED");
        bool ok = loaded_ && idleMet;
        ok = Sort() && ok;
        ok = Undo("Sort") && ok;
        ok = ReplaceAll() && ok;
        ok = Undo("Replace All") && ok;
        ok = Filter() && ok;
        ok = Undo("Filter") && ok;
        // Undo once the sort's files are written: its point is still in memory.
        ok = Sort() && ok;
        w().AwaitWrites();
        ok = Undo("Sort, files done") && ok;
        // Older points are read back from their files.
        ok = Sort() && ok;
        w().AwaitWrites();
        ok = ReplaceAll() && ok;
        w().AwaitWrites();
        ok = Undo("Replace All") && ok;
        ok = Undo("Sort, from disk") && ok;
        // A change right after a sort first waits for the sort's files, since a write that
        // fails takes the sort back: timed apart from the goal.
        ok = Sort() && ok;
        waitsForFiles_ = true;
        ok = ReplaceAll() && ok;
        waitsForFiles_ = false;
        w().AwaitWrites();
        Flush();
        const double peak = Ratio(sessionPeakKb_);
        const bool peakMet = peak <= kPeakGoal;
        std::printf("%-18s %6.0f MB, %4.2fx the file (%.0f MB)%s\n", "Session peak",
                    MB(sessionPeakKb_), peak, expected_.bytes / 1e6, peakMet ? "" : "  MISSED");
        return ok && peakMet;
    }

private:
    AppState& st() { return bench_.state; }
    frmMain& w() { return *bench_.window; }

    double Ratio(long kb) const { return static_cast<double>(kb) * 1024 / expected_.bytes; }
    long PeakKb()
    {
        const long peak = bench::ProcessKb("VmHWM:");
        sessionPeakKb_ = std::max(sessionPeakKb_, peak);
        return peak;
    }
    void ResetPeak()
    {
        PeakKb();
        bench::ResetPeakMemory();
    }

    // A command's memory is taken once it returned and again, at its highest, just before the
    // next one starts: writes it left beside the window count as its own.
    bool Report(const char* what, const Figure& f, bool right)
    {
        const bool met = waitsForFiles_ || (f.seconds <= kReturnGoal && f.gap < kGapGoal);
        const long resident = bench::ProcessKb("VmRSS:");
        char line[256];
        std::snprintf(line, sizeof line,
                      "%-18s back in %6.3f s (%5.1fx the memmem pass), longest gap %6.1f ms%s%s; "
                      "resident %6.0f MB (%4.2fx),",
                      what, f.seconds, f.seconds / reference_, f.gap * 1e3,
                      waitsForFiles_ ? " (first waits for the sort's files)"
                      : met          ? ""
                                     : "  MISSED",
                      right ? "" : "  WRONG RESULT", MB(resident), Ratio(resident));
        pending_ = line;
        std::fflush(stdout);
        return met && right;
    }
    // The last command's line with its peak.
    void Flush()
    {
        if (pending_.empty())
            return;
        const long peak = PeakKb();
        std::printf("%s peak %6.0f MB (%4.2fx)\n", pending_.c_str(), MB(peak), Ratio(peak));
        std::fflush(stdout);
        pending_.clear();
    }
    // Before each command: the last one's line is printed and the mark lowered.
    void Begin()
    {
        Flush();
        ResetPeak();
    }

    bool Sort()
    {
        Begin();
        w().mnuTools_Click();
        const Figure f = Timed(meter_, [&] { w().mnuToolsSortMSH7->trigger(); });
        return Report("Sort on MSH-7", f,
                      st().records.RecordCount == expected_.Count() && Sorted(st().records));
    }

    bool ReplaceAll()
    {
        Begin();
        const Figure f = Timed(
            meter_, [&] { w().mnuRecordListReplace->trigger(); },
            [&] {
                ReplaceDialog* d = w().frmReplaceInRecordList;
                if (!d)
                    return;
                d->txtFind->setText(QStringLiteral("SENDER"));
                d->txtReplace->setText(QStringLiteral("SENDOR"));
                d->chkMatchCase->setChecked(true);
                d->optScope[0]->setChecked(true);
                d->cmdCommand[0]->click();
            });
        const bool right = bench::MemmemPass(st().records, "SENDOR") == expected_.Count()
                           && bench::MemmemPass(st().records, "SENDER") == 0;
        return Report("Replace All", f, right);
    }

    bool Filter()
    {
        Begin();
        // Keeps the records whose patient number ends in 7: a tenth of them.
        const Figure f = Timed(
            meter_, [&] { w().mnuEditFilterRecordList->trigger(); },
            [&] {
                auto* d = qobject_cast<quillon::frmFilterRecords*>(w().frmFilterRecords.data());
                if (!d)
                    return;
                d->cboFilterRecords->setEditText(QStringLiteral("7||19700101"));
                d->cmdApplyFilter->click();
            });
        return Report("Filter", f,
                      st().records.RecordCount == expected_.keep && expected_.keep > 0);
    }

    bool Undo(const char* of)
    {
        Begin();
        const Figure f = Timed(meter_, [&] { w().mnuEditUndo->trigger(); });
        const std::string what = std::string("Undo ") + of;
        // The record-list replace leaves two points; the second undo goes back to where it began.
        if (std::strcmp(of, "Replace All") == 0
            && st().undo.UndoDescriptions[static_cast<size_t>(st().undo.UndoLevel)].startsWith(
                QLatin1String("Replace '"))) {
            Report((what + " (1)").c_str(), f, true);
            Begin();
            const Figure second = Timed(meter_, [&] { w().mnuEditUndo->trigger(); });
            const bool back =
                SameRecords(st().records, expected_)
                || (st().records.RecordCount == expected_.Count() && Sorted(st().records));
            return Report((what + " (2)").c_str(), second, back);
        }
        return Report(what.c_str(), f, SameRecords(st().records, expected_));
    }

    const Expected& expected_;
    double reference_;
    bool loaded_ = false;
    long loadedKb_ = 0;
    long idleKb_ = 0;
    long sessionPeakKb_ = 0;
    bool waitsForFiles_ = false;
    std::string pending_;
    bench::BenchWindow bench_;
    GapMeter meter_;
};

// Keeps `dd` writing to the disk of `folder` with direct I/O until stopped.
class BusyDisk {
public:
    explicit BusyDisk(const QString& folder) : file_(folder + QStringLiteral("/busy.dat"))
    {
        QObject::connect(&dd_, &QProcess::finished, [this] {
            if (stopping_)
                return;
            ++runs_;
            Start();
        });
        clock_.start();
        Start();
    }
    ~BusyDisk()
    {
        const double written = runs_ * 4.0 + static_cast<double>(QFileInfo(file_).size()) / (1 << 30);
        std::printf("dd wrote %.1f GiB beside in %.0f s\n", written,
                    static_cast<double>(clock_.elapsed()) / 1000);
        stopping_ = true;
        dd_.kill();
        dd_.waitForFinished(5000);
        QFile::remove(file_);
    }

private:
    void Start()
    {
        dd_.start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"),
                                         QStringLiteral("of=") + file_, QStringLiteral("bs=1M"),
                                         QStringLiteral("count=4096"), QStringLiteral("oflag=direct"),
                                         QStringLiteral("status=none")});
    }
    QString file_;
    QProcess dd_;
    QElapsedTimer clock_;
    int runs_ = 0;
    bool stopping_ = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::PrepareHeapForLargeLoads();  // as the program does
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1000000;
    const std::string mode = argc > 2 ? argv[2] : "both";
    if (mode == "both") {
        // Each disk in a process of its own, so that one run's memory is not the other's.
        bool ok = true;
        for (const char* disk : {"quiet", "busy"}) {
            QProcess run;
            run.setProcessChannelMode(QProcess::ForwardedChannels);
            run.start(QString::fromLocal8Bit(argv[0]),
                      {QString::number(count), QString::fromLatin1(disk)});
            run.waitForFinished(-1);
            ok = run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0 && ok;
        }
        return ok ? 0 : 1;
    }

    size_t bytes = 0;
    QTemporaryDir fileDir;
    const QString file = fileDir.filePath(QStringLiteral("generated.hl7"));
    double reference = 1e9;
    Expected expected;
    {
        const RecordStore original = Store(count, bytes);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        std::string chunk;
        for (int32_t i = 1; i <= original.RecordCount; ++i) {
            chunk += original.Record(i);
            if (chunk.size() > (1u << 20) || i == original.RecordCount) {
                out.write(chunk.data(), static_cast<qint64>(chunk.size()));
                chunk.clear();
            }
        }
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            bench::MemmemPass(original);
            reference = std::min(reference, bench::Seconds(t));
        }
        expected.count = original.RecordCount;
        expected.digest = Digest(original);
        expected.keep = bench::MemmemPass(original, "7||19700101");
    }
    expected.bytes = static_cast<double>(QFileInfo(file).size());
    // The generated copy is gone: what is resident from here on is the window's.
    malloc_trim(0);
    std::printf(
        "%d records (%.0f MB), %d cores; one memmem pass %.3f s; resident before the "
        "window %.0f MB\n",
        count, static_cast<double>(bytes) / 1e6, QThread::idealThreadCount(), reference,
        MB(bench::ProcessKb("VmRSS:")));

    bool ok = true;
    if (mode != "busy") {
        Run run(file, expected, reference);
        ok = run.All("quiet") && ok;
    }
    malloc_trim(0);
    if (mode != "quiet") {
        QTemporaryDir busyDir;
        BusyDisk busy(busyDir.path());
        QThread::msleep(2000);  // let the writer get going
        Run run(file, expected, reference);
        ok = run.All("busy (dd oflag=direct beside)") && ok;
    }
    return ok ? 0 : 1;
}
