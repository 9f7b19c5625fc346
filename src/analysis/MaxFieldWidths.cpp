#include "analysis/MaxFieldWidths.h"
#include "app/ProgressPacer.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace quillon {

namespace {

// The dictionary slot of every label met, resolved once: a value costs two array reads instead
// of building its label and searching the dictionary.
class SlotCache {
public:
    explicit SlotCache(const DescriptionDictionary& dictionary) : dictionary_(dictionary) {}

    struct Segment {
        std::string name;
        std::vector<int32_t> fields;                   // by field number; -1 not yet looked up
        std::vector<std::vector<int32_t>> components;  // by field number, then component
    };

    Segment& ForName(std::string_view name)
    {
        uint32_t key = static_cast<uint32_t>(name.size()) << 24;
        for (size_t k = 0; k < name.size(); ++k)
            key |= static_cast<uint32_t>(static_cast<unsigned char>(name[k])) << (16 - 8 * k);
        if (last_ && lastKey_ == key)
            return *last_;
        auto [it, added] = segments_.try_emplace(key);
        if (added)
            it->second.name = std::string(name);
        lastKey_ = key;
        last_ = &it->second;
        return it->second;
    }

    int32_t Field(Segment& s, size_t n)
    {
        if (n < s.fields.size() && s.fields[n] >= 0)
            return s.fields[n];
        return FieldFirstTime(s, n);
    }

    int32_t Component(Segment& s, size_t n, size_t c)
    {
        if (n < s.components.size() && c < s.components[n].size() && s.components[n][c] >= 0)
            return s.components[n][c];
        return ComponentFirstTime(s, n, c);
    }

private:
    [[gnu::noinline]] int32_t FieldFirstTime(Segment& s, size_t n)
    {
        if (n >= s.fields.size())
            s.fields.resize(n + 1, -1);
        int32_t& slot = s.fields[n];
        if (slot < 0)
            slot = Lookup(s.name + "-" + std::to_string(n));
        return slot;
    }

    [[gnu::noinline]] int32_t ComponentFirstTime(Segment& s, size_t n, size_t c)
    {
        if (n >= s.components.size())
            s.components.resize(n + 1);
        std::vector<int32_t>& comps = s.components[n];
        if (c >= comps.size())
            comps.resize(c + 1, -1);
        int32_t& slot = comps[c];
        if (slot < 0)
            slot = Lookup(s.name + "-" + std::to_string(n) + "-" + std::to_string(c));
        return slot;
    }

    int32_t Lookup(const std::string& label) const
    {
        const auto& keys = dictionary_.DescriptionKeys;
        const auto it = std::lower_bound(keys.begin(), keys.end(), label);
        if (it == keys.end() || *it != label)
            return 0;
        return static_cast<int32_t>(it - keys.begin()) + 1;
    }

    const DescriptionDictionary& dictionary_;
    std::unordered_map<uint32_t, Segment> segments_;
    uint32_t lastKey_ = 0;
    Segment* last_ = nullptr;
};

// One walk over each record's bytes: every byte is classed once (end of segment, field,
// repetition or component separator) and each value is measured as its end is reached.
class Scanner {
public:
    Scanner(const Delimiters& delimiters, char endOfBlock, const DescriptionDictionary& dictionary,
            MaxWidthsResult& result)
        : endOfBlock_(static_cast<unsigned char>(endOfBlock)), cache_(dictionary), result_(result)
    {
        // Later assignments win where two delimiters are the same character: records are cut
        // into segments first, then into fields, repetitions and components.
        for (const auto& [sep, kind] : {std::pair{&delimiters.ComponentSeparator, Component},
                                        std::pair{&delimiters.RepetitionSeparator, Repetition},
                                        std::pair{&delimiters.FieldSeparator, Field}})
            if (!sep->empty())
                class_[static_cast<unsigned char>((*sep)[0])] = kind;
        class_[endOfBlock_] = End;
        const size_t slotCount = static_cast<size_t>(dictionary.DescriptionCount()) + 1;
        result_.widths.assign(slotCount, 0);
        result_.records.assign(slotCount, 0);
    }

    void Record(std::string_view record, int32_t number)
    {
        number_ = number;
        const auto* p = reinterpret_cast<const unsigned char*>(record.data());
        const unsigned char* end = p + record.size();
        // The piece after the last terminator counts only when it holds more than blanks.
        const void* last = memrchr(p, endOfBlock_, record.size());
        const unsigned char* tail = last ? static_cast<const unsigned char*>(last) + 1 : p;
        if (std::all_of(tail, end, [](unsigned char ch) { return ch == ' '; }))
            end = tail;
        while (p < end)
            p = Segment(p, end);
    }

private:
    enum Kind : uint8_t { Plain, Component, Repetition, Field, End };

    void Measure(int32_t slot, const unsigned char* from, const unsigned char* to)
    {
        const qsizetype width = to - from;
        if (slot > 0 && width > result_.widths[static_cast<size_t>(slot)]) {
            result_.widths[static_cast<size_t>(slot)] = width;
            result_.records[static_cast<size_t>(slot)] = number_;
        }
    }

    Kind At(const unsigned char* p, const unsigned char* end) const
    {
        return p < end ? class_[*p] : End;
    }

