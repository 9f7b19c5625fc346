#include "analysis/UniqueValues.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/Background.h"
#include "records/LetterCase.h"
#include "records/TextEncoding.h"
#include "reports/ReportBuilder.h"

namespace quillon {

namespace {

bool Holds(std::string_view text, const std::string& delimiter)
{
    return !delimiter.empty() && text.find(delimiter.front()) != std::string_view::npos;
}

// Calls fn(piece) for every piece of `text` split at `delimiter` (the whole text when the
// delimiter is empty); stops when fn answers false.
template <class Fn>
bool ForEachPiece(std::string_view text, const std::string& delimiter, Fn&& fn)
{
    if (delimiter.empty())
        return fn(text);
    const char d = delimiter.front();
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(d, from);
        if (at == std::string_view::npos)
            return fn(text.substr(from));
        if (!fn(text.substr(from, at - from)))
            return false;
        from = at + 1;
    }
}

// The rows of one segment as (field, component (0: none), value), in table order. With
// `onlyField` above 0 only that field's rows are made and the walk stops after it.
template <class Fn>
void WalkSegmentRows(std::string_view segment, const FieldValueRules& rules, int64_t onlyField,
                     Fn&& row)
{
    const Delimiters& d = rules.delimiters;
    const bool empties = rules.displayEmptyFields;
    const std::string_view seg3 = segment.substr(0, 3);
    int64_t k = -1;
    bool isMsh = false;
    ForEachPiece(segment, d.FieldSeparator, [&](std::string_view element) {
        ++k;
        if (k == 0) {
            isMsh = element == "MSH";
            if (isMsh && (onlyField <= 0 || onlyField == 1))
                row(int64_t{1}, int64_t{0}, std::string_view(d.FieldSeparator));
            return !(isMsh && onlyField == 1);
        }
        const int64_t field = isMsh ? k + 1 : k;
        if (onlyField > 0 && field != onlyField)
            return field < onlyField;
        if (seg3 == "MSH" && field == 2) {
            if (!element.empty() || empties)
                row(field, int64_t{0}, element);
        } else if (!Holds(element, d.RepetitionSeparator)) {
            if (!Holds(element, d.ComponentSeparator)) {
                row(field, int64_t{0}, element);
            } else {
                int64_t j = 0;
                ForEachPiece(element, d.ComponentSeparator, [&](std::string_view component) {
                    ++j;
                    if (!component.empty() || empties)
                        row(field, j, component);
                    return true;
                });
            }
        } else {
            ForEachPiece(element, d.RepetitionSeparator, [&](std::string_view repetition) {
                if (Holds(repetition, d.ComponentSeparator)) {
                    int64_t j = 0;
                    ForEachPiece(repetition, d.ComponentSeparator,
                                 [&](std::string_view component) {
                                     ++j;
                                     if (!component.empty() || empties)
                                         row(field, j, component);
                                     return true;
                                 });
                } else if (!repetition.empty() || empties) {
                    row(field, int64_t{0}, repetition);
                }
                return true;
            });
        }
        return onlyField <= 0 || field < onlyField;
    });
}

// "SEG-f" or "SEG-f-c" into `buffer`.
std::string_view Designation(std::array<char, 64>& buffer, std::string_view seg3, int64_t field,
                             int64_t component)
{
    char* p = std::copy(seg3.begin(), seg3.end(), buffer.data());
    char* const end = buffer.data() + buffer.size();
    *p++ = '-';
    p = std::to_chars(p, end, field).ptr;
    if (component > 0) {
        *p++ = '-';
        p = std::to_chars(p, end, component).ptr;
    }
    return {buffer.data(), static_cast<size_t>(p - buffer.data())};
}

// The field number of a designation written SEG-f or SEG-f-..., whose rows can only come from
// field f of a segment named SEG; 0 when it is written otherwise.
int64_t PlainFieldNumber(std::string_view designation, std::string_view seg3)
{
    if (designation.size() < 5 || designation[3] != '-' || designation.substr(0, 3) != seg3
        || seg3.find('-') != std::string_view::npos || designation[4] < '1' || designation[4] > '9')
        return 0;
    int64_t field = 0;
    const char* first = designation.data() + 4;
    const char* last = designation.data() + designation.size();
    const auto [p, ec] = std::from_chars(first, last, field);
    if (ec != std::errc() || (p != last && *p != '-'))
        return 0;
    return field;
}

uint32_t Load4(const char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t Load8(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// A hash that agrees with the folding: a capital and its small letter differ only in bit 0x20,
// so every byte is hashed with that bit set, eight bytes at a time and without a folded copy.
// `high` tells whether a byte is above 127, read on the way.
uint64_t FoldedHash(std::string_view s, bool& high)
{
    constexpr uint64_t caseBit = 0x2020202020202020ull;
    constexpr uint64_t highBits = 0x8080808080808080ull;
    constexpr uint64_t k = 0x9E3779B97F4A7C15ull;
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = (n + 1) * k;
    uint64_t seen = 0;
    for (; n >= 8; p += 8, n -= 8) {
        const uint64_t word = Load8(p);
        seen |= word;
        h = (h ^ (word | caseBit)) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
    }
    if (n > 0) {
        // The last n bytes as a number, zero above them, read without a copy through memory
        // (which stalls the load that follows): as the top of the eight bytes ending the text
        // when it has eight, else in pieces that overlap.
        uint64_t tail;
        if (s.size() >= 8) {
            tail = Load8(p + n - 8) >> (8 * (8 - n));
        } else if (n >= 4) {
            tail = uint64_t{Load4(p)} | uint64_t{Load4(p + n - 4)} << (8 * (n - 4));
        } else {
            auto byte = [p](size_t i) {
                return uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
            };
            tail = byte(0) | byte(n / 2) | byte(n - 1);
        }
        seen |= tail;
        h = (h ^ (tail | caseBit)) * 0xBF58476D1CE4E5B9ull;
    }
    high = (seen & highBits) != 0;
    h ^= h >> 32;
    h *= 0x94D049BB133111EBull;
    return h ^ (h >> 29);
}

bool FoldedEqual(std::string_view a, std::string_view b, bool utf8)
{
    if (a.size() != b.size())
        return false;
    if (std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y)
            continue;
        if (!utf8 || x < 0x80) {
            if (FoldCase(x) != FoldCase(y))
                return false;
            continue;
        }
        // In UTF-8 a Latin-1 letter is C3 and a byte whose case is its bit 0x20.
        if ((x ^ y) != 0x20 || i == 0 || static_cast<unsigned char>(a[i - 1]) != 0xC3
            || !HasOtherCaseAfterC3(x))
            return false;
    }
    return true;
}

// A hash for a value written in UTF-8 (one with a character beyond Latin-1): never that of the
// same bytes read as Latin-1, which are another text.
constexpr uint64_t Utf8HashMark = 0x5555555555555555ull;

// The values one walker found for one partition, waiting to be counted: each value's folded hash
// and where its text lies among `text`. The texts are copied rather than pointed at: they are
// read again only when the partition is counted, by then long gone from the cache in the records.
struct alignas(64) Batch {  // a cache line of its own: batches are emptied on several threads
    // A value written in UTF-8 (see UniqueValue::utf8) has the top bit of its size set.
    static constexpr size_t Utf8Flag = ~(~size_t{0} >> 1);
    struct Found {
        uint64_t hash;
        size_t at, size;
    };
    std::vector<Found> found;
    std::string text;

    void Add(uint64_t hash, std::string_view value, bool utf8)
    {
        found.push_back({hash, text.size(), value.size() | (utf8 ? Utf8Flag : 0)});
        text.append(value);
    }
};

// Copies of texts in large blocks, where a copy never moves. Each thread fills its own, on a
// cache line of its own.
class alignas(64) TextBlocks {
public:
    const char* Copy(std::string_view value)
    {
        if (value.size() > BlockSize / 4) {
            // A long text gets a block of its own; the current block goes on being filled.
            blocks.push_back(std::make_unique_for_overwrite<char[]>(value.size()));
            std::memcpy(blocks.back().get(), value.data(), value.size());
            return blocks.back().get();
        }
        if (current_ == nullptr || BlockSize - used_ < value.size()) {
            blocks.push_back(std::make_unique_for_overwrite<char[]>(BlockSize));
            current_ = blocks.back().get();
            used_ = 0;
        }
        char* at = current_ + used_;
        if (!value.empty())
            std::memcpy(at, value.data(), value.size());
        used_ += value.size();
        return at;
    }

    std::vector<std::unique_ptr<char[]>> blocks;

private:
    static constexpr size_t BlockSize = size_t{1} << 20;
    char* current_ = nullptr;  // the block being filled
    size_t used_ = 0;
};

// The distinct values of one partition (values whose hashes begin alike), found by their
// case-folded text in an open-addressed table. A partition holds a small share of the values,
// so its table stays in a core's cache where one table for all would be probed in memory.
class alignas(64) PartCounter {  // partitions next to each other are counted on other threads
public:
    // `expected`: about how many distinct values may come, so the table seldom has to grow.
    explicit PartCounter(size_t expected = 0)
    {
        size_t room = 256;
        while (room < expected * 2 && room < (size_t{1} << 26))
            room *= 2;
        slots_.assign(room, 0);
        // Only the pages written to are ever touched.
        entries.reserve(std::min(expected, room / 2));
        hashes_.reserve(std::min(expected, room / 2));
    }

    // Counts every value of `batch`, in its order.
    void CountAll(const Batch& batch, TextBlocks& texts)
    {
        // Each value's slot is fetched a few values ahead: a partition's table may still be
        // larger than the cache.
        constexpr size_t Ahead = 16;
        const size_t n = batch.found.size();
        for (size_t i = 0; i < n; ++i) {
            if (i + Ahead < n)
                __builtin_prefetch(&slots_[batch.found[i + Ahead].hash & (slots_.size() - 1)]);
            const Batch::Found& f = batch.found[i];
            Count(f.hash, {batch.text.data() + f.at, f.size & ~Batch::Utf8Flag},
                  (f.size & Batch::Utf8Flag) != 0, texts);
        }
    }

    void Count(uint64_t hash, std::string_view value, bool utf8, TextBlocks& texts)
    {
        ++total;
        // The hash's top bits chose the partition; the tag is taken below them.
        const auto tag = static_cast<uint32_t>(hash >> 24);
        const size_t mask = slots_.size() - 1;
        // A slot holds the entry's index + 1 (0: free) and the tag, so most probes are decided
        // without touching the entry.
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            const uint64_t slot = slots_[at];
            if (slot == 0) {
                entries.push_back({{texts.Copy(value), value.size()}, 1, utf8});
                hashes_.push_back(hash);
                Share(value);
                slots_[at] = uint64_t{tag} << 32 | entries.size();
                if (entries.size() * 2 > slots_.size())
                    Grow();
                return;
            }
            if (static_cast<uint32_t>(slot >> 32) != tag)
                continue;
            UniqueValue& entry = entries[static_cast<uint32_t>(slot) - 1];
            if (entry.utf8 == utf8 && FoldedEqual(entry.text, value, utf8)) {
                ++entry.count;
                return;
            }
        }
    }

    std::vector<UniqueValue> entries;  // in the order first met
    qsizetype total = 0;
    size_t shared = 0;  // the length of the beginning all texts share

private:
    void Share(std::string_view value)
    {
        if (entries.size() == 1) {
            shared = value.size();
            return;
        }
        const char* const first = entries.front().text.data();
        size_t n = 0;
        const size_t limit = std::min(shared, value.size());
        while (n < limit && value[n] == first[n])
            ++n;
        shared = n;
    }

    void Grow()
    {
        decltype(slots_) fresh(slots_.size() * 2, 0);
        const size_t mask = fresh.size() - 1;
        for (size_t i = 0; i < entries.size(); ++i) {
            const uint64_t hash = hashes_[i];
            size_t at = hash & mask;
            while (fresh[at] != 0)
                at = (at + 1) & mask;
            fresh[at] = uint64_t{static_cast<uint32_t>(hash >> 24)} << 32 | (i + 1);
        }
        slots_.swap(fresh);
    }

    // Without threads one table takes every value: a million of them make tens of megabytes.
    std::vector<uint64_t, LargePageAllocator<uint64_t>> slots_;
    std::vector<uint64_t> hashes_;  // the entries' hashes, for growing without their texts
};

// Asks for huge pages under a large buffer not yet written: a million report lines fill about a
// hundred megabytes, and a fault for each 4 KB page of them costs more than writing it.
void AdviseLargePages(void* p, size_t bytes)
{
    constexpr uintptr_t HugePage = uintptr_t{2} << 20;
    const auto from = (reinterpret_cast<uintptr_t>(p) + HugePage - 1) & ~(HugePage - 1);
    const auto to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(HugePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only
}

QString Grouped(qsizetype n, const QString& separator)
{
    const QString digits = QString::number(n);
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

}  // namespace

FieldValueTable ParseRecordToFieldTable(std::string_view text, const FieldValueRules& rules)
{
    FieldValueTable table;
    std::array<char, 64> buffer{};
    size_t from = 0;
    // Text followed by the end of block, split at it, the last piece dropped.
    while (from <= text.size()) {
        size_t at = text.find(rules.endOfBlock, from);
        if (at == std::string_view::npos)
            at = text.size();
        const std::string_view segment = text.substr(from, at - from);
        from = at + 1;
        if (segment.empty())
            continue;
        const std::string_view seg3 = segment.substr(0, 3);
        WalkSegmentRows(segment, rules, 0, [&](int64_t field, int64_t component,
                                              std::string_view value) {
            table.push_back({std::string(Designation(buffer, seg3, field, component)),
                             std::string(value)});
        });
    }
    return table;
}

int64_t RepetitionNumber(std::string_view filterRepetition)
{
    int64_t n = 0;
    for (const char c : filterRepetition) {
        if (c < '0' || c > '9')
            break;
        n = std::min<int64_t>(n * 10 + (c - '0'), std::numeric_limits<int32_t>::max());
    }
    return n;
}

namespace {

// GetFieldValues into `out`, whose room is reused from call to call.
void FieldValueInto(std::string& out, std::string_view segmentText, std::string_view designation,
                    const FieldValueRules& rules)
{
    out.clear();
    const std::string_view L = designation.substr(0, designation.find('('));
    const int64_t wanted = RepetitionNumber(rules.filterRepetition);
    const std::string prefix = std::string(L) + '-';
    // Component 1 of a field that has no components: PID-5-1 falls back on PID-5.
    const bool fallBack = std::count(L.begin(), L.end(), '-') == 2 && L.ends_with("-1");
    const std::string_view stem = fallBack ? L.substr(0, L.size() - 1) : std::string_view();
    const std::string_view base = fallBack ? L.substr(0, L.size() - 2) : std::string_view();

    bool haveEqual = false, haveWanted = false, stemSeen = false, haveBase = false;
    std::string_view firstEqual, wantedValue, baseValue;
    int64_t occurrences = 0;
    std::string& joined = out;
    std::array<char, 64> buffer{};

    size_t from = 0;
    while (from <= segmentText.size()) {
        size_t at = segmentText.find(rules.endOfBlock, from);
        if (at == std::string_view::npos)
            at = segmentText.size();
        const std::string_view segment = segmentText.substr(from, at - from);
        from = at + 1;
        if (segment.empty())
            continue;
        const std::string_view seg3 = segment.substr(0, 3);
        const int64_t onlyField = PlainFieldNumber(L, seg3);
        // A plain designation of another segment finds nothing here.
        if (onlyField == 0 && L.size() >= 5 && L[3] == '-' && L.substr(0, 3) != seg3
            && PlainFieldNumber(L, L.substr(0, 3)) > 0)
            continue;
        WalkSegmentRows(segment, rules, onlyField, [&](int64_t field, int64_t component,
                                                       std::string_view value) {
            const std::string_view d = Designation(buffer, seg3, field, component);
            if (d == L) {
                if (!haveEqual)
                    firstEqual = value;
                haveEqual = true;
                if (++occurrences == wanted) {
                    wantedValue = value;
                    haveWanted = true;
                }
            } else if (d.starts_with(prefix)) {
                const int64_t c = component > 0 ? component : field;
                if (c == 1 && joined.empty()) {
                    joined.assign(value);
                } else {
                    joined += rules.delimiters.ComponentSeparator;
                    joined += value;
                }
            }
            if (fallBack) {
                stemSeen = stemSeen || d.starts_with(stem);
                if (!haveBase && d == base) {
                    baseValue = value;
                    haveBase = true;
                }
            }
        });
    }
    if (haveEqual) {
        if (wanted <= 1)
            out.assign(firstEqual);
        else if (haveWanted)
            out.assign(wantedValue);
        else
            out.clear();
    } else if (joined.empty() && fallBack && !stemSeen && haveBase) {
        out.assign(baseValue);
    }
}

}  // namespace

std::string GetFieldValues(std::string_view segmentText, std::string_view designation,
                           const FieldValueRules& rules)
{
    std::string value;
    FieldValueInto(value, segmentText, designation, rules);
    return value;
}

std::string CleanUniqueValuesDesignation(std::string_view fieldBoxText)
{
    std::string d(fieldBoxText);
    for (int pass = 0; pass < 2; ++pass) {
        const size_t at = d.find("- ");
        if (at != std::string::npos)
            d.erase(at + 1, 1);
    }
    const size_t blank = d.find(' ');
    if (blank != std::string::npos)
        d.resize(blank);
    return d;
}

namespace {

// What the walk straight to one field needs: a designation written SEG-f and single delimiters.
struct PlainField {
    int64_t field = 0;  // 0: the designation is not plain, every segment takes the general walk
    int64_t wanted = 0;  // FilterRepetition's number
    bool empties = true;
    char fieldSeparator = '|';
    char componentSeparator = '^';
    char repetitionSeparator = '~';
};

PlainField PlainFieldOf(std::string_view designation, const FieldValueRules& rules)
{
    PlainField plain;
    const Delimiters& d = rules.delimiters;
    const std::string_view L = designation.substr(0, designation.find('('));
    if (d.FieldSeparator.empty() || d.ComponentSeparator.empty()
        || d.RepetitionSeparator.empty() || L.size() < 5 || L.find('-', 4) != std::string_view::npos)
        return plain;
    plain.field = PlainFieldNumber(L, L.substr(0, 3));
    plain.wanted = RepetitionNumber(rules.filterRepetition);
    plain.empties = rules.displayEmptyFields;
    plain.fieldSeparator = d.FieldSeparator.front();
    plain.componentSeparator = d.ComponentSeparator.front();
    plain.repetitionSeparator = d.RepetitionSeparator.front();
    return plain;
}

// The searches below are written out rather than left to memchr: most end within a few bytes,
// where the call costs more than the search, and the segments are walked once for all their
// ends of block instead of once per segment.
#ifdef __SSE2__
// Bit i set where p[i] is the byte in every lane of `c`, for the 16 bytes from p.
unsigned Matches16(const char* p, __m128i c)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c)));
}
#endif

