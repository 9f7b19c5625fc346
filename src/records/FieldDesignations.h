#pragma once
// Field designations (PID-3, PID-3(2), PID-5-1, PID-3-1(2)) and the locators that turn one
// back into a value. Pure functions over record text and the current delimiters.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

struct FieldEntry {
    std::string designation;
    std::string value;
};
// Rows in record order: segments, fields, repetitions, components.
using FieldTable = std::vector<FieldEntry>;

// Finds the value by counting separators in `record` (a record or one segment), on the first
// segment of the designated name. Sets `start` to the value's 1-based position in `record` and
// `length` to its length; when the segment, field, repetition or component is missing, answers
// "" with `start` 0 and `length` unchanged.
std::string WhatIsInField(std::string_view record, std::string_view designation, int32_t& start,
                          int32_t& length, const Delimiters& delimiters, char endOfBlock);

// The same, with the repetition taken from `filterRepetition` ("(2)", or "" for none) and
// never from the designation.
std::string WhatIsInFieldForFilter(std::string_view record, std::string_view designation,
                                   std::string_view filterRepetition, int32_t& start,
                                   int32_t& length, const Delimiters& delimiters, char endOfBlock);

// The record's table of designations and values. A record without any row gives one empty row.
FieldTable ParseRecordToFieldList(std::string_view record, const Delimiters& delimiters,
                                  char endOfBlock, bool displayEmptyFields);

// Finds the value by looking the designation up in the record's table; rebuilds compound
// fields from their parts and joins the values of repeated segments with the field separator.
std::string WhatIsInFieldNew(std::string_view record, std::string_view designation,
                             const Delimiters& delimiters, char endOfBlock,
                             bool displayEmptyFields);

// The key of the assign-value dialog's field box: the segment name and, for each "-" and number,
// "-" and the number right-aligned in two characters ("PID- 5- 1" for PID-5-1). Only the first
// 12 characters of the designation are read.
std::string AssignValueFieldKey(std::string_view designation);

}  // namespace quillon
