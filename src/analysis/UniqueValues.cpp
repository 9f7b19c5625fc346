#include "analysis/UniqueValues.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "records/LetterCase.h"
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

uint64_t Load8(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// A hash that agrees with the folding: a capital and its small letter differ only in bit 0x20,
// so every byte is hashed with that bit set, eight bytes at a time and without a folded copy.
uint64_t FoldedHash(std::string_view s)
{
    constexpr uint64_t caseBit = 0x2020202020202020ull;
    constexpr uint64_t k = 0x9E3779B97F4A7C15ull;
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = (n + 1) * k;
    for (; n >= 8; p += 8, n -= 8) {
        h = (h ^ (Load8(p) | caseBit)) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
    }
    if (n > 0) {
        uint64_t tail = 0;
        std::memcpy(&tail, p, n);
        h = (h ^ (tail | caseBit)) * 0xBF58476D1CE4E5B9ull;
    }
    h ^= h >> 32;
    h *= 0x94D049BB133111EBull;
    return h ^ (h >> 29);
}

bool FoldedEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    if (std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The distinct values met so far, found by their case-folded text in an open-addressed table;
// their texts are kept in blocks that never move, so an entry points at its text.
class ValueCounter {
public:
    // `expected`: about how many distinct values may come, so the table seldom has to grow.
    explicit ValueCounter(size_t expected)
    {
        size_t room = 1024;
        while (room < expected * 2 && room < (size_t{1} << 26))
            room *= 2;
        slots_.assign(room, 0);
        // Only the pages written to are ever touched.
        entries.reserve(std::min(expected, room / 2));
    }

    // Counts `value` at once (after the values still waiting).
    void Count(std::string_view value)
    {
        Flush();
        Insert(value, FoldedHash(value));
    }

    // Counts `value` a few values later: its slot is fetched from memory meanwhile, which is
    // what a table of a million distinct values costs. The text must stay where it is until
    // the next Count or Flush.
    void CountSoon(std::string_view value)
    {
        const uint64_t hash = FoldedHash(value);
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
        if (waiting_ == Lookahead) {
            Insert(pending_[next_].value, pending_[next_].hash);
            pending_[next_] = {value, hash};
            next_ = (next_ + 1) % Lookahead;
        } else {
            pending_[(next_ + waiting_++) % Lookahead] = {value, hash};
        }
    }

    void Flush()
    {
        for (; waiting_ > 0; --waiting_, next_ = (next_ + 1) % Lookahead)
            Insert(pending_[next_].value, pending_[next_].hash);
    }

    std::vector<UniqueValue> entries;  // in the order first met
    std::vector<std::unique_ptr<char[]>> blocks;
    qsizetype total = 0;
    size_t shared = 0;  // the length of the beginning all texts share

private:
    static constexpr size_t BlockSize = size_t{1} << 20;
    static constexpr size_t Lookahead = 16;

    void Insert(std::string_view value, uint64_t hash)
    {
        ++total;
        const auto tag = static_cast<uint32_t>(hash >> 32);
        const size_t mask = slots_.size() - 1;
        // A slot holds the entry's index + 1 (0: free) and the high half of its hash, so most
        // probes are decided without touching the entry.
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            const uint64_t slot = slots_[at];
            if (slot == 0) {
                entries.push_back({{Keep(value), value.size()}, 1});
                Share(value);
                slots_[at] = Slot(entries.size(), hash);
                if (entries.size() * 2 > slots_.size())
                    Grow();
                return;
            }
            if (static_cast<uint32_t>(slot >> 32) != tag)
                continue;
            UniqueValue& entry = entries[static_cast<uint32_t>(slot) - 1];
            if (FoldedEqual(entry.text, value)) {
                ++entry.count;
                return;
            }
        }
    }

    struct Pending {
        std::string_view value;
        uint64_t hash;
    };
    std::array<Pending, Lookahead> pending_{};
    size_t next_ = 0;
    size_t waiting_ = 0;

    const char* Keep(std::string_view value)
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

    static uint64_t Slot(size_t index1, uint64_t hash)
    {
        return (hash & 0xFFFFFFFF00000000ull) | static_cast<uint32_t>(index1);
    }
    void Grow()
    {
        Slots fresh(slots_.size() * 2, 0);
        const size_t mask = fresh.size() - 1;
        for (size_t i = 0; i < entries.size(); ++i) {
            const uint64_t hash = FoldedHash(entries[i].text);
            size_t at = hash & mask;
            while (fresh[at] != 0)
                at = (at + 1) & mask;
            fresh[at] = Slot(i + 1, hash);
        }
        slots_.swap(fresh);
    }

    // A million distinct values make tables of tens of megabytes, probed at random.
    using Slots = std::vector<uint64_t, LargePageAllocator<uint64_t>>;
    Slots slots_;
    char* current_ = nullptr;  // the block being filled
    size_t used_ = 0;
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

// Keys of texts 0 to count - 1 ordered by text, byte by byte (the empty text first): a radix sort
// on eight bytes taken after the `shared` bytes all texts begin with (big-endian, zero-padded),
// then whole-text comparisons only among keys that tie. `keys` receives the sorted keys.
template <class TextOf>
void SortByText(size_t count, size_t shared, TextOf textOf,
                std::unique_ptr<SortKey[], FreeMemory>& keys)
{
    keys = SortKeyRoom(count);
    auto spare = SortKeyRoom(count);
    uint64_t all = ~uint64_t{0}, any = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view text = textOf(i).substr(shared);
        uint64_t prefix = 0;
        if (text.size() >= 8) {
            prefix = __builtin_bswap64(Load8(text.data()));
        } else {
            for (size_t b = 0; b < 8; ++b)
                prefix = prefix << 8 | (b < text.size() ? static_cast<unsigned char>(text[b]) : 0u);
        }
        keys[i] = {prefix, static_cast<uint32_t>(i)};
        all &= prefix;
        any |= prefix;
    }
    // Only the bytes where some keys differ are sorted on.
    const uint64_t differ = all ^ any;
    const int highest = differ == 0 ? -8 : (63 - __builtin_clzll(differ)) / 8 * 8;
    const int lowest = differ == 0 ? 0 : __builtin_ctzll(differ) / 8 * 8;
    if (SortKeys(keys.get(), spare.get(), count, highest, lowest, textOf) != keys.get())
        keys.swap(spare);
}

}  // namespace