// The n-th (n >= 1) byte equal to c in [from, end), or end when there are fewer. An empty range
// may have no data pointer at all; nothing is read then.
inline const char* FindNth(const char* from, const char* end, char c, int64_t n)
{
#ifdef __SSE2__
    const __m128i cc = _mm_set1_epi8(c);
    for (; end - from >= 16; from += 16)
        for (unsigned m = Matches16(from, cc); m != 0; m &= m - 1)
            if (--n == 0)
                return from + __builtin_ctz(m);
#endif
    for (; from != end; ++from)
        if (*from == c && --n == 0)
            return from;
    return end;
}

inline const char* Find(const char* from, const char* end, char c)
{
    return FindNth(from, end, c, 1);
}

bool Holds(std::string_view text, char c)
{
    const char* const end = text.data() + text.size();
    return Find(text.data(), end, c) != end;
}

// Whether the record bytes from s begin with the segment name (at most three characters).
bool NameAt(std::string_view name, const char* s, const char* end)
{
    if (static_cast<size_t>(end - s) < name.size())
        return false;
    for (size_t k = 0; k < name.size(); ++k)
        if (s[k] != name[k])
            return false;
    return true;
}

// Calls fn(begin, end) for every segment of a record in order: the pieces between its ends of
// block, the last piece too (empty when the record ends with an end of block).
template <class Fn>
void ForEachSegment(const char* p, const char* const end, char eob, Fn&& fn)
{
    const char* start = p;
#ifdef __SSE2__
    const __m128i cc = _mm_set1_epi8(eob);
    for (; end - p >= 16; p += 16)
        for (unsigned m = Matches16(p, cc); m != 0; m &= m - 1) {
            const char* const at = p + __builtin_ctz(m);
            fn(start, at);
            start = at + 1;
        }
#endif
    for (; p != end; ++p)
        if (*p == eob) {
            fn(start, p);
            start = p + 1;
        }
    fn(start, end);
}

