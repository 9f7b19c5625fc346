#include "editing/ReplaceRecords.h"

#include <chrono>
#include <utility>
#include <vector>

#include "editing/FindRecords.h"
#include "records/FieldDesignations.h"

namespace quillon {

namespace {

constexpr size_t npos = std::string_view::npos;

size_t FindFrom(std::string_view haystack, size_t from, std::string_view needle, bool matchCase)
{
    if (from > haystack.size())
        return npos;
    const size_t at = FindBytes(haystack.substr(from), needle, matchCase);
    return at == npos ? npos : from + at;
}

// Every occurrence in the record text, as long as each stands as a whole word (a blank or a
// delimiter on both sides; the record's first and last character count as next to a blank).
// The buffer a record is rebuilt in, kept between records.
std::string& RebuildBuffer()
{
    thread_local std::string buffer;
    buffer.clear();
    return buffer;
}

// Puts the rebuilt text into the record: into the record's own buffer when it fits there, so that
// a replace over a million records does not allocate and free a million buffers.
void TakeRebuilt(std::string& record, std::string& rebuilt)
{
    if (rebuilt.size() <= record.capacity())
        record.assign(rebuilt);
    else
        record.swap(rebuilt);  // the record's old buffer serves the next one
    if (rebuilt.capacity() > (size_t{1} << 20))
        std::string().swap(rebuilt);  // a huge record's buffer is not kept
}

// A stored record is never changed in place: it takes a new text.
void TakeRebuilt(RecordText& record, std::string& rebuilt)
{
    record = RecordArena::OfThisThread().Copy(rebuilt);
    if (rebuilt.capacity() > (size_t{1} << 20))
        std::string().swap(rebuilt);
}

template <class Text>
int32_t ReplaceWholeRecord(Text& record, const SearchRequest& request, const Delimiters& delimiters)
{
    const std::string_view r = record;
    const std::string_view find = request.FindText;
    const std::string_view replacement = request.ReplaceText;
    bool boundary[256] = {};
    boundary[static_cast<unsigned char>(' ')] = true;
    for (const char c : delimiters.AllDelimiters)
        boundary[static_cast<unsigned char>(c)] = true;

    std::string& out = RebuildBuffer();  // the record as it now stands, up to `copied`
    size_t copied = 0;
    int32_t count = 0;
    for (size_t p = FindFrom(r, 0, find, request.MatchCase); p != npos;
         p = FindFrom(r, copied, find, request.MatchCase)) {
        if (request.MatchWholeWordOnly) {
            // The character before is read in the text already changed: right after a
            // replacement it is the replacement's last.
            char before = ' ';
            if (count > 0 && p == copied) {
                if (!out.empty())
                    before = out.back();
            } else if (p > 0) {
                before = r[p - 1];
            }
            // The record's last character counts as a blank.
            const char after = r.size() > p + find.size() + 1 ? r[p + find.size()] : ' ';
            if (!boundary[static_cast<unsigned char>(before)]
                || !boundary[static_cast<unsigned char>(after)])
                break;
        }
        if (count == 0)
            out.reserve(r.size() + replacement.size());
        out.append(r.substr(copied, p - copied));
        out.append(replacement);
        copied = p + find.size();
        ++count;
    }
    if (count > 0) {
        out.append(r.substr(copied));
        TakeRebuilt(record, out);
    }
    return count;
}

// The first occurrence of the find text in the chosen field of each segment of its type, or the
// whole value for "[*ANYTHING*]". A segment without the field is left alone.
template <class Text>
int32_t ReplaceInField(Text& record, const SearchRequest& request, const Delimiters& delimiters,
                       char endOfBlock)
{
    const std::string_view r = record;
    const std::string_view type = std::string_view(request.ReplaceFieldName).substr(0, 3);
    const bool anything = request.FindText == AnythingFindText;

    // Segment starts of that type, in record order.
    std::vector<size_t> starts;
    if (r.starts_with(type))
        starts.push_back(0);
    std::string marker(1, endOfBlock);
    marker += type;
    for (size_t at = r.find(marker); at != npos; at = r.find(marker, at + 1))
        starts.push_back(at + 1);

    struct Edit {
        size_t at, length;
    };
    std::vector<Edit> edits;  // from the last segment to the first
    std::string framed;
    for (auto s = starts.rbegin(); s != starts.rend(); ++s) {
        const size_t start = *s;
        size_t end = r.find(endOfBlock, start);
        if (end == npos)
            end = r.size();
        // The locator reads the segment behind its terminator; all but the first segment have
        // it in place.
        std::string_view segment;
        if (start > 0) {
            segment = r.substr(start - 1, end - start + 1);
        } else {
            framed.assign(1, endOfBlock);
            framed.append(r.substr(0, end));
            segment = framed;
        }
        int32_t f = 0;
        int32_t length = 0;
        const std::string value = WhatIsInField(segment, request.ReplaceFieldName, f, length,
                                                delimiters, endOfBlock);
        if (f < 1)
            continue;
        size_t p = 0;
        size_t span = value.size();
        if (!anything) {
            p = FindBytes(value, request.FindText, request.MatchCase);
            if (p == npos)
                continue;
            span = request.FindText.size();
        }
        edits.push_back({start + static_cast<size_t>(f) - 2 + p, span});
    }
    if (edits.empty())
        return 0;
    // Segments never overlap, so the record is built once from the edits in record order.
    std::string& out = RebuildBuffer();
    out.reserve(r.size() + edits.size() * request.ReplaceText.size());
    size_t copied = 0;
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        out.append(r.substr(copied, e->at - copied));
        out.append(request.ReplaceText);
        copied = e->at + e->length;
    }
    out.append(r.substr(copied));
    TakeRebuilt(record, out);
    return static_cast<int32_t>(edits.size());
}

// The segment list's word boundary: anything outside "0".."z", and "^".
bool SegmentBoundary(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < '0' || u > 'z' || u == '^';
}

}  // namespace

