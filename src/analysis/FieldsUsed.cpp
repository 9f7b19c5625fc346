#include "analysis/FieldsUsed.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillon {
namespace {

std::string Padded15(std::string_view designation)
{
    std::string s(designation.substr(0, DesignationColumns));
    s.resize(DesignationColumns, ' ');
    return s;
}

// Blanks added on the left up to two characters; a longer number keeps all its digits.
void AppendAligned(std::string& out, std::string_view number)
{
    if (number.size() < 2)
        out.append(2 - number.size(), ' ');
    out.append(number);
}

// A separator of "" separates nothing; otherwise its one character as 0..255.
int SeparatorCode(const std::string& separator)
{
    return separator.empty() ? -1 : static_cast<unsigned char>(separator.front());
}

// The distinct designations seen so far. Nearly every field of a record repeats one seen in an
// earlier record, so the walk asks a small open-addressing table keyed by the designation's
// parts packed into 64 bits and builds a designation's text only the first time it turns up.
class Collector {
public:
    Collector(const DescriptionDictionary& dictionary, const std::vector<std::string>& viewFields,
              const DisplayOptions& options)
        : dictionary_(dictionary), viewFields_(viewFields), options_(options)
    {
        keys_.assign(1024, 0);
        flags_.assign(1024, 0);
    }

    // Options in force from now on.
    void SetOptions(const DisplayOptions& options) { options_ = options; }
    const DisplayOptions& Options() const { return options_; }

    void BeginSegment(std::string_view id)
    {
        segment_ = id;
        segmentBits_ = 0;
        for (size_t i = 0; i < id.size(); ++i)
            segmentBits_ |= uint64_t{static_cast<unsigned char>(id[i])} << (8 * i);
        segmentBits_ |= uint64_t{id.size()} << 24;  // 1..3: never a key of 0
    }

    // Field f (from 1), component c and repetition r (0: none). A plain field is collected only
    // when the view admits it; every other line regardless of the view.
    void See(uint32_t f, uint32_t c, uint32_t r, bool plain)
    {
        const bool described = options_.DisplayFieldDescriptions;
        uint8_t* flags;
        if (f < (1u << 13) && c < (1u << 12) && r < (1u << 12)) {
            const uint64_t key = segmentBits_ | uint64_t{described} << 26 | uint64_t{f} << 27
                                 | uint64_t{c} << 40 | uint64_t{r} << 52;
            flags = &Slot(key);
        } else {
            std::string key = Designation(f, c, r);
            key.push_back(described ? '\1' : '\0');
            flags = &overflow_[std::move(key)];
        }
        if (*flags & Collected)
            return;
        if (plain && !viewFields_.empty()) {
            if (!(*flags & ViewChecked)) {
                *flags |= ViewChecked;
                if (OKtoAddToFieldList(Designation(f, 0, 0), viewFields_))
                    *flags |= ViewAdmits;
            }
            if (!(*flags & ViewAdmits))
                return;
        }
        *flags |= Collected;
        Emit(f, c, r, described);
    }

    std::vector<std::string> TakeLines() { return std::move(lines_); }

private:
    static constexpr uint8_t Collected = 1;
    static constexpr uint8_t ViewChecked = 2;
    static constexpr uint8_t ViewAdmits = 4;

    uint8_t& Slot(uint64_t key)
    {
        for (;;) {
            size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
            for (;;) {
                if (keys_[i] == key)
                    return flags_[i];
                if (keys_[i] == 0)
                    break;
                i = (i + 1) & (keys_.size() - 1);
            }
            if ((used_ + 1) * 2 <= keys_.size()) {
                ++used_;
                keys_[i] = key;
                return flags_[i];
            }
            Grow();
        }
    }

    void Grow()
    {
        std::vector<uint64_t> keys(keys_.size() * 2, 0);
        std::vector<uint8_t> flags(keys.size(), 0);
        --shift_;
        for (size_t j = 0; j < keys_.size(); ++j) {
            if (keys_[j] == 0)
                continue;
            size_t i = static_cast<size_t>((keys_[j] * 0x9E3779B97F4A7C15ull) >> shift_);
            while (keys[i] != 0)
                i = (i + 1) & (keys.size() - 1);
            keys[i] = keys_[j];
            flags[i] = flags_[j];
        }
        keys_.swap(keys);
        flags_.swap(flags);
    }

    std::string Designation(uint32_t f, uint32_t c, uint32_t r) const
    {
        std::string d(segment_);
        d += '-';
        d += std::to_string(f);
        if (c > 0) {
            d += '-';
            d += std::to_string(c);
        }
        if (r > 0) {
            d += '(';
            d += std::to_string(r);
            d += ')';
        }
        return d;
    }