// GetFieldValues of a plain SEG-f designation read straight off the segment, which begins with
// SEG: the value points into the segment, or into `scratch` when empty components are dropped.
// False when the general walk is needed (a repeating field, or a segment named MSH-something).
bool PlainFieldValue(std::string_view segment, const PlainField& plain, std::string& scratch,
                     std::string_view& value)
{
    const char* p = segment.data();
    const char* const end = p + segment.size();
    const char* at = Find(p, end, plain.fieldSeparator);
    const bool isMsh = at - p == 3 && segment.starts_with("MSH");
    if (isMsh != segment.starts_with("MSH"))
        return false;
    const int64_t element = isMsh ? plain.field - 1 : plain.field;
    if (element < 1)
        return false;
    if (element > 1 && at != end)
        at = FindNth(at + 1, end, plain.fieldSeparator, element - 1);
    if (at == end) {
        value = {};  // the segment has no such field
        return true;
    }
    const char* const from = at + 1;
    const std::string_view text(from, static_cast<size_t>(Find(from, end, plain.fieldSeparator) - from));
    const bool repeats = Holds(text, plain.repetitionSeparator);
    // MSH-2 is never split; a field without components is its own single occurrence.
    if ((isMsh && plain.field == 2) || (!repeats && !Holds(text, plain.componentSeparator))) {
        value = plain.wanted <= 1 ? text : std::string_view();
        return true;
    }
    if (repeats)
        return false;
    // The components joined again: the field as written, unless empty ones are left out.
    const char c = plain.componentSeparator;
    const char* const textEnd = text.data() + text.size();
    bool anyEmpty = text.front() == c || text.back() == c;
    for (const char* sep = Find(from, textEnd, c); !anyEmpty && sep + 1 < textEnd;
         sep = Find(sep + 1, textEnd, c))
        anyEmpty = sep[1] == c;
    if (plain.empties || !anyEmpty) {
        value = text;
        return true;
    }
    scratch.clear();
    int64_t j = 0;
    ForEachPiece(text, std::string(1, c), [&](std::string_view component) {
        ++j;
        if (!component.empty()) {
            if (!(j == 1 && scratch.empty()))
                scratch += c;
            scratch += component;
        }
        return true;
    });
    value = scratch;
    return true;
}

