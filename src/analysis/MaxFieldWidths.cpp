#include "analysis/MaxFieldWidths.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <unordered_map>

namespace quillon {

namespace {

constexpr int NoSeparator = -1;

int SeparatorChar(const std::string& s)
{
    return s.empty() ? NoSeparator : static_cast<unsigned char>(s[0]);
}

const char* Find(const char* p, const char* end, int c)
{
    if (c == NoSeparator || p >= end)
        return nullptr;
    return static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p)));
}

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
        if (n >= s.fields.size())
            s.fields.resize(n + 1, -1);
        int32_t& slot = s.fields[n];
        if (slot < 0)
            slot = Lookup(s.name + "-" + std::to_string(n));
        return slot;
    }

    int32_t Component(Segment& s, size_t n, size_t c)
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

private:
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

class Scanner {
public:
    Scanner(const Delimiters& delimiters, char endOfBlock, const DescriptionDictionary& dictionary,
            MaxWidthsResult& result)
        : field_(SeparatorChar(delimiters.FieldSeparator)),
          component_(SeparatorChar(delimiters.ComponentSeparator)),
          repetition_(SeparatorChar(delimiters.RepetitionSeparator)),
          endOfBlock_(static_cast<unsigned char>(endOfBlock)),
          cache_(dictionary),
          result_(result)
    {
        const size_t slotCount = static_cast<size_t>(dictionary.DescriptionCount()) + 1;
        result_.widths.assign(slotCount, 0);
        result_.records.assign(slotCount, 0);
    }

    void Record(std::string_view record, int32_t number)
    {
        number_ = number;
        const char* p = record.data();
        const char* const end = p + record.size();
        while (p < end) {
            const char* eob = Find(p, end, endOfBlock_);
            const char* segEnd = eob ? eob : end;
            // The piece after the last terminator counts only when it holds more than blanks.
            if (!eob && std::all_of(p, segEnd, [](char ch) { return ch == ' '; }))
                break;
            Segment(p, segEnd);
            p = eob ? eob + 1 : end;
        }
    }

private:
    void Measure(int32_t slot, const char* from, const char* to)
    {
        const qsizetype width = to - from;
        if (slot > 0 && width > result_.widths[static_cast<size_t>(slot)]) {
            result_.widths[static_cast<size_t>(slot)] = width;
            result_.records[static_cast<size_t>(slot)] = number_;
        }
    }

    // Components of one value (or of one repetition) under SEG-n-c.
    void Components(SlotCache::Segment& s, size_t n, const char* p, const char* end)
    {
        size_t c = 1;
        for (;;) {
            const char* sep = Find(p, end, component_);
            const char* to = sep ? sep : end;
            if (to > p)
                Measure(cache_.Component(s, n, c), p, to);
            if (!sep)
                break;
            p = sep + 1;
            ++c;
        }
    }

    void Segment(const char* p, const char* end)
    {
        const std::string_view name(p, static_cast<size_t>(std::min<ptrdiff_t>(3, end - p)));
        const char* sep = Find(p, end, field_);
        if (!sep)
            return;  // no fields
        SlotCache::Segment& s = cache_.ForName(name);
        const bool msh = name == "MSH";
        size_t n = msh ? 2 : 1;
        for (p = sep + 1;; p = sep + 1, ++n) {
            sep = Find(p, end, field_);
            const char* to = sep ? sep : end;
            if (to > p) {
                if (msh && n == 2)
                    Measure(cache_.Field(s, n), p, to);  // encoding characters, whole
                else
                    Value(s, n, p, to);
            }
            if (!sep)
                break;
        }
    }

    void Value(SlotCache::Segment& s, size_t n, const char* p, const char* end)
    {
        if (!Find(p, end, repetition_)) {
            if (Find(p, end, component_))
                Components(s, n, p, end);
            else
                Measure(cache_.Field(s, n), p, end);
            return;
        }
        // Every repetition counts toward the same labels; one without components is measured
        // whole under the field's own label.
        for (;;) {
            const char* sep = Find(p, end, repetition_);
            const char* to = sep ? sep : end;
            if (Find(p, to, component_))
                Components(s, n, p, to);
            else if (to > p)
                Measure(cache_.Field(s, n), p, to);
            if (!sep)
                break;
            p = sep + 1;
        }
    }

    int field_;
    int component_;
    int repetition_;
    int endOfBlock_;
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
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall = Clock::now();
    if (progress && !progress(0)) {
        result.cancelled = true;
        return result;
    }
    const int32_t count = store.RecordCount;
    int32_t sinceLook = 0;
    // A progress call lets window events run; the count is checked again after each.
    for (int32_t i = 1; i <= count && i <= store.RecordCount; ++i) {
        scanner.Record(store.Record(i), i);
        if (!progress || ++sinceLook < 64)
            continue;
        sinceLook = 0;
        const auto now = Clock::now();
        if (now - lastCall < std::chrono::milliseconds(50))
            continue;
        lastCall = now;
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
