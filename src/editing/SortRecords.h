#pragma once
// Putting the records in ascending order of MSH-7, in memory.
#include <cstdint>
#include <functional>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

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
