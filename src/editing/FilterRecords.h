#pragma once
// The record filter without any window: which records a filter request keeps, and the one pass
// that removes the others from the store. The whole walk decides before anything is removed, so
// a filter that would leave no record, or one stopped by its caller, never loses a record it
// should have kept.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editing/FindRecords.h"
#include "editing/SearchRequest.h"
#include "records/RecordStore.h"

namespace quillon {

// What the filter dialog leaves for the filter commands.
struct FilterRequest {
    std::string FilterText;       // as typed, in UTF-8; CancelTheFilter: cancelled or refused
    std::string FilterFieldName;  // PID-3, PID-5-1 ...; empty: anywhere in the record
    std::string FilterSegment;    // the segment box's text: the segment the presence test seeks
    bool FilterKeepMatches = true;
    bool FilterOnText = true;  // false: segment presence
};

inline constexpr std::string_view CancelTheFilter = "{CANCEL-THE-FILTER}";

// Texts of the filter commands.
inline constexpr std::string_view NoRecordsToFilterMessage = "There are no records to filter.";
inline constexpr std::string_view AllRecordsWouldBeDeletedMessage =
    "Based upon your criteria, all records would be deleted.  Therefore the record list will "
    "not be changed.";
inline constexpr std::string_view NoRecordsMatchedFilterTitle = "No Records Matched Filter";
inline constexpr std::string_view NoRecordsDeletedMessage =
    "All records matched the filter requirements.  No records were deleted.";
inline constexpr std::string_view NoRecordsFilteredOutTitle = "No Records Filtered Out";
inline constexpr std::string_view AllAsPresenceSegmentMessage =
    "You can not use 'all' as the segment when searching for a particular segment.";
inline constexpr std::string_view InvalidSegmentNameTitle = "Invalid Segment Name";
// Filter by this Field, when every record would go: "No records were found which contain '<text>'
// ..." in keep mode, "... which do not contain ..." in delete mode.
std::string NoRecordsFoundWhichMessage(std::string_view filterText, bool keepMatches);
// The undo point's name: "Filter '<text>'".
std::string FilterUndoDescription(std::string_view filterText);

// One filter run: the request, the two match flags of the search request, and for Filter by
// this Field the repetition of the chosen line ("(2)"; "" the first). Filter by this Field always
// tests the field (or the whole record when no field is named), never segment presence.
struct FilterCriteria {
    FilterRequest request;
    bool MatchCase = false;
    bool MatchWholeWordOnly = false;
    bool byField = false;
    std::string repetition;
};

// Decides one record: the text anywhere in it, the text in the field of any segment of that
// name, or the presence of a segment.
class FilterMatcher {
public:
    FilterMatcher(const FilterCriteria& criteria, const Delimiters& delimiters, char endOfBlock);
    FilterMatcher(const FilterMatcher&) = delete;
    FilterMatcher& operator=(const FilterMatcher&) = delete;
    bool Matches(std::string_view record) const;

private:
    enum class Test { Text, Field, Presence };
    bool SomeSegmentLacksField(std::string_view record) const;

    Test test_ = Test::Text;
    SearchRequest search_;   // the request as the record find reads it
    RecordMatcher matcher_;  // reads search_
    const Delimiters& delimiters_;
    char endOfBlock_;
    std::string marker_;  // end of block followed by the segment id
    bool wordStartIsBoundary_[256] = {};
};

struct FilterDecision {
    std::vector<uint8_t> remove;  // by record number, from 1
    int32_t recordCount = 0;      // RecordCount when decided
    int32_t examined = 0;         // records decided, counted from the last one
    int32_t removed = 0;
    bool cancelled = false;  // stopped with records left undecided (they stay)
    int32_t Remaining() const { return recordCount - removed; }
};

// Decides the records from the last to the first. `progress(examined)` is called about every
// 50 ms; when it answers false the walk stops and the records not yet decided are kept.
FilterDecision FilterRecords(const RecordStore& store, const FilterCriteria& criteria,
                             const Delimiters& delimiters, char endOfBlock,
                             const std::function<bool(int32_t examined)>& progress = {});

// Removes the decided records in one pass, the others keeping their order (records appended
// since the decision stay, after them). The array keeps its size; the freed slots are emptied.
// False, with nothing changed, when the store lost records since the decision.
bool RemoveDecided(RecordStore& store, const FilterDecision& decision);

}  // namespace quillon
