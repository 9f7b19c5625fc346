#pragma once
// Find in the record list and in the field list: the matching rules over the record store and
// over field-list lines, without any window. The main window runs the dialogs, shows the page
// and selects the rows these functions name.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "editing/SearchRequest.h"
#include "records/RecordStore.h"
#include "records/TextEncoding.h"

namespace quillon {

// Texts the find commands show.
inline constexpr std::string_view RecordListFindCaption = "Record List Find";
inline constexpr std::string_view FieldListFindCaption = "Field List Find";
inline constexpr std::string_view NothingLoadedToSearchMessage =
    "There are no HL7 messages loaded to search through.";
inline constexpr std::string_view UnexpectedDirectionMessage =
    "Unexpected direction in RecordListFind. Please call Tech Support.";
// "No further occurances of '<text>' were found." (record list)
std::string NoFurtherOccurrencesMessage(std::string_view findText);
// "No more occurances of '<text>' were found." (field list)
std::string NoMoreOccurrencesMessage(std::string_view findText);
// Repeat Last Search in the record list: "No more occurances of '<text>' was found."
std::string NoMoreRecordOccurrencesMessage(std::string_view findText);
inline constexpr std::string_view NoRecordShownToSearchMessage =
    "There is no HL7 message loaded to search through.";
// "Rec  <n>/<count>": the file label after a record was found.
std::string FoundRecordLabel(int32_t record, int32_t recordCount);

// Position of `needle` in `haystack` comparing bytes as they are, or with letters folded as
// records/LetterCase.h pairs them in Latin-1; npos when absent. An empty needle is found at 0.
// Never a pattern: every byte stands for itself.
size_t FindBytes(std::string_view haystack, std::string_view needle, bool matchCase);
bool EqualBytes(std::string_view a, std::string_view b, bool matchCase);

// A text typed for a command (find, replace, filter, assign), in the bytes each kind of record
// holds it in. The commands hand typed text over as UTF-8; a text that is not valid UTF-8 is
// read as Latin-1, one character a byte.
class TypedText {
public:
    explicit TypedText(std::string_view text);
    bool Ascii() const { return ascii_; }
    // The bytes in a record of `encoding`; null when a Latin-1 record cannot hold the text.
    const std::string* In(TextEncoding encoding) const;
    // The bytes written into a record of `encoding`: in Latin-1 "?" stands for a character it
    // lacks, so a writer asks FitsLatin1 first.
    const std::string& Written(TextEncoding encoding) const;
    bool FitsLatin1() const { return fitsLatin1_; }

private:
    bool ascii_ = true;
    bool fitsLatin1_ = true;
    std::string latin1_, utf8_;
};

// Bytes to find in records of one encoding, with or without letter case. A match found in a
// UTF-8 record never begins or ends inside a character: the bytes are whole characters, and a
// letter's other case is taken only where its UTF-8 form stands.
class Needle {
public:
    Needle() = default;
    Needle(std::string bytes, TextEncoding encoding, bool matchCase);
    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    // The first occurrence at or after `from`; npos when none. An empty needle is found at
    // `from`.
    size_t Find(std::string_view haystack, size_t from = 0) const;
    bool Equals(std::string_view text) const;

private:
    std::string bytes_;
    std::string other_;  // each byte's other case, itself when it has none
    // Found by the sieve when the case is not matched (letters or not), else by the system's
    // memmem.
    bool sieved_ = false;
};

// A typed text as each record holds it. The encoding is decided, once per record, only when the
// text is not plain ASCII, and only for a record that may hold the text: one that holds the
// longest run of ASCII in it (which is the same in either encoding), or any byte above 127 when
// it has no such run.
class TextFinder {
public:
    TextFinder(std::string_view typed, bool matchCase);
    bool Ascii() const { return ascii_; }
    // The needle for records of `encoding`; null when they cannot hold the text.
    const Needle* For(TextEncoding encoding) const;
    // The needle for this record; null when it does not hold the text. `decided` (optional) gets
    // the encoding the needle is for.
    const Needle* For(std::string_view record, char endOfBlock,
                      TextEncoding* decided = nullptr) const;

private:
    bool ascii_;
    bool inLatin1_;
    Needle latin1_, utf8_;
    Needle anchor_;  // the longest ASCII run of the text (two characters or more), or none
};

// Records `first` to `last` by `step` (+1 or -1), from 1.
struct RecordRange {
    int32_t first = 1;
    int32_t last = 0;
    int32_t step = 1;
    bool Empty() const { return first < 1 || (step > 0 ? first > last : first < last); }
};

// Where a record-list find runs. `start` is -1 for a new text, else the selected row;
// `selectedRow` the selected row of the page shown (-1: none). A new text with the first row
// selected begins at record 1; otherwise the search begins next to the selected record, or at
// the page's first record when no row is selected. Nothing when neither direction is set.
std::optional<RecordRange> RecordListFindRange(const SearchRequest& request, int32_t start,
                                               int32_t selectedRow, int32_t currentPage,
                                               int32_t recordCount);

struct RecordMatch {
    bool found = false;
    int32_t record = 0;   // from 1
    size_t position = 0;  // where the found text starts in the record, from 0
    size_t length = 0;
};

// Tests records against one request: the find text anywhere in the record, or in the field
// `FindFieldName` of any segment of that type.
class RecordMatcher {
public:
    RecordMatcher(const SearchRequest& request, const Delimiters& delimiters, char endOfBlock);
    bool Matches(std::string_view record, RecordMatch& match) const;

private:
    bool MatchesWholeRecord(std::string_view record, const Needle& text, RecordMatch& match) const;
    bool MatchesField(std::string_view record, const Needle& text, RecordMatch& match) const;

