// Unique values over 100,000 and 1,000,000 generated records: PID-5 and MSH-10 (every record's
// value distinct, so a million distinct values) and OBX-5 (28 values met four times a record).
// Each figure is the count, the sort and the report the window keeps (its lines are made as the
// list shows them), next to one memmem pass over the same bytes measured in the same run; then
// how the time grows for ten times the records. The text of every line at once (what Copy to
// Clipboard makes) is timed apart. Five rounds in a row, each checked against the values the
// generated records must give.
#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/UniqueValues.h"
#include "platform/Heap.h"

using namespace quillon;

namespace {

constexpr double RatioGoal = 8.0;
constexpr double GrowthGoal = 11.0;
constexpr int Rounds = 5;

struct Expected {
    const char* designation;
    size_t distinct;
    qsizetype total;
    std::string first, last;  // the first and the last value in the report's order
};

// What the generated records hold: PID-5 is PATIENT^NUMBER^<i>, MSH-10 MSG<i, eight digits>,
// OBX-5 of the k-th OBX (k 1 to 4) <10 + i % 7>.<k>; byte order puts "1" before "10".
std::vector<Expected> ExpectedFor(int count)
{
    char last[32];
    std::snprintf(last, sizeof last, "MSG%08d", count);
    std::string lastNumber = "9";
    while (std::stoll(lastNumber + "9") <= count)
        lastNumber += "9";
    return {{"PID-5", size_t(count), count, "PATIENT^NUMBER^1", "PATIENT^NUMBER^" + lastNumber},
            {"MSH-10", size_t(count), count, "MSG00000001", last},
            {"OBX-5", 28, qsizetype{4} * count, "10.1", "16.4"}};
}

// Seconds, best of the runs, of the count and the report the window keeps (and of their parts),
// of the memmem pass measured before each, and of the report's whole text.
struct Figure {
    double seconds = 1e9;
    double scanning = 1e9;  // the records walked, before the sort
    double sorting = 1e9;   // the rest of the count
    double copy = 1e9;      // the text of every line, not part of `seconds`
    double reference = 1e9;
    bool right = true;
};

// One run of the memmem pass and the count on `store`; `f` keeps the best of the runs.
void MeasureOnce(const RecordStore& store, const Expected& expected, Figure& f)
{
    const Delimiters delimiters;
    const FieldValueRules rules{delimiters, '\r', false, "0"};
    const QLocale locale = QLocale::system();
    QElapsedTimer t;
    t.start();
    const int32_t found = bench::MemmemPass(store);
    f.reference = std::min(f.reference, bench::Seconds(t) + (found != 0 ? 1e9 : 0));
    t.restart();
    double scanned = 0;
    UniqueValuesResult result = CountUniqueValues(
        store, expected.designation, rules, [&](UniqueValuesPhase phase, int32_t, int32_t) {
            if (phase == UniqueValuesPhase::Sorting)
                scanned = bench::Seconds(t);
            return true;
        });
    const double counted = bench::Seconds(t);
    qsizetype sum = 0;
    for (const UniqueValue& v : result.values)
        sum += v.count;
    f.right = f.right && result.values.size() == expected.distinct && sum == expected.total
              && result.total == expected.total && result.order.size() == expected.distinct
              && expected.distinct > 0 && result.Sorted(0).text == expected.first
              && result.Sorted(expected.distinct - 1).text == expected.last;
    // What the window holds when it shows the list: its lines are made as rows show.
    const UniqueValuesReport report(std::move(result), locale.groupSeparator(),
                                    locale.decimalPoint());
    const double seconds = bench::Seconds(t);
    if (seconds < f.seconds) {
        f.seconds = seconds;
        f.scanning = scanned;
        f.sorting = counted - scanned;
    }
    // Every line at once, as Copy to Clipboard makes them.
    t.restart();
    const QString text = report.Text();
    f.copy = std::min(f.copy, bench::Seconds(t));
    const QString lastLine =
        report.LineCount() > 0 ? report.Line(report.LineCount() - 1) : QString();
    f.right = f.right && report.LineCount() == qsizetype(expected.distinct)
              && lastLine.endsWith(QString::fromLatin1("\"" + expected.last + "\""))
              && text.endsWith(lastLine + QStringLiteral("\r\n"));
}

std::string LoadAverage()
{
    char buf[64] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fgets(buf, sizeof buf, f) == nullptr)
            buf[0] = 0;
        std::fclose(f);
    }
    std::string s(buf);
    // The three averages only.
    for (int fields = 0, i = 0; i < int(s.size()); ++i)
        if (s[size_t(i)] == ' ' && ++fields == 3)
            return s.substr(0, size_t(i));
    return s;
}

}  // namespace

int main()
{
    platform::PrepareHeapForLargeLoads();  // as the program does at start
    const int counts[2] = {100000, 1000000};
    RecordStore stores[2];
    size_t bytes[2] = {};
    std::vector<Expected> expected[2];
    for (int s = 0; s < 2; ++s) {
        stores[s] = bench::GeneratedStore(counts[s], bytes[s]);
        expected[s] = ExpectedFor(counts[s]);
    }
    const size_t designations = expected[0].size();
    double worstRatio = 0, worstGrowth = 0;
    bool allRight = true;
    for (int round = 1; round <= Rounds; ++round) {
        std::printf("round %d of %d (load average %s)\n", round, Rounds, LoadAverage().c_str());
        for (size_t d = 0; d < designations; ++d) {
            // Best of three, the two sizes in turn, so that both meet the machine as it is.
            Figure f[2];
            for (int run = 0; run < 3; ++run)
                for (int s = 0; s < 2; ++s)
                    MeasureOnce(stores[s], expected[s][d], f[s]);
            const bool distinct = expected[1][d].distinct == size_t(counts[1]);
            for (int s = 0; s < 2; ++s) {
                const Expected& e = expected[s][d];
                const double ratio = f[s].seconds / f[s].reference;
                if (distinct)
                    worstRatio = std::max(worstRatio, ratio);
                allRight = allRight && f[s].right;
                std::printf("  %9d records (%3.0f MB), %-6s %9zu values: %6.1f ms (scan %6.1f, "
                            "sort %5.1f), memmem pass %5.1f ms, %5.2fx; all lines' text %5.1f ms"
                            "%s%s\n",
                            counts[s], double(bytes[s]) / 1e6, e.designation, e.distinct,
                            f[s].seconds * 1e3, f[s].scanning * 1e3, f[s].sorting * 1e3,
                            f[s].reference * 1e3, ratio, f[s].copy * 1e3,
                            distinct && ratio > RatioGoal ? "  MISSED" : "",
                            f[s].right ? "" : "  WRONG RESULT");
            }
            const double growth = f[1].seconds / f[0].seconds;
            if (distinct)
                worstGrowth = std::max(worstGrowth, growth);
            std::printf("  growth for 10x the records, %-6s: %5.1fx (memmem pass %4.1fx)%s\n",
                        expected[1][d].designation, growth, f[1].reference / f[0].reference,
                        distinct && growth > GrowthGoal ? "  MISSED" : "");
        }
    }
    std::printf("worst of %d rounds, a million distinct values: %.2fx the memmem pass (goal %.0fx), "
                "growth %.1fx (goal %.0fx)%s%s\n",
                Rounds, worstRatio, RatioGoal, worstGrowth, GrowthGoal,
                worstRatio <= RatioGoal && worstGrowth <= GrowthGoal ? "" : "  MISSED",
                allRight ? "" : "  WRONG RESULT");
    return allRight ? 0 : 1;
}
