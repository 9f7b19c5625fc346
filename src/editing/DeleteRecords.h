#pragma once
// Removing records from the store and segments from one record, without a window.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

// Removes records first..last (1-based, both included, cut to 1..RecordCount) in one block
// move: the later records close the gap, the slots freed at the top are emptied, the array
// keeps its size and RecordCount falls. Returns the number removed (0 for an empty range).
int32_t DeleteRecordRange(RecordStore& store, int32_t first, int32_t last);

// Removes the records with the given numbers (any order; repeats and numbers outside
// 1..RecordCount are ignored) in one pass over the store. Returns the number removed.
int32_t DeleteRecordNumbers(RecordStore& store, std::vector<int32_t> numbers);

// The range commands' rows: the last selected row of a page of `count` rows (-1 when none) and
// the first (`count` when none); `selected(row)` tells whether a row is selected.
template <typename Selected>
int LastSelectedRow(int count, Selected selected)
{
    int row = count - 1;
    while (row >= 0 && !selected(row))
        --row;
    return row;
}
template <typename Selected>
int FirstSelectedRow(int count, Selected selected)
{
    int row = 0;
    while (row < count && !selected(row))
        ++row;
    return row;
}

struct SegmentDeletion {
    std::string text;          // the record afterwards
    int32_t deleted = 0;       // segments removed
    int32_t refusedHeaders = 0;  // selected MSH segments, which stay
};

// Removes from `record` the segments shown at the segment-list rows marked in `selectedRows`
// (row i true = delete), each with the end-of-block character that follows it. Rows are
// counted as the segment list shows them: blank pieces of the record have no row. A row whose
// segment starts with "MSH" is never removed and is counted in refusedHeaders. When anything
// was removed, the text is made to end in `endOfBlock`.
SegmentDeletion DeleteSegmentRows(std::string_view record, char endOfBlock,
                                  const std::vector<bool>& selectedRows);

}  // namespace quillon
