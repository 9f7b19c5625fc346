#include "editing/FilterRecords.h"


#include "records/FieldDesignations.h"
#include "app/ProgressPacer.h"
#include "app/Utility.h"

namespace quillon {
namespace {

constexpr size_t npos = std::string_view::npos;

// Filter by this Field reads the repetition of the chosen line, never one written into the
// field name: any "(...)" there gives way to it.
std::string WithRepetition(std::string_view fieldName, std::string_view repetition)
{
    std::string name(fieldName);
    const size_t open = name.find('(');
    if (open != std::string::npos) {
        const size_t close = name.find(')', open);
        name.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
    }
    return name + std::string(repetition);
}

// The request as the record find reads it.
SearchRequest SearchFor(const FilterCriteria& criteria)
{
    const FilterRequest& request = criteria.request;
    SearchRequest search;
    search.FindText = request.FilterText;
    search.MatchCase = criteria.MatchCase;
    search.MatchWholeWordOnly = criteria.MatchWholeWordOnly;
    const bool presence = !criteria.byField && !request.FilterOnText;
    if (!presence && !request.FilterFieldName.empty())
        search.FindFieldName = criteria.byField
                                   ? WithRepetition(request.FilterFieldName, criteria.repetition)
                                   : request.FilterFieldName;
    return search;
}

}  // namespace

std::string NoRecordsFoundWhichMessage(std::string_view filterText, bool keepMatches)
{
    return std::string("No records were found which") + (keepMatches ? " " : " do not ")
           + "contain '" + BoundedQuote(filterText)
           + "'.  Therefore the record list will not be changed.";
}

std::string FilterUndoDescription(std::string_view filterText)
{
    return "Filter '" + std::string(filterText) + "'";
}

FilterMatcher::FilterMatcher(const FilterCriteria& criteria, const Delimiters& delimiters,
                             char endOfBlock)
    : search_(SearchFor(criteria))
    , matcher_(search_, delimiters, endOfBlock)
    , delimiters_(delimiters)
    , endOfBlock_(endOfBlock)
{
    if (!criteria.byField && !criteria.request.FilterOnText) {
        test_ = Test::Presence;
        marker_ = std::string(1, endOfBlock) + criteria.request.FilterSegment.substr(0, 3);
    } else if (!search_.FindFieldName.empty()) {
        test_ = Test::Field;
        marker_ = std::string(1, endOfBlock) + search_.FindFieldName.substr(0, 3);
    }
    // An empty text stands at the record's start: a whole word there when the record's first
    // character is a blank or a delimiter (an empty delimiter is none).
    wordStartIsBoundary_[static_cast<unsigned char>(' ')] = true;
    for (char c : delimiters.AllDelimiters)
        wordStartIsBoundary_[static_cast<unsigned char>(c)] = true;
}

bool FilterMatcher::Matches(std::string_view record) const
{
    RecordMatch match;
    switch (test_) {
    case Test::Presence:
        // Every segment, the first too, stands right after a terminator.
        return record.starts_with(std::string_view(marker_).substr(1))
               || FindBytes(record, marker_, true) != npos;
    case Test::Field:
        if (matcher_.Matches(record, match))
            return true;
        return search_.FindText.empty() && SomeSegmentLacksField(record);
    case Test::Text:
        break;
    }
    if (!search_.FindText.empty())
        return matcher_.Matches(record, match);
    // Every record holds the empty text, at its start.
    if (record.empty())
        return false;
    return !search_.MatchWholeWordOnly || record.size() <= 1
           || wordStartIsBoundary_[static_cast<unsigned char>(record.front())];
}

bool FilterMatcher::SomeSegmentLacksField(std::string_view record) const
{
    // A field past the last one of its segment reads as empty, like an empty field.
    size_t at = record.starts_with(std::string_view(marker_).substr(1)) ? 0 : npos;
    if (at != 0) {
        at = FindBytes(record, marker_, true);
        if (at == npos)
            return false;
        ++at;
    }
    while (at != npos) {
        const size_t terminator = record.find(endOfBlock_, at);
        const std::string_view segment =
            record.substr(at, terminator == npos ? npos : terminator - at);
        int32_t start = 0;
        int32_t length = 0;
        WhatIsInField(segment, search_.FindFieldName, start, length, delimiters_, endOfBlock_);
        if (start <= 0)
            return true;
        if (terminator == npos)
            break;
        const size_t next = FindBytes(record.substr(terminator), marker_, true);
        at = next == npos ? npos : terminator + next + 1;
    }
    return false;
}

FilterDecision FilterRecords(const RecordStore& store, const FilterCriteria& criteria,
                             const Delimiters& delimiters, char endOfBlock,
                             const std::function<bool(int32_t)>& progress)
{
    FilterDecision decision;
    decision.recordCount = store.RecordCount;
    decision.remove.assign(static_cast<size_t>(decision.recordCount) + 1, 0);
    const FilterMatcher matcher(criteria, delimiters, endOfBlock);
    const bool keep = criteria.request.FilterKeepMatches;

    // The first look reports at once, later ones at most every 50 ms.
    ProgressPacer pacer;
    // The records are fetched afresh each time: a progress call lets window events run, and
    // records that arrive meanwhile may move the array.
    for (int32_t i = decision.recordCount; i >= 1; --i) {
        const std::string_view record = store.Record(i);
        if (matcher.Matches(record) != keep) {
            decision.remove[static_cast<size_t>(i)] = 1;
            ++decision.removed;
        }
        ++decision.examined;
        if (!progress || !pacer.Due(record.size()))
            continue;
        if (!progress(decision.examined)) {
            decision.cancelled = i > 1;
            break;
        }
    }
    return decision;
}

bool RemoveDecided(RecordStore& store, const FilterDecision& decision)
{
    if (store.RecordCount < decision.recordCount)
        return false;
    auto& records = store.Records;
    int32_t kept = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        RecordText& record = records[static_cast<size_t>(i)];
        if (i <= decision.recordCount && decision.remove[static_cast<size_t>(i)] != 0) {
            record.clear();
            continue;
        }
        ++kept;
        if (kept != i)
            records[static_cast<size_t>(kept)] = std::move(record);
    }
    for (int32_t i = kept + 1; i <= store.RecordCount; ++i)
        records[static_cast<size_t>(i)].clear();
    store.RecordCount = kept;
    return true;
}

}  // namespace quillon
