#include "editing/FindRecords.h"

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <cstring>

#include "app/Utility.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"
#include "records/LetterCase.h"
#include "records/Pages.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {
namespace {

constexpr size_t npos = std::string_view::npos;

bool EqualFolded(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Case-folded search without a folded copy: 16 candidate starts at a time are sieved on the
// needle's first and last bytes (a letter compared with its 0x20 bit set, the one bit in which
// its two cases differ), then `same(at)` checks the candidate whole.
template <typename Same>
size_t SieveFind(std::string_view hay, size_t m, unsigned char first, bool foldFirst,
                 unsigned char last, bool foldLast, Same&& same)
{
    if (m == 0)
        return 0;
    if (hay.size() < m)
        return npos;
    const char* h = hay.data();
    const size_t lastStart = hay.size() - m;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i wantFirst = _mm_set1_epi8(static_cast<char>(foldFirst ? first | 0x20 : first));
    const __m128i wantLast = _mm_set1_epi8(static_cast<char>(foldLast ? last | 0x20 : last));
    const __m128i orFirst = _mm_set1_epi8(foldFirst ? 0x20 : 0);
    const __m128i orLast = _mm_set1_epi8(foldLast ? 0x20 : 0);
    for (; i + 16 <= lastStart + 1; i += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i)), orFirst);
        const __m128i b =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1)), orLast);
        auto bits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, wantFirst), _mm_cmpeq_epi8(b, wantLast))));
        while (bits != 0) {
            const size_t at = i + static_cast<size_t>(__builtin_ctz(bits));
            if (same(at))
                return at;
            bits &= bits - 1;
        }
    }
#else
    (void)first, (void)foldFirst, (void)last, (void)foldLast;
#endif
    for (; i <= lastStart; ++i)
        if (same(i))
            return i;
    return npos;
}

size_t FindFolded(std::string_view hay, std::string_view needle)
{
    const size_t m = needle.size();
    if (m == 0)
        return 0;
    const auto first = static_cast<unsigned char>(needle[0]);
    const auto last = static_cast<unsigned char>(needle[m - 1]);
    return SieveFind(hay, m, first, HasOtherCase(first), last, HasOtherCase(last),
                     [&](size_t at) { return EqualFolded(hay.data() + at, needle.data(), m); });
}

size_t FindExact(std::string_view hay, std::string_view needle)
{
    if (needle.empty())
        return 0;
    if (hay.size() < needle.size())
        return npos;  // also keeps an empty view's null pointer away from memmem
    const void* at = memmem(hay.data(), hay.size(), needle.data(), needle.size());
    return at == nullptr ? npos : static_cast<size_t>(static_cast<const char*>(at) - hay.data());
}

}  // namespace

std::string NoFurtherOccurrencesMessage(std::string_view findText)
{
    return "No further occurances of '" + BoundedQuote(findText) + "' were found.";
}

std::string NoMoreOccurrencesMessage(std::string_view findText)
{
    return "No more occurances of '" + BoundedQuote(findText) + "' were found.";
}

std::string NoMoreRecordOccurrencesMessage(std::string_view findText)
{
    return "No more occurances of '" + BoundedQuote(findText) + "' was found.";
}

std::string FoundRecordLabel(int32_t record, int32_t recordCount)
{
    // The number keeps a blank where a sign would stand.
    return "Rec  " + std::to_string(record) + '/' + std::to_string(recordCount);
}

size_t FindBytes(std::string_view haystack, std::string_view needle, bool matchCase)
{
    return matchCase ? FindExact(haystack, needle) : FindFolded(haystack, needle);
}

bool EqualBytes(std::string_view a, std::string_view b, bool matchCase)
{
    if (a.size() != b.size())
        return false;
    return matchCase ? a == b : EqualFolded(a.data(), b.data(), a.size());
}

