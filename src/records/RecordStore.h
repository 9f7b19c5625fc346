#pragma once
// The record store: every HL7 message the program holds, whatever its source,
// plus the five current delimiters learned from header segments.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordText.h"

namespace quillon {

// A 1-based array of record texts with the count of slots in use. Slot 0 is never used.
// The upper bound grows in steps of 100 (observable through UpperBound()); the vector
// underneath grows geometrically, so appends stay amortised O(1). A copy of the store shares
// every record's bytes with it (see RecordText); a slot changes only by taking a new text.
class RecordStore {
public:
    RecordStore() { Records.resize(2); }  // one slot (1..1), no records

    std::vector<RecordText> Records;
    int32_t RecordCount = 0;
    // Records appended since the store was made: those that came in after a moment are the
    // last (Appended - then) of the store, as long as nothing but appends changed it.
    uint64_t Appended = 0;

    int32_t UpperBound() const { return static_cast<int32_t>(Records.size()) - 1; }

    // Forget everything and make `slots` empty slots (1..slots).
    void Reset(int32_t slots);

    // Raise the count, grow by 100 slots when count + 1 reaches the upper bound, store the text.
    void Append(RecordText text);
    void Append(std::string_view text) { Append(RecordText(text)); }

    std::string_view Record(int32_t i) const { return Records[static_cast<size_t>(i)]; }

    // About how many bytes records first..last hold, for a command that gives them new texts to
    // know what to expect: every length when they are few, else a few thousand spread evenly
    // (after a sort the records lie apart in memory, and reading each one's length would cost
    // about as much as the command's own pass).
    size_t BytesAbout(int32_t first, int32_t last) const;

    // Records 1 to RecordCount, in order, for the writers.
    std::vector<std::string_view> AllRecords() const
    {
        std::vector<std::string_view> all;
        all.reserve(static_cast<size_t>(RecordCount > 0 ? RecordCount : 0));
        for (int32_t i = 1; i <= RecordCount; ++i)
            all.push_back(Records[static_cast<size_t>(i)]);
        return all;
    }
};

// Removes element `index` by moving the later ones down in one block; the array keeps its
// size and the top slot is left empty. The caller lowers its count.
template <class Text>
void DeleteStringItem(std::vector<Text>& array, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= array.size())
        return;
    auto pos = array.begin() + index;
    std::rotate(pos, pos + 1, array.end());
    array.back() = Text();
}

// Gives `dest` the bounds of `source` and moves every element into it; `source` keeps its
// bounds with every element left empty.
template <class Text>
void MoveStringArray(std::vector<Text>& source, std::vector<Text>& dest)
{
    dest.clear();
    dest.resize(source.size());
    for (size_t i = 0; i < source.size(); ++i)
        dest[i] = std::move(source[i]);
    for (auto& s : source)
        s = Text();
}

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
