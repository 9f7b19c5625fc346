#pragma once
// The lines of the field list: one per field, repetition and component of every segment,
// each headed by its designation (15 columns) and, with descriptions on, " [description]"
// (40 columns), then the value (column 16, or 56 with descriptions).
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "records/Dictionary.h"
#include "records/RecordStore.h"
#include "records/TextEncoding.h"

namespace quillon {

struct DisplayOptions {
    bool DisplayEmptyFields = true;
    bool DisplayFieldDescriptions = true;
    bool DisplayCompoundFields = true;
    bool DisplaySegmentDescriptions = true;
};

constexpr size_t DesignationColumns = 15;
constexpr size_t DescriptionColumns = 40;
constexpr size_t LongestFieldLine = 10000;
inline constexpr std::string_view ParsedDataFollows = "parsed data follows ...";
inline constexpr std::string_view FieldTooLarge = " ... remainder of field too large to display ...";

// Column (from 1) where a field line's value starts.
constexpr size_t ValueColumn(bool withDescriptions)
{
    return withDescriptions ? DesignationColumns + DescriptionColumns + 1 : DesignationColumns + 1;
}

// One line: the designation padded or cut to 15, with `description` non-null " [" description
// "]" padded or cut to 40, then the value. A line over 10000 characters keeps its first 100
// followed by a note that the rest is too large to show (in a UTF-8 record fewer, so that no
// character is cut).
std::string FieldListLine(std::string_view designation, const std::string* description,
                          std::string_view value, TextEncoding encoding = TextEncoding::Latin1);

// Whether the active view (`viewFields`; empty: no view) admits the designation. A repetition
// part is ignored: PID-3(2) counts as PID-3.
bool OKtoAddToFieldList(std::string_view designation, const std::vector<std::string>& viewFields);

// The segment-list lines of a record: the record with one more terminator, cut at the
// terminator, without the last piece (which is then always empty).
std::vector<std::string_view> SplitRecordSegments(std::string_view record, char endOfBlock);

// Field-list lines in compact form: each line's head (its designation and description
// columns, which repeat from segment to segment) is kept once, its value end to end with the
// others in blocks of a few megabytes that never move, and a line costs 20 bytes besides. A
// record of a million segments or fields needs no string per line.
class FieldLineBuffer {
public:
    // `headLength` leading characters of `line` are its designation and description columns.
    // The line belongs to the segment named by the last BeginSegment.
    void push_back(std::string_view line, size_t headLength);
    // Lines pushed from now on belong to segment-list row `row` (-1: to no row).
    void BeginSegment(int32_t row) { segment_ = row; }
    // The segment-list row the line was built from, -1 when none.
    int32_t SegmentRow(size_t i) const { return segmentRows_[i]; }
    size_t size() const { return tailLengths_.size(); }
    bool empty() const { return tailLengths_.empty(); }
    std::string_view Head(size_t i) const { return bytes_.View(headRefs_[i] & RefMask, headRefs_[i] >> 56); }
    std::string_view Tail(size_t i) const { return bytes_.View(tailRefs_[i], tailLengths_[i]); }
    size_t Length(size_t i) const { return (headRefs_[i] >> 56) + tailLengths_[i]; }
    std::string Line(size_t i) const;

private:
    class Blocks {
    public:
        uint64_t Add(std::string_view bytes);
        std::string_view View(uint64_t ref, size_t n) const
        {
            return {blocks_[ref >> BlockBits].data() + (ref & BlockMask), n};
        }

    private:
        static constexpr int BlockBits = 22;
        static constexpr uint64_t BlockMask = (uint64_t{1} << BlockBits) - 1;
        std::vector<std::string> blocks_;
    };
    static constexpr uint64_t RefMask = (uint64_t{1} << 56) - 1;
    // Heads seen so far, up to a bound: a line whose head is new past it keeps its own copy.
    static constexpr size_t MostKeptHeads = 1 << 16;
    static constexpr size_t MostMissesWhenFull = 1 << 12;

    Blocks bytes_;
    std::unordered_map<std::string_view, uint64_t> heads_;
    size_t missesWhenFull_ = 0;
    std::vector<uint64_t> headRefs_;  // length << 56 | place
    std::vector<uint64_t> tailRefs_;
    std::vector<uint32_t> tailLengths_;
    std::vector<int32_t> segmentRows_;
    int32_t segment_ = -1;
};

// Appends the field lines of one segment to `lines`, the segment being of a record in
// `encoding`. An MSH, FHS or BHS segment sets the delimiters from its characters 4 to 8 as they
// are (no fall-back to the defaults).
void AppendSegmentFieldLines(std::string_view segment, const DisplayOptions& options,
                             const DescriptionDictionary& dictionary,
                             const std::vector<std::string>& viewFields, Delimiters& delimiters,
                             std::vector<std::string>& lines,
                             TextEncoding encoding = TextEncoding::Latin1);
void AppendSegmentFieldLines(std::string_view segment, const DisplayOptions& options,
                             const DescriptionDictionary& dictionary,
                             const std::vector<std::string>& viewFields, Delimiters& delimiters,
                             FieldLineBuffer& lines, TextEncoding encoding = TextEncoding::Latin1);

// The designation at the head of a field-list line: its text before the first blank (the whole
// line when it is three characters or shorter, or holds no blank).
std::string_view LineDesignation(std::string_view line);

// Blanks trimmed from both ends.
std::string_view TrimBlanks(std::string_view s);

}  // namespace quillon
