#include "records/RecordStore.h"

#include <algorithm>

namespace quillon {

void RecordStore::Reset(int32_t slots)
{
    Records.clear();
    Records.resize(static_cast<size_t>(slots) + 1);
    RecordCount = 0;
}

void RecordStore::Append(std::string text)
{
    ++RecordCount;
    if (RecordCount + 1 >= UpperBound())
        Records.resize(Records.size() + 100);
    Records[static_cast<size_t>(RecordCount)] = std::move(text);
}

void DeleteStringItem(std::vector<std::string>& array, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= array.size())
        return;
    auto pos = array.begin() + index;
    std::rotate(pos, pos + 1, array.end());
    array.back().clear();
}

void MoveStringArray(std::vector<std::string>& source, std::vector<std::string>& dest)
{
    dest.clear();
    dest.resize(source.size());
    for (size_t i = 0; i < source.size(); ++i)
        dest[i] = std::move(source[i]);
    for (auto& s : source)
        s.clear();
}

void Delimiters::ResetToDefaults()
{
    *this = Delimiters{};
}

static std::string Mid1(std::string_view s, size_t pos1)
{
    return pos1 - 1 < s.size() ? std::string(1, s[pos1 - 1]) : std::string();
}

void Delimiters::SetFromHeader(std::string_view segment)
{
    FieldSeparator = Mid1(segment, 4);
    ComponentSeparator = Mid1(segment, 5);
    RepetitionSeparator = Mid1(segment, 6);
    EscapeCharacter = Mid1(segment, 7);
    SubcomponentSeparator = Mid1(segment, 8);
    if (ComponentSeparator == "|") {
        ResetToDefaults();
        return;
    }
    AllDelimiters = FieldSeparator + ComponentSeparator + RepetitionSeparator + EscapeCharacter
        + SubcomponentSeparator;
}

}  // namespace quillon