TypedText::TypedText(std::string_view text) : ascii_(IsAscii(text))
{
    if (ascii_) {
        latin1_ = utf8_ = std::string(text);
        return;
    }
    if (QByteArrayView(text).isValidUtf8()) {
        utf8_ = std::string(text);
        const QString typed = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        fitsLatin1_ = quillon::FitsLatin1(typed);
        latin1_ = EncodeText(typed, TextEncoding::Latin1);
    } else {
        latin1_ = std::string(text);
        utf8_ = EncodeText(DecodeText(text, TextEncoding::Latin1), TextEncoding::Utf8);
    }
}

const std::string* TypedText::In(TextEncoding encoding) const
{
    if (encoding == TextEncoding::Utf8)
        return &utf8_;
    return fitsLatin1_ ? &latin1_ : nullptr;
}

const std::string& TypedText::Written(TextEncoding encoding) const
{
    return encoding == TextEncoding::Utf8 ? utf8_ : latin1_;
}

Needle::Needle(std::string bytes, TextEncoding encoding, bool matchCase)
    : bytes_(std::move(bytes)), other_(bytes_)
{
    if (matchCase)
        return;
    sieved_ = true;
    for (size_t j = 0; j < bytes_.size(); ++j) {
        const auto c = static_cast<unsigned char>(bytes_[j]);
        if (encoding == TextEncoding::Latin1 || c < 0x80)
            other_[j] = static_cast<char>(OtherCase(c));
        else if (j > 0 && static_cast<unsigned char>(bytes_[j - 1]) == 0xC3 && HasOtherCaseAfterC3(c))
            other_[j] = static_cast<char>(c ^ 0x20u);
    }
}

size_t Needle::Find(std::string_view haystack, size_t from) const
{
    if (from > haystack.size())
        return npos;
    const std::string_view hay = haystack.substr(from);
    size_t at = npos;
    if (!sieved_) {
        at = FindExact(hay, bytes_);
    } else {
        const size_t m = bytes_.size();
        const char* n = bytes_.data();
        const char* o = other_.data();
        at = SieveFind(hay, m, static_cast<unsigned char>(n[0]), n[0] != o[0],
                       static_cast<unsigned char>(n[m - 1]), n[m - 1] != o[m - 1], [&](size_t i) {
                           const char* h = hay.data() + i;
                           for (size_t k = 0; k < m; ++k)
                               if (h[k] != n[k] && h[k] != o[k])
                                   return false;
                           return true;
                       });
    }
    return at == npos ? npos : from + at;
}

bool Needle::Equals(std::string_view text) const
{
    if (text.size() != bytes_.size())
        return false;
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] != bytes_[k] && text[k] != other_[k])
            return false;
    return true;
}

TextFinder::TextFinder(std::string_view typed, bool matchCase)
{
    const TypedText text(typed);
    ascii_ = text.Ascii();
    inLatin1_ = text.In(TextEncoding::Latin1) != nullptr;
    if (inLatin1_)
        latin1_ = Needle(*text.In(TextEncoding::Latin1), TextEncoding::Latin1, matchCase);
    if (ascii_)
        return;
    const std::string& utf8 = *text.In(TextEncoding::Utf8);
    utf8_ = Needle(utf8, TextEncoding::Utf8, matchCase);
    std::string_view longest;
    for (size_t at = 0; at < utf8.size();) {
        size_t end = at;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80)
            ++end;
        if (end - at > longest.size())
            longest = std::string_view(utf8).substr(at, end - at);
        at = end + 1;
    }
    if (longest.size() >= 2)
        anchor_ = Needle(std::string(longest), TextEncoding::Latin1, matchCase);
}

const Needle* TextFinder::For(TextEncoding encoding) const
{
    // Plain ASCII is the same bytes, and folds the same, in either encoding.
    if (ascii_ || encoding == TextEncoding::Latin1)
        return inLatin1_ ? &latin1_ : nullptr;
    return &utf8_;
}

const Needle* TextFinder::For(std::string_view record, char endOfBlock,
                              TextEncoding* decided) const
{
    TextEncoding encoding = TextEncoding::Latin1;
    if (!ascii_) {
        // Most records cannot hold the text at all: they need no decision.
        if (anchor_.empty() ? IsAscii(record) : anchor_.Find(record) == npos)
            return nullptr;
        encoding = RecordEncoding(record, endOfBlock);
    }
    if (decided != nullptr)
        *decided = encoding;
    return For(encoding);
}

