#include "records/FieldDesignations.h"

#include <algorithm>
#include <limits>

namespace quillon {
namespace {

constexpr size_t npos = std::string_view::npos;

// A delimiter as one character; an empty delimiter matches nothing.
struct Separator {
    bool present = false;
    char ch = 0;

    explicit Separator(const std::string& text) : present(!text.empty()), ch(present ? text[0] : 0) {}

    // Position of the first separator in text[from, to), or `to` when there is none.
    size_t FindIn(std::string_view text, size_t from, size_t to) const
    {
        if (!present || from >= to)
            return to;
        const size_t at = text.substr(from, to - from).find(ch);
        return at == npos ? to : from + at;
    }
    bool In(std::string_view text) const { return present && text.find(ch) != npos; }
};

// Calls fn(piece) for each piece of `text` between separators (one piece when there are none).
template <typename Fn>
void ForEachPiece(std::string_view text, const Separator& sep, Fn&& fn)
{
    size_t begin = 0;
    for (;;) {
        const size_t end = sep.FindIn(text, begin, text.size());
        fn(text.substr(begin, end - begin));
        if (end == text.size())
            return;
        begin = end + 1;
    }
}

// The number the text starts with, after any blanks; 0 when it does not start with digits.
// Saturates instead of overflowing.
int32_t LeadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(value);
}

// The number between "(" and a following ")"; false when the text holds no such pair.
bool ReadRepetition(std::string_view text, int32_t& repetition)
{
    const size_t open = text.find('(');
    if (open == npos)
        return false;
    const size_t close = text.find(')', open + 1);
    if (close == npos)
        return false;
    repetition = LeadingNumber(text.substr(open + 1, close - open - 1));
    return true;
}

bool IsHeaderSegment(std::string_view name)
{
    return name == "MSH" || name == "FHS" || name == "BHS";
}

struct Designation {
    std::string_view segment;
    int32_t field = 0;
    int32_t component = 0;  // 0: the whole field or repetition
    bool hasRepetition = false;
    int32_t repetition = 0;
};

// Segment, field and component of a designation; the repetition is read by the caller.
Designation ReadDesignation(std::string_view designation)
{
    Designation d;
    d.segment = designation.substr(0, 3);
    const size_t first = designation.find('-');
    const size_t second = first == npos ? npos : designation.find('-', first + 1);
    if (designation.size() > 4) {
        if (second == npos)
            d.field = LeadingNumber(designation.substr(4));
        else if (second > 4)
            d.field = LeadingNumber(designation.substr(4, second - 4));
    }
    if (second != npos)
        d.component = LeadingNumber(designation.substr(second + 1));
    return d;
}

std::string Locate(std::string_view record, const Designation& d, int32_t& start, int32_t& length,
                   const Delimiters& delimiters, char endOfBlock)
{
    auto missing = [&start] {
        start = 0;
        return std::string();
    };

    // The first segment of that name.
    size_t segmentBegin = 0;
    if (!record.starts_with(d.segment)) {
        std::string marker(1, endOfBlock);
        marker += d.segment;
        const size_t at = record.find(marker);
        if (at == npos)
            return missing();
        segmentBegin = at + 1;
    }
    size_t segmentEnd = record.find(endOfBlock, segmentBegin);
    if (segmentEnd == npos)
        segmentEnd = record.size();
    const std::string_view segment = record.substr(segmentBegin, segmentEnd - segmentBegin);

    if (d.field < 1)
        return missing();
    const Separator fieldSep(delimiters.FieldSeparator);
    const Separator componentSep(delimiters.ComponentSeparator);
    const Separator repetitionSep(delimiters.RepetitionSeparator);
    const bool header = IsHeaderSegment(d.segment);
    // The separator and the encoding characters are never split: only their first
    // repetition or component exists.
    const bool beyondFirstPart = (d.hasRepetition && d.repetition > 1) || d.component > 1;

    size_t begin = 0;
    size_t end = 0;
    if (header && d.field == 1) {
        begin = fieldSep.FindIn(segment, 0, segment.size());
        if (begin == segment.size() || beyondFirstPart)
            return missing();
        end = begin + 1;
    } else {
        // Step over the separators in front of the field.
        const int32_t separators = header ? d.field - 1 : d.field;
        for (int32_t i = 0; i < separators; ++i) {
            const size_t at = fieldSep.FindIn(segment, begin, segment.size());
            if (at == segment.size())
                return missing();
            begin = at + 1;
        }
        end = fieldSep.FindIn(segment, begin, segment.size());

        if (header && d.field == 2) {
            if (beyondFirstPart)
                return missing();
        } else {
            // A component without a repetition is counted in the first repetition.
            if (d.hasRepetition || d.component > 0) {
                const int32_t repetition = d.hasRepetition ? d.repetition : 1;
                for (int32_t i = 1; i < repetition; ++i) {
                    const size_t at = repetitionSep.FindIn(segment, begin, end);
                    if (at == end)
                        return missing();
                    begin = at + 1;
                }
                end = repetitionSep.FindIn(segment, begin, end);
            }
            if (d.component > 0) {
                for (int32_t i = 1; i < d.component; ++i) {
                    const size_t at = componentSep.FindIn(segment, begin, end);
                    if (at == end)
                        return missing();
                    begin = at + 1;
                }
                end = componentSep.FindIn(segment, begin, end);
            }
        }
    }

    start = static_cast<int32_t>(segmentBegin + begin + 1);
    length = static_cast<int32_t>(end - begin);
    return std::string(segment.substr(begin, end - begin));
}

void AddRow(FieldTable& table, std::string designation, std::string_view value)
{
    table.push_back(FieldEntry{std::move(designation), std::string(value)});
}

// Rows SEG-f-c<suffix> for the components of `text`.
void AddComponentRows(FieldTable& table, const std::string& field, const std::string& suffix,
                      std::string_view text, const Separator& componentSep, bool displayEmptyFields)
{
    int32_t component = 0;
    ForEachPiece(text, componentSep, [&](std::string_view piece) {
        ++component;
        if (!piece.empty() || displayEmptyFields)
            AddRow(table, field + '-' + std::to_string(component) + suffix, piece);
    });
}

void AddFieldRows(FieldTable& table, const std::string& field, std::string_view text,
                  bool encodingCharacters, const Separator& componentSep,
                  const Separator& repetitionSep, bool displayEmptyFields)
{
    if (encodingCharacters) {
        if (!text.empty() || displayEmptyFields)
            AddRow(table, field, text);
        return;
    }
    const bool repeats = repetitionSep.In(text);
    if (!repeats && !componentSep.In(text)) {
        AddRow(table, field, text);
        return;
    }
    if (!repeats) {
        AddComponentRows(table, field, "", text, componentSep, displayEmptyFields);
        return;
    }
    int32_t repetition = 0;
    ForEachPiece(text, repetitionSep, [&](std::string_view piece) {
        const std::string suffix = '(' + std::to_string(++repetition) + ')';
        if (componentSep.In(piece))
            AddComponentRows(table, field, suffix, piece, componentSep, displayEmptyFields);
        else if (!piece.empty() || displayEmptyFields)
            AddRow(table, field + suffix, piece);
    });
}

}  // namespace

