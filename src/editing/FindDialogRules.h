#pragma once
// What the find dialogs do with their boxes, without any window: the lines of the field picker,
// the field check that turns the field box's text into a designation, and the two histories.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/Dictionary.h"

namespace quillon {

inline constexpr std::string_view AllSegments = "all";
inline constexpr size_t PickerLabelWidth = 12;
inline constexpr size_t RecordFindHistoryLength = 5;
inline constexpr int RecordFindHistoryKeysRead = 10;
inline constexpr std::string_view BadFieldNameTitle = "Bad Field Name";

// The field picker's lines for a segment: one per dictionary key of that segment, in key order,
// its label ("PID- 5- 1": each number right-aligned in two characters, longer numbers whole)
// padded to twelve characters and the description right behind. None for "all".
std::vector<std::string> FieldPickerLines(const DescriptionDictionary& dictionary,
                                          std::string_view segment);

// The label part of a field box text or picker line: its first twelve characters without blanks
// ("PID- 5      Patient Name" and a typed "PID-5" both give "PID-5").
std::string PickerLabelPart(std::string_view text);

// The field check of "Find Next": an empty field box is the whole record (""); a text whose
// label part is that of one of `lines` gives its designation; anything else is refused.
std::optional<std::string> CheckedFindFieldName(std::string_view fieldText,
                                                const std::vector<std::string>& lines);
// "That is not a valid field in segment "<segment>""
std::string BadFieldNameMessage(std::string_view segmentText);

// Leaving the field box: the text upper-cased and trimmed, and the segment it names when that
// differs from the segment box (a typed designation whose first "-" is its fourth character).
struct FieldBoxLeave {
    std::string fieldText;
    std::optional<std::string> segment;
};
FieldBoxLeave LeaveFieldBox(std::string_view fieldText, std::string_view segmentText);

// ASCII letters upper-cased; every other byte kept.
std::string AsciiUpper(std::string_view text);

// A record-find history line: the find text, "all" or the field box's text, then "WHOLE WORD"
// and "MATCH CASE" when ticked, joined by TAB.
std::string RecordFindHistoryEntry(std::string_view findText, std::string_view segmentText,
                                   std::string_view fieldText, bool wholeWord, bool matchCase);
// Puts `entry` at the top: an identical line moves there; a new one is inserted and the list cut
// to `limit` lines (0: no limit).
void PushHistory(std::vector<std::string>& lines, const std::string& entry, size_t limit);

// A history line chosen from the list, split back into the dialog's boxes.
struct RecordFindHistoryChoice {
    std::string findText;
    std::string segmentText;  // "all" or the segment of the field part
    std::string fieldText;    // "" with "all"
    bool wholeWord = false;
    bool matchCase = false;
};
RecordFindHistoryChoice SplitRecordFindHistoryLine(std::string_view line);

// The replace and assign dialogs refuse texts that hold a current delimiter. The delimiters are
// taken in order; for each the find text (when `testFindText`) and then the replace text are
// looked at, and the first hit names the box and the message.
struct DelimiterRefusal {
    bool inFindText = false;
    std::string message;
};
std::optional<DelimiterRefusal> RefuseDelimiters(std::string_view allDelimiters,
                                                 std::string_view findText,
                                                 std::string_view replaceText, bool testFindText);

}  // namespace quillon
