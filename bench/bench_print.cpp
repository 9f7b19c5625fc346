// Laying out every record of the store as printed pages (the record list printed with All) for
// 100,000 and 200,000 generated records, each next to one memcpy + memchr pass over the same
// bytes in the same run, and how the time grows from the one to the other.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "reports/ListPrint.h"

using namespace quillon;

namespace {

struct Figure {
    double seconds = 1e9;
    double reference = 1e9;
};

// The plain pass: every record copied and searched for its segment ends.
size_t CopyAndScan(const RecordStore& store, std::vector<char>& buffer)
{
    size_t ends = 0;
    for (int32_t k = 1; k <= store.RecordCount; ++k) {
        const std::string_view r = store.Record(k);
        buffer.resize(std::max(buffer.size(), r.size()));
        std::memcpy(buffer.data(), r.data(), r.size());
        const char* p = buffer.data();
        const char* end = p + r.size();
        while ((p = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p))))) {
            ++ends;
            ++p;
        }
    }
    return ends;
}

Figure Measure(const RecordStore& store, size_t bytes)
{
    const MainListLayout layout = MainListPageLayout(MainList::Records, PortraitOrientation).value();
    Figure f;
    size_t pages = 0;
    bool right = true;
    std::vector<char> buffer;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const size_t ends = CopyAndScan(store, buffer);
        f.reference = std::min(f.reference, bench::Seconds(t) + (ends == 0 ? 1e9 : 0));
        t.restart();
        PrintedPages printed;
        {
            MainListPrinter printer(MainList::Records, layout, "Quillon - bench.hl7", "12/8/26",
                                    "9:05 AM");
            for (int32_t k = 1; k <= store.RecordCount; ++k)
                printer.AddRecord(k, store.Record(k), '\r', '\x1c');
            printed = printer.Finish();
        }
        f.seconds = std::min(f.seconds, bench::Seconds(t));
        pages = printed.pages.size();
        right = pages > 0 && printed.pages[0].lines.size() == 63 &&
                printed.pages[0].Text(printed.pages[0].lines[3]).starts_with("# 1      MSH") &&
                printed.pages.back()
                        .Text(printed.pages.back().lines.back())
                        .find("Page " + std::to_string(pages)) != std::string::npos;
    }
    const double ratio = f.seconds / f.reference;
    std::printf("%8d records (%5.0f MB): %7zu pages in %8.1f ms (goal < 2000 ms), "
                "memcpy+memchr pass %7.1f ms, ratio %6.1f%s%s\n",
                store.RecordCount, static_cast<double>(bytes) / 1e6, pages, f.seconds * 1e3,
                f.reference * 1e3, ratio, store.RecordCount > 100000 || f.seconds < 2 ? "" : "  MISSED",
                right ? "" : "  WRONG RESULT");
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Figure small, large;
    {
        size_t bytes = 0;
        const RecordStore store = bench::GeneratedStore(100000, bytes);
        small = Measure(store, bytes);
    }
    {
        size_t bytes = 0;
        const RecordStore store = bench::GeneratedStore(200000, bytes);
        large = Measure(store, bytes);
    }
    std::printf("growth 100,000 -> 200,000 records: %.2fx time (reference pass %.2fx; linear is "
                "2x), time per record ratio %.2f\n",
                large.seconds / small.seconds, large.reference / small.reference,
                (large.seconds / 200000) / (small.seconds / 100000));
    return 0;
}
