// Maximum field widths and record length statistics over 100,000 and 1,000,000 generated
// records, each next to one memmem pass over the same bytes (a byte string that is not there),
// measured in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "analysis/MaxFieldWidths.h"
#include "analysis/RecordLengths.h"

using namespace quillon;

namespace {

DescriptionDictionary Dictionary()
{
    // Every field and component label the generated records hold, and more, as fsa.dat has.
    std::vector<std::string> keys;
    for (const char* seg : {"MSH", "NTE", "OBR", "OBX", "PID", "PV1"})
        for (int n = 1; n <= 30; ++n) {
            keys.push_back(std::string(seg) + "-" + std::to_string(n));
            for (int c = 1; c <= 6; ++c)
                keys.push_back(std::string(seg) + "-" + std::to_string(n) + "-" + std::to_string(c));
        }
    std::sort(keys.begin(), keys.end());
    DescriptionDictionary d;
    d.DescriptionKeys = keys;
    d.Descriptions.assign(keys.size(), "Description");
    return d;
}

int64_t MemmemPass(const RecordStore& store)
{
    static const char needle[] = "NOT-IN-ANY-RECORD";
    int64_t found = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string& r = store.Record(i);
        found += memmem(r.data(), r.size(), needle, sizeof needle - 1) != nullptr ? 1 : 0;
    }
    return found;
}

void Measure(int count, const DescriptionDictionary& dict)
{
    RecordStore store;
    size_t bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string r = bench::GeneratedRecord(i);
        bytes += r.size();
        store.Append(std::move(r));
    }
    double reference = 1e9, widths = 1e9, lengths = 1e9;
    int64_t keep = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        keep += MemmemPass(store);
        reference = std::min(reference, bench::Seconds(t));
        t.restart();
        const MaxWidthsResult r =
            ScanMaxFieldWidths(store, Delimiters(), '\r', dict, [](int32_t) { return true; });
        widths = std::min(widths, bench::Seconds(t));
        keep += static_cast<int64_t>(r.widths[1]);
        t.restart();
        keep += MeasureRecordLengths(store).total;
        lengths = std::min(lengths, bench::Seconds(t));
    }
    std::printf("%d records, %.1f MB (check %lld)\n", count, static_cast<double>(bytes) / 1e6,
                static_cast<long long>(keep));
    std::printf("  memmem pass (reference)   %8.4f s\n", reference);
    std::printf("  maximum field widths      %8.4f s   %.2fx the reference (goal 10x)\n", widths,
                widths / reference);
    std::printf("  record length statistics  %8.4f s   %.2fx the reference (goal 2x)\n", lengths,
                lengths / reference);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const DescriptionDictionary dict = Dictionary();
    Measure(100000, dict);
    Measure(1000000, dict);
    return 0;
}