struct SortKey {
    uint64_t prefix;  // eight bytes of the text after the beginning all texts share
    uint32_t entry;
};

// Sorts keys[0, n) by their prefix bytes from bit `shift` down to bit `lowest` (bytes below it
// are the same in every key), then by whole texts where prefixes tie. Most significant byte
// first, so that after a pass or two each group is small enough to be sorted in the cache;
// `spare` has room for n keys. Answers where the sorted keys are: `keys` or `spare`.
template <class TextOf>
SortKey* SortKeys(SortKey* keys, SortKey* spare, size_t n, int shift, int lowest,
                  const TextOf& textOf)
{
    if (n <= 32 || shift < lowest) {
        std::sort(keys, keys + n, [&](const SortKey& a, const SortKey& b) {
            return a.prefix != b.prefix ? a.prefix < b.prefix : textOf(a.entry) < textOf(b.entry);
        });
        return keys;
    }
    std::array<size_t, 256> start{};
    for (size_t i = 0; i < n; ++i)
        ++start[keys[i].prefix >> shift & 0xFF];
    if (start[keys[0].prefix >> shift & 0xFF] == n)  // one byte value here: nothing to move
        return SortKeys(keys, spare, n, shift - 8, lowest, textOf);
    size_t sum = 0;
    for (size_t& s : start) {
        const size_t size = s;
        s = sum;
        sum += size;
    }
    const std::array<size_t, 256> from = start;
    for (size_t i = 0; i < n; ++i)
        spare[start[keys[i].prefix >> shift & 0xFF]++] = keys[i];
    for (size_t b = 0; b < 256; ++b) {
        const size_t size = start[b] - from[b];
        if (size < 2)
            continue;
        SortKey* const group = spare + from[b];
        const SortKey* sorted = SortKeys(group, keys + from[b], size, shift - 8, lowest, textOf);
        if (sorted != group)
            std::copy(sorted, sorted + size, group);
    }
    return spare;
}

