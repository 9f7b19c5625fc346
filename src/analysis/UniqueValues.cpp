#include "analysis/UniqueValues.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

#include "records/LetterCase.h"

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

    struct Entry {
        const char* text;
        size_t length;
        qsizetype count;
        uint64_t hash;
    };
    static std::string_view Text(const Entry& e) { return {e.text, e.length}; }

    std::vector<Entry> entries;
    std::vector<std::unique_ptr<char[]>> blocks;
    qsizetype total = 0;

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
                entries.push_back({Keep(value), value.size(), 1, hash});
                slots_[at] = Slot(entries.size(), hash);
                if (entries.size() * 2 > slots_.size())
                    Grow();
                return;
            }
            if (static_cast<uint32_t>(slot >> 32) != tag)
                continue;
            Entry& entry = entries[static_cast<uint32_t>(slot) - 1];
            if (entry.hash == hash && FoldedEqual(Text(entry), value)) {
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

    static uint64_t Slot(size_t index1, uint64_t hash)
    {
        return (hash & 0xFFFFFFFF00000000ull) | static_cast<uint32_t>(index1);
    }
    void Grow()
    {
        std::vector<uint64_t> fresh(slots_.size() * 2, 0);
        const size_t mask = fresh.size() - 1;
        for (size_t i = 0; i < entries.size(); ++i) {
            size_t at = entries[i].hash & mask;
            while (fresh[at] != 0)
                at = (at + 1) & mask;
            fresh[at] = Slot(i + 1, entries[i].hash);
        }
        slots_.swap(fresh);
    }

    std::vector<uint64_t> slots_;
    char* current_ = nullptr;  // the block being filled
    size_t used_ = 0;
};

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

