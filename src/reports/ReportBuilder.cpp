#include "reports/ReportBuilder.h"

#include <algorithm>
#include <cstring>
#include <span>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <new>

#include <sys/mman.h>

#include "app/ProgressPacer.h"
#include "records/FieldDesignations.h"

namespace quillon {

void* AllocateLarge(size_t bytes)
{
    constexpr size_t HugePage = size_t{2} << 20;
    void* p = nullptr;
    if (bytes >= 2 * HugePage) {
        const size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        p = std::aligned_alloc(HugePage, rounded);
        if (p != nullptr)
            madvise(p, rounded, MADV_HUGEPAGE);  // only advice: failing changes nothing
    } else {
        p = std::malloc(bytes == 0 ? 1 : bytes);
    }
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

uint64_t ReportTable::Ref(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto at = reinterpret_cast<uintptr_t>(text.data());
    const auto record = reinterpret_cast<uintptr_t>(record_.data());
    if (at >= record && at - record + text.size() <= record_.size()) {
        const uint64_t offset = at - record;
        if (offset <= ViewOffsetMask && text.size() <= ViewLengthMask)
            return ViewFlag | static_cast<uint64_t>(recordNumber_) << 32 |
                   offset << ViewLengthBits | text.size();
    }
    uint64_t offset = 0;
    if (text.size() > BlockMask) {
        // A text larger than a block has a block of its own.
        blocks_.emplace_back(text);
        blocks_.emplace_back();
        blocks_.back().reserve(BlockMask + 1);
        offset = (blocks_.size() - 2) << BlockBits;
    } else {
        if (blocks_.empty() || blocks_.back().size() + text.size() > BlockMask + 1) {
            blocks_.emplace_back();
            blocks_.back().reserve(BlockMask + 1);
        }
        offset = (blocks_.size() - 1) << BlockBits | blocks_.back().size();
        blocks_.back().append(text);
    }
    if (text.size() < LengthMask)
        return offset << LengthBits | text.size();
    long_.push_back(LongCell{offset, text.size()});
    return (long_.size() - 1) << LengthBits | LengthMask;
}

TextEncoding ReportTable::RowEncoding(size_t row) const
{
    const int32_t record = RowRecord(row);
    if (store_ == nullptr || record < 1 || record > store_->RecordCount)
        return TextEncoding::Latin1;
    return RecordEncoding(store_->Record(record), endOfBlock_);
}

void ReportTable::AddRow(std::string_view first)
{
    rowRecords_.push_back(recordNumber_);
    const size_t at = cells_.size();
    cells_.resize(at + columns.size());
    cells_[at] = Ref(first);
}

void ReportTable::SetLastRowCell(size_t column, std::string_view text)
{
    cells_[cells_.size() - columns.size() + column] = Ref(text);
}

namespace {

constexpr size_t npos = std::string_view::npos;
// Records read before the table is sized for all of them.
constexpr int32_t EstimateAfter = 256;

// The field table names a row SEG-f, SEG-f(k), SEG-f-c or SEG-f-c(k).
enum class Kind : uint8_t { Field, Repetition, Component, ComponentRepetition };

// A designation in exactly the form the field table writes; anything else is looked up the
// slow way, through the table itself.
struct Designation {
    bool fast = false;
    char name[3] = {};
    Kind kind = Kind::Field;
    int32_t field = 0;
    int32_t component = 0;
    int32_t repetition = 0;
};

// A number as the table writes it: no sign, no leading zero, at most nine digits.
bool ReadNumber(std::string_view s, size_t& i, int32_t& n)
{
    if (i >= s.size() || s[i] < '1' || s[i] > '9')
        return false;
    n = 0;
    for (size_t digits = 0; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        if (digits == 9)
            return false;
        n = n * 10 + (s[i] - '0');
    }
    return true;
}

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

Designation Parse(std::string_view d)
{
    Designation p;
    if (d.size() < 5 || d[3] != '-' || !IsNameChar(d[0]) || !IsNameChar(d[1]) || !IsNameChar(d[2]))
        return p;
    std::memcpy(p.name, d.data(), 3);
    size_t i = 4;
    if (!ReadNumber(d, i, p.field))
        return p;
    bool component = false;
    if (i < d.size() && d[i] == '-') {
        ++i;
        if (!ReadNumber(d, i, p.component))
            return p;
        component = true;
    }
    bool repetition = false;
    if (i < d.size() && d[i] == '(') {
        ++i;
        if (!ReadNumber(d, i, p.repetition) || i >= d.size() || d[i] != ')')
            return p;
        ++i;
        repetition = true;
    }
    if (i != d.size())
        return p;
    p.kind = component ? (repetition ? Kind::ComponentRepetition : Kind::Component)
                       : (repetition ? Kind::Repetition : Kind::Field);
    p.fast = true;
    return p;
}

bool IsHeaderName(const char* name)
{
    return std::memcmp(name, "MSH", 3) == 0 || std::memcmp(name, "FHS", 3) == 0 ||
           std::memcmp(name, "BHS", 3) == 0;
}

// A one-character delimiter; an empty one matches nothing.
struct Separator {
    bool present = false;
    char ch = 0;
    explicit Separator(const std::string& text) : present(!text.empty()), ch(present ? text[0] : 0) {}
    // Position of the first separator in text[from, to), or `to`.
    size_t FindIn(std::string_view text, size_t from, size_t to) const
    {
        if (!present || from >= to)
            return to;
        const void* at = std::memchr(text.data() + from, ch, to - from);
        return at == nullptr ? to : static_cast<size_t>(static_cast<const char*>(at) - text.data());
    }
    bool In(std::string_view text) const
    {
        return present && !text.empty() && std::memchr(text.data(), ch, text.size()) != nullptr;
    }
};

template <typename Fn>
void ForEachPiece(std::string_view text, const Separator& sep, Fn&& fn)
{
    size_t begin = 0;
    for (int32_t n = 1;; ++n) {
        const size_t end = sep.FindIn(text, begin, text.size());
        fn(n, text.substr(begin, end - begin));
        if (end == text.size())
            return;
        begin = end + 1;
    }
}

// The three look-ups of WhatIsInFieldNew folded over the field table's rows of one designation,
// in table order: the rows of that very name joined by the field separator; else the field
// rebuilt from its repetitions and components; else, for SEG-f-1, the field when it has no
// components.
struct Fold {
    // The rows of that very name as read from the record, leading empty ones left out as the
    // join leaves them out; `text` is their join, made only when asked for.
    std::vector<std::string_view> same;
    mutable std::string text;
    std::string built;
    int32_t previousRepetition = 1;
    bool anyComponentRow = false;
    bool haveFieldRow = false;
    std::string_view firstFieldRow;

    void Reset()
    {
        same.clear();
        built.clear();
        previousRepetition = 1;
        anyComponentRow = false;
        haveFieldRow = false;
        firstFieldRow = {};
    }

    void Row(const Designation& d, const Delimiters& delimiters, Kind kind, int32_t component,
             int32_t repetition, std::string_view value)
    {
        const bool sameName = kind == d.kind &&
                          (kind == Kind::Field || kind == Kind::Repetition ||
                           component == d.component) &&
                          (kind == Kind::Field || kind == Kind::Component ||
                           repetition == d.repetition);
        if (sameName) {
            if (SameEmpty())
                same.clear();
            same.push_back(value);
        }
        if (d.kind == Kind::Field) {
            if (kind == Kind::Repetition) {
                if (!built.empty())
                    built += '|';
                built.append(value);
            } else if (kind != Kind::Field) {
                const int32_t r =
                    kind == Kind::ComponentRepetition ? repetition : previousRepetition;
                if (built.empty()) {
                    built.assign(value);
                } else if (r == previousRepetition) {
                    built += delimiters.ComponentSeparator;
                    built.append(value);
                } else {
                    built += delimiters.RepetitionSeparator;
                    built.append(value);
                    previousRepetition = r;
                }
            }
        } else if (d.kind == Kind::Component) {
            if (kind == Kind::ComponentRepetition && component == d.component) {
                if (!built.empty())
                    built += '|';
                built.append(value);
            }
            if (kind == Kind::Component || kind == Kind::ComponentRepetition)
                anyComponentRow = true;
            if (kind == Kind::Field && !haveFieldRow) {
                haveFieldRow = true;
                firstFieldRow = value;
            }
        }
    }

    bool SameEmpty() const { return same.empty() || (same.size() == 1 && same[0].empty()); }

    // The answer is `same` joined by the field separator when this is true, else Result().
    bool AnswerIsSame(const Designation& d) const
    {
        return !SameEmpty() || d.kind == Kind::Repetition || d.kind == Kind::ComponentRepetition;
    }

    std::string_view Joined(const std::string& separator) const
    {
        if (same.size() <= 1)
            return same.empty() ? std::string_view() : same[0];
        text.clear();
        for (size_t i = 0; i < same.size(); ++i) {
            if (i > 0)
                text += separator;
            text.append(same[i]);
        }
        return text;
    }

    std::string_view Result(const Designation& d, const std::string& separator) const
    {
        if (AnswerIsSame(d))
            return Joined(separator);
        if (!built.empty())
            return built;
        if (d.kind == Kind::Component && d.component == 1 && !anyComponentRow && haveFieldRow)
            return firstFieldRow;
        return {};
    }
};

// Reads the values of several designations from a record in one walk over its segments; only
// segments of a designated name are cut into fields, and only as far as the last field asked.
class RecordReader {
public:
    RecordReader(const std::vector<std::string>& designations, const ReportRules& rules)
        : rules_(rules), designations_(designations), fieldSep_(rules.delimiters.FieldSeparator),
          componentSep_(rules.delimiters.ComponentSeparator),
          repetitionSep_(rules.delimiters.RepetitionSeparator)
    {
        parsed_.reserve(designations.size());
        for (size_t i = 0; i < designations.size(); ++i) {
            parsed_.push_back(Parse(designations[i]));
            const Designation& p = parsed_.back();
            if (!p.fast)
                continue;
            Name* name = nullptr;
            for (Name& n : names_)
                if (std::memcmp(n.name, p.name, 3) == 0)
                    name = &n;
            if (name == nullptr) {
                names_.emplace_back();
                name = &names_.back();
                std::memcpy(name->name, p.name, 3);
                name->header = IsHeaderName(p.name);
            }
            name->lastField = std::max(name->lastField, p.field);
            name->members.push_back(i);
        }
        folds_.resize(designations.size());
        slow_.resize(designations.size());
    }

    void Read(std::string_view record)
    {
        for (Fold& f : folds_)
            f.Reset();
        size_t begin = 0;
        ForEachSegmentEnd(record, [&](size_t end) {
            if (end - begin >= 3) {
                const char* s = record.data() + begin;
                for (const Name& n : names_)
                    if (s[0] == n.name[0] && s[1] == n.name[1] && s[2] == n.name[2])
                        Segment(record.substr(begin, end - begin), n);
            }
            begin = end + 1;
        });
        for (size_t i = 0; i < parsed_.size(); ++i)
            if (!parsed_[i].fast)
                slow_[i] = WhatIsInFieldNew(record, designations_[i], rules_.delimiters,
                                            rules_.endOfBlock, rules_.displayEmptyFields);
    }

    std::string_view Value(size_t i) const
    {
        return parsed_[i].fast ? folds_[i].Result(parsed_[i], rules_.delimiters.FieldSeparator)
                               : std::string_view(slow_[i]);
    }

    // The value as pieces that, joined by the field separator, make Value(i); they are views
    // into the record wherever the value was read straight off it.
    std::span<const std::string_view> Parts(size_t i)
    {
        const Fold& fold = folds_[i];
        if (parsed_[i].fast && fold.AnswerIsSame(parsed_[i]) &&
            rules_.delimiters.FieldSeparator.size() == 1)
            return fold.same;
        one_ = Value(i);
        return {&one_, one_.empty() ? size_t{0} : size_t{1}};
    }

private:
    struct Name {
        char name[3] = {};
        bool header = false;
        int32_t lastField = 0;
        std::vector<size_t> members;
    };

    void Segment(std::string_view segment, const Name& n)
    {
        // fields_[f] is field f; the text before the first separator is no field.
        fields_.clear();
        fields_.emplace_back();
        if (n.header)
            fields_.emplace_back();  // SEG-1, the separator itself
        if (fieldSep_.present) {
            // A field starts after each separator and ends at the next or at the segment's end.
            const size_t wanted = static_cast<size_t>(std::max<int32_t>(n.lastField, 0)) + 2 - fields_.size();
            FindSeparators(segment, wanted);
            for (size_t k = 0; k < seps_.size() && static_cast<int32_t>(fields_.size()) <= n.lastField; ++k) {
                const size_t b = seps_[k] + 1;
                const size_t e = k + 1 < seps_.size() ? seps_[k + 1] : fieldSep_.FindIn(segment, b, segment.size());
                fields_.push_back(segment.substr(b, e - b));
            }
        }
        for (const size_t i : n.members) {
            const Designation& d = parsed_[i];
            Fold& fold = folds_[i];
            if (n.header && d.field == 1) {
                fold.Row(d, rules_.delimiters, Kind::Field, 0, 0, rules_.delimiters.FieldSeparator);
                continue;
            }
            if (d.field >= static_cast<int32_t>(fields_.size()))
                continue;
            const std::string_view text = fields_[static_cast<size_t>(d.field)];
            if (n.header && d.field == 2) {
                if (!text.empty() || rules_.displayEmptyFields)
                    fold.Row(d, rules_.delimiters, Kind::Field, 0, 0, text);
                continue;
            }
            FieldRows(d, fold, text);
        }
    }

    // Calls fn with the position of every end-of-segment character and finally with the
    // record's size, sixteen bytes at a look as segments are short.
    template <typename Fn>
    void ForEachSegmentEnd(std::string_view record, Fn&& fn) const
    {
        const char eob = rules_.endOfBlock;
        const char* s = record.data();
        const size_t size = record.size();
        size_t pos = 0;
#ifdef __SSE2__
        const __m128i end = _mm_set1_epi8(eob);
        for (; pos + 16 <= size; pos += 16)
            for (auto mask = static_cast<uint32_t>(_mm_movemask_epi8(
                     _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos)), end)));
                 mask != 0; mask &= mask - 1)
                fn(pos + static_cast<size_t>(__builtin_ctz(mask)));
#endif
        for (; pos < size; ++pos)
            if (s[pos] == eob)
                fn(pos);
        fn(size);
    }

