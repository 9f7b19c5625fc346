#pragma once
// Character codes typed in decimal, octal or hexadecimal, and the ACK byte lists.
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

int32_t HexStringToNumber(std::string_view text);
int32_t OctalStringToNumber(std::string_view text);
// The characters a list of hexadecimal byte codes stands for ("0b 06 1c 0d" → VT ACK FS CR).
// The list is cleaned in place of the characters it may not hold.
std::string HexListToString(std::string& list);
std::string GetFileNameFromPath(std::string_view path);

}  // namespace quillon
