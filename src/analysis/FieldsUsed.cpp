#include "analysis/FieldsUsed.h"
#include "app/ProgressPacer.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillon {
namespace {

bool SameOptions(const DisplayOptions& a, const DisplayOptions& b)
{
    return a.DisplayFieldDescriptions == b.DisplayFieldDescriptions
           && a.DisplayCompoundFields == b.DisplayCompoundFields
           && a.DisplaySegmentDescriptions == b.DisplaySegmentDescriptions;
}

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

    size_t Home(uint64_t key) const
    {
        key ^= key >> 29;
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    }

    uint8_t& Slot(uint64_t key)
    {
        for (;;) {
            size_t i = Home(key);
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
            size_t i = Home(keys_[j]);
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

// Walks the fields, repetitions and components of a segment, each byte classed through a
// table. A character that is more than one delimiter counts as the one split first: end of
// segment, then field, repetition, component.
class SegmentWalker {
public:
    SegmentWalker(const Delimiters& delimiters, char endOfBlock)
    {
        Mark(delimiters.ComponentSeparator, Component);
        Mark(delimiters.RepetitionSeparator, Repetition);
        Mark(delimiters.FieldSeparator, Field);
        class_[static_cast<unsigned char>(endOfBlock)] = EndOfSegment;
    }

    // One segment, without its terminator.
    void WalkSegment(std::string_view segment, Collector& collector) const
    {
        const std::string_view id = segment.substr(0, 3);
        const bool header = id == "MSH" || id == "FHS" || id == "BHS";
        const bool msh = id == "MSH";
        collector.BeginSegment(id);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(segment.data());
        const unsigned char* const end = p + segment.size();
        for (uint32_t k = 0;; ++k) {
            const unsigned char* q = p;
            uint8_t held = 0;
            for (; q < end; ++q) {
                const uint8_t c = class_[*q];
                if (c >= Field)
                    break;
                held |= c;
            }
            if (q != p) {
                const std::string_view value(reinterpret_cast<const char*>(p),
                                             static_cast<size_t>(q - p));
                if (k == 0) {
                    if (header)
                        collector.See(1, 0, 0, false);
                } else if (msh && k == 1) {
                    // The encoding characters of MSH are one field, whatever they hold.
                    collector.See(2, 0, 0, false);
                } else {
                    FieldValue(value, held, header ? k + 1 : k, collector);
                }
            }
            if (q >= end)
                return;
            p = q + 1;
        }
    }

    // The delimiter class of every byte: 0 for data, else a power of two from 2 up (bit 0 is
    // left free for the shape of a segment).
    const uint8_t* Classes() const { return class_; }
    static constexpr uint8_t EndOfSegment = 16;

private:
    static constexpr uint8_t Component = 2;
    static constexpr uint8_t Repetition = 4;
    static constexpr uint8_t Field = 8;

    void Mark(const std::string& separator, uint8_t what)
    {
        // "" separates nothing.
        if (!separator.empty())
            class_[static_cast<unsigned char>(separator.front())] = what;
    }

    void FieldValue(std::string_view value, uint8_t held, uint32_t f, Collector& collector) const
    {
        if (held == 0) {
            collector.See(f, 0, 0, true);
            return;
        }
        const DisplayOptions& o = collector.Options();
        if (o.DisplayCompoundFields || o.DisplaySegmentDescriptions)
            collector.See(f, 0, 0, false);
        if (held & Repetition) {
            uint32_t r = 1;
            ForEachPart(value, Repetition, [&](std::string_view repetition, uint8_t inside) {
                if (inside & Component) {
                    uint32_t n = 1;
                    ForEachPart(repetition, Component, [&](std::string_view component, uint8_t) {
                        if (!component.empty())
                            collector.See(f, n, r, false);
                        ++n;
                    });
                } else if (!repetition.empty()) {
                    collector.See(f, 0, r, false);
                }
                ++r;
            });
        } else {
            uint32_t n = 1;
            ForEachPart(value, Component, [&](std::string_view component, uint8_t) {
                if (!component.empty())
                    collector.See(f, n, 0, false);
                ++n;
            });
        }
    }

    // Calls visit(part, classes of the delimiters it holds) for each part cut at `at`.
    template <typename Visit>
    void ForEachPart(std::string_view text, uint8_t at, Visit&& visit) const
    {
        const char* start = text.data();
        const char* const end = start + text.size();
        uint8_t held = 0;
        for (const char* q = start; q != end; ++q) {
            const uint8_t c = class_[static_cast<unsigned char>(*q)];
            if (c == at) {
                visit(std::string_view(start, static_cast<size_t>(q - start)), held);
                start = q + 1;
                held = 0;
            } else {
                held |= c;
            }
        }
        visit(std::string_view(start, static_cast<size_t>(end - start)), held);
    }

    uint8_t class_[256] = {};
};

// Segments of one shape yield the same lines: the shape being the segment id and, for every
// delimiter in order, its class and whether the part before it holds data (the end of the
// segment closing the last part). A segment is cut into these tokens in one branch-free pass,
// and only a segment of a shape not met before is walked field by field.
class ShapeFilter {
public:
    ShapeFilter(const SegmentWalker& walker, const Delimiters& delimiters, char endOfBlock)
        : walker_(walker), endOfBlock_(endOfBlock)
    {
        // An empty delimiter stands in as one of the others (the end of the segment at worst,
        // which never occurs inside one).
        const std::string* given[3] = {&delimiters.FieldSeparator, &delimiters.ComponentSeparator,
                                       &delimiters.RepetitionSeparator};
        unsigned char fallback = static_cast<unsigned char>(endOfBlock);
        for (const std::string* d : given)
            if (!d->empty())
                fallback = static_cast<unsigned char>(d->front());
        for (size_t i = 0; i < 3; ++i)
            delimiters_[i] = given[i]->empty() ? fallback
                                               : static_cast<unsigned char>(given[i]->front());
        table_.assign(1024, Entry{});
    }

    // Shapes met under other options are no guide.
    void Forget()
    {
        table_.assign(1024, Entry{});
        used_ = 0;
        shift_ = 64 - 10;
        arena_.clear();
    }

    void Walk(std::string_view record, Collector& collector)
    {
        const uint8_t* classes = walker_.Classes();
        tokens_.resize(record.size() + 1);
        uint8_t* tokens = tokens_.data();
        const char* p = record.data();
        const char* const end = p + record.size();
        while (p < end) {
            const char* stop =
                static_cast<const char*>(std::memchr(p, endOfBlock_, static_cast<size_t>(end - p)));
            if (stop == nullptr)
                stop = end;
            if (stop != p) {
                const std::string_view segment(p, static_cast<size_t>(stop - p));
                const size_t n = Tokens(segment, classes, tokens);
                if (IsNew(segment.substr(0, 3), tokens, n))
                    walker_.WalkSegment(segment, collector);
            }
            p = stop + 1;
        }
    }

private:
    // The segment's tokens into `tokens`; answers their number.
    size_t Tokens(std::string_view segment, const uint8_t* classes, uint8_t* tokens) const
    {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(segment.data());
        const size_t size = segment.size();
        size_t n = 0;
        size_t next = 0;  // where the part after the last delimiter starts
        size_t i = 0;
#ifdef __SSE2__
        // Sixteen bytes at a time: only the delimiters cost anything.
        const __m128i a = _mm_set1_epi8(static_cast<char>(delimiters_[0]));
        const __m128i b = _mm_set1_epi8(static_cast<char>(delimiters_[1]));
        const __m128i c = _mm_set1_epi8(static_cast<char>(delimiters_[2]));
        for (; i + 16 <= size; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)), _mm_cmpeq_epi8(v, c))));
            while (mask != 0) {
                const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
                tokens[n++] = classes[bytes[at]] | (at != next ? 1 : 0);
                next = at + 1;
                mask &= mask - 1;
            }
        }
