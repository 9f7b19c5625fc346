#include "records/RecordStore.h"

namespace quillon {

void RecordStore::Reset(int32_t slots)
{
    Records.clear();
    Records.resize(static_cast<size_t>(slots) + 1);
    RecordCount = 0;
}

void RecordStore::Append(RecordText text)
{
    ++RecordCount;
    ++Appended;
    if (RecordCount + 1 >= UpperBound())
        Records.resize(Records.size() + 100);
    Records[static_cast<size_t>(RecordCount)] = std::move(text);
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
