#pragma once
// The record store: every HL7 message the program holds, whatever its source,
// plus the five current delimiters learned from header segments.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A 1-based array of record texts with the count of slots in use. Slot 0 is never used.
// The upper bound grows in steps of 100 (observable through UpperBound()); the vector
// underneath grows geometrically, so appends stay amortised O(1).
class RecordStore {
public:
    RecordStore() { Records.resize(2); }  // one slot (1..1), no records

    std::vector<std::string> Records;
    int32_t RecordCount = 0;

    int32_t UpperBound() const { return static_cast<int32_t>(Records.size()) - 1; }

    // Forget everything and make `slots` empty slots (1..slots).
    void Reset(int32_t slots);

    // Raise the count, grow by 100 slots when count + 1 reaches the upper bound, store the text.
    void Append(std::string text);

    const std::string& Record(int32_t i) const { return Records[static_cast<size_t>(i)]; }

    // Records 1 to RecordCount, in order, for the writers.
    std::vector<const std::string*> AllRecords() const
    {
        std::vector<const std::string*> all;
        all.reserve(static_cast<size_t>(RecordCount > 0 ? RecordCount : 0));
        for (int32_t i = 1; i <= RecordCount; ++i) all.push_back(&Records[static_cast<size_t>(i)]);
        return all;
    }
};

// Removes element `index` by moving the later ones down in one block; the array keeps its
// size and the top slot is left empty. The caller lowers its count.
void DeleteStringItem(std::vector<std::string>& array, int32_t index);

// Gives `dest` the bounds of `source` and moves every element into it; `source` keeps its
// bounds with every element left empty.
void MoveStringArray(std::vector<std::string>& source, std::vector<std::string>& dest);

struct Delimiters {
    std::string FieldSeparator = "|";
    std::string ComponentSeparator = "^";
    std::string RepetitionSeparator = "~";
    std::string EscapeCharacter = "\\";
    std::string SubcomponentSeparator = "&";
    // Used as a set of word-boundary characters; only membership matters.
    std::string AllDelimiters = "|^&\\~";

    void ResetToDefaults();
    // Takes characters 4 to 8 of an MSH, FHS or BHS segment. A component separator of "|"
    // (no encoding characters) resets all five to the defaults.
    void SetFromHeader(std::string_view segment);
};

// The envelope characters; the record text ends each segment with EndOfBlockChar.
struct EnvelopeChars {
    char StartOfBlockChar = 11;
    char EndOfBlockChar = 13;
    char EndOfDataChar = 28;
};

}  // namespace quillon
