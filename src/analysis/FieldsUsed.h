#pragma once
// Determine What Fields Are Used, without any window: one walk over the record store that
// collects a line for every distinct field, repetition and component designation holding data
// in some record (optionally with its description), ordered on the designations with field and
// component numbers compared as numbers.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/Dictionary.h"
#include "records/FieldLines.h"
#include "records/RecordStore.h"

namespace quillon {

// The field designation of a designation: the text before its second "-"; the whole text when
// it holds one "-", "" when none (PID-3-1(2) gives PID-3).
std::string GetSegmentFieldPrefix(std::string_view designation);

// One collected line: the designation left in 15 columns (cut to 15), with `description`
// non-null " [" description "]" in 40 columns (cut to 40), blanks trimmed at both ends.
std::string FieldsUsedLine(std::string_view designation, const std::string* description);

// The order of the lines: numbers after each "-" of the designation right-aligned in two
// characters (a repetition suffix kept as it is), the rest of the line unchanged.
std::string FieldsUsedSortKey(std::string_view line);

struct FieldsUsedResult {
    std::vector<std::string> lines;  // display order; collection order when cancelled
    int32_t examined = 0;            // records walked
    bool cancelled = false;
};

// Walks records 1 to RecordCount (as it is at the start). The display options Field
// Descriptions, Compound Fields and Segment Descriptions govern what is collected; plain fields
// pass through the view (`viewFields`, empty: no view). `progress(examined, options)` is called
// about every 50 ms and may update the options in force from then on; when it answers false
// the walk stops and the result holds the lines collected so far, unsorted.
FieldsUsedResult DetermineFieldsUsed(
    const RecordStore& store, const Delimiters& delimiters, char endOfBlock,
    const DescriptionDictionary& dictionary, const std::vector<std::string>& viewFields,
    DisplayOptions options,
    const std::function<bool(int32_t examined, DisplayOptions& options)>& progress = {});

// Orders collected lines for display (sorting on FieldsUsedSortKey).
void SortFieldsUsed(std::vector<std::string>& lines);

}  // namespace quillon
