#pragma once
#include <cstdint>
#include <string_view>

namespace quillon {

// How often `character` (exactly one character) occurs in `text`; 0 for any other length.
int16_t CountChar(std::string_view text, std::string_view character);

}  // namespace quillon
