#pragma once
// Replace in the record list and in one segment, without any window: the rules over the record
// store that the replace and assign-value commands run. The main window makes the undo points,
// shows the page and reports the count.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "editing/SearchRequest.h"
#include "records/RecordStore.h"

namespace quillon {

// The find text that, with a field chosen, stands for the field's whole value.
inline constexpr std::string_view AnythingFindText = "[*ANYTHING*]";
inline constexpr std::string_view ReplaceReportCaption = "Report";
inline constexpr std::string_view SegmentReplaceCaption = "Segment List Replace";
inline constexpr std::string_view NoSegmentToReplaceTitle = "No Segment to Replace";
inline constexpr std::string_view NoSegmentToReplaceMessage =
    "There are no segments selected to do a replace upon.";

// "1 replacement was made." or " <n> replacements were made."
std::string ReplacementCountMessage(int32_t count);
// The undo point texts: "Replace '<find>' with '<replace>'", "Replace All '<find>'" and
// "Assign Value to Field: '<value>'".
std::string ReplaceUndoText(std::string_view findText, std::string_view replaceText);
std::string ReplaceAllUndoText(std::string_view findText);
std::string AssignValueUndoText(std::string_view value);

// The designation in a replace dialog's field box: "" for an empty box; a picker line has its
// first two "- " closed up and is cut at its first blank ("PID- 5- 1    Name" gives PID-5-1); a
// typed text without a blank is taken whole.
std::string ReplaceFieldNameFrom(std::string_view fieldText);

// The records a replacement was not written into because their character set cannot hold a
// character of it (it is never written as "?"): how many, and the first such character, UTF-8.
struct NotHeld {
    int32_t records = 0;
    std::string character;
};

// Replaces in one record as the request says (whole-record mode without ReplaceFieldName,
// field mode with it); the record is rebuilt at most once. Answers the count.
// A Latin-1 record takes a replacement beyond Latin-1 only when it is plain ASCII and then reads
// as UTF-8 whole (as UTF-8 bytes); any other keeps its bytes and is counted in `notHeld`.
int32_t ReplaceInRecord(std::string& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock, NotHeld* notHeld = nullptr);
// The same for a stored record: one that changes takes a new text.
int32_t ReplaceInRecord(RecordText& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock, NotHeld* notHeld = nullptr);

// Records `first` to `last` of the store, those for which `include` answers true (every one
// when it is empty), replaced in as ReplaceInRecord does. `keepAlive` (optional) runs about
// every 50 ms. Answers the count over the run.
int32_t RecordListReplaceAll(RecordStore& store, const SearchRequest& request,
                             const Delimiters& delimiters, char endOfBlock, int32_t first,
                             int32_t last, const std::function<bool(int32_t)>& include = {},
                             const std::function<void()>& keepAlive = {},
                             NotHeld* notHeld = nullptr);

// Whether the same run would change no record, counting in `notHeld` those left for a character
// they cannot hold; stops at the first record it would change.
bool RecordListReplaceChangesNothing(const RecordStore& store, const SearchRequest& request,
                                     const Delimiters& delimiters, char endOfBlock, int32_t first,
                                     int32_t last, const std::function<bool(int32_t)>& include,
                                     NotHeld& notHeld);

// Replaces inside the segment `segmentLine` of `record` (the first segment whose whole text it
// is): never in the segment name and its separator, whole word with the segment list's own
// boundaries. Nothing when the record holds no such segment.
std::optional<int32_t> SegmentReplaceAll(std::string& record, std::string_view segmentLine,
                                         const SearchRequest& request, char endOfBlock,
                                         NotHeld* notHeld = nullptr);

}  // namespace quillon
