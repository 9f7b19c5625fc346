#pragma once
// Page arithmetic of the record list: 400 records a page, pages and rows counted as shown.
#include <cstdint>

namespace quillon {

constexpr int32_t PageSize = 400;

// 400 records make 1 page, 401 make 2, none make 0.
constexpr int32_t PageCount(int32_t recordCount)
{
    return recordCount / PageSize + 1 - (recordCount % PageSize == 0 ? 1 : 0);
}
// Record k (from 1) lies on this page (from 1) ...
constexpr int32_t PageOfRecord(int32_t k) { return (k - 1) / PageSize + 1; }
// ... at this list row (from 0).
constexpr int32_t RowOfRecord(int32_t k) { return (k - 1) % PageSize; }
// The record shown at `row` of `page`.
constexpr int32_t RecordAt(int32_t page, int32_t row) { return (page - 1) * PageSize + row + 1; }

}  // namespace quillon
