#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// How often `character` (exactly one character) occurs in `text`; 0 for any other length.
int16_t CountChar(std::string_view text, std::string_view character);

// The most characters of user data (a find text, a record, the clipboard) that a message quotes:
// enough to recognise it, and few enough that the box is built at once and fits the screen.
inline constexpr size_t QuotedTextLimit = 300;

// `text` as a message quotes it: whole up to QuotedTextLimit characters; a longer one is cut
// there and followed by a note of how many characters were left out. Bytes that are valid UTF-8
// (a typed text) count a character each; others a byte each.
std::string BoundedQuote(std::string_view text);
QString BoundedQuote(const QString& text);

}  // namespace quillon
