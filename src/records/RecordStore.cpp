#include "records/RecordStore.h"

#include <algorithm>

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

size_t RecordStore::BytesAbout(int32_t first, int32_t last) const
{
    first = std::max(first, 1);
    last = std::min(last, RecordCount);
    if (last < first)
        return 0;
    constexpr int32_t kSampled = 4096;
    const int64_t count = int64_t{last} - first + 1;
    size_t bytes = 0;
    if (count <= kSampled) {
        for (int32_t i = first; i <= last; ++i)
            bytes += Records[static_cast<size_t>(i)].size();
        return bytes;
    }
    for (int32_t k = 0; k < kSampled; ++k)
        bytes += Records[static_cast<size_t>(first + count * k / kSampled)].size();
    return static_cast<size_t>(static_cast<double>(bytes) * static_cast<double>(count) / kSampled);
}

}  // namespace quillon
