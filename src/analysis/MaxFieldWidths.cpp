#include "analysis/MaxFieldWidths.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/Background.h"

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
        // A record's segments take turns, so each name keeps a place of its own in front of
        // the map.
        Recent& recent = recent_[(key * 0x9E3779B1u) >> 26];
        if (recent.segment && recent.key == key)
            return *recent.segment;
        auto [it, added] = segments_.try_emplace(key);
        if (added)
            it->second.name = std::string(name);
        recent = {key, &it->second};
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

    struct Recent {
        uint32_t key = 0;
        Segment* segment = nullptr;
    };

    const DescriptionDictionary& dictionary_;
    std::unordered_map<uint32_t, Segment> segments_;  // nodes never move
    std::array<Recent, 64> recent_{};
};

// One walk over each record's bytes: the bytes that end a value (end of segment, field,
// repetition or component separator) are found sixteen at a time, and each value is measured
// as its end is reached.
class alignas(64) Scanner {  // one per thread; their states are written side by side
public:
    Scanner(const Delimiters& delimiters, char endOfBlock, const DescriptionDictionary& dictionary)
        : endOfBlock_(static_cast<unsigned char>(endOfBlock)), cache_(dictionary)
    {
        // Later assignments win where two delimiters are the same character: records are cut
        // into segments first, then into fields, repetitions and components.
        std::array<unsigned char, 4> ends{endOfBlock_, endOfBlock_, endOfBlock_, endOfBlock_};
        size_t k = 1;
        for (const auto& [sep, kind] : {std::pair{&delimiters.ComponentSeparator, Component},
                                        std::pair{&delimiters.RepetitionSeparator, Repetition},
                                        std::pair{&delimiters.FieldSeparator, Field}})
            if (!sep->empty()) {
                class_[static_cast<unsigned char>((*sep)[0])] = kind;
                ends[k++] = static_cast<unsigned char>((*sep)[0]);
            }
        class_[endOfBlock_] = End;
#ifdef __SSE2__
        for (size_t j = 0; j < ends.size(); ++j)
            ends_[j] = _mm_set1_epi8(static_cast<char>(ends[j]));
#endif
        const size_t slotCount = static_cast<size_t>(dictionary.DescriptionCount()) + 1;
        result.widths.assign(slotCount, 0);
        result.records.assign(slotCount, 0);
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
        Walk(p, end);
    }

    MaxWidthsResult result;  // this scanner's records only

private:
    enum Kind : uint8_t { Plain, Component, Repetition, Field, End };
    // Where a segment's walk stands: before its first field separator, in MSH-2 (measured
    // whole), or among its fields.
    enum Place : uint8_t { Name, EncodingCharacters, Fields };

    void Measure(int32_t slot, const unsigned char* from, const unsigned char* to)
    {
        const qsizetype width = to - from;
        if (slot > 0 && width > result.widths[static_cast<size_t>(slot)]) {
            result.widths[static_cast<size_t>(slot)] = width;
            result.records[static_cast<size_t>(slot)] = number_;
        }
    }

#ifdef __SSE2__
    // Bit i set where p[i] ends a value, for the 32 bytes from p.
    uint32_t Ends32(const unsigned char* p) const
    {
        auto ends16 = [this](const unsigned char* q) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            const __m128i m = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(b, ends_[0]), _mm_cmpeq_epi8(b, ends_[1])),
                _mm_or_si128(_mm_cmpeq_epi8(b, ends_[2]), _mm_cmpeq_epi8(b, ends_[3])));
            return static_cast<uint32_t>(_mm_movemask_epi8(m));
        };
        return ends16(p) | ends16(p + 16) << 16;
    }
#endif

    // Measures the segments in [begin, end).
    void Walk(const unsigned char* const begin, const unsigned char* const end)
    {
        Place place = Name;
        const unsigned char* segment = begin;
        SlotCache::Segment* s = nullptr;
        size_t n = 0, c = 1;
        // A repetition with components is measured component by component (SEG-n-c), one
        // without whole under the field's label (SEG-n); all repetitions count alike.
        const unsigned char* repetition = begin;
        const unsigned char* component = begin;
        auto at = [&](const unsigned char* p, Kind kind) __attribute__((always_inline)) {
            switch (place) {
            case Name:
                if (kind == End) {
                    segment = p + 1;
                } else if (kind == Field) {
                    // The name is the segment's first three characters, whatever they hold.
                    size_t length = std::min<size_t>(3, static_cast<size_t>(end - segment));
                    for (size_t k = 0; k < length; ++k)
                        if (segment[k] == endOfBlock_)
                            length = k;
                    const std::string_view name(reinterpret_cast<const char*>(segment), length);
                    s = &cache_.ForName(name);
                    // MSH-1 is the separator itself; MSH-2, the encoding characters, is
                    // measured whole.
                    place = name == "MSH" ? EncodingCharacters : Fields;
                    n = 1;
                    c = 1;
                    repetition = component = p + 1;
                }
                return;
            case EncodingCharacters:
                if (kind == Field || kind == End) {
                    if (p > repetition)
                        Measure(cache_.Field(*s, 2), repetition, p);
                    place = Fields;
                    n = 3;
                    repetition = component = p + 1;
                    if (kind == End) {
                        place = Name;
                        segment = p + 1;
                    }
                }
                return;
            case Fields:
                if (kind == Component) {
                    if (p > component)
                        Measure(cache_.Component(*s, n, c), component, p);
                    ++c;
                    component = p + 1;
                    return;
                }
                if (c > 1) {
                    if (p > component)
                        Measure(cache_.Component(*s, n, c), component, p);
                } else if (p > repetition) {
                    Measure(cache_.Field(*s, n), repetition, p);
                }
                c = 1;
                repetition = component = p + 1;
                if (kind == Field) {
                    ++n;
                } else if (kind == End) {
                    place = Name;
                    segment = p + 1;
                }
                return;
            }
        };
        const unsigned char* p = begin;
#ifdef __SSE2__
        for (; end - p >= 32; p += 32)
            for (uint32_t m = Ends32(p); m != 0; m &= m - 1) {
                const unsigned char* q = p + __builtin_ctz(m);
                at(q, class_[*q]);
            }
#endif
        for (; p < end; ++p)
            if (class_[*p] != Plain)
                at(p, class_[*p]);
        at(end, End);  // the last segment needs no terminator
    }

    unsigned char endOfBlock_;
    Kind class_[256] = {};
