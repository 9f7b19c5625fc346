#include "analysis/UniqueValues.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>

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

// Latin-1 letters folded to small ones: A-Z and the accented capitals (not the multiplication
// sign).
constexpr std::array<unsigned char, 256> MakeFold()
{
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c) {
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        fold[static_cast<size_t>(c)] = static_cast<unsigned char>(capital ? c + 32 : c);
    }
    return fold;
}
constexpr std::array<unsigned char, 256> Fold = MakeFold();

uint64_t FoldedHash(std::string_view s)
{
    uint64_t h = 1469598103934665603ull;
    for (const char c : s) {
        h ^= Fold[static_cast<unsigned char>(c)];
        h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
}

bool FoldedEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold[static_cast<unsigned char>(a[i])] != Fold[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

// The distinct values met so far, found by their case-folded text in an open-addressed table;
// their texts are kept one after the other in one buffer.
class ValueCounter {
public:
    ValueCounter() : slots_(1024, 0) {}

    void Count(std::string_view value)
    {
        ++total;
        const uint64_t hash = FoldedHash(value);
        const auto tag = static_cast<uint32_t>(hash >> 32);
        const size_t mask = slots_.size() - 1;
        // A slot holds the entry's index + 1 (0: free) and the high half of its hash, so most
        // probes are decided without touching the entry.
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            const uint64_t slot = slots_[at];
            if (slot == 0) {
                entries.push_back({storage.size(), value.size(), 1, hash});
                storage.insert(storage.end(), value.begin(), value.end());
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

    struct Entry {
        size_t offset;
        size_t length;
        qsizetype count;
        uint64_t hash;
    };
    std::string_view Text(const Entry& e) const { return {storage.data() + e.offset, e.length}; }

    std::vector<Entry> entries;
    std::vector<char> storage;
    qsizetype total = 0;

private:
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

UniqueValuesResult CountUniqueValues(const RecordStore& store, std::string_view designation,
                                     const FieldValueRules& rules,
                                     const UniqueValuesProgress& progress)
{
    UniqueValuesResult result;
    ValueCounter counter;
    const int32_t recordCount = store.RecordCount;
    const bool fieldSeparator = designation == "MSH-1";
    std::string marker(1, rules.endOfBlock);
    marker += designation.substr(0, 3);
    std::vector<std::string_view> segments;
    std::string values;
    const std::string bar = "|";  // values are split here whatever the field separator

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall{};  // the first look reports at once
    auto keepGoing = [&](UniqueValuesPhase phase, int32_t record) {
        if (!progress)
            return true;
        const auto now = Clock::now();
        if (phase == UniqueValuesPhase::Scanning && now - lastCall < std::chrono::milliseconds(50))
            return true;
        lastCall = now;
        return progress(phase, record, recordCount);
    };

    // Records are fetched afresh after each progress call: it lets window events run, and
    // records that arrive meanwhile may move the array.
    for (int32_t i = 1; i <= recordCount && i <= store.RecordCount; ++i) {
        const std::string_view record = store.Record(i);
        if (fieldSeparator) {
            counter.Count(record.size() >= 4 ? record.substr(3, 1) : std::string_view());
        } else {
            // Segments whose first three characters are the segment name: at the start of the
            // record or right after an end of block.
            segments.clear();
            const std::string_view name = std::string_view(marker).substr(1);
            size_t from = record.starts_with(name) ? 0 : std::string_view::npos;
            if (from == std::string_view::npos) {
                const size_t hit = record.find(marker);
                from = hit == std::string_view::npos ? hit : hit + 1;
            }
            while (from != std::string_view::npos) {
                const size_t end = record.find(rules.endOfBlock, from);
                segments.push_back(record.substr(from, end == std::string_view::npos
                                                           ? std::string_view::npos
                                                           : end - from));
                if (end == std::string_view::npos)
                    break;
                const size_t hit = record.find(marker, end);
                from = hit == std::string_view::npos ? hit : hit + 1;
            }
            for (auto s = segments.rbegin(); s != segments.rend(); ++s) {
                FieldValueInto(values, *s, designation, rules);
                ForEachPiece(values, bar, [&](std::string_view piece) {
                    counter.Count(piece);
                    return true;
                });
            }
        }
        if ((i & 63) == 0 && !keepGoing(UniqueValuesPhase::Scanning, i)) {
            result.cancelled = true;
            return result;
        }
    }
    if (progress && !progress(UniqueValuesPhase::Sorting, recordCount, recordCount)) {
        result.cancelled = true;
        return result;
    }
    // Sorted on eight bytes (big-endian, zero-padded) taken after the prefix that all values
    // share, and only on ties on the whole text: distinct values are never equal byte for byte,
    // so the order is total.
    size_t shared = std::string::npos;
    if (!counter.entries.empty()) {
        const std::string_view first = counter.Text(counter.entries.front());
        shared = first.size();
        for (const ValueCounter::Entry& e : counter.entries) {
            const std::string_view text = counter.Text(e);
            size_t n = 0;
            const size_t limit = std::min(shared, text.size());
            while (n < limit && text[n] == first[n])
                ++n;
            shared = n;
            if (shared == 0)
                break;
        }
    }
    struct Key {
        uint64_t prefix;
        size_t entry;
    };
    std::vector<Key> keys;
    keys.reserve(counter.entries.size());
    for (size_t i = 0; i < counter.entries.size(); ++i) {
        const std::string_view text = counter.Text(counter.entries[i]).substr(shared);
        uint64_t prefix = 0;
        for (size_t b = 0; b < 8; ++b)
            prefix = prefix << 8 | (b < text.size() ? static_cast<unsigned char>(text[b]) : 0u);
        keys.push_back({prefix, i});
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return counter.Text(counter.entries[a.entry]) < counter.Text(counter.entries[b.entry]);
    });
    // The buffer is final now, so the texts can point into it.
    result.storage = std::move(counter.storage);
    result.total = counter.total;
    result.values.reserve(keys.size());
    for (const Key& k : keys) {
        const ValueCounter::Entry& e = counter.entries[k.entry];
        result.values.push_back({std::string_view(result.storage.data() + e.offset, e.length),
                                 e.count});
    }
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
    const int width = UniqueValuesCountWidth(result, groupSeparator);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(result.values.size()));
    char digits[24];
    for (const UniqueValue& v : result.values) {
        QString line;
        line.reserve(width + 18 + static_cast<qsizetype>(v.text.size()));
        // The count, grouped by three and right-aligned.
        const char* end = std::to_chars(digits, digits + sizeof digits, v.count).ptr;
        const auto n = static_cast<qsizetype>(end - digits);
        const qsizetype groupedLength = n + (n - 1) / 3 * groupSeparator.size();
        line.fill(QLatin1Char(' '), std::max<qsizetype>(0, width - groupedLength));
        for (qsizetype i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                line += groupSeparator;
            line += QLatin1Char(digits[i]);
        }
        // The share in hundredths of a per cent, rounded.
        const qsizetype hundredths =
            result.total > 0 ? static_cast<qsizetype>(
                (static_cast<long double>(v.count) * 10000 + result.total / 2) / result.total)
                             : 0;
        char share[32];
        const int shareLength = std::snprintf(share, sizeof share, "%lld",
                                              static_cast<long long>(hundredths / 100));
        const qsizetype shareWidth = shareLength + decimalPoint.size() + 4;  // "dd%)"
        line += QLatin1String("  (");
        for (qsizetype i = shareWidth; i < 8; ++i)
            line += QLatin1Char(' ');
        line += QLatin1String(share, shareLength);
        line += decimalPoint;
        line += QLatin1Char(static_cast<char>('0' + hundredths % 100 / 10));
        line += QLatin1Char(static_cast<char>('0' + hundredths % 10));
        line += QLatin1String("%)     \"");
        line += QLatin1String(v.text.data(), static_cast<qsizetype>(v.text.size()));
        line += QLatin1Char('"');
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