struct FreeMemory {
    void operator()(void* p) const { std::free(p); }
};

// Room for n keys, not cleared: every key is written before it is read.
std::unique_ptr<SortKey[], FreeMemory> SortKeyRoom(size_t n)
{
    return std::unique_ptr<SortKey[], FreeMemory>(
        static_cast<SortKey*>(AllocateLarge(std::max<size_t>(n, 1) * sizeof(SortKey))));
}

// The key of a text: eight bytes after the `shared` bytes all texts begin with, big-endian and
// zero-padded, so that keys order as the texts do up to where they tie.
uint64_t PrefixOf(std::string_view text, size_t shared)
{
    text = text.substr(shared);
    if (text.size() >= 8)
        return __builtin_bswap64(Load8(text.data()));
    uint64_t prefix = 0;
    for (size_t b = 0; b < 8; ++b)
        prefix = prefix << 8 | (b < text.size() ? static_cast<unsigned char>(text[b]) : 0u);
    return prefix;
}

// Sorts keys[0, n) by text, radix passes only over the bytes where some prefixes differ;
// `spare` has room for n keys. Answers where the sorted keys are: `keys` or `spare`.
template <class TextOf>
const SortKey* SortGroup(SortKey* keys, SortKey* spare, size_t n, const TextOf& textOf)
{
    uint64_t all = ~uint64_t{0}, any = 0;
    for (size_t i = 0; i < n; ++i) {
        all &= keys[i].prefix;
        any |= keys[i].prefix;
    }
    const uint64_t differ = all ^ any;
    const int highest = differ == 0 ? -8 : (63 - __builtin_clzll(differ)) / 8 * 8;
    const int lowest = differ == 0 ? 0 : __builtin_ctzll(differ) / 8 * 8;
    return SortKeys(keys, spare, n, highest, lowest, textOf);
}

// Fewer values are sorted on one thread: dealing them out would cost more than it saves.
constexpr size_t SortAcrossCoresLeast = 32768;

