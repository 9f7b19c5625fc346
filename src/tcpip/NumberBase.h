#pragma once
// Character codes typed in decimal, octal or hexadecimal, and the ACK byte lists.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

int32_t HexStringToNumber(std::string_view text);
int32_t OctalStringToNumber(std::string_view text);
// The characters a list of hexadecimal byte codes stands for ("0b 06 1c 0d" → VT ACK FS CR).
// The list is cleaned in place of the characters it may not hold.
std::string HexListToString(std::string& list);
std::string GetFileNameFromPath(std::string_view path);

// The bases the envelope code boxes show their codes in.
enum CodeBase : int16_t { BaseDecimal = 0, BaseOctal = 1, BaseHexadecimal = 2 };

// A code as a box shows it: decimal as is, octal with at least two digits, hexadecimal in
// upper case with at least two digits ("28", "34", "1C"; "07", "144", "64"). Any base other
// than octal and hexadecimal is decimal.
QString CharCodeText(int16_t code, int16_t base);
// A box's text read in `base`: decimal takes the leading number, rounded (a text not starting
// with one is 0); octal and hexadecimal read every character as a digit. Nothing when the text
// gives no code from 0 to 255.
std::optional<int16_t> ParseCharCode(const QString& text, int16_t base);

}  // namespace quillon
