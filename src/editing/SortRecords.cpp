#include "editing/SortRecords.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "platform/Background.h"
#include "records/FieldDesignations.h"

namespace quillon {

namespace {

// The first eight bytes of `text` from `from` on as a number whose order is the bytes' order
// (missing bytes count as 0).
uint64_t Prefix(const std::string& text, size_t from)
{
    uint64_t value = 0;
    for (size_t i = from; i < from + 8; ++i)
        value = (value << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return value;
}

using Keyed = SortKeys::Keyed;

std::string WholeKey(const Keyed& k, const std::vector<std::string>& longKeys)
{
    if (k.shape >= 0)
        return longKeys[static_cast<size_t>(k.shape)];
    std::string text;
    for (int b = 0; b < -k.shape - 1; ++b)
        text += static_cast<char>((b < 8 ? k.high >> (56 - 8 * b) : k.low >> (56 - 8 * (b - 8)))
                                  & 0xFF);
    return text;
}

}  // namespace

bool ReadSortKeys(const RecordStore& store, const Delimiters& delimiters, char endOfBlock,
                  SortKeys& keys, const std::function<bool(int32_t)>& progress)
{
    const int32_t count = store.RecordCount;
    keys.keyed.clear();
    keys.longKeys.clear();
    keys.keyed.reserve(static_cast<size_t>(count));

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall{};
    for (int32_t i = 1; i <= count; ++i) {
        // Only the header of each record is read, and the records lie apart on the heap: ask
        // for one further on while this one is read.
        if (i + 16 <= count)
            __builtin_prefetch(store.Record(i + 16).data());
        int32_t start = 0, length = 0;
        std::string key =
            WhatIsInField(store.Record(i), "MSH-7", start, length, delimiters, endOfBlock);
        Keyed k{Prefix(key, 0), Prefix(key, 8), i, -static_cast<int32_t>(key.size()) - 1};
        if (key.size() > 16) {
            k.shape = static_cast<int32_t>(keys.longKeys.size());
            keys.longKeys.push_back(std::move(key));
        }
        keys.keyed.push_back(k);
        if (progress && (i & 255) == 0) {
            const auto now = Clock::now();
            if (now - lastCall >= std::chrono::milliseconds(50)) {
                lastCall = now;
                if (!progress(i))
                    return false;
            }
        }
    }
    return true;
}

std::vector<int32_t> OrderOfKeys(SortKeys keys)
{
    std::vector<Keyed>& keyed = keys.keyed;
    const std::vector<std::string>& longKeys = keys.longKeys;
    // The index breaks ties, which keeps equal keys in their order.
    std::sort(keyed.begin(), keyed.end(), [&longKeys](const Keyed& a, const Keyed& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (a.shape != b.shape) {
            // Equal first sixteen bytes: a short key that differs only in length comes first.
            if (a.shape < 0 && b.shape < 0)
                return a.shape > b.shape;
            const int c = WholeKey(a, longKeys).compare(WholeKey(b, longKeys));
            if (c != 0)
                return c < 0;
        }
        return a.index < b.index;
    });
    std::vector<int32_t> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed)
        order.push_back(k.index);
    return order;
}

std::vector<int32_t> SortedOrderOnMSH7(const RecordStore& store, const Delimiters& delimiters,
                                       char endOfBlock,
                                       const std::function<bool(int32_t)>& progress)
{
    SortKeys keys;
    if (!ReadSortKeys(store, delimiters, endOfBlock, keys, progress))
        return {};
    return OrderOfKeys(std::move(keys));
}

void PermuteRecords(RecordStore& store, const std::vector<int32_t>& order)
{
    // Each position takes its record from where it was; the handles are moved, not copied, and
    // the positions are shared out across the cores (each record is taken by one position).
    std::vector<RecordText>& records = store.Records;
    const size_t n = order.size();
    std::vector<RecordText> moved(n);
    platform::SplitAcrossCores(n, [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k)
            moved[k] = std::move(records[static_cast<size_t>(order[k])]);
    });
    platform::SplitAcrossCores(n, [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k)
            records[k + 1] = std::move(moved[k]);
    });
}

}  // namespace quillon