// The indexes of texts 0 to count - 1 in text order, byte by byte (the empty text first), into
// `order`: a radix sort on the keys, whole-text comparisons only among keys that tie. On a crew
// of several the keys are first dealt into buckets by ranges of prefixes drawn from a sample (the
// texts lie in no order, so any spread of them is a fair sample), and the buckets are sorted on
// all members at once.
template <class TextOf>
void SortByText(size_t count, size_t shared, const TextOf& textOf, platform::Crew& crew,
                uint32_t* order)
{
    const auto keys = SortKeyRoom(count);
    const auto spare = SortKeyRoom(count);
    const size_t members = count < SortAcrossCoresLeast ? 1 : crew.Size();
    auto rangeOf = [&](size_t m) {
        return std::pair<size_t, size_t>(count * m / members, count * (m + 1) / members);
    };
    auto keysOf = [&](size_t m) {
        const auto [from, to] = rangeOf(m);
        for (size_t i = from; i < to; ++i)
            keys[i] = {PrefixOf(textOf(i), shared), static_cast<uint32_t>(i)};
    };
    if (members == 1) {
        keysOf(0);
        const SortKey* sorted = SortGroup(keys.get(), spare.get(), count, textOf);
        for (size_t k = 0; k < count; ++k)
            order[k] = sorted[k].entry;
        return;
    }
    crew.Run(keysOf);

    // Bucket b takes the keys with b splitters at or below their prefix.
    constexpr size_t Buckets = 64, SamplePerBucket = 32;
    std::vector<uint64_t> sample(Buckets * SamplePerBucket);
    for (size_t j = 0; j < sample.size(); ++j)
        sample[j] = keys[j * count / sample.size()].prefix;
    std::sort(sample.begin(), sample.end());
    std::array<uint64_t, Buckets - 1> splitters{};
    for (size_t b = 1; b < Buckets; ++b)
        splitters[b - 1] = sample[b * SamplePerBucket];
    auto bucketOf = [&splitters](uint64_t prefix) {
        size_t b = 0;
        for (size_t step = Buckets / 2; step > 0; step /= 2)
            b += splitters[b + step - 1] <= prefix ? step : 0;
        return b;
    };
    const auto bucketOfKey = std::make_unique_for_overwrite<uint8_t[]>(count);
    std::vector<std::array<size_t, Buckets>> at(members);  // per member: its next place in each
    crew.Run([&](size_t m) {
        const auto [from, to] = rangeOf(m);
        for (size_t i = from; i < to; ++i) {
            const size_t b = bucketOf(keys[i].prefix);
            bucketOfKey[i] = static_cast<uint8_t>(b);
            ++at[m][b];
        }
    });
    std::array<size_t, Buckets + 1> start{};
    for (size_t b = 0, sum = 0; b < Buckets; ++b) {
        start[b] = sum;
        for (auto& places : at) {
            const size_t n = places[b];
            places[b] = sum;
            sum += n;
        }
    }
    start[Buckets] = count;
    crew.Run([&](size_t m) {
        const auto [from, to] = rangeOf(m);
        for (size_t i = from; i < to; ++i)
            spare[at[m][bucketOfKey[i]]++] = keys[i];
    });
    std::array<size_t, Buckets> largestFirst{};
    std::iota(largestFirst.begin(), largestFirst.end(), size_t{0});
    std::sort(largestFirst.begin(), largestFirst.end(), [&](size_t a, size_t b) {
        return start[a + 1] - start[a] > start[b + 1] - start[b];
    });
    std::atomic<size_t> next{0};
    crew.Run([&](size_t) {
        for (size_t k; (k = next.fetch_add(1)) < Buckets;) {
            const size_t from = start[largestFirst[k]], n = start[largestFirst[k] + 1] - from;
            const SortKey* sorted = SortGroup(spare.get() + from, keys.get() + from, n, textOf);
            for (size_t j = 0; j < n; ++j)
                order[from + j] = sorted[j].entry;
        }
    });
}

// Records one member walks at least, for a thread to pay; the first chunk gives each member
// that many, and later chunks are sized by the time the last one took.
constexpr size_t RecordsPerMember = 8192;
constexpr double ChunkSeconds = 0.03;
// Values are counted in 1 << PartitionBits partitions by the top bits of their hashes.
constexpr unsigned PartitionBits = 8;

// What every member's walk reads and none changes.
struct Walk {
    std::string_view designation;
    const FieldValueRules& rules;
    bool fieldSeparator;  // MSH-1: each record's fourth character
    std::string_view name;
    PlainField plain;
    unsigned partitionShift;  // hash >> 32 >> partitionShift is the partition
};

// One member's walk over its records: each value found goes to the list of its partition.
struct alignas(64) Lane {
    std::vector<Batch> parts;
    std::vector<std::string_view> segments;
    std::string values, scratch, latin1;
    // The record walked, and its encoding once a value needed it.
    std::string_view record;
    std::optional<TextEncoding> encoding;
    char endOfBlock = '\r';

    // Values are split at every "|", whatever the field separator. A value of a UTF-8 record is
    // counted as the same text in Latin-1 when Latin-1 has all its characters, so that one text
    // is one value whichever kind of record holds it.
    void Add(std::string_view value, unsigned shift)
    {
        const char* p = value.data();
        const char* const end = p + value.size();
        for (;;) {
            const char* bar = Find(p, end, '|');
            std::string_view piece(p, static_cast<size_t>(bar - p));
            bool utf8 = false;
            bool high = false;
            uint64_t hash = FoldedHash(piece, high);
            if (high) {
                if (!encoding)
                    encoding = RecordEncoding(record, endOfBlock);
                if (*encoding == TextEncoding::Utf8) {
                    const QString text = DecodeText(piece, TextEncoding::Utf8);
                    utf8 = !FitsLatin1(text) || text.contains(QChar(QChar::ReplacementCharacter));
                    if (!utf8) {
                        latin1 = EncodeText(text, TextEncoding::Latin1);
                        piece = latin1;
                        hash = FoldedHash(piece, high);
                    } else {
                        hash ^= Utf8HashMark;
                    }
                }
            }
            parts[hash >> 32 >> shift].Add(hash, piece, utf8);
            if (bar == end)
                break;
            p = bar + 1;
        }
    }