UniqueValuesResult CountUniqueValues(const RecordStore& store, std::string_view designation,
                                     const FieldValueRules& rules,
                                     const UniqueValuesProgress& progress)
{
    UniqueValuesResult result;
    const int32_t recordCount = store.RecordCount;
    ValueCounter counter(static_cast<size_t>(std::max(recordCount, 0)));
    const bool fieldSeparator = designation == "MSH-1";
    const std::string_view name = designation.substr(0, 3);
    const char eob = rules.endOfBlock;
    const PlainField plain = PlainFieldOf(designation, rules);
    std::vector<std::string_view> segments;
    std::string values, scratch;

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall{};  // the first look reports at once
    auto keepGoing = [&](UniqueValuesPhase phase, int32_t record) {
        if (!progress)
            return true;
        const auto now = Clock::now();
        if (phase == UniqueValuesPhase::Scanning && now - lastCall < std::chrono::milliseconds(50))
            return true;
        lastCall = now;
        counter.Flush();  // the values waiting point into records that may move meanwhile
        return progress(phase, record, recordCount);
    };
    // Values are split at every "|", whatever the field separator.
    // `inRecord`: the value points into the record, not into a buffer used again.
    auto countPieces = [&](std::string_view value, bool inRecord) {
        const char* p = value.data();
        const char* const end = p + value.size();
        for (;;) {
            const char* bar = Find(p, end, '|');
            const std::string_view piece(p, static_cast<size_t>(bar - p));
            if (inRecord)
                counter.CountSoon(piece);
            else
                counter.Count(piece);
            if (bar == end)
                break;
            p = bar + 1;
        }
    };

    // Records are fetched afresh after each progress call: it lets window events run, and
    // records that arrive meanwhile may move the array.
    for (int32_t i = 1; i <= recordCount && i <= store.RecordCount; ++i) {
        const std::string_view record = store.Record(i);
        if (fieldSeparator) {
            counter.CountSoon(record.size() >= 4 ? record.substr(3, 1) : std::string_view());
        } else {
            // Segments whose first three characters are the segment name: at the start of the
            // record or right after an end of block.
            segments.clear();
            const char* const end = record.data() + record.size();
            ForEachSegment(record.data(), end, eob, [&](const char* s, const char* segmentEnd) {
                if (NameAt(name, s, end))
                    segments.emplace_back(s, static_cast<size_t>(segmentEnd - s));
            });
            for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
                std::string_view value;
                if (plain.field == 0 || !PlainFieldValue(*segment, plain, scratch, value)) {
                    FieldValueInto(values, *segment, designation, rules);
                    value = values;
                }
                countPieces(value, value.empty() || (value.data() >= record.data()
                                                     && value.data() < record.data() + record.size()));
            }
        }
        if ((i & 63) == 0 && !keepGoing(UniqueValuesPhase::Scanning, i)) {
            result.cancelled = true;
            return result;
        }
    }
    counter.Flush();
    if (progress && !progress(UniqueValuesPhase::Sorting, recordCount, recordCount)) {
        result.cancelled = true;
        return result;
    }
    const size_t count = counter.entries.size();
    std::unique_ptr<SortKey[], FreeMemory> sorted;
    SortByText(count, counter.shared, [&](size_t i) { return counter.entries[i].text; }, sorted);
    result.order.resize(count);
    for (size_t k = 0; k < count; ++k)
        result.order[k] = sorted[k].entry;
    result.total = counter.total;
    result.values = std::move(counter.entries);
    result.storage = std::move(counter.blocks);  // moving the blocks leaves the texts in place
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
           + static_cast<qsizetype>(v.text.size()) + 1;
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
        // The values and their texts lie in the order first met, the lines go in sorted order:
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