    void Emit(uint32_t f, uint32_t c, uint32_t r, bool described)
    {
        const std::string designation = Designation(f, c, r);
        std::string line;
        if (described) {
            // A repetition is described by its field or component, never by the repetition.
            const std::string description = dictionary_.GetHL7Description(
                r > 0 ? std::string_view(designation).substr(0, designation.find('('))
                      : std::string_view(designation));
            line = FieldsUsedLine(designation, &description);
        } else {
            line = FieldsUsedLine(designation, nullptr);
        }
        // Two designations cut to the same 15 characters make one line.
        if (lineSet_.insert(line).second)
            lines_.push_back(std::move(line));
    }

    const DescriptionDictionary& dictionary_;
    const std::vector<std::string>& viewFields_;
    DisplayOptions options_;
    std::string_view segment_;
    uint64_t segmentBits_ = 0;
    std::vector<uint64_t> keys_;
    std::vector<uint8_t> flags_;
    size_t used_ = 0;
    int shift_ = 64 - 10;
    std::unordered_map<std::string, uint8_t> overflow_;
    std::unordered_set<std::string> lineSet_;
    std::vector<std::string> lines_;
};

// Walks one segment's fields, repetitions and components.
class SegmentWalker {
public:
    SegmentWalker(const Delimiters& delimiters)
        : field_(SeparatorCode(delimiters.FieldSeparator))
        , component_(SeparatorCode(delimiters.ComponentSeparator))
        , repetition_(SeparatorCode(delimiters.RepetitionSeparator))
    {
    }

    void Walk(std::string_view segment, Collector& collector) const
    {
        const std::string_view id = segment.substr(0, 3);
        const bool header = id == "MSH" || id == "FHS" || id == "BHS";
        const bool msh = id == "MSH";
        collector.BeginSegment(id);
        const char* p = segment.data();
        const char* const end = p + segment.size();
        for (uint32_t k = 0;; ++k) {
            const char* stop = field_ < 0 ? nullptr
                                          : static_cast<const char*>(std::memchr(
                                                p, field_, static_cast<size_t>(end - p)));
            if (stop == nullptr)
                stop = end;
            if (stop != p) {
                if (k == 0) {
                    if (header)
                        collector.See(1, 0, 0, false);
                } else {
                    Field(std::string_view(p, static_cast<size_t>(stop - p)), header ? k + 1 : k,
                          msh && k == 1, collector);
                }
            }
            if (stop == end)
                return;
            p = stop + 1;
        }
    }

private:
    void Field(std::string_view value, uint32_t f, bool encodingCharacters,
               Collector& collector) const
    {
        // The encoding characters of MSH are one field, whatever they hold.
        if (encodingCharacters) {
            collector.See(f, 0, 0, false);
            return;
        }
        bool holdsComponent = false;
        bool holdsRepetition = false;
        for (const char ch : value) {
            const int code = static_cast<unsigned char>(ch);
            if (code == repetition_) {
                holdsRepetition = true;
                break;
            }
            holdsComponent |= code == component_;
        }
        if (holdsRepetition) {
            const DisplayOptions& o = collector.Options();
            if (o.DisplayCompoundFields || o.DisplaySegmentDescriptions)
                collector.See(f, 0, 0, false);
            uint32_t r = 1;
            ForEachPart(value, repetition_, [&](std::string_view repetition) {
                if (Holds(repetition, component_)) {
                    uint32_t c = 1;
                    ForEachPart(repetition, component_, [&](std::string_view component) {
                        if (!component.empty())
                            collector.See(f, c, r, false);
                        ++c;
                    });
                } else if (!repetition.empty()) {
                    collector.See(f, 0, r, false);
                }
                ++r;
            });
        } else if (holdsComponent) {
            const DisplayOptions& o = collector.Options();
            if (o.DisplayCompoundFields || o.DisplaySegmentDescriptions)
                collector.See(f, 0, 0, false);
            uint32_t c = 1;
            ForEachPart(value, component_, [&](std::string_view component) {
                if (!component.empty())
                    collector.See(f, c, 0, false);
                ++c;
            });
        } else {
            collector.See(f, 0, 0, true);
        }
    }

    static bool Holds(std::string_view text, int separator)
    {
        return separator >= 0 && std::memchr(text.data(), separator, text.size()) != nullptr;
    }

