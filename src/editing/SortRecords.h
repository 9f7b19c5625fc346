#pragma once
// Putting the records in ascending order of MSH-7, in memory.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

// The MSH-7 value of every record, held for sorting: the first sixteen bytes as two numbers, so
// that the sort compares numbers; longer values are kept whole apart.
struct SortKeys {
    struct Keyed {
        uint64_t high, low;
        int32_t index;
        int32_t shape;  // >= 0: the slot of the whole key among the long ones; else -(length + 1)
    };
    std::vector<Keyed> keyed;
    std::vector<std::string> longKeys;
};

// Reads the keys of records 1 to RecordCount, each once. `progress` hears the number read, at
// most every 50 ms, and stops the reading by answering false (the answer is then false).
bool ReadSortKeys(const RecordStore& store, const Delimiters& delimiters, char endOfBlock,
                  SortKeys& keys, const std::function<bool(int32_t)>& progress = {});

// The record numbers in ascending order of their keys; equal keys keep their order. Touches
// nothing but `keys`, so it can run beside the window.
std::vector<int32_t> OrderOfKeys(SortKeys keys);

// The record numbers 1 to RecordCount in ascending order of their MSH-7 values (compared by
// character code; records without one come first); records with equal values keep their order.
// Each key is read once. `progress` hears the number of keys read, at most every 50 ms, and
// stops the run by answering false: the result is then empty.
std::vector<int32_t> SortedOrderOnMSH7(const RecordStore& store, const Delimiters& delimiters,
                                       char endOfBlock,
                                       const std::function<bool(int32_t)>& progress = {});

// Moves the records so that position k holds the record that was at order[k - 1]. `order` is a
// permutation of 1 to order.size(), which must not exceed RecordCount; later records stay.
void PermuteRecords(RecordStore& store, const std::vector<int32_t>& order);

}  // namespace quillon
