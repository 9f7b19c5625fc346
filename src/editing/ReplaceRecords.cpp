#include "editing/ReplaceRecords.h"

#include <chrono>
#include <utility>
#include <vector>

#include "editing/FindRecords.h"
#include "records/FieldDesignations.h"

namespace quillon {

namespace {

constexpr size_t npos = std::string_view::npos;

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

// What a request replaces, in the bytes of each record's own encoding: its find text and its
// replacement, each decided per record only when it is not plain ASCII.
class Replacement {
public:
    explicit Replacement(const SearchRequest& request)
        : finder_(request.FindText, request.MatchCase),
          with_(request.ReplaceText),
          anything_(request.FindText == AnythingFindText)
    {
    }
    enum class Found {
        None,         // the record does not hold the find text
        Write,        // `with` is the replacement in the record's encoding
        BeyondLatin1  // a Latin-1 record, a replacement Latin-1 lacks: `with` is its UTF-8
    };
    Found For(std::string_view record, char endOfBlock, const Needle*& find,
              const std::string*& with) const
    {
        TextEncoding encoding = TextEncoding::Latin1;
        find = finder_.For(record, endOfBlock, &encoding);
        if (find == nullptr)
            return Found::None;
        // A plain ASCII find text needs the encoding only for a replacement in a record that
        // holds it ("[*ANYTHING*]" stands for every value, and is never looked for).
        if (finder_.Ascii() && !with_.Ascii()) {
            if (!anything_ && find->Find(record) == std::string_view::npos)
                return Found::None;
            encoding = RecordEncoding(record, endOfBlock);
        }
        if (encoding == TextEncoding::Latin1 && !with_.FitsLatin1()) {
            with = &with_.Written(TextEncoding::Utf8);
            return Found::BeyondLatin1;
        }
        with = &with_.Written(encoding);
        return Found::Write;
    }
    // The first character of the replacement that Latin-1 lacks, UTF-8.
    std::string FirstBeyondLatin1() const
    {
        const std::string& utf8 = with_.Written(TextEncoding::Utf8);
        return quillon::FirstBeyondLatin1(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())))
            .toStdString();
    }

private:
    TextFinder finder_;
    TypedText with_;
    bool anything_;
};

// A stored record is never changed in place: it takes a new text.
void TakeRebuilt(RecordText& record, std::string& rebuilt)
{
    record = RecordArena::OfThisThread().Copy(rebuilt);
    if (rebuilt.capacity() > (size_t{1} << 20))
        std::string().swap(rebuilt);
}

template <class Text>
int32_t ReplaceWholeRecord(Text& record, const SearchRequest& request,
                           const Delimiters& delimiters, const Needle& find,
                           std::string_view replacement)
{
    const std::string_view r = record;
    bool boundary[256] = {};
    boundary[static_cast<unsigned char>(' ')] = true;
    for (const char c : delimiters.AllDelimiters)
        boundary[static_cast<unsigned char>(c)] = true;

    std::string& out = RebuildBuffer();  // the record as it now stands, up to `copied`
    size_t copied = 0;
    int32_t count = 0;
    for (size_t p = find.Find(r, 0); p != npos; p = find.Find(r, copied)) {
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
int32_t ReplaceInField(Text& record, const SearchRequest& request,
                       const Delimiters& delimiters, char endOfBlock, const Needle& find,
                       std::string_view replacement)
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
            p = find.Find(value);
            if (p == npos)
                continue;
            span = find.size();
        }
        edits.push_back({start + static_cast<size_t>(f) - 2 + p, span});
    }
    if (edits.empty())
        return 0;
    // Segments never overlap, so the record is built once from the edits in record order.
    std::string& out = RebuildBuffer();
    out.reserve(r.size() + edits.size() * replacement.size());
    size_t copied = 0;
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        out.append(r.substr(copied, e->at - copied));
        out.append(replacement);
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

// The record as `trial` now stands, when it took a replacement beyond Latin-1: only a plain
// ASCII record that then reads as UTF-8 whole takes it; any other keeps its bytes.
bool TakesBeyondLatin1(std::string_view record, const std::string& trial, char endOfBlock)
{
    return IsAscii(record) && RecordEncoding(trial, endOfBlock) == TextEncoding::Utf8;
}

void CountNotHeld(NotHeld* notHeld, const Replacement& replacement)
{
    if (notHeld == nullptr)
        return;
    if (notHeld->records++ == 0)
        notHeld->character = replacement.FirstBeyondLatin1();
}

void Assign(std::string& record, const std::string& bytes) { record = bytes; }
void Assign(RecordText& record, const std::string& bytes)
{
    record = RecordArena::OfThisThread().Copy(bytes);
}

template <class Text>
int32_t ReplaceFound(Text& record, const SearchRequest& request, const Delimiters& delimiters,
                     char endOfBlock, const Needle& find, std::string_view with)
{
    if (request.ReplaceFieldName.empty())
        return ReplaceWholeRecord(record, request, delimiters, find, with);
    return ReplaceInField(record, request, delimiters, endOfBlock, find, with);
}