std::optional<RecordRange> RecordListFindRange(const SearchRequest& request, int32_t start,
                                               int32_t selectedRow, int32_t currentPage,
                                               int32_t recordCount)
{
    const bool fromTop = start == -1 && selectedRow == 0;
    // With no row selected the search begins at the page's first record, in either direction.
    const int32_t pageFirst = RecordAt(currentPage, 0);
    RecordRange range;
    if (request.SearchDown) {
        range.first = fromTop ? 1 : selectedRow < 0 ? pageFirst : RecordAt(currentPage, selectedRow) + 1;
        range.last = recordCount;
        range.step = 1;
    } else if (request.SearchUp) {
        range.first = fromTop ? 1 : selectedRow < 0 ? pageFirst : RecordAt(currentPage, selectedRow) - 1;
        if (range.first > recordCount)
            range.first = recordCount;
        range.last = 1;
        range.step = -1;
    } else {
        return std::nullopt;
    }
    return range;
}

RecordMatcher::RecordMatcher(const SearchRequest& request, const Delimiters& delimiters,
                             char endOfBlock)
    : request_(request)
    , finder_(request.FindText, request.MatchCase)
    , delimiters_(delimiters)
    , endOfBlock_(endOfBlock)
{
    boundary_[static_cast<unsigned char>(' ')] = true;
    for (char c : delimiters.AllDelimiters)
        boundary_[static_cast<unsigned char>(c)] = true;
    segmentId_ = request.FindFieldName.substr(0, 3);
    segmentMarker_ = std::string(1, endOfBlock) + segmentId_;
}

bool RecordMatcher::Matches(std::string_view record, RecordMatch& match) const
{
    // Each record is matched in its own encoding; one that cannot hold the text has no match.
    const Needle* text = finder_.For(record, endOfBlock_);
    if (text == nullptr)
        return false;
    return request_.FindFieldName.empty() ? MatchesWholeRecord(record, *text, match)
                                          : MatchesField(record, *text, match);
}

bool RecordMatcher::MatchesWholeRecord(std::string_view record, const Needle& text,
                                       RecordMatch& match) const
{
    if (text.empty())
        return false;
    const size_t at = text.Find(record);
    if (at == npos)
        return false;
    if (request_.MatchWholeWordOnly) {
        // Only the first occurrence is judged. The character after it counts as a blank when
        // it is the record's last one (the terminator of the last segment).
        const unsigned char before = at == 0 ? ' ' : static_cast<unsigned char>(record[at - 1]);
        const size_t end = at + text.size();
        const unsigned char after = record.size() > end + 1 ? static_cast<unsigned char>(record[end]) : ' ';
        if (!boundary_[before] || !boundary_[after])
            return false;
    }
    match.position = at;
    match.length = text.size();
    return true;
}

bool RecordMatcher::MatchesField(std::string_view record, const Needle& text,
                                 RecordMatch& match) const
{
    size_t begin = 0;
    if (!record.starts_with(segmentId_)) {
        begin = FindExact(record, segmentMarker_);
        if (begin == npos)
            return false;
        ++begin;
    }
    while (begin < record.size()) {
        size_t end = record.find(endOfBlock_, begin);
        if (end == npos)
            end = record.size();
        const std::string_view segment = record.substr(begin, end - begin);
        int32_t start = 0;
        int32_t length = 0;
        const std::string value = WhatIsInField(segment, request_.FindFieldName, start, length,
                                                delimiters_, endOfBlock_);
        if (start > 0) {
            size_t at = npos;
            if (request_.MatchWholeWordOnly)
                at = text.Equals(value) ? 0 : npos;
            else if (text.empty())
                at = value.empty() ? 0 : npos;
            else
                at = text.Find(value);
            if (at != npos) {
                match.position = begin + static_cast<size_t>(start - 1) + at;
                match.length = text.size();
                return true;
            }
        }
        if (end == record.size())
            return false;
        const size_t next = FindExact(record.substr(end), segmentMarker_);
        if (next == npos)
            return false;
        begin = end + next + 1;
    }
    return false;
}

