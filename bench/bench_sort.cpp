// Sorting 100,000 and 1,000,000 generated records on MSH-7 (keys read, order found, records
// moved in place), next to one memmem pass over the same bytes in the same run; and the whole
// Tools > Sort on MSH-7 command over 100,000 records, SortedFile.dat and undo point included.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "editing/SortRecords.h"

using namespace quillon;

namespace {

// Where the reference pass leaves its count, so that it is not optimised away.
volatile int32_t memmemFound = 0;

int32_t MemmemPass(const RecordStore& store)
{
    static const char needle[] = "NOT-THERE";
    int32_t found = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string_view r = store.Record(i);
        found += memmem(r.data(), r.size(), needle, sizeof needle - 1) != nullptr ? 1 : 0;
    }
    memmemFound = found;
    return found;
}

// Generated records whose MSH-7 values come in shuffled order, some repeated.
RecordStore Store(int count, size_t& bytes)
{
    std::mt19937 random(7);
    RecordStore store;
    bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string record = bench::GeneratedRecord(i);
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%06u", static_cast<unsigned>(random() % 1000000));
        record.replace(record.find("|20261208") + 9, 6, stamp);
        bytes += record.size();
        store.Append(std::move(record));
    }
    return store;
}

bool Sorted(const RecordStore& store)
{
    std::string previous;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string key(store.Record(i).substr(store.Record(i).find("|2026") + 1, 14));
        if (key < previous)
            return false;
        previous = key;
    }
    return true;
}

// Seconds per record divided by log2 of the count.
double Measure(int count)
{
    size_t bytes = 0;
    const RecordStore original = Store(count, bytes);
    double sort = 1e9, reference = 1e9;
    bool right = true;
    for (int run = 0; run < 3; ++run) {
        RecordStore store = original;
        QElapsedTimer t;
        t.start();
        MemmemPass(store);
        reference = std::min(reference, bench::Seconds(t));
        t.restart();
        PermuteRecords(store, SortedOrderOnMSH7(store, Delimiters{}, '\r'));
        sort = std::min(sort, bench::Seconds(t));
        right = right && Sorted(store) && store.RecordCount == count;
    }
    const double ratio = sort / reference;
    std::printf(
        "%8d records (%5.0f MB): sort on MSH-7 %7.1f ms, memmem pass %6.1f ms, "
        "ratio %.2f (goal 5x)%s%s\n",
        count, static_cast<double>(bytes) / 1e6, sort * 1e3, reference * 1e3, ratio,
        ratio <= 5.0 ? "" : "  MISSED", right ? "" : "  WRONG RESULT");
    return sort / count / std::log2(count);
}

void MeasureCommand(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    st.undo.UndoEnabled = true;
    size_t bytes = 0;
    st.records = Store(count, bytes);
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    QElapsedTimer t;
    t.start();
    MemmemPass(st.records);
    const double reference = bench::Seconds(t);
    t.restart();
    w.mnuToolsSortMSH7_Click();
    const double command = bench::Seconds(t);
    w.AwaitWrites();  // SortedFile.dat and the undo point are written beside the window
    const double written = bench::Seconds(t);
    std::printf(
        "%8d records: whole command %7.1f ms back to the window, %7.1f ms until SortedFile.dat "
        "and the undo point are written; memmem pass %6.1f ms, ratios %.2f and %.2f%s\n",
        count, command * 1e3, written * 1e3, reference * 1e3, command / reference,
        written / reference, Sorted(st.records) ? "" : "  WRONG RESULT");
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double small = Measure(100000);
    const double large = Measure(1000000);
    std::printf("time per record and log2(n) at 1,000,000 / at 100,000: %.2f (n log n: about 1)\n",
                large / small);
    MeasureCommand(100000);
    return 0;
}
