// Replace All in whole-record mode with one hit per record, over generated records, next to one
// memmem pass over the same bytes in the same run; at 100,000 and 1,000,000 records.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/ReplaceRecords.h"

using namespace quillon;

namespace {

int32_t MemmemPass(const RecordStore& store, const std::string& needle)
{
    int32_t hits = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string& r = store.Record(i);
        hits += memmem(r.data(), r.size(), needle.data(), needle.size()) != nullptr;
    }
    return hits;
}

bool Measure(int count)
{
    RecordStore store;
    size_t bytes = 0;
    for (int i = 1; i <= count; ++i) {
        store.Append(bench::GeneratedRecord(i));
        bytes += store.Record(i).size();
    }
    const Delimiters delimiters;
    SearchRequest request;
    request.MatchCase = true;
    double scan = 1e9, replace = 1e9;
    int32_t replaced = 0;
    for (int run = 0; run < 4; ++run) {
        // SENDER stands once in each record's header; the runs swap it back and forth.
        request.FindText = run % 2 ? "SENDOR" : "SENDER";
        request.ReplaceText = run % 2 ? "SENDER" : "SENDOR";
        QElapsedTimer t;
        t.start();
        const int32_t hits = MemmemPass(store, request.FindText);
        scan = std::min(scan, bench::Seconds(t));
        t.start();
        replaced = RecordListReplaceAll(store, request, delimiters, '\r', 1, store.RecordCount);
        replace = std::min(replace, bench::Seconds(t));
        if (hits != count || replaced != count) {
            std::printf("wrong count: %d hits, %d replaced of %d\n", hits, replaced, count);
            return false;
        }
    }
    const double ratio = replace / scan;
    std::printf("%8d records (%.0f MB): Replace All %.3f s, memmem pass %.3f s, ratio %.2f "
                "(goal 5)\n",
                count, static_cast<double>(bytes) / 1e6, replace, scan, ratio);
    return ratio <= 5.0;
}

}  // namespace

int main()
{
    const bool small = Measure(100000);
    const bool large = Measure(1000000);
    return small && large ? 0 : 1;
}
