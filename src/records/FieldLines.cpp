#include "records/FieldLines.h"

#include <algorithm>
#include <string>

namespace quillon {

namespace {

bool IsHeaderSegment(std::string_view name)
{
    return name == "MSH" || name == "FHS" || name == "BHS";
}

bool Holds(std::string_view text, const std::string& separator)
{
    return !separator.empty() && text.find(separator.front()) != std::string_view::npos;
}

// Cuts `text` at `separator` (a one-character text); an empty separator gives the whole text.
std::vector<std::string_view> Split(std::string_view text, const std::string& separator)
{
    std::vector<std::string_view> pieces;
    if (separator.empty()) {
        pieces.push_back(text);
        return pieces;
    }
    const char sep = separator.front();
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(sep, start);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string Mid1(std::string_view s, size_t pos1)
{
    return pos1 - 1 < s.size() ? std::string(1, s[pos1 - 1]) : std::string();
}

void Push(std::vector<std::string>& lines, std::string&& line, size_t)
{
    lines.push_back(std::move(line));
}

void Push(FieldLineBuffer& lines, std::string&& line, size_t headLength)
{
    lines.push_back(line, headLength);
}

bool LastLineBlank(const std::vector<std::string>& lines)
{
    return TrimBlanks(lines.back()).empty();
}

bool LastLineBlank(const FieldLineBuffer& lines)
{
    const size_t last = lines.size() - 1;
    return TrimBlanks(lines.Head(last)).empty() && TrimBlanks(lines.Tail(last)).empty();
}

template <typename Lines>
class SegmentLineBuilder {
public:
    SegmentLineBuilder(const DisplayOptions& options, const DescriptionDictionary& dictionary,
                       const std::vector<std::string>& viewFields, Lines& lines,
                       TextEncoding encoding)
        : options_(options), dictionary_(dictionary), viewFields_(viewFields), lines_(lines),
          encoding_(encoding)
    {
    }

    // A field, repetition or component line: left out when empty (unless empty fields show)
    // or outside the view.
    void Value(const std::string& designation, std::string_view describedBy, std::string_view value)
    {
        if (value.empty() && !options_.DisplayEmptyFields)
            return;
        Line(designation, describedBy, value);
    }

    // The line of a field with separators: its whole value, a note that its parts follow, or
    // nothing, by the compound and segment-description options.
    void Compound(const std::string& designation, std::string_view value)
    {
        if (options_.DisplayCompoundFields)
            Line(designation, designation, value);
        else if (options_.DisplaySegmentDescriptions)
            Line(designation, designation, ParsedDataFollows);
    }

    void Header(const std::string& designation, std::string_view fallbackDescription,
                std::string_view value)
    {
        if (!OKtoAddToFieldList(designation, viewFields_))
            return;
        std::string description;
        if (options_.DisplayFieldDescriptions) {
            description = dictionary_.GetHL7Description(designation);
            if (description.empty())
                description = fallbackDescription;
        }
        Add(FieldListLine(designation, options_.DisplayFieldDescriptions ? &description : nullptr,
                          value, encoding_));
    }

    void BlankUnlessAfterBlank()
    {
        if (!lines_.empty() && !LastLineBlank(lines_))
            Push(lines_, std::string(), 0);
    }

private:
    void Line(const std::string& designation, std::string_view describedBy, std::string_view value)
    {
        if (!OKtoAddToFieldList(designation, viewFields_))
            return;
        if (options_.DisplayFieldDescriptions) {
            const std::string description = dictionary_.GetHL7Description(describedBy);
            Add(FieldListLine(designation, &description, value, encoding_));
        } else {
            Add(FieldListLine(designation, nullptr, value, encoding_));
        }
    }

    void Add(std::string&& line)
    {
        Push(lines_, std::move(line), ValueColumn(options_.DisplayFieldDescriptions) - 1);
    }

    const DisplayOptions& options_;
    const DescriptionDictionary& dictionary_;
    const std::vector<std::string>& viewFields_;
    Lines& lines_;
    TextEncoding encoding_;
};

}  // namespace

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string FieldListLine(std::string_view designation, const std::string* description,
                          std::string_view value, TextEncoding encoding)
{
    std::string line(designation.substr(0, DesignationColumns));
    line.resize(DesignationColumns, ' ');
    if (description) {
        std::string column = " [" + *description + "]";
        column.resize(DescriptionColumns, ' ');
        line += column;
    }
    if (line.size() + value.size() > LongestFieldLine) {
        const size_t head = line.size();
        line.append(value);
        line.resize(100);
        // A UTF-8 value is cut before a character that would not fit whole.
        if (encoding == TextEncoding::Utf8) {
            size_t start = line.size();
            while (start > head && (static_cast<unsigned char>(line[start - 1]) & 0xC0) == 0x80)
                --start;
            if (start > head) {
                const auto lead = static_cast<unsigned char>(line[start - 1]);
                const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (line.size() - (start - 1) < need)
                    line.resize(start - 1);
            }
        }
        line.append(FieldTooLarge);
        return line;
    }
    line.append(value);
    return line;
}

bool OKtoAddToFieldList(std::string_view designation, const std::vector<std::string>& viewFields)
{
    if (viewFields.empty())
        return true;
    const std::string_view cut = designation.substr(0, designation.find('('));
    for (const std::string& field : viewFields)
        if (field == cut)
            return true;
    return false;
}

std::vector<std::string_view> SplitRecordSegments(std::string_view record, char endOfBlock)
{
    std::vector<std::string_view> segments;
    size_t start = 0;
    while (start <= record.size()) {
        const size_t at = record.find(endOfBlock, start);
        const size_t end = at == std::string_view::npos ? record.size() : at;
        segments.push_back(record.substr(start, end - start));
        start = end + 1;
    }
    // Cutting the record with one more terminator appended gives these pieces and one empty
    // piece more, which is the blank last piece dropped; so a record that ends with its
    // terminator keeps one empty piece at the end, as the list has always shown it.
    return segments;
}

namespace {

template <typename Lines>
void AppendFieldLines(std::string_view segment, const DisplayOptions& options,
                      const DescriptionDictionary& dictionary,
                      const std::vector<std::string>& viewFields, Delimiters& delimiters,
                      Lines& lines, TextEncoding encoding)
{
    const std::string name(segment.substr(0, 3));
    const bool header = IsHeaderSegment(name);
    if (header) {
        delimiters.FieldSeparator = Mid1(segment, 4);
        delimiters.ComponentSeparator = Mid1(segment, 5);
        delimiters.RepetitionSeparator = Mid1(segment, 6);
        delimiters.EscapeCharacter = Mid1(segment, 7);
        delimiters.SubcomponentSeparator = Mid1(segment, 8);
        delimiters.AllDelimiters = delimiters.FieldSeparator + delimiters.ComponentSeparator
            + delimiters.RepetitionSeparator + delimiters.EscapeCharacter
            + delimiters.SubcomponentSeparator;
    }
    const Delimiters& d = delimiters;
    SegmentLineBuilder<Lines> out(options, dictionary, viewFields, lines, encoding);
    const std::vector<std::string_view> pieces = Split(segment, d.FieldSeparator);

    if (header) {
        const std::string_view fallback = name == "FHS" ? "File Field Separator"
            : name == "BHS"                             ? "Batch Field Separator"
                                                        : "";
        out.Header(name + "-1", fallback, d.FieldSeparator);
    } else {
        out.BlankUnlessAfterBlank();
    }

    for (size_t i = 1; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        const std::string field = name + "-" + std::to_string(header ? i + 1 : i);
        const bool repeats = Holds(piece, d.RepetitionSeparator);
        const bool hasComponents = Holds(piece, d.ComponentSeparator);

        if ((header && i == 1) || (!repeats && !hasComponents)) {
            out.Value(field, field, piece);
            continue;
        }
        out.Compound(field, piece);
        if (!repeats) {
            const auto components = Split(piece, d.ComponentSeparator);
            for (size_t c = 0; c < components.size(); ++c) {
                const std::string component = field + "-" + std::to_string(c + 1);
                out.Value(component, component, components[c]);
            }
            continue;
        }
        const auto repetitions = Split(piece, d.RepetitionSeparator);
        for (size_t r = 0; r < repetitions.size(); ++r) {
            const std::string suffix = "(" + std::to_string(r + 1) + ")";
            if (!Holds(repetitions[r], d.ComponentSeparator)) {
                out.Value(field + suffix, field, repetitions[r]);
                continue;
            }
            const auto components = Split(repetitions[r], d.ComponentSeparator);
            for (size_t c = 0; c < components.size(); ++c) {
                const std::string component = field + "-" + std::to_string(c + 1);
                out.Value(component + suffix, component, components[c]);
            }
        }
    }
}

}  // namespace

void AppendSegmentFieldLines(std::string_view segment, const DisplayOptions& options,
                             const DescriptionDictionary& dictionary,
                             const std::vector<std::string>& viewFields, Delimiters& delimiters,
                             std::vector<std::string>& lines, TextEncoding encoding)
{
    AppendFieldLines(segment, options, dictionary, viewFields, delimiters, lines, encoding);
}

void AppendSegmentFieldLines(std::string_view segment, const DisplayOptions& options,
                             const DescriptionDictionary& dictionary,
                             const std::vector<std::string>& viewFields, Delimiters& delimiters,
                             FieldLineBuffer& lines, TextEncoding encoding)
{
    AppendFieldLines(segment, options, dictionary, viewFields, delimiters, lines, encoding);
}

uint64_t FieldLineBuffer::Blocks::Add(std::string_view bytes)
{
    constexpr size_t blockSize = size_t{1} << BlockBits;
    // Bytes never span two blocks; the 10000-character rule keeps lines far below a block.
    if (blocks_.empty() || blocks_.back().size() + bytes.size() > blockSize) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(blockSize, bytes.size()));
    }
    std::string& block = blocks_.back();
    const uint64_t ref = static_cast<uint64_t>(blocks_.size() - 1) << BlockBits | block.size();
    block.append(bytes);
    return ref;
}