    template <typename Visit>
    static void ForEachPart(std::string_view text, int separator, Visit&& visit)
    {
        size_t start = 0;
        for (;;) {
            const size_t at = text.find(static_cast<char>(separator), start);
            if (at == std::string_view::npos) {
                visit(text.substr(start));
                return;
            }
            visit(text.substr(start, at - start));
            start = at + 1;
        }
    }

    int field_;
    int component_;
    int repetition_;
};

}  // namespace

std::string GetSegmentFieldPrefix(std::string_view designation)
{
    const size_t first = designation.find('-');
    if (first == std::string_view::npos)
        return {};
    return std::string(designation.substr(0, designation.find('-', first + 1)));
}

std::string FieldsUsedLine(std::string_view designation, const std::string* description)
{
    std::string line = Padded15(designation);
    if (description != nullptr) {
        std::string column = " [" + *description + "]";
        column.resize(DescriptionColumns, ' ');
        line += column;
    }
    return std::string(TrimBlanks(line));
}

std::string FieldsUsedSortKey(std::string_view line)
{
    std::string_view designation = TrimBlanks(line.substr(0, DesignationColumns));
    std::string_view suffix;
    if (const size_t open = designation.find('('); open != std::string_view::npos) {
        suffix = designation.substr(open);
        designation = designation.substr(0, open);
    }
    // Right to left, each "-" with the number after it; the segment id stays as it is.
    std::vector<std::string_view> numbers;
    size_t handled = designation.size();
    for (size_t j = designation.size(); j-- > 0;) {
        if (designation[j] != '-')
            continue;
        numbers.push_back(designation.substr(j + 1, handled - j - 1));
        handled = j;
    }
    std::string key(designation.substr(0, handled));
    for (size_t n = numbers.size(); n-- > 0;) {
        key += '-';
        AppendAligned(key, numbers[n]);
    }
    key = std::string(TrimBlanks(key));
    key += suffix;
    std::string result = Padded15(key);
    if (line.size() > DesignationColumns)
        result += line.substr(DesignationColumns);
    return std::string(TrimBlanks(result));
}

void SortFieldsUsed(std::vector<std::string>& lines)
{
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(lines.size());
    for (std::string& line : lines)
        keyed.emplace_back(FieldsUsedSortKey(line), std::move(line));
    // Lines are shown as collected, not rebuilt from their keys: a key cut at 15 columns
    // would otherwise lose part of a long designation. Equal keys fall back on the line.
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i)
        lines[i] = std::move(keyed[i].second);
}

FieldsUsedResult DetermineFieldsUsed(
    const RecordStore& store, const Delimiters& delimiters, char endOfBlock,
    const DescriptionDictionary& dictionary, const std::vector<std::string>& viewFields,
    DisplayOptions options,
    const std::function<bool(int32_t examined, DisplayOptions& options)>& progress)
{
    FieldsUsedResult result;
    // Copies: window events run during a progress call and may change either.
    const Delimiters split = delimiters;
    const std::vector<std::string> view = viewFields;
    Collector collector(dictionary, view, options);
    const SegmentWalker walker(split);

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall{};
    int32_t recordsSinceLook = 0;
    size_t bytesSinceLook = 0;
    const int32_t count = store.RecordCount;
    for (int32_t i = 1; i <= count; ++i) {
        // Fetched afresh: a progress call lets events run, which may move or drop records.
        if (i > store.RecordCount)
            break;
        const std::string& record = store.Record(i);
        const char* p = record.data();
        const char* const end = p + record.size();
        while (p < end) {
            const char* stop =
                static_cast<const char*>(std::memchr(p, endOfBlock, static_cast<size_t>(end - p)));
            if (stop == nullptr)
                stop = end;
            if (stop != p)
                walker.Walk(std::string_view(p, static_cast<size_t>(stop - p)), collector);
            p = stop + 1;
        }
        ++result.examined;
        if (!progress)
            continue;
        bytesSinceLook += record.size();
        if (++recordsSinceLook < 256 && bytesSinceLook < (size_t{1} << 20))
            continue;
        recordsSinceLook = 0;
        bytesSinceLook = 0;
        const auto now = Clock::now();
        if (now - lastCall < std::chrono::milliseconds(50))
            continue;
        lastCall = now;
        // A cancel is noticed before the next record: after the last one the run is whole.
        if (!progress(result.examined, options) && i < count) {
            result.cancelled = true;
            break;
        }
        collector.SetOptions(options);
    }
    result.lines = collector.TakeLines();
    if (!result.cancelled)
        SortFieldsUsed(result.lines);
    return result;
}

}  // namespace quillon
