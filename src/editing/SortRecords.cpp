#include "editing/SortRecords.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "records/FieldDesignations.h"

namespace quillon {

std::vector<int32_t> SortedOrderOnMSH7(const RecordStore& store, const Delimiters& delimiters,
                                       char endOfBlock,
                                       const std::function<bool(int32_t)>& progress)
{
    struct Keyed {
        std::string key;
        int32_t index;
    };
    const int32_t count = store.RecordCount;
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<size_t>(count));

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall{};
    for (int32_t i = 1; i <= count; ++i) {
        int32_t start = 0, length = 0;
        keyed.push_back(
            {WhatIsInField(store.Record(i), "MSH-7", start, length, delimiters, endOfBlock), i});
        if (progress && (i & 255) == 0) {
            const auto now = Clock::now();
            if (now - lastCall >= std::chrono::milliseconds(50)) {
                lastCall = now;
                if (!progress(i))
                    return {};
            }
        }
    }
    // The index breaks ties, which keeps equal keys in their order.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.index < b.index;
    });
    std::vector<int32_t> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed)
        order.push_back(k.index);
    return order;
}

void PermuteRecords(RecordStore& store, const std::vector<int32_t>& order)
{
    // Each cycle of the permutation is walked once, moving every record once.
    std::vector<std::string>& records = store.Records;
    const size_t n = order.size();
    std::vector<bool> placed(n + 1, false);
    for (size_t start = 1; start <= n; ++start) {
        if (placed[start])
            continue;
        std::string held = std::move(records[start]);
        size_t at = start;
        for (;;) {
            placed[at] = true;
            const auto from = static_cast<size_t>(order[at - 1]);
            if (from == start) {
                records[at] = std::move(held);
                break;
            }
            records[at] = std::move(records[from]);
            at = from;
        }
    }
}

}  // namespace quillon