RecordMatch FindRecord(const RecordStore& store, const SearchRequest& request,
                       const Delimiters& delimiters, char endOfBlock, const RecordRange& range,
                       const std::function<void()>& keepAlive)
{
    RecordMatch match;
    if (range.Empty())
        return match;
    const int32_t last = range.step > 0 ? std::min(range.last, store.RecordCount) : range.last;
    const RecordMatcher matcher(request, delimiters, endOfBlock);
    using Clock = std::chrono::steady_clock;
    auto lastCall = Clock::now();
    int32_t sinceCheck = 0;
    for (int32_t i = std::min(range.first, store.RecordCount);
         range.step > 0 ? i <= last : i >= last; i += range.step) {
        if (keepAlive && ++sinceCheck == 1024) {
            sinceCheck = 0;
            const auto now = Clock::now();
            if (now - lastCall >= std::chrono::milliseconds(50)) {
                keepAlive();
                lastCall = now;
            }
        }
        if (matcher.Matches(store.Record(i), match)) {
            match.found = true;
            match.record = i;
            return match;
        }
    }
    return match;
}

std::string_view FieldLineValue(std::string_view line, bool descriptionsShown)
{
    const size_t column = ValueColumn(descriptionsShown) - 1;
    return line.size() <= column ? std::string_view() : TrimBlanks(line.substr(column));
}

FieldLineMatcher::FieldLineMatcher(const SearchRequest& request, bool descriptionsShown,
                                   TextEncoding encoding)
    : request_(request)
    , descriptionsShown_(descriptionsShown)
    , finder_(request.FindText, request.MatchCase)
    , text_(finder_.For(encoding))
{
}

bool FieldLineMatcher::Found(std::string_view line) const
{
    if (line.empty() || text_ == nullptr || text_->empty())
        return false;
    if (!request_.FindFieldName.empty() && LineDesignation(line) != request_.FindFieldName)
        return false;
    const std::string_view value = FieldLineValue(line, descriptionsShown_);
    const size_t at = text_->Find(value);
    if (at == npos)
        return false;
    if (!request_.MatchWholeWordOnly)
        return true;
    const size_t end = at + text_->size();
    return (at == 0 || value[at - 1] == ' ') && (end == value.size() || value[end] == ' ');
}

bool FieldLineMatcher::Matches(std::string_view line) const
{
    if (text_ == nullptr || text_->empty())
        return false;
    const std::string_view value = FieldLineValue(line, descriptionsShown_);
    const std::string_view text = request_.FindText;
    if (request_.MatchWholeWordOnly)
        return text_->Equals(value);
    // The value is taken with one blank on each side, so a text with an edge blank can match
    // at the value's edge.
    if (text_->Find(value) != npos)
        return true;
    const bool leading = text.front() == ' ';
    const bool trailing = text.back() == ' ';
    if (!leading && !trailing)
        return false;
    std::string padded;
    padded.reserve(value.size() + 2);
    padded += ' ';
    padded += value;
    padded += ' ';
    return text_->Find(padded) != npos;
}

bool FoundFieldLineMatches(std::string_view line, const SearchRequest& request,
                           bool descriptionsShown)
{
    return FieldLineMatcher(request, descriptionsShown).Found(line);
}

bool FieldListLineMatches(std::string_view line, const SearchRequest& request,
                          bool descriptionsShown)
{
    return FieldLineMatcher(request, descriptionsShown).Matches(line);
}

int64_t FindFieldListLine(int64_t count, const std::function<std::string_view(int64_t)>& lineAt,
                          int64_t start, const SearchRequest& request, bool descriptionsShown,
                          TextEncoding encoding)
{
    const FieldLineMatcher matcher(request, descriptionsShown, encoding);
    int64_t step = 0;
    if (request.SearchDown)
        step = 1;
    else if (request.SearchUp)
        step = -1;
    else
        return -1;
    for (int64_t j = start + step; j >= 0 && j < count; j += step)
        if (matcher.Matches(lineAt(j)))
            return j;
    return -1;
}

}  // namespace quillon