const char* Find(const char* from, const char* end, char c)
{
    if (from == end)  // an empty view may have no data pointer at all
        return end;
    const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
    return at != nullptr ? static_cast<const char*>(at) : end;
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
    for (int64_t k = 1; k < element && at != end; ++k)
        at = Find(at + 1, end, plain.fieldSeparator);
    if (at == end) {
        value = {};  // the segment has no such field
        return true;
    }
    const char* const from = at + 1;
    const std::string_view text(from, static_cast<size_t>(Find(from, end, plain.fieldSeparator) - from));
    // MSH-2 is never split; a field without components is its own single occurrence.
    if ((isMsh && plain.field == 2)
        || (text.find(plain.repetitionSeparator) == std::string_view::npos
            && text.find(plain.componentSeparator) == std::string_view::npos)) {
        value = plain.wanted <= 1 ? text : std::string_view();
        return true;
    }
    if (text.find(plain.repetitionSeparator) != std::string_view::npos)
        return false;
    // The components joined again: the field as written, unless empty ones are left out.
    const char c = plain.componentSeparator;
    const char twice[2] = {c, c};
    const bool anyEmpty = text.front() == c || text.back() == c
                          || text.find(std::string_view(twice, 2)) != std::string_view::npos;
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

// Entry indexes ordered by text, byte by byte: a radix sort on eight bytes taken after the prefix
// all texts share (big-endian, zero-padded; byte positions where every key agrees are skipped),
// then whole-text comparisons only among keys that tie.
template <class TextOf>
std::vector<uint32_t> SortedByText(size_t count, TextOf textOf)
{
    std::vector<uint32_t> order(count);
    if (count == 0)
        return order;
    const std::string_view first = textOf(0);
    size_t shared = first.size();
    for (size_t i = 1; i < count && shared > 0; ++i) {
        const std::string_view text = textOf(i);
        size_t n = 0;
        const size_t limit = std::min(shared, text.size());
        while (n < limit && text[n] == first[n])
            ++n;
        shared = n;
    }
    struct Key {
        uint64_t prefix;
        uint32_t entry;
    };
    std::vector<Key> keys(count), spare(count);
    uint64_t all = ~uint64_t{0}, any = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view text = textOf(i).substr(std::min(shared, textOf(i).size()));
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
    for (int shift = 0; shift < 64; shift += 8) {
        if (((all ^ any) >> shift & 0xFF) == 0)
            continue;  // every key has the same byte here
        std::array<size_t, 257> start{};
        for (const Key& k : keys)
            ++start[(k.prefix >> shift & 0xFF) + 1];
        for (size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const Key& k : keys)
            spare[start[k.prefix >> shift & 0xFF]++] = k;
        keys.swap(spare);
    }
    for (size_t i = 0; i < count;) {
        size_t j = i + 1;
        while (j < count && keys[j].prefix == keys[i].prefix)
            ++j;
        if (j - i > 1)
            std::sort(keys.begin() + static_cast<ptrdiff_t>(i), keys.begin() + static_cast<ptrdiff_t>(j),
                      [&](const Key& a, const Key& b) { return textOf(a.entry) < textOf(b.entry); });
        i = j;
    }
    for (size_t i = 0; i < count; ++i)
        order[i] = keys[i].entry;
    return order;
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
            const char* s = record.data();
            const char* const end = s + record.size();
            for (;;) {
                const char* segmentEnd = Find(s, end, eob);
                if (static_cast<size_t>(end - s) >= name.size()
                    && std::memcmp(s, name.data(), name.size()) == 0)
                    segments.emplace_back(s, static_cast<size_t>(segmentEnd - s));
                if (segmentEnd == end)
                    break;
                s = segmentEnd + 1;
            }
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
    const std::vector<uint32_t> order = SortedByText(
        counter.entries.size(), [&](size_t i) { return ValueCounter::Text(counter.entries[i]); });
    result.total = counter.total;
    result.values.reserve(order.size());
    for (const uint32_t i : order) {
        const ValueCounter::Entry& e = counter.entries[i];
        result.values.push_back({ValueCounter::Text(e), e.count});
    }
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

QStringList UniqueValueLines(const UniqueValuesResult& result, const QString& groupSeparator,
                             const QString& decimalPoint)
{
    const qsizetype width = UniqueValuesCountWidth(result, groupSeparator);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(result.values.size()));
    char digits[24];
    char share[24];
    for (const UniqueValue& v : result.values) {
        const char* const digitsEnd = std::to_chars(digits, digits + sizeof digits, v.count).ptr;
        const auto n = static_cast<qsizetype>(digitsEnd - digits);
        const qsizetype groupedLength = n + (n - 1) / 3 * groupSeparator.size();
        // The share in hundredths of a per cent, rounded.
        const int64_t hundredths =
            result.total > 0 ? (int64_t{v.count} * 10000 + result.total / 2) / result.total : 0;
        const char* const shareEnd = std::to_chars(share, share + sizeof share, hundredths / 100).ptr;
        const auto shareLength = static_cast<qsizetype>(shareEnd - share);
        const qsizetype shareWidth = shareLength + decimalPoint.size() + 4;  // "dd%)"
        const auto valueLength = static_cast<qsizetype>(v.text.size());
        // Written in place into a line of its final length: one allocation per line.
        QString line(std::max(width, groupedLength) + 3 + std::max<qsizetype>(8, shareWidth) + 6
                         + valueLength + 1,
                     Qt::Uninitialized);
        QChar* out = line.data();
        auto put = [&out](char c) { *out++ = QLatin1Char(c); };
        auto putText = [&out](const QString& text) {
            out = std::copy(text.constBegin(), text.constEnd(), out);
        };
        // The count, grouped by three and right-aligned.
        for (qsizetype i = groupedLength; i < width; ++i)
            put(' ');
        for (qsizetype i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                putText(groupSeparator);
            put(digits[i]);
        }
        put(' ');
        put(' ');
        put('(');
        for (qsizetype i = shareWidth; i < 8; ++i)
            put(' ');
        for (qsizetype i = 0; i < shareLength; ++i)
            put(share[i]);
        putText(decimalPoint);
        put(static_cast<char>('0' + hundredths % 100 / 10));
        put(static_cast<char>('0' + hundredths % 10));
        for (const char c : std::string_view("%)     \""))
            put(c);
        for (const char c : v.text)
            *out++ = QChar(static_cast<char16_t>(static_cast<unsigned char>(c)));
        put('"');
        lines.append(std::move(line));
    }
    return lines;
}

QString UniqueValuesSummary(const UniqueValuesResult& result)
{
    return QStringLiteral("%1 unique values found out of %2 total values.")
        .arg(static_cast<qlonglong>(result.values.size()))
        .arg(static_cast<qlonglong>(result.total));
}

}  // namespace quillon
