#pragma once
// Unique field values without any window: the value of a designation in one segment (the field
// table and its look-up) and the count of every distinct value over the record store, sorted and
// formatted as the report's lines.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

// What the field table reads besides the text: the current delimiters, the end of block, the
// Display Empty Fields option and FilterRepetition (a bare number; anything else counts as 0).
struct FieldValueRules {
    const Delimiters& delimiters;
    char endOfBlock = 13;
    bool displayEmptyFields = true;
    std::string_view filterRepetition;
};

struct FieldTableRow {
    std::string designation;  // SEG-f or SEG-f-c; repetitions repeat the designation
    std::string value;
    bool operator==(const FieldTableRow&) const = default;
};
using FieldValueTable = std::vector<FieldTableRow>;

// One segment (or several, split at the end of block) cut into its field table.
FieldValueTable ParseRecordToFieldTable(std::string_view text, const FieldValueRules& rules);

// The value of `designation` (PID-3, PID-3(2), PID-5-1) in one segment: one occurrence chosen by
// FilterRepetition, or the components of the field joined; "" when the segment has none.
std::string GetFieldValues(std::string_view segmentText, std::string_view designation,
                           const FieldValueRules& rules);

// The numeric value of FilterRepetition: the digits it begins with, 0 for none.
int64_t RepetitionNumber(std::string_view filterRepetition);

// The field box's text as a designation: the blank after a "- " removed twice, then cut before
// the first blank ("PID- 5- 1    Patient Name" gives "PID-5-1").
std::string CleanUniqueValuesDesignation(std::string_view fieldBoxText);

struct UniqueValue {
    std::string_view text;  // as first met
    qsizetype count = 0;
};

// The values' texts live in `storage`, so a result can be moved but not copied.
struct UniqueValuesResult {
    UniqueValuesResult() = default;
    UniqueValuesResult(UniqueValuesResult&&) = default;
    UniqueValuesResult& operator=(UniqueValuesResult&&) = default;
    UniqueValuesResult(const UniqueValuesResult&) = delete;
    UniqueValuesResult& operator=(const UniqueValuesResult&) = delete;

    std::vector<UniqueValue> values;  // sorted by byte value, the empty value first
    qsizetype total = 0;
    bool cancelled = false;
    std::vector<std::unique_ptr<char[]>> storage;  // blocks that never move
};

enum class UniqueValuesPhase { Scanning, Sorting };

// Called about every 50 ms while scanning (record reached of the count when the run began) and
// once as the sort starts; false stops the run (the result is then marked cancelled).
using UniqueValuesProgress =
    std::function<bool(UniqueValuesPhase phase, int32_t record, int32_t recordCount)>;

// Counts the values of `designation` over every record: MSH-1 is each record's fourth
// character; otherwise each segment named by the designation's first three characters, from the
// record's last to its first, gives GetFieldValues split at every "|". Values that differ only
// in letter case (Latin-1) count as one, under the text met first.
UniqueValuesResult CountUniqueValues(const RecordStore& store, std::string_view designation,
                                     const FieldValueRules& rules,
                                     const UniqueValuesProgress& progress = {});

// Width of the count column: the widest grouped count, at least seven characters.
int UniqueValuesCountWidth(const UniqueValuesResult& result, const QString& groupSeparator);

// The report's lines: the count grouped and right-aligned in `UniqueValuesCountWidth`, "  (",
// the share "0.00%)" right-aligned in eight, five blanks, the value in double quotes.
QStringList UniqueValueLines(const UniqueValuesResult& result, const QString& groupSeparator,
                             const QString& decimalPoint);

// The summary of status-bar panel 1 after a run.
QString UniqueValuesSummary(const UniqueValuesResult& result);

}  // namespace quillon