    void WalkRecord(std::string_view record, const Walk& walk)
    {
        this->record = record;
        encoding.reset();
        endOfBlock = walk.rules.endOfBlock;
        if (walk.fieldSeparator) {
            Add(record.size() >= 4 ? record.substr(3, 1) : std::string_view(), walk.partitionShift);
            return;
        }
        // Segments whose first three characters are the segment name: at the start of the
        // record or right after an end of block.
        segments.clear();
        const char* const end = record.data() + record.size();
        ForEachSegment(record.data(), end, walk.rules.endOfBlock,
                       [&](const char* s, const char* segmentEnd) {
                           if (NameAt(walk.name, s, end))
                               segments.emplace_back(s, static_cast<size_t>(segmentEnd - s));
                       });
        for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
            std::string_view value;
            if (walk.plain.field == 0 || !PlainFieldValue(*segment, walk.plain, scratch, value)) {
                FieldValueInto(values, *segment, walk.designation, walk.rules);
                value = values;
            }
            Add(value, walk.partitionShift);
        }
    }
};

}  // namespace

UniqueValuesResult CountUniqueValues(const RecordStore& store, std::string_view designation,
                                     const FieldValueRules& rules,
                                     const UniqueValuesProgress& progress)
{
    UniqueValuesResult result;
    const int32_t recordCount = store.RecordCount;
    const size_t records = static_cast<size_t>(std::max(recordCount, 0));
    // A small store is counted on this thread alone, in one partition.
    platform::Crew crew(
        std::min(platform::CoreCount(), std::max<size_t>(1, records / RecordsPerMember)));
    const size_t members = crew.Size();
    const unsigned bits = members > 1 ? PartitionBits : 0;
    const Walk walk{designation, rules, designation == "MSH-1", designation.substr(0, 3),
                    PlainFieldOf(designation, rules), 32 - bits};
    std::vector<Lane> lanes(members);
    for (Lane& lane : lanes)
        lane.parts.resize(size_t{1} << bits);
    // One table for all is sized for every record's value being distinct, as a table for a
    // million values is slow to grow; a partition's table grows within the cache.
    std::vector<PartCounter> parts(size_t{1} << bits);
    if (bits == 0)
        parts.front() = PartCounter(records);
    std::vector<TextBlocks> texts(members);  // the distinct values' texts, kept by who met them
    std::atomic<size_t> nextPart{0};

    // A chunk of records is walked and counted before progress is called: the call lets window
    // events run, which may append records and move them all, so no view into a record may
    // outlive it. Members walk consecutive records, and each partition takes their values
    // member by member, so values are still met in record order.
    using Clock = std::chrono::steady_clock;
    size_t chunk = RecordsPerMember * members;
    for (int32_t first = 1; first <= recordCount && first <= store.RecordCount;) {
        const auto last = static_cast<int32_t>(std::min<int64_t>(
            {recordCount, store.RecordCount, int64_t{first} + static_cast<int64_t>(chunk) - 1}));
        const auto began = Clock::now();
        const auto n = static_cast<int64_t>(last - first + 1);
        crew.Run([&](size_t m) {
            Lane& lane = lanes[m];
            const auto to = static_cast<int32_t>(first + n * static_cast<int64_t>(m + 1) / members);
            for (auto i = static_cast<int32_t>(first + n * static_cast<int64_t>(m) / members);
                 i < to; ++i)
                lane.WalkRecord(store.Record(i), walk);
        });
        nextPart = 0;
        crew.Run([&](size_t m) {
            for (size_t p; (p = nextPart.fetch_add(1)) < parts.size();)
                for (Lane& lane : lanes) {
                    Batch& batch = lane.parts[p];
                    parts[p].CountAll(batch, texts[m]);
                    batch.found.clear();
                    batch.text.clear();
                }
        });
        const double took = std::chrono::duration<double>(Clock::now() - began).count();
        chunk = std::clamp(static_cast<size_t>(static_cast<double>(chunk) * ChunkSeconds
                                               / std::max(took, 1e-6)),
                           RecordsPerMember, chunk * 4);
        first = last + 1;
        if (progress && !progress(UniqueValuesPhase::Scanning, last, recordCount)) {
            result.cancelled = true;
            return result;
        }
    }
    if (progress && !progress(UniqueValuesPhase::Sorting, recordCount, recordCount)) {
        result.cancelled = true;
        return result;
    }

    // The partitions' values end to end, and the beginning all their texts share.
    std::vector<size_t> offset(parts.size() + 1, 0);
    size_t shared = 0;
    const char* firstText = nullptr;
    for (size_t p = 0; p < parts.size(); ++p) {
        const PartCounter& part = parts[p];
        offset[p + 1] = offset[p] + part.entries.size();
        result.total += part.total;
        if (part.entries.empty())
            continue;
        const std::string_view text = part.entries.front().text;
        if (firstText == nullptr) {
            firstText = text.data();
            shared = part.shared;
            continue;
        }
        size_t same = 0;
        const size_t limit = std::min(shared, part.shared);
        while (same < limit && text[same] == firstText[same])
            ++same;
        shared = same;
    }
    const size_t count = offset.back();
    if (parts.size() == 1) {
        result.values = std::move(parts[0].entries);
    } else {
        result.values.resize(count);
        nextPart = 0;
        crew.Run([&](size_t) {
            for (size_t p; (p = nextPart.fetch_add(1)) < parts.size();)
                std::copy(parts[p].entries.begin(), parts[p].entries.end(),
                          result.values.begin() + static_cast<ptrdiff_t>(offset[p]));
        });
    }
    result.order.resize(count);
    SortByText(count, shared, [&](size_t i) { return result.values[i].text; }, crew,
               result.order.data());
    for (TextBlocks& t : texts)  // moving the blocks leaves the texts in place
        std::move(t.blocks.begin(), t.blocks.end(), std::back_inserter(result.storage));
    return result;
}