    // The first `wanted` field separators of the segment into seps_, sixteen bytes at a look:
    // a segment's separators lie a few bytes apart, closer than a search call pays off.
    void FindSeparators(std::string_view segment, size_t wanted)
    {
        seps_.clear();
        const char* s = segment.data();
        const size_t size = segment.size();
        size_t pos = 0;
#ifdef __SSE2__
        const __m128i sep = _mm_set1_epi8(fieldSep_.ch);
        for (; pos + 16 <= size; pos += 16) {
            auto mask = static_cast<uint32_t>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos)), sep)));
            for (; mask != 0; mask &= mask - 1) {
                seps_.push_back(pos + static_cast<size_t>(__builtin_ctz(mask)));
                if (seps_.size() == wanted)
                    return;
            }
        }
#endif
        for (; pos < size; ++pos)
            if (s[pos] == fieldSep_.ch) {
                seps_.push_back(pos);
                if (seps_.size() == wanted)
                    return;
            }
    }

    // The rows the field table makes of one field's text.
    void FieldRows(const Designation& d, Fold& fold, std::string_view text) const
    {
        const Delimiters& delimiters = rules_.delimiters;
        const bool empties = rules_.displayEmptyFields;
        const bool repeats = repetitionSep_.In(text);
        if (!repeats && !componentSep_.In(text)) {
            fold.Row(d, delimiters, Kind::Field, 0, 0, text);
            return;
        }
        if (!repeats) {
            ForEachPiece(text, componentSep_, [&](int32_t c, std::string_view piece) {
                if (!piece.empty() || empties)
                    fold.Row(d, delimiters, Kind::Component, c, 0, piece);
            });
            return;
        }
        ForEachPiece(text, repetitionSep_, [&](int32_t r, std::string_view repetition) {
            if (componentSep_.In(repetition)) {
                ForEachPiece(repetition, componentSep_, [&](int32_t c, std::string_view piece) {
                    if (!piece.empty() || empties)
                        fold.Row(d, delimiters, Kind::ComponentRepetition, c, r, piece);
                });
            } else if (!repetition.empty() || empties) {
                fold.Row(d, delimiters, Kind::Repetition, 0, r, repetition);
            }
        });
    }

    const ReportRules& rules_;
    const std::vector<std::string>& designations_;
    Separator fieldSep_;
    Separator componentSep_;
    Separator repetitionSep_;
    std::vector<Designation> parsed_;
    std::vector<Name> names_;
    std::vector<Fold> folds_;
    std::vector<std::string> slow_;
    std::string_view one_;
    std::vector<size_t> seps_;
    std::vector<std::string_view> fields_;
};

}  // namespace

