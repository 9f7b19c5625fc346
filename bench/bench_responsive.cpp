// How long the main window is held by the big edits over a million generated records: Sort on
// MSH-7, Replace All and the record filter, and Edit > Undo of each, driven through the window's
// menu items and dialogs. For each it prints the time until the command returns to the event
// loop and the longest gap between two turns of the event loop while it ran, next to one memmem
// pass over the same bytes measured in the same run. It runs once on a quiet disk and once while
// `dd` writes to the same disk with direct I/O beside it.
//   bench_responsive [records] [quiet|busy|both]      (default 1000000 both)
// Goal: each command back within 1.5 s, no gap of 200 ms or more.
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
    std::string previous;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string& r = store.Record(i);
        const std::string key = r.substr(r.find("|2026") + 1, 14);
        if (key < previous)
            return false;
        previous = key;
    }
    return true;
}

bool SameRecords(const RecordStore& a, const RecordStore& b)
{
    if (a.RecordCount != b.RecordCount)
        return false;
    for (int32_t i = 1; i <= a.RecordCount; ++i)
        if (a.Record(i) != b.Record(i))
            return false;
    return true;
}

// Records whose MSH-7 values come in a scattered order.
RecordStore Store(int count, size_t& bytes)
{
    RecordStore store;
    store.Records.reserve(static_cast<size_t>(count) + 101);
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

class Run {
public:
    // The records come in as a file the window loads, as they would for a user.
    Run(const QString& file, const RecordStore& original, double reference)
        : original_(original), reference_(reference)
    {
        st().undo.UndoEnabled = true;
        w().show();
        w().LoadHL7File(file);
        loaded_ = SameRecords(st().records, original_);
        if (!loaded_)
            std::printf("the file did not load as generated  WRONG RESULT\n");
        // A user looks at the first page before the first command.
        QElapsedTimer look;
        look.start();
        while (look.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    bool All(const char* disk)
    {
        std::printf("-- %s disk\n", disk);
        bool ok = loaded_;
        ok = Sort() && ok;
        ok = Undo("Sort") && ok;
        ok = ReplaceAll() && ok;
        ok = Undo("Replace All") && ok;
        ok = Filter() && ok;
        ok = Undo("Filter") && ok;
        // Undo once the copy has reached the disk: it is read back from there.
        ok = Sort() && ok;
        w().AwaitWrites();
        ok = Undo("Sort, from disk") && ok;
        return ok;
    }

private:
    AppState& st() { return bench_.state; }
    frmMain& w() { return *bench_.window; }

    bool Report(const char* what, const Figure& f, bool right)
    {
        const bool met = f.seconds <= kReturnGoal && f.gap < kGapGoal;
        std::printf("%-18s back in %6.3f s (%5.1fx the memmem pass), longest gap %6.1f ms%s%s\n",
                    what, f.seconds, f.seconds / reference_, f.gap * 1e3, met ? "" : "  MISSED",
                    right ? "" : "  WRONG RESULT");
        std::fflush(stdout);
        return met && right;
    }

    bool Sort()
    {
        w().mnuTools_Click();
        const Figure f = Timed(meter_, [&] { w().mnuToolsSortMSH7->trigger(); });
        return Report("Sort on MSH-7", f,
                      st().records.RecordCount == original_.RecordCount && Sorted(st().records));
    }

    bool ReplaceAll()
    {
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
        const bool right = bench::MemmemPass(st().records, "SENDOR") == original_.RecordCount
                           && bench::MemmemPass(st().records, "SENDER") == 0;
        return Report("Replace All", f, right);
    }

    bool Filter()
    {
        // Keeps the records whose patient number ends in 7: a tenth of them.
        const int32_t keep = bench::MemmemPass(original_, "7||19700101");
        const Figure f = Timed(
            meter_, [&] { w().mnuEditFilterRecordList->trigger(); },
            [&] {
                auto* d = qobject_cast<quillon::frmFilterRecords*>(w().frmFilterRecords.data());
                if (!d)
                    return;
                d->cboFilterRecords->setEditText(QStringLiteral("7||19700101"));
                d->cmdApplyFilter->click();
            });
        return Report("Filter", f, st().records.RecordCount == keep && keep > 0);
    }

    bool Undo(const char* of)
    {
        const Figure f = Timed(meter_, [&] { w().mnuEditUndo->trigger(); });
        const std::string what = std::string("Undo ") + of;
        // The record-list replace leaves two points; the second undo goes back to the start.
        if (std::strcmp(of, "Replace All") == 0 && !SameRecords(st().records, original_)) {
            const Figure second = Timed(meter_, [&] { w().mnuEditUndo->trigger(); });
            Report((what + " (1)").c_str(), f, true);
            return Report((what + " (2)").c_str(), second, SameRecords(st().records, original_));
        }
        return Report(what.c_str(), f, SameRecords(st().records, original_));
    }

    const RecordStore& original_;
    double reference_;
    bool loaded_ = false;
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

    size_t bytes = 0;
    const RecordStore original = Store(count, bytes);
    QTemporaryDir fileDir;
    const QString file = fileDir.filePath(QStringLiteral("generated.hl7"));
    {
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
    }
    double reference = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        bench::MemmemPass(original);
        reference = std::min(reference, bench::Seconds(t));
    }
    std::printf("%d records (%.0f MB), %d cores; one memmem pass %.3f s\n", count,
                static_cast<double>(bytes) / 1e6, QThread::idealThreadCount(), reference);

    bool ok = true;
    if (mode != "busy") {
        Run run(file, original, reference);
        ok = run.All("quiet") && ok;
    }
    if (mode != "quiet") {
        QTemporaryDir busyDir;
        BusyDisk busy(busyDir.path());
        QThread::msleep(2000);  // let the writer get going
        Run run(file, original, reference);
        ok = run.All("busy (dd oflag=direct beside)") && ok;
    }
    return ok ? 0 : 1;
}
