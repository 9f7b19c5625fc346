// Determine What Fields Are Used over 100,000 and 1,000,000 generated records (the walk, the
// distinct lines and their sort), next to one memmem pass over the same bytes for a needle that
// is not there, in the same run; and how the time grows between the two sizes.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "analysis/FieldsUsed.h"

using namespace quillon;

namespace {

struct Figure {
    double scan = 0;
    double reference = 0;
    bool right = false;
};

Figure Measure(int count, const DescriptionDictionary& dictionary)
{
    size_t bytes = 0;
    const RecordStore store = bench::GeneratedStore(count, bytes);
    DisplayOptions options;
    Figure figure;
    figure.scan = 1e9;
    figure.reference = 1e9;
    FieldsUsedResult result;
    int32_t found = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        found = bench::MemmemPass(store, "NOT-IN-ANY-RECORD");
        figure.reference = std::min(figure.reference, bench::Seconds(t));
        t.restart();
        result = DetermineFieldsUsed(store, Delimiters(), '\r', dictionary, {}, options,
                                     [](int32_t, DisplayOptions&) { return true; });
        figure.scan = std::min(figure.scan, bench::Seconds(t));
    }
    // Every generated record holds the same designations.
    const FieldsUsedResult one =
        DetermineFieldsUsed(bench::GeneratedStore(1, bytes = 0), Delimiters(), '\r', dictionary, {}, options);
    figure.right = found == 0 && !result.cancelled && result.examined == count
                   && !result.lines.empty() && result.lines == one.lines;
    size_t total = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        total += store.Record(i).size();
    const double ratio = figure.scan / figure.reference;
    std::printf(
        "%8d records (%5.0f MB): fields used %7.1f ms (%zu lines), memmem pass %6.1f ms, "
        "ratio %.2f (goal 10x)%s%s\n",
        count, static_cast<double>(total) / 1e6, figure.scan * 1e3, result.lines.size(),
        figure.reference * 1e3, ratio, ratio <= 10.0 ? "" : "  MISSED",
        figure.right ? "" : "  WRONG RESULT");
    return figure;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    DescriptionDictionary dictionary;
    dictionary.DescriptionKeys = {"MSH-9", "OBX-3", "OBX-3-1", "PID-3", "PID-5"};
    dictionary.Descriptions = {"Message Type", "Observation Identifier", "Identifier",
                               "Patient ID", "Patient Name"};
    const Figure small = Measure(100000, dictionary);
    const Figure large = Measure(1000000, dictionary);
    const double growth = large.scan / small.scan;
    const double referenceGrowth = large.reference / small.reference;
    std::printf(
        "growth 100,000 -> 1,000,000 records: fields used x%.1f, memmem pass x%.1f, ratio %.2f "
        "(goal 1.5)%s\n",
        growth, referenceGrowth, growth / referenceGrowth,
        growth / referenceGrowth <= 1.5 ? "" : "  MISSED");
    const bool ok = small.right && large.right && small.scan / small.reference <= 10.0
                    && large.scan / large.reference <= 10.0 && growth / referenceGrowth <= 1.5;
    return ok ? 0 : 1;
}