std::string ReportFieldValue(std::string_view record, std::string_view designation,
                             const ReportRules& rules)
{
    const std::vector<std::string> one{std::string(designation)};
    RecordReader reader(one, rules);
    reader.Read(record);
    return std::string(reader.Value(0));
}

ReportTable BuildReport(const RecordStore& store, const std::vector<std::string>& designations,
                        const ReportRules& rules, const ReportProgress& progress)
{
    ReportTable table;
    table.columns = designations;
    const size_t columns = designations.size();

    // A "(1)" column that comes out empty probes the field before its second "-" (or, lacking
    // one, the field itself) and, when that does not repeat, takes the designation cut before
    // its "(1)". Both are read in the same walk as the columns.
    std::vector<std::string> read = designations;
    struct Fallback {
        size_t probe = 0;
        size_t cut = 0;
    };
    std::vector<Fallback> fallbacks(columns);
    std::vector<bool> hasFallback(columns, false);
    for (size_t c = 0; c < columns; ++c) {
        const std::string& d = designations[c];
        const size_t one = d.find("(1)");
        if (one == npos)
            continue;
        const size_t first = d.find('-');
        const size_t second = first == npos ? npos : d.find('-', first + 1);
        fallbacks[c].probe = read.size();
        read.push_back(second == npos ? d.substr(0, one) : d.substr(0, second));
        fallbacks[c].cut = read.size();
        read.push_back(d.substr(0, one));
        hasFallback[c] = true;
    }

    table.store_ = &store;
    table.endOfBlock_ = rules.endOfBlock;
    RecordReader reader(read, rules);
    const Separator fieldSep(rules.delimiters.FieldSeparator);
    const Separator repetitionSep(rules.delimiters.RepetitionSeparator);
    ProgressPacer pacer;
    const int32_t count = store.RecordCount;
    for (int32_t r = 1; r <= count && columns > 0; ++r) {
        const std::string_view record = store.Record(r);
        reader.Read(record);
        table.recordNumber_ = r;
        table.record_ = record;
        for (size_t c = 0; c < columns; ++c) {
            // The value is its parts joined by the field separator; they are cut up here
            // without being joined first.
            std::span<const std::string_view> parts = reader.Parts(c);
            const auto empty = [](std::span<const std::string_view> p) {
                return p.empty() || (p.size() == 1 && p[0].empty());
            };
            if (empty(parts) && hasFallback[c] &&
                !repetitionSep.In(reader.Value(fallbacks[c].probe)))
                parts = reader.Parts(fallbacks[c].cut);
            if (c == 0) {
                if (empty(parts))
                    table.AddRow({});
                else
                    for (const std::string_view part : parts)
                        ForEachPiece(part, fieldSep,
                                     [&](int32_t, std::string_view piece) { table.AddRow(piece); });
            } else if (!empty(parts)) {
                // Of several occurrences the last one stays.
                const std::string_view value = parts.back();
                const size_t last = fieldSep.present ? value.rfind(fieldSep.ch) : npos;
                table.SetLastRowCell(c, last == npos ? value : value.substr(last + 1));
            }
        }
        // Rows per record so far, scaled to the whole store, sizes the table once; a table
        // that grows by doubling would copy and touch its cells twice over.
        if (r == std::min(count, EstimateAfter))
            table.Reserve(table.RowCount() * static_cast<size_t>(count) / static_cast<size_t>(r) +
                          static_cast<size_t>(count) / 32 + 1);
        if (progress && pacer.Due(record.size()) && !progress(r, count)) {
            table.cancelled = true;
            break;
        }
    }
    table.record_ = {};
    return table;
}

}  // namespace quillon