    // Measures one segment; answers where the next one starts.
    const unsigned char* Segment(const unsigned char* p, const unsigned char* end)
    {
        const unsigned char* const start = p;
        while (At(p, end) != Field && At(p, end) != End)
            ++p;
        if (At(p, end) == End)
            return p < end ? p + 1 : end;  // no fields
        size_t nameLength = 0;
        while (nameLength < 3 && start + nameLength < end && start[nameLength] != endOfBlock_)
            ++nameLength;
        const std::string_view name(reinterpret_cast<const char*>(start), nameLength);
        SlotCache::Segment& s = cache_.ForName(name);
        size_t n = 1;
        ++p;
        if (name == "MSH") {
            // MSH-1 is the separator itself; MSH-2, the encoding characters, is measured whole.
            const unsigned char* q = p;
            while (At(q, end) != Field && At(q, end) != End)
                ++q;
            if (q > p)
                Measure(cache_.Field(s, 2), p, q);
            if (At(q, end) == End)
                return q < end ? q + 1 : end;
            p = q + 1;
            n = 3;
        }
        // A repetition with components is measured component by component (SEG-n-c), one
        // without whole under the field's label (SEG-n); all repetitions count alike.
        const unsigned char* repetition = p;
        const unsigned char* component = p;
        size_t c = 1;
        for (;; ++p) {
            const Kind kind = At(p, end);
            if (kind == Plain)
                continue;
            if (kind == Component) {
                if (p > component)
                    Measure(cache_.Component(s, n, c), component, p);
                ++c;
                component = p + 1;
                continue;
            }
            if (c > 1) {
                if (p > component)
                    Measure(cache_.Component(s, n, c), component, p);
            } else if (p > repetition) {
                Measure(cache_.Field(s, n), repetition, p);
            }
            c = 1;
            repetition = component = p + 1;
            if (kind == Repetition)
                continue;
            if (kind == Field) {
                ++n;
                continue;
            }
            return p < end ? p + 1 : end;
        }
    }

    unsigned char endOfBlock_;
    Kind class_[256] = {};
    SlotCache cache_;
    MaxWidthsResult& result_;
    int32_t number_ = 0;
};

std::string Fit(std::string_view s, size_t width)
{
    std::string out(s.substr(0, width));
    out.resize(width, ' ');
    return out;
}

}  // namespace

MaxWidthsResult ScanMaxFieldWidths(const RecordStore& store, const Delimiters& delimiters,
                                   char endOfBlock, const DescriptionDictionary& dictionary,
                                   const std::function<bool(int32_t done)>& progress)
{
    MaxWidthsResult result;
    Scanner scanner(delimiters, endOfBlock, dictionary, result);
    ProgressPacer pacer(false);
    if (progress && !progress(0)) {
        result.cancelled = true;
        return result;
    }
    const int32_t count = store.RecordCount;
    // A progress call lets window events run; the count is checked again after each.
    for (int32_t i = 1; i <= count && i <= store.RecordCount; ++i) {
        const std::string& record = store.Record(i);
        scanner.Record(record, i);
        if (!progress || !pacer.Due(record.size()))
            continue;
        if (!progress(i)) {
            result.cancelled = i < count;
            if (result.cancelled)
                return result;
        }
    }
    return result;
}

MaxWidthsResult MeasureOneRecord(std::string_view record, const Delimiters& delimiters,
                                 char endOfBlock, const DescriptionDictionary& dictionary)
{
    MaxWidthsResult result;
    Scanner scanner(delimiters, endOfBlock, dictionary, result);
    scanner.Record(record, 1);
    return result;
}

std::string MaxWidthSortKey(std::string_view key)
{
    const size_t dash = key.find('-');
    if (dash == std::string_view::npos)
        return std::string(key);
    std::string out(key.substr(0, dash));
    size_t from = dash + 1;
    for (;;) {
        const size_t next = key.find('-', from);
        const std::string part =
            "   " + std::string(key.substr(from, next == std::string_view::npos ? key.npos
                                                                                : next - from));
        out += '-';
        out += part.substr(part.size() - 2);
        if (next == std::string_view::npos)
            break;
        from = next + 1;
    }
    return out;
}

std::vector<MaxWidthRow> MaxWidthRows(const DescriptionDictionary& dictionary,
                                      const std::vector<qsizetype>& widths)
{
    std::vector<MaxWidthRow> rows;
    const size_t count = std::min(widths.size(), dictionary.DescriptionKeys.size() + 1);
    for (size_t k = 1; k < count; ++k) {
        if (widths[k] <= 0)
            continue;
        const std::string& key = dictionary.DescriptionKeys[k - 1];
        const std::string rest = Fit(dictionary.Descriptions[k - 1], 40) + std::to_string(widths[k]);
        // A key longer than the column stays whole, so the row still names it.
        const std::string label = key.size() < 15 ? Fit(key, 15) : key + " ";
        rows.push_back({Fit(MaxWidthSortKey(key), 15) + rest, label + rest});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const MaxWidthRow& a, const MaxWidthRow& b) {
        return a.sortKey < b.sortKey;
    });
    return rows;
}

std::string_view MaxWidthRowLabel(std::string_view row)
{
    return row.substr(0, row.find(' '));
}

qsizetype MaxWidthRowWidth(std::string_view row)
{
    const size_t label = MaxWidthRowLabel(row).size();
    const size_t from = std::max<size_t>(55, label + 41);
    if (row.size() <= from)
        return -1;
    qsizetype width = 0;
    for (size_t k = from; k < row.size(); ++k) {
        if (row[k] < '0' || row[k] > '9')
            return -1;
        width = width * 10 + (row[k] - '0');
    }
    return width;
}

}  // namespace quillon