    const SearchRequest& request_;
    TextFinder finder_;
    const Delimiters& delimiters_;
    char endOfBlock_;
    bool boundary_[256] = {};
    std::string segmentId_;
    std::string segmentMarker_;  // end of block followed by the segment id
};

// The first record of the range that matches; not found when none does or the range is empty.
// `keepAlive` (optional) is called about every 50 ms while the search runs.
RecordMatch FindRecord(const RecordStore& store, const SearchRequest& request,
                       const Delimiters& delimiters, char endOfBlock, const RecordRange& range,
                       const std::function<void()>& keepAlive = {});

// The value of a field-list line: its text from the value column on, blanks trimmed.
std::string_view FieldLineValue(std::string_view line, bool descriptionsShown);

// The field-list lines of one record, in its encoding, against a find request.
class FieldLineMatcher {
public:
    FieldLineMatcher(const SearchRequest& request, bool descriptionsShown,
                     TextEncoding encoding = TextEncoding::Latin1);
    FieldLineMatcher(const FieldLineMatcher&) = delete;
    FieldLineMatcher& operator=(const FieldLineMatcher&) = delete;
    // After a record was found: whether a line of it is one to select (its designation is
    // `FindFieldName`, or any without one, and its value holds the find text; whole word: the
    // first occurrence stands between blanks or the value's ends).
    bool Found(std::string_view line) const;
    // Find in the field list: whether a line's value holds the find text (whole word: the value
    // equals it).
    bool Matches(std::string_view line) const;

private:
    const SearchRequest& request_;
    bool descriptionsShown_;
    TextFinder finder_;
    const Needle* text_;
};

// The same for one line of a Latin-1 record.
bool FoundFieldLineMatches(std::string_view line, const SearchRequest& request,
                           bool descriptionsShown);
bool FieldListLineMatches(std::string_view line, const SearchRequest& request,
                          bool descriptionsShown);

// The next matching line from `start` (the selected line, -1 none) in the request's direction
// among `count` lines of a record in `encoding`; -1 when none. `lineAt(j)` gives line j, valid
// until the next call.
int64_t FindFieldListLine(int64_t count, const std::function<std::string_view(int64_t)>& lineAt,
                          int64_t start, const SearchRequest& request, bool descriptionsShown,
                          TextEncoding encoding = TextEncoding::Latin1);

}  // namespace quillon
