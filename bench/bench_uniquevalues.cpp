// Unique values of PID-5 and of MSH-10 (every record distinct) over 100,000 and 1,000,000
// generated records, each next to one memmem pass over the same bytes in the same run; and how
// the time grows from the one to the other.
#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "analysis/UniqueValues.h"

using namespace quillon;

namespace {

// Seconds of the count (with the report's lines) per designation, best of three.
struct Figure {
    double seconds = 0;
    double reference = 0;
    double counting = 1e9;
    double scanning = 1e9;  // of `counting`: the records walked, before the sort  // of `seconds`: counting and sorting, before the lines are made
};

Figure Measure(const RecordStore& store, size_t bytes, const char* designation,
               size_t expectedValues)
{
    const Delimiters delimiters;
    const FieldValueRules rules{delimiters, '\r', false, "0"};
    const QLocale locale = QLocale::system();
    Figure f{1e9, 1e9};
    size_t values = 0;
    qsizetype total = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const int32_t found = bench::MemmemPass(store);
        f.reference = std::min(f.reference, bench::Seconds(t) + (found != 0 ? 1e9 : 0));
        t.restart();
        double scanned = 0;
        const UniqueValuesResult result = CountUniqueValues(
            store, designation, rules, [&](UniqueValuesPhase phase, int32_t, int32_t) {
                if (phase == UniqueValuesPhase::Sorting)
                    scanned = bench::Seconds(t);
                return true;
            });
        f.scanning = std::min(f.scanning, scanned);
        f.counting = std::min(f.counting, bench::Seconds(t));
        const QStringList lines =
            UniqueValueLines(result, locale.groupSeparator(), locale.decimalPoint());
        f.seconds = std::min(f.seconds, bench::Seconds(t));
        values = static_cast<size_t>(lines.size());
        total = result.total;
    }
    const double ratio = f.seconds / f.reference;
    const bool right = values == expectedValues && total == store.RecordCount;
    std::printf("%8d records (%5.0f MB), %-6s: %7d unique values in %8.1f ms (%.1f counting, of which %.1f scanning), memmem pass %7.1f ms, "
                "ratio %5.2f (goal 10x)%s%s\n",
                store.RecordCount, static_cast<double>(bytes) / 1e6, designation,
                static_cast<int>(values), f.seconds * 1e3, f.counting * 1e3, f.scanning * 1e3, f.reference * 1e3, ratio,
                ratio <= 10.0 ? "" : "  MISSED", right ? "" : "  WRONG RESULT");
    return f;
}

}  // namespace

int main()
{
    Figure small[2], large[2];
    for (const int count : {100000, 1000000}) {
        size_t bytes = 0;
        const RecordStore store = bench::GeneratedStore(count, bytes);
        Figure* out = count == 100000 ? small : large;
        // PATIENT^NUMBER^<i>: every record's name differs too.
        out[0] = Measure(store, bytes, "PID-5", static_cast<size_t>(count));
        out[1] = Measure(store, bytes, "MSH-10", static_cast<size_t>(count));
    }
    for (int k = 0; k < 2; ++k)
        std::printf("growth 100,000 -> 1,000,000 records, %-6s: %.1fx time (memmem pass %.1fx; "
                    "linear is 10x)\n",
                    k == 0 ? "PID-5" : "MSH-10", large[k].seconds / small[k].seconds,
                    large[k].reference / small[k].reference);
    return 0;
}
