#pragma once
// The character-code view without any window: the text (20 characters a line, then their codes)
// and the caret arithmetic that finds the marked character and its code pair.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "records/TextEncoding.h"

namespace quillon {

inline constexpr int AsciiCharsPerLine = 20;
inline constexpr int AsciiCodeColumn = 22;
// A full line is 82 characters; the text box counts its line break as one character.
inline constexpr int AsciiLinePitch = 83;

// The view's text, one character a byte: per 20 source bytes the bytes (those below 31 shown as
// 31) padded with blanks to 22, then each byte's code as two upper-case hex digits and a blank;
// each line ends with "\n".
std::string AsciiViewText(std::string_view source);
// The same for the bytes of a record in `encoding`, still a cell a byte: in UTF-8 a character
// stands in the cell of its first byte (one outside the basic plane in its first two, unless the
// line ends before them: then U+FFFD), its further bytes' cells are blank, and a byte that begins
// no character shows U+FFFD.
QString AsciiViewText(std::string_view source, TextEncoding encoding);

struct AsciiCell {
    int line = 0;
    int column = 0;  // 0 to 19: a character of the line
    bool operator==(const AsciiCell&) const = default;
};

// The caret's line and column in the text.
AsciiCell AsciiCaretCell(int position);
// The character the caret stands on or whose code pair (or the blank after it) holds it; none in
// the two blanks between characters and codes or past the line's last character.
std::optional<AsciiCell> AsciiMarkedCell(int position, int sourceLength);
// Where the character and its code pair start in the text.
inline int AsciiCharPosition(AsciiCell c) { return c.line * AsciiLinePitch + c.column; }
inline int AsciiPairPosition(AsciiCell c)
{
    return c.line * AsciiLinePitch + AsciiCodeColumn + 3 * c.column;
}

enum class AsciiKey { Up, Down, Left, Right, Other };
// The character to select after an arrow key moved the caret to `caret`.
AsciiCell AsciiKeyMove(AsciiKey key, AsciiCell caret);

}  // namespace quillon
