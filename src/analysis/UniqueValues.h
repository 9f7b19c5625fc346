#pragma once
// Unique field values without any window: the value of a designation in one segment (the field
// table and its look-up) and the count of every distinct value over the record store, sorted and
// formatted as the report's lines.
#include <QString>
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
    std::string_view text;  // as first met: Latin-1, or UTF-8 when `utf8`
    qsizetype count = 0;
    // A value of a UTF-8 record with a character Latin-1 lacks (or bytes that are no
    // character); other values of UTF-8 records are counted in Latin-1, as the same texts.
    bool utf8 = false;
};

// The values' texts live in `storage`, so a result can be moved but not copied.
struct UniqueValuesResult {
    UniqueValuesResult() = default;
    UniqueValuesResult(UniqueValuesResult&&) = default;
    UniqueValuesResult& operator=(UniqueValuesResult&&) = default;
    UniqueValuesResult(const UniqueValuesResult&) = delete;
    UniqueValuesResult& operator=(const UniqueValuesResult&) = delete;

    std::vector<UniqueValue> values;  // as counted: grouped by a hash of their texts
    // The values' indexes sorted by text, byte by byte, the empty value first. The values stay
    // as counted: putting a million of them in this order would fetch each from a random place.
    std::vector<uint32_t> order;
    const UniqueValue& Sorted(size_t i) const { return values[order[i]]; }
    qsizetype total = 0;
    bool cancelled = false;
    std::vector<std::unique_ptr<char[]>> storage;  // blocks that never move
};

enum class UniqueValuesPhase { Scanning, Sorting };

// Called while scanning, between chunks of records a few tens of milliseconds long (record
// reached of the count when the run began), and once as the sort starts; false stops the run
// (the result is then marked cancelled).
using UniqueValuesProgress =
    std::function<bool(UniqueValuesPhase phase, int32_t record, int32_t recordCount)>;

// Counts the values of `designation` over every record: MSH-1 is each record's fourth
// character; otherwise each segment named by the designation's first three characters, from the
// record's last to its first, gives GetFieldValues split at every "|". Values that differ only
// in the case of Latin-1 letters count as one, under the text met first. Many records are
// walked on several threads; progress runs on the caller's thread while none of them reads the
// store, so it may let records be appended (they are not counted).
UniqueValuesResult CountUniqueValues(const RecordStore& store, std::string_view designation,
                                     const FieldValueRules& rules,
                                     const UniqueValuesProgress& progress = {});

// Width of the count column: the widest grouped count, at least seven characters.
int UniqueValuesCountWidth(const UniqueValuesResult& result, const QString& groupSeparator);

// The report of a count: its lines, each made when it is asked for, so that a list of a million
// distinct values needs no million strings. A line is the count grouped and right-aligned in
// `UniqueValuesCountWidth`, "  (", the share "0.00%)" right-aligned in eight, five blanks and the
// value in double quotes.
class UniqueValuesReport {
public:
    UniqueValuesReport() = default;
    UniqueValuesReport(UniqueValuesResult result, const QString& groupSeparator,
                       const QString& decimalPoint);

    const UniqueValuesResult& Result() const { return result_; }
    qsizetype LineCount() const { return static_cast<qsizetype>(result_.values.size()); }
    int CountWidth() const { return countWidth_; }
    QString Line(qsizetype i) const;
    // Every line followed by CR LF, as Copy to Clipboard gives them.
    QString Text() const;

private:
    qsizetype LineLength(const UniqueValue& v) const;
    QChar* WriteLine(qsizetype i, QChar* out) const;

    UniqueValuesResult result_;
    QString groupSeparator_, decimalPoint_;
    int countWidth_ = 7;
};

// The summary of status-bar panel 1 after a run.
QString UniqueValuesSummary(const UniqueValuesResult& result);

}  // namespace quillon