int UniqueValuesCountWidth(const UniqueValuesResult& result, const QString& groupSeparator)
{
    qsizetype largest = 0;
    for (const UniqueValue& v : result.values)
        largest = std::max(largest, v.count);
    return static_cast<int>(std::max<qsizetype>(7, Grouped(largest, groupSeparator).size()));
}

namespace {

// The share of `count` in hundredths of a per cent, rounded.
int64_t Hundredths(qsizetype count, qsizetype total)
{
    return total > 0 ? (int64_t{count} * 10000 + total / 2) / total : 0;
}

}  // namespace

UniqueValuesReport::UniqueValuesReport(UniqueValuesResult result, const QString& groupSeparator,
                                       const QString& decimalPoint)
    : result_(std::move(result)),
      groupSeparator_(groupSeparator),
      decimalPoint_(decimalPoint),
      countWidth_(UniqueValuesCountWidth(result_, groupSeparator))
{
}

qsizetype UniqueValuesReport::LineLength(const UniqueValue& v) const
{
    const int64_t hundredths = Hundredths(v.count, result_.total);
    // The whole per cents, the decimal point and "dd%)".
    const qsizetype share = (hundredths >= 10000 ? 3 : hundredths >= 1000 ? 2 : 1)
                            + decimalPoint_.size() + 4;
    return countWidth_ + 3 + std::max<qsizetype>(8, share) + 6
           + (v.utf8 ? TextLength(v.text, TextEncoding::Utf8) : static_cast<qsizetype>(v.text.size()))
           + 1;
}

QChar* UniqueValuesReport::WriteLine(qsizetype i, QChar* out) const
{
    const UniqueValue& v = result_.Sorted(static_cast<size_t>(i));
    auto put = [&out](char c) { *out++ = QLatin1Char(c); };
    auto putText = [&out](const QString& text) {
        out = std::copy(text.constBegin(), text.constEnd(), out);
    };
    char digits[24];
    const auto n = static_cast<qsizetype>(
        std::to_chars(digits, digits + sizeof digits, v.count).ptr - digits);
    const qsizetype groupedLength = n + (n - 1) / 3 * groupSeparator_.size();
    // The count, grouped by three and right-aligned.
    for (qsizetype k = groupedLength; k < countWidth_; ++k)
        put(' ');
    for (qsizetype k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            putText(groupSeparator_);
        put(digits[k]);
    }
    put(' ');
    put(' ');
    put('(');
    const int64_t hundredths = Hundredths(v.count, result_.total);
    const auto whole = static_cast<qsizetype>(
        std::to_chars(digits, digits + sizeof digits, hundredths / 100).ptr - digits);
    for (qsizetype k = whole + decimalPoint_.size() + 4; k < 8; ++k)
        put(' ');
    for (qsizetype k = 0; k < whole; ++k)
        put(digits[k]);
    putText(decimalPoint_);
    put(static_cast<char>('0' + hundredths % 100 / 10));
    put(static_cast<char>('0' + hundredths % 10));
    for (const char c : std::string_view("%)     \""))
        put(c);
    if (v.utf8)
        putText(DecodeText(v.text, TextEncoding::Utf8));
    else
        for (const char c : v.text)
            *out++ = QChar(static_cast<char16_t>(static_cast<unsigned char>(c)));
    put('"');
    return out;
}

QString UniqueValuesReport::Line(qsizetype i) const
{
    QString line(LineLength(result_.Sorted(static_cast<size_t>(i))), Qt::Uninitialized);
    WriteLine(i, line.data());
    return line;
}

QString UniqueValuesReport::Text() const
{
    // Every length first, so the text is allocated once at its final size.
    qsizetype size = 0;
    for (const UniqueValue& v : result_.values)
        size += LineLength(v) + 2;
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    AdviseLargePages(out, static_cast<size_t>(size) * sizeof(QChar));
    for (qsizetype i = 0; i < LineCount(); ++i) {
        // The values and their texts lie as they were counted, the lines go in sorted order:
        // each is fetched ahead, the value first and its text once the value has come.
        const auto at = static_cast<size_t>(i);
        if (at + 16 < result_.order.size())
            __builtin_prefetch(&result_.values[result_.order[at + 16]]);
        if (at + 8 < result_.order.size())
            __builtin_prefetch(result_.Sorted(at + 8).text.data());
        out = WriteLine(i, out);
        *out++ = QLatin1Char('\r');
        *out++ = QLatin1Char('\n');
    }
    return text;
}

QString UniqueValuesSummary(const UniqueValuesResult& result)
{
    return QStringLiteral("%1 unique values found out of %2 total values.")
        .arg(static_cast<qlonglong>(result.values.size()))
        .arg(static_cast<qlonglong>(result.total));
}

}  // namespace quillon