#ifdef __SSE2__
    __m128i ends_[4];
#endif
    SlotCache cache_;
    int32_t number_ = 0;
};

std::string Fit(std::string_view s, size_t width)
{
    std::string out(s.substr(0, width));
    out.resize(width, ' ');
    return out;
}

// Records one thread takes at least, for it to pay; the first chunk gives each thread that
// many, and later chunks are sized by the time the last one took, so that progress is reported
// about every 50 ms.
constexpr size_t RecordsPerThread = 8192;
constexpr double ChunkSeconds = 0.05;
// Threads take the records of a chunk in blocks of this many, each the next block not yet taken:
// a thread slowed by other work on its core holds up the others by one block at most.
constexpr int64_t BlockRecords = 256;

}  // namespace

MaxWidthsResult ScanMaxFieldWidths(const RecordStore& store, const Delimiters& delimiters,
                                   char endOfBlock, const DescriptionDictionary& dictionary,
                                   const std::function<bool(int32_t done)>& progress)
{
    MaxWidthsResult result;
    const int32_t count = store.RecordCount;
    // A small store is measured on this thread alone.
    platform::Crew crew(std::min(
        platform::CoreCount(),
        std::max<size_t>(1, static_cast<size_t>(std::max(count, 0)) / RecordsPerThread)));
    std::vector<std::unique_ptr<Scanner>> scanners;
    for (size_t m = 0; m < crew.Size(); ++m)
        scanners.push_back(std::make_unique<Scanner>(delimiters, endOfBlock, dictionary));
    if (progress && !progress(0)) {
        result.cancelled = true;
        return result;
    }

    // A chunk of records is measured on every thread before progress is called: the call lets
    // window events run, which may add records and move them all, and the count is checked
    // again after each. Each thread takes its blocks in record order, so what it keeps for a
    // width is the first of its records that reached it.
    using Clock = std::chrono::steady_clock;
    size_t chunk = RecordsPerThread * crew.Size();
    std::atomic<int64_t> nextBlock{0};
    for (int32_t first = 1; first <= count && first <= store.RecordCount;) {
        const auto last = static_cast<int32_t>(std::min<int64_t>(
            {count, store.RecordCount, int64_t{first} + static_cast<int64_t>(chunk) - 1}));
        const auto began = Clock::now();
        nextBlock = first;
        crew.Run([&](size_t m) {
            Scanner& scanner = *scanners[m];
            for (int64_t from; (from = nextBlock.fetch_add(BlockRecords)) <= last;) {
                const auto to = static_cast<int32_t>(std::min<int64_t>(last, from + BlockRecords - 1));
                for (auto i = static_cast<int32_t>(from); i <= to; ++i)
                    scanner.Record(store.Record(i), i);
            }
        });
        const double took = std::chrono::duration<double>(Clock::now() - began).count();
        chunk = std::clamp(static_cast<size_t>(static_cast<double>(chunk) * ChunkSeconds
                                               / std::max(took, 1e-6)),
                           RecordsPerThread, chunk * 4);
        first = last + 1;
        if (first <= count && progress && !progress(last)) {
            result.cancelled = true;
            return result;
        }
    }

    // The widest value of each slot, and of the threads that reached it the lowest record.
    result = std::move(scanners[0]->result);
    for (size_t m = 1; m < scanners.size(); ++m) {
        const MaxWidthsResult& other = scanners[m]->result;
        for (size_t k = 1; k < result.widths.size(); ++k) {
            const qsizetype w = other.widths[k];
            if (w > result.widths[k]
                || (w > 0 && w == result.widths[k] && other.records[k] < result.records[k])) {
                result.widths[k] = w;
                result.records[k] = other.records[k];
            }
        }
    }
    return result;
}

MaxWidthsResult MeasureOneRecord(std::string_view record, const Delimiters& delimiters,
                                 char endOfBlock, const DescriptionDictionary& dictionary)
{
    Scanner scanner(delimiters, endOfBlock, dictionary);
    scanner.Record(record, 1);
    return std::move(scanner.result);
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
