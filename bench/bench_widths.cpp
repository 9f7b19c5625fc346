// Maximum field widths and record length statistics over 100,000 and 1,000,000 generated
// records. The widths are measured next to one memmem pass over the same bytes (a byte string that
// is not there), the statistics, which read only each record's stored size, next to a plain walk
// over the same stored sizes; both references in the same run. Each result is checked against
// what the generated records must give.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "analysis/MaxFieldWidths.h"
#include "analysis/RecordLengths.h"
#include "platform/Heap.h"

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

// Whether the widths are those of the generated records (bench::GeneratedRecord): 54 labels hold
// a value (11 of MSH, 13 of PID, 11 of PV1, 7 of OBR, 10 of OBX, 2 of NTE), and these widths are
// first reached in these records.
bool WidthsRight(const MaxWidthsResult& r, const DescriptionDictionary& dict, int count)
{
    const int digits = static_cast<int>(std::to_string(count).size());
    int firstOfDigits = 1;
    for (int d = 1; d < digits; ++d)
        firstOfDigits *= 10;
    const struct {
        const char* label;
        qsizetype width;
        int32_t record;
    } expected[] = {
        {"MSH-2", 4, 1},     {"MSH-7", 14, 1},          {"MSH-10", 11, 1},
        {"PID-3-1", 8, 1},   {"PID-5-3", digits, firstOfDigits},
        {"PID-11-1", 11, 100},  // "<i % 997> MAIN ST"
        {"OBX-3-2", 13, 1},  {"OBX-5", 4, 1},           {"NTE-3", 36, 1},
    };
    bool right = std::count_if(r.widths.begin() + 1, r.widths.end(),
                               [](qsizetype w) { return w > 0; })
                 == 54;
    for (const auto& e : expected) {
        const std::string slot = dict.GetHL7Description(e.label, false);
        const size_t k = slot.empty() ? 0 : std::stoul(slot);
        right = right && k > 0 && r.widths[k] == e.width && r.records[k] == e.record;
    }
    return right;
}

// The stored sizes walked as plainly as can be: the same reads the statistics make.
RecordLengthStats WalkSizes(const RecordStore& store)
{
    RecordLengthStats s;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const auto n = static_cast<qsizetype>(store.Record(i).size());
        s.total += n;
        s.shortest = std::min(s.shortest, n);
        s.longest = std::max(s.longest, n);
    }
    return s;
}

bool Measure(int count, const DescriptionDictionary& dict)
{
    size_t bytes = 0;
    const RecordStore store = bench::GeneratedStore(count, bytes);
    // What the statistics must say, found while the records are laid out, not timed.
    qsizetype shortest = 999999, longest = 0;
    int32_t longestRecord = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const auto n = static_cast<qsizetype>(store.Record(i).size());
        shortest = std::min(shortest, n);
        if (n > longest) {
            longest = n;
            longestRecord = i;
        }
    }
    double reference = 1e9, widths = 1e9, walk = 1e9, lengths = 1e9;
    bool widthsRight = true, lengthsRight = true;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const int32_t found = bench::MemmemPass(store);
        reference = std::min(reference, bench::Seconds(t) + (found != 0 ? 1e9 : 0));
        t.restart();
        const MaxWidthsResult r =
            ScanMaxFieldWidths(store, Delimiters(), '\r', dict, [](int32_t) { return true; });
        widths = std::min(widths, bench::Seconds(t));
        widthsRight = widthsRight && WidthsRight(r, dict, count);
        t.restart();
        const RecordLengthStats walked = WalkSizes(store);
        walk = std::min(walk, bench::Seconds(t));
        t.restart();
        const RecordLengthStats s = MeasureRecordLengths(store);
        lengths = std::min(lengths, bench::Seconds(t));
        lengthsRight = lengthsRight && walked.total == qint64(bytes) && s.total == qint64(bytes)
                       && s.average == qint64(bytes) / count && s.shortest == shortest
                       && s.longest == longest && s.longestRecord == longestRecord;
    }
    std::printf("%d records, %.1f MB\n", count, static_cast<double>(bytes) / 1e6);
    std::printf("  maximum field widths      %8.4f s   %5.2fx a memmem pass (%.4f s; goal 10x)%s\n",
                widths, widths / reference, reference, widthsRight ? "" : "  WRONG RESULT");
    std::printf("  record length statistics  %8.4f s   %5.2fx a walk over the stored sizes "
                "(%.4f s; goal 2x)%s\n",
                lengths, lengths / walk, walk, lengthsRight ? "" : "  WRONG RESULT");
    return widthsRight && lengthsRight;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::PrepareHeapForLargeLoads();  // as the program does at start
    const DescriptionDictionary dict = Dictionary();
    const bool small = Measure(100000, dict);
    const bool large = Measure(1000000, dict);
    return small && large ? 0 : 1;
}
