#include "app/Utility.h"

#include <algorithm>

namespace quillon {

int16_t CountChar(std::string_view text, std::string_view character)
{
    if (character.size() != 1)
        return 0;
    return static_cast<int16_t>(std::count(text.begin(), text.end(), character.front()));
}

}  // namespace quillon
