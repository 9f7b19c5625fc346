#include "editing/FindDialogRules.h"

#include <algorithm>

#include "app/Utility.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"

namespace quillon {

std::vector<std::string> FieldPickerLines(const DescriptionDictionary& dictionary,
                                          std::string_view segment)
{
    std::vector<std::string> lines;
    const auto& keys = dictionary.DescriptionKeys;
    // Keys are sorted, so the segment's keys form one run.
    auto it = std::lower_bound(keys.begin(), keys.end(), segment,
                               [](const std::string& key, std::string_view seg) {
                                   return std::string_view(key).substr(0, 3) < seg;
                               });
    for (; it != keys.end() && std::string_view(*it).substr(0, 3) == segment; ++it) {
        std::string line = AssignValueFieldKey(*it);
        line.resize(PickerLabelWidth, ' ');
        line += dictionary.Descriptions[static_cast<size_t>(it - keys.begin())];
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string PickerLabelPart(std::string_view text)
{
    std::string label(text.substr(0, std::min(text.size(), PickerLabelWidth)));
    std::erase(label, ' ');
    return label;
}

std::optional<std::string> CheckedFindFieldName(std::string_view fieldText,
                                                const std::vector<std::string>& lines)
{
    if (fieldText.empty())
        return std::string();
    std::string label = PickerLabelPart(fieldText);
    for (const std::string& line : lines)
        if (PickerLabelPart(line) == label)
            return label;
    return std::nullopt;
}

std::string BadFieldNameMessage(std::string_view segmentText)
{
    return "That is not a valid field in segment \"" + BoundedQuote(segmentText) + '"';
}

std::string AsciiUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

FieldBoxLeave LeaveFieldBox(std::string_view fieldText, std::string_view segmentText)
{
    FieldBoxLeave leave;
    leave.fieldText = AsciiUpper(TrimBlanks(fieldText));
    const std::string_view text = leave.fieldText;
    if (text.find('-') == 3 && text.substr(0, 3) != segmentText)
        leave.segment = std::string(text.substr(0, 3));
    return leave;
}

std::string RecordFindHistoryEntry(std::string_view findText, std::string_view segmentText,
                                   std::string_view fieldText, bool wholeWord, bool matchCase)
{
    std::string entry(findText);
    entry += '\t';
    entry += AsciiUpper(segmentText) == "ALL" ? std::string(AllSegments) : std::string(fieldText);
    if (wholeWord)
        entry += "\tWHOLE WORD";
    if (matchCase)
        entry += "\tMATCH CASE";
    return entry;
}

void PushHistory(std::vector<std::string>& lines, const std::string& entry, size_t limit)
{
    const auto at = std::find(lines.begin(), lines.end(), entry);
    if (at != lines.end()) {
        std::rotate(lines.begin(), at, at + 1);
        return;
    }
    lines.insert(lines.begin(), entry);
    if (limit > 0 && lines.size() > limit)
        lines.resize(limit);
}

RecordFindHistoryChoice SplitRecordFindHistoryLine(std::string_view line)
{
    RecordFindHistoryChoice choice;
    const size_t tab1 = line.find('\t');
    choice.findText = std::string(line.substr(0, tab1));
    std::string_view field;
    if (tab1 != std::string_view::npos) {
        const std::string_view rest = line.substr(tab1 + 1);
        field = rest.substr(0, rest.find('\t'));
    }
    if (field.empty() || AsciiUpper(field) == "ALL") {
        choice.segmentText = std::string(AllSegments);
    } else {
        choice.segmentText = std::string(field.substr(0, 3));
        choice.fieldText = std::string(field);
    }
    choice.wholeWord = line.find("\tWHOLE WORD") != std::string_view::npos;
    choice.matchCase = line.find("\tMATCH CASE") != std::string_view::npos;
    return choice;
}

std::optional<DelimiterRefusal> RefuseDelimiters(std::string_view allDelimiters,
                                                 std::string_view findText,
                                                 std::string_view replaceText, bool testFindText)
{
    for (char c : allDelimiters) {
        const bool inFind = testFindText && findText.find(c) != std::string_view::npos;
        if (inFind || replaceText.find(c) != std::string_view::npos)
            return DelimiterRefusal{inFind, "You can not use any of the characters '"
                                                + std::string(allDelimiters) + "' in your "
                                                + (inFind ? "find" : "replace") + " text."};
    }
    return std::nullopt;
}

}  // namespace quillon