std::string WhatIsInField(std::string_view record, std::string_view designation, int32_t& start,
                          int32_t& length, const Delimiters& delimiters, char endOfBlock)
{
    Designation d = ReadDesignation(designation);
    d.hasRepetition = ReadRepetition(designation, d.repetition);
    return Locate(record, d, start, length, delimiters, endOfBlock);
}

std::string WhatIsInFieldForFilter(std::string_view record, std::string_view designation,
                                   std::string_view filterRepetition, int32_t& start,
                                   int32_t& length, const Delimiters& delimiters, char endOfBlock)
{
    Designation d = ReadDesignation(designation);
    d.hasRepetition = ReadRepetition(filterRepetition, d.repetition);
    return Locate(record, d, start, length, delimiters, endOfBlock);
}

FieldTable ParseRecordToFieldList(std::string_view record, const Delimiters& delimiters,
                                  char endOfBlock, bool displayEmptyFields)
{
    const Separator segmentEnd(std::string(1, endOfBlock));
    const Separator fieldSep(delimiters.FieldSeparator);
    const Separator componentSep(delimiters.ComponentSeparator);
    const Separator repetitionSep(delimiters.RepetitionSeparator);

    FieldTable table;
    // A trailing piece after the last terminator is empty or blank and gives no rows.
    ForEachPiece(record, segmentEnd, [&](std::string_view segment) {
        const std::string_view name = segment.substr(0, 3);
        const bool header = IsHeaderSegment(name);
        const std::string prefix = std::string(name) + '-';
        if (header)
            AddRow(table, prefix + '1', delimiters.FieldSeparator);
        int32_t field = header ? 1 : 0;
        size_t at = fieldSep.FindIn(segment, 0, segment.size());
        while (at < segment.size()) {
            const size_t begin = at + 1;
            const size_t end = fieldSep.FindIn(segment, begin, segment.size());
            ++field;
            AddFieldRows(table, prefix + std::to_string(field), segment.substr(begin, end - begin),
                         header && field == 2, componentSep, repetitionSep, displayEmptyFields);
            at = end;
        }
    });
    if (table.empty())
        table.emplace_back();
    return table;
}

