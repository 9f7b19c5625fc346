#pragma once
// Maximum field widths without any window: one pass over the record store that finds, for every
// field and component designation the description dictionary knows, the longest value and the
// first record that holds it; and the result rows in the order the window lists them.
#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/Dictionary.h"
#include "records/RecordStore.h"

namespace quillon {

// Slot k (1 to DescriptionCount) belongs to dictionary entry k; slot 0 gathers labels the
// dictionary lacks and is never shown. A width of 0 means nothing was measured there.
struct MaxWidthsResult {
    std::vector<qsizetype> widths;
    std::vector<int32_t> records;  // first record (1-based) that reached the width
    bool cancelled = false;
};

// Measures every record. `progress(done)` is called before the first record and then about
// every 50 ms; when it answers false the scan stops and the result is marked cancelled.
MaxWidthsResult ScanMaxFieldWidths(const RecordStore& store, const Delimiters& delimiters,
                                   char endOfBlock, const DescriptionDictionary& dictionary,
                                   const std::function<bool(int32_t done)>& progress = {});

// The widths of one record alone, slots as above (every record number is 1).
MaxWidthsResult MeasureOneRecord(std::string_view record, const Delimiters& delimiters,
                                 char endOfBlock, const DescriptionDictionary& dictionary);

// The key with each number after a "-" right-aligned in two places (PID-3-1 -> "PID- 3- 1"),
// keeping only the last two characters of a longer number: the rows' order, nothing more.
std::string MaxWidthSortKey(std::string_view key);

struct MaxWidthRow {
    std::string sortKey;  // MaxWidthSortKey padded or cut to 15, then the rest of the row
    std::string text;     // label 15, description 40, width
};

// The rows of every slot with a width, in list order. The label shown is the key itself (a
// double-click looks it up again), padded to 15 characters.
std::vector<MaxWidthRow> MaxWidthRows(const DescriptionDictionary& dictionary,
                                      const std::vector<qsizetype>& widths);

// A row's designation: its text up to the first blank.
std::string_view MaxWidthRowLabel(std::string_view row);
// A row's width: the number from character 56 on; -1 when there is none.
qsizetype MaxWidthRowWidth(std::string_view row);

}  // namespace quillon
