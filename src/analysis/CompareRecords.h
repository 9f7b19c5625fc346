#pragma once
// Field-by-field comparison of two HL7 texts (records, segments or pasted text) and its rich-text
// form for the clipboard. Window-free: the comparison window only shows what these answer.
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"
#include "records/TextEncoding.h"

namespace quillon {

class DescriptionDictionary;

// The designation in a form whose plain character order follows the field order of a segment:
// every number after "-" right-aligned in two characters, a repetition after one blank in
// parentheses, its number right-aligned too ("PID-3-1(2)" gives "PID- 3- 1 ( 2)"). A number of
// three or more digits keeps all of them.
std::string GetCompareKey(std::string_view designation);

// One row of the comparison table as shown.
struct CompareRow {
    std::string name;    // the designation without blanks, with its description when asked
    std::string value1;  // from the upper text box
    std::string value2;  // from the lower text box
    bool marked = false;       // the values differ: the row is red and bold
    bool value1Marked = false; // a marked row's non-empty value is red and bold too
    bool value2Marked = false;
    bool operator==(const CompareRow&) const = default;
};

struct CompareOptions {
    Delimiters delimiters;
    char endOfBlock = 13;
    bool displayEmptyFields = false;
    // Descriptions are appended to the names when this is set.
    const DescriptionDictionary* descriptions = nullptr;
};

// The rows for two texts: the fields of `text1` are the base in their order; each field of
// `text2` lands on the row of its designation or is inserted where its segment's fields put it.
// Line feeds are ignored; a field that no rule places is added after the last row of its
// segment (at the end when none), so nothing of either text is left out.
std::vector<CompareRow> CompareTexts(std::string_view text1, std::string_view text2,
                                     const CompareOptions& options);

// The rows as an RTF table of three cells a row in a fixed-pitch font, marked rows in red; each
// cell holds its column padded as the plain lines would be (name to the longest name + 5,
// value 1 to the longest value 1 + 5). The rows' texts are in `encoding`; a UTF-8 text is
// padded by characters and writes those above 255 as Unicode values.
std::string CompareRowsToRtf(const std::vector<CompareRow>& rows,
                             TextEncoding encoding = TextEncoding::Latin1);

}  // namespace quillon