#endif
        for (; i < size; ++i) {
            const uint8_t k = classes[bytes[i]];
            if (k != 0) {
                tokens[n++] = k | (i != next ? 1 : 0);
                next = i + 1;
            }
        }
        tokens[n++] = SegmentWalker::EndOfSegment | (size != next ? 1 : 0);
        return n;
    }

    struct Entry {
        uint64_t hash = 0;
        uint32_t offset = 0;
        uint32_t length = 0;  // 0: free
    };
    static constexpr size_t MostShapeBytes = size_t{1} << 28;

    static uint64_t Hash(const uint8_t* bytes, size_t size)
    {
        uint64_t h = 0x243F6A8885A308D3ull ^ size;
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t w;
            std::memcpy(&w, bytes + i, 8);
            h = (h ^ w) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
        }
        if (i < size) {
            uint64_t w = 0;
            std::memcpy(&w, bytes + i, size - i);
            h = (h ^ w) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
        }
        return h * 0xBF58476D1CE4E5B9ull;
    }

    // Whether the shape is met for the first time (it is then kept).
    bool IsNew(std::string_view id, const uint8_t* tokens, size_t count)
    {
        key_.clear();
        key_.push_back(static_cast<uint8_t>(id.size()));
        key_.insert(key_.end(), id.begin(), id.end());
        key_.insert(key_.end(), tokens, tokens + count);
        const uint64_t hash = Hash(key_.data(), key_.size());
        size_t i = static_cast<size_t>(hash >> shift_);
        for (;;) {
            const Entry& e = table_[i];
            if (e.length == 0)
                break;
            if (e.hash == hash && e.length == key_.size()
                && std::memcmp(arena_.data() + e.offset, key_.data(), key_.size()) == 0)
                return false;
            i = (i + 1) & (table_.size() - 1);
        }
        // Past a bound on the bytes kept, new shapes are walked every time.
        if (arena_.size() + key_.size() > MostShapeBytes)
            return true;
        if ((used_ + 1) * 2 > table_.size()) {
            Grow();
            i = static_cast<size_t>(hash >> shift_);
            while (table_[i].length != 0)
                i = (i + 1) & (table_.size() - 1);
        }
        table_[i] = Entry{hash, static_cast<uint32_t>(arena_.size()),
                          static_cast<uint32_t>(key_.size())};
        arena_.insert(arena_.end(), key_.begin(), key_.end());
        ++used_;
        return true;
    }

    void Grow()
    {
        std::vector<Entry> table(table_.size() * 2);
        --shift_;
        for (const Entry& e : table_) {
            if (e.length == 0)
                continue;
            size_t i = static_cast<size_t>(e.hash >> shift_);
            while (table[i].length != 0)
                i = (i + 1) & (table.size() - 1);
            table[i] = e;
        }
        table_.swap(table);
    }

    const SegmentWalker& walker_;
    char endOfBlock_;
    unsigned char delimiters_[3];
    std::vector<uint8_t> tokens_;
    std::vector<uint8_t> key_;
    std::vector<Entry> table_;
    std::vector<uint8_t> arena_;
    size_t used_ = 0;
    int shift_ = 64 - 10;
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
    const SegmentWalker walker(split, endOfBlock);
    ShapeFilter shapes(walker, split, endOfBlock);

    ProgressPacer pacer;
    const int32_t count = store.RecordCount;
    for (int32_t i = 1; i <= count; ++i) {
        // Fetched afresh: a progress call lets events run, which may move or drop records.
        if (i > store.RecordCount)
            break;
        const std::string_view record = store.Record(i);
        shapes.Walk(record, collector);
        ++result.examined;
        if (!progress || !pacer.Due(record.size()))
            continue;
        // A cancel is noticed before the next record: after the last one the run is whole.
        if (!progress(result.examined, options) && i < count) {
            result.cancelled = true;
            break;
        }
        if (!SameOptions(options, collector.Options())) {
            collector.SetOptions(options);
            shapes.Forget();
        }
    }
    result.lines = collector.TakeLines();
    if (!result.cancelled)
        SortFieldsUsed(result.lines);
    return result;
}

}  // namespace quillon