std::string WhatIsInFieldNew(std::string_view record, std::string_view designation,
                             const Delimiters& delimiters, char endOfBlock,
                             bool displayEmptyFields)
{
    const FieldTable table =
        ParseRecordToFieldList(record, delimiters, endOfBlock, displayEmptyFields);

    // The designation itself, once per segment of that name.
    std::string text;
    for (const FieldEntry& row : table) {
        if (row.designation != designation)
            continue;
        if (!text.empty())
            text += delimiters.FieldSeparator;
        text += row.value;
    }
    if (!text.empty() || designation.find('(') != npos)
        return text;

    // Rebuilt from its repetitions and components.
    const std::string repetitionPrefix = std::string(designation) + '(';
    const std::string componentPrefix = std::string(designation) + '-';
    std::string built;
    int32_t previousRepetition = 1;
    for (const FieldEntry& row : table) {
        if (row.designation.starts_with(repetitionPrefix)) {
            if (!built.empty())
                built += '|';
            built += row.value;
        } else if (row.designation.starts_with(componentPrefix)) {
            int32_t repetition = previousRepetition;
            ReadRepetition(row.designation, repetition);
            if (built.empty()) {
                built = row.value;
            } else if (repetition == previousRepetition) {
                built += delimiters.ComponentSeparator;
                built += row.value;
            } else {
                built += delimiters.RepetitionSeparator;
                built += row.value;
                previousRepetition = repetition;
            }
        }
    }
    if (!built.empty())
        return built;

    // Component 1 of a field without components is the field itself.
    if (std::ranges::count(designation, '-') == 2 && designation.ends_with("-1")) {
        const std::string_view componentsOf = designation.substr(0, designation.size() - 1);
        const bool hasComponents = std::ranges::any_of(table, [&](const FieldEntry& row) {
            return row.designation.starts_with(componentsOf);
        });
        if (!hasComponents) {
            const std::string_view field = designation.substr(0, designation.size() - 2);
            for (const FieldEntry& row : table)
                if (row.designation == field)
                    return row.value;
        }
    }
    return {};
}

std::string AssignValueFieldKey(std::string_view designation)
{
    const std::string_view text = designation.substr(0, std::min<size_t>(designation.size(), 12));
    size_t position = text.size();  // characters [0, position) are still to be read
    std::string key;
    for (size_t i = text.size(); i-- > 0;) {
        if (text[i] != '-')
            continue;
        std::string number(text.substr(i + 1, position - (i + 1)));
        if (number.size() < 2)
            number.insert(0, 2 - number.size(), ' ');
        key.insert(0, '-' + number);
        position = i;
    }
    key.insert(0, text.substr(0, position));
    return key;
}

}  // namespace quillon