std::string ReplacementCountMessage(int32_t count)
{
    if (count == 1)
        return "1 replacement was made.";
    return " " + std::to_string(count) + " replacements were made.";
}

std::string ReplaceUndoText(std::string_view findText, std::string_view replaceText)
{
    return "Replace '" + std::string(findText) + "' with '" + std::string(replaceText) + "'";
}

std::string ReplaceAllUndoText(std::string_view findText)
{
    return "Replace All '" + std::string(findText) + "'";
}

std::string AssignValueUndoText(std::string_view value)
{
    return "Assign Value to Field: '" + std::string(value) + "'";
}

std::string ReplaceFieldNameFrom(std::string_view fieldText)
{
    std::string name(fieldText);
    for (int k = 0; k < 2; ++k) {
        const size_t at = name.find("- ");
        if (at == npos)
            break;
        name.erase(at + 1, 1);
    }
    const size_t blank = name.find(' ');
    if (blank != npos && blank > 0)
        name.resize(blank);
    return name;
}

namespace {

template <class Text>
int32_t ReplaceIn(Text& record, const SearchRequest& request, const Delimiters& delimiters,
                  char endOfBlock)
{
    // An empty find text would match everywhere without moving on.
    if (request.FindText.empty())
        return 0;
    if (request.ReplaceFieldName.empty())
        return ReplaceWholeRecord(record, request, delimiters);
    return ReplaceInField(record, request, delimiters, endOfBlock);
}

}  // namespace

int32_t ReplaceInRecord(std::string& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock)
{
    return ReplaceIn(record, request, delimiters, endOfBlock);
}

int32_t ReplaceInRecord(RecordText& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock)
{
    return ReplaceIn(record, request, delimiters, endOfBlock);
}

int32_t RecordListReplaceAll(RecordStore& store, const SearchRequest& request,
                             const Delimiters& delimiters, char endOfBlock, int32_t first,
                             int32_t last, const std::function<bool(int32_t)>& include,
                             const std::function<void()>& keepAlive)
{
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::milliseconds(50);
    first = std::max(first, 1);
    last = std::min(last, store.RecordCount);
    // Most records may take a new text.
    size_t bytes = 0;
    for (int32_t i = first; i <= last; ++i)
        bytes += store.Records[static_cast<size_t>(i)].size();
    const RecordArena::Expecting newTexts(bytes);
    int32_t count = 0;
    for (int32_t i = first; i <= last; ++i) {
        if (include && !include(i))
            continue;
        if (keepAlive && Clock::now() >= next) {
            keepAlive();
            next = Clock::now() + std::chrono::milliseconds(50);
            last = std::min(last, store.RecordCount);
            if (i > last)
                break;
        }
        // After a sort the records lie apart in memory: the one a few ahead is asked for now.
        if (i + 8 <= last)
            __builtin_prefetch(store.Records[static_cast<size_t>(i + 8)].data());
        count += ReplaceInRecord(store.Records[static_cast<size_t>(i)], request, delimiters,
                                 endOfBlock);
    }
    return count;
}

std::optional<int32_t> SegmentReplaceAll(std::string& record, std::string_view segmentLine,
                                         const SearchRequest& request, char endOfBlock)
{
    if (segmentLine.empty())
        return std::nullopt;
    // The segment is found whole, between two terminators: a plain search for its text could
    // land inside an earlier segment that holds the same text.
    std::string framed;
    framed.reserve(record.size() + 2);
    framed += endOfBlock;
    framed += record;
    if (framed.back() != endOfBlock)
        framed += endOfBlock;
    std::string needle;
    needle.reserve(segmentLine.size() + 2);
    needle += endOfBlock;
    needle += segmentLine;
    needle += endOfBlock;
    const size_t at = framed.find(needle);
    if (at == npos)
        return std::nullopt;
    const size_t s0 = at;  // the segment's first character in the record
    if (request.FindText.empty())
        return 0;

    const std::string_view r = record;
    const std::string_view segment = r.substr(s0, segmentLine.size());
    const std::string_view find = request.FindText;
    std::string out;
    size_t copied = 0;
    int32_t count = 0;
    size_t from = 0;
    for (size_t p = FindFrom(segment, from, find, request.MatchCase); p != npos;
         p = FindFrom(segment, from, find, request.MatchCase)) {
        // The segment name and the separator behind it are never replaced.
        if (p <= 3) {
            from = p + 1;
            continue;
        }
        if (request.MatchWholeWordOnly) {
            const char before = count > 0 && p == copied ? out.back() : segment[p - 1];
            const size_t afterAt = s0 + p + find.size();
            const bool afterOk = afterAt >= r.size() || SegmentBoundary(r[afterAt]);
            if (!SegmentBoundary(before) || !afterOk) {
                from = p + 1;
                continue;
            }
        }
        out.append(segment.substr(copied, p - copied));
        out.append(request.ReplaceText);
        copied = p + find.size();
        from = copied;
        ++count;
    }
    if (count > 0) {
        out.append(segment.substr(copied));
        record.replace(s0, segmentLine.size(), out);
    }
    return count;
}

}  // namespace quillon