template <class Text>
int32_t Replace(Text& record, const SearchRequest& request, const Replacement& replacement,
                const Delimiters& delimiters, char endOfBlock, NotHeld* notHeld)
{
    // An empty find text would match everywhere without moving on.
    if (request.FindText.empty())
        return 0;
    const Needle* find = nullptr;
    const std::string* with = nullptr;
    switch (replacement.For(record, endOfBlock, find, with)) {
    case Replacement::Found::None:
        return 0;
    case Replacement::Found::Write:
        return ReplaceFound(record, request, delimiters, endOfBlock, *find, *with);
    case Replacement::Found::BeyondLatin1:
        break;
    }
    std::string trial(static_cast<std::string_view>(record));
    const int32_t count = ReplaceFound(trial, request, delimiters, endOfBlock, *find, *with);
    if (count == 0)
        return 0;
    if (TakesBeyondLatin1(record, trial, endOfBlock)) {
        Assign(record, trial);
        return count;
    }
    CountNotHeld(notHeld, replacement);
    return 0;
}

}  // namespace

int32_t ReplaceInRecord(std::string& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock, NotHeld* notHeld)
{
    return Replace(record, request, Replacement(request), delimiters, endOfBlock, notHeld);
}

int32_t ReplaceInRecord(RecordText& record, const SearchRequest& request,
                        const Delimiters& delimiters, char endOfBlock, NotHeld* notHeld)
{
    return Replace(record, request, Replacement(request), delimiters, endOfBlock, notHeld);
}

int32_t RecordListReplaceAll(RecordStore& store, const SearchRequest& request,
                             const Delimiters& delimiters, char endOfBlock, int32_t first,
                             int32_t last, const std::function<bool(int32_t)>& include,
                             const std::function<void()>& keepAlive, NotHeld* notHeld)
{
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::milliseconds(50);
    first = std::max(first, 1);
    last = std::min(last, store.RecordCount);
    // Most records may take a new text.
    const RecordArena::Expecting newTexts(store.BytesAbout(first, last));
    int32_t count = 0;
    const Replacement replacement(request);
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
        count += Replace(store.Records[static_cast<size_t>(i)], request, replacement, delimiters,
                         endOfBlock, notHeld);
    }
    return count;
}

bool RecordListReplaceChangesNothing(const RecordStore& store, const SearchRequest& request,
                                     const Delimiters& delimiters, char endOfBlock, int32_t first,
                                     int32_t last, const std::function<bool(int32_t)>& include,
                                     NotHeld& notHeld)
{
    if (request.FindText.empty())
        return true;
    const Replacement replacement(request);
    first = std::max(first, 1);
    last = std::min(last, store.RecordCount);
    for (int32_t i = first; i <= last; ++i) {
        if (include && !include(i))
            continue;
        const std::string_view record = store.Records[static_cast<size_t>(i)];
        const Needle* find = nullptr;
        const std::string* with = nullptr;
        if (replacement.For(record, endOfBlock, find, with) == Replacement::Found::None)
            continue;
        std::string trial(record);
        if (Replace(trial, request, replacement, delimiters, endOfBlock, &notHeld) > 0)
            return false;
    }
    return true;
}

std::optional<int32_t> SegmentReplaceAll(std::string& record, std::string_view segmentLine,
                                         const SearchRequest& request, char endOfBlock,
                                         NotHeld* notHeld)
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

    const Replacement replacement(request);
    const Needle* find = nullptr;
    const std::string* with = nullptr;
    const Replacement::Found found = replacement.For(record, endOfBlock, find, with);
    if (found == Replacement::Found::None)
        return 0;
    const std::string_view r = record;
    const std::string_view segment = r.substr(s0, segmentLine.size());
    std::string out;
    size_t copied = 0;
    int32_t count = 0;
    size_t from = 0;
    for (size_t p = find->Find(segment, from); p != npos; p = find->Find(segment, from)) {
        // The segment name and the separator behind it are never replaced.
        if (p <= 3) {
            from = p + 1;
            continue;
        }
        if (request.MatchWholeWordOnly) {
            const char before = count > 0 && p == copied ? out.back() : segment[p - 1];
            const size_t afterAt = s0 + p + find->size();
            const bool afterOk = afterAt >= r.size() || SegmentBoundary(r[afterAt]);
            if (!SegmentBoundary(before) || !afterOk) {
                from = p + 1;
                continue;
            }
        }
        out.append(segment.substr(copied, p - copied));
        out.append(*with);
        copied = p + find->size();
        from = copied;
        ++count;
    }
    if (count == 0)
        return 0;
    out.append(segment.substr(copied));
    if (found == Replacement::Found::BeyondLatin1) {
        std::string trial = record;
        trial.replace(s0, segmentLine.size(), out);
        if (!TakesBeyondLatin1(record, trial, endOfBlock)) {
            CountNotHeld(notHeld, replacement);
            return 0;
        }
    }
    record.replace(s0, segmentLine.size(), out);
    return count;
}

}  // namespace quillon