void FieldLineBuffer::push_back(std::string_view line, size_t headLength)
{
    headLength = std::min({headLength, line.size(), size_t{255}});
    const std::string_view head = line.substr(0, headLength);
    uint64_t headRef = 0;
    // Once the kept heads are many and new ones keep coming (a field of a million repetitions,
    // a segment of a million fields), looking them up no longer pays.
    const auto kept = missesWhenFull_ < MostMissesWhenFull ? heads_.find(head) : heads_.end();
    if (kept != heads_.end()) {
        headRef = kept->second;
        missesWhenFull_ = 0;
    } else {
        headRef = bytes_.Add(head);
        if (heads_.size() < MostKeptHeads)
            heads_.emplace(bytes_.View(headRef, head.size()), headRef);
        else
            ++missesWhenFull_;
    }
    const std::string_view tail = line.substr(headLength);
    headRefs_.push_back(static_cast<uint64_t>(headLength) << 56 | headRef);
    tailRefs_.push_back(bytes_.Add(tail));
    tailLengths_.push_back(static_cast<uint32_t>(tail.size()));
    segmentRows_.push_back(segment_);
}

std::string FieldLineBuffer::Line(size_t i) const
{
    std::string line(Head(i));
    line.append(Tail(i));
    return line;
}

std::string_view LineDesignation(std::string_view line)
{
    if (line.size() <= 3)
        return line;
    const size_t blank = line.find(' ');
    return blank == std::string_view::npos ? line : line.substr(0, blank);
}

}  // namespace quillon
