#include "analysis/CharacterCodes.h"

#include <algorithm>

namespace quillon {

std::string AsciiViewText(std::string_view source)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve((source.size() / AsciiCharsPerLine + 1) * (AsciiLinePitch + 1));
    for (size_t i = 0; i < source.size(); i += AsciiCharsPerLine) {
        const std::string_view chunk = source.substr(i, AsciiCharsPerLine);
        for (const char c : chunk)
            text += static_cast<unsigned char>(c) < 31 ? char(31) : c;
        text.append(static_cast<size_t>(AsciiCodeColumn) - chunk.size(), ' ');
        for (const char c : chunk) {
            const auto b = static_cast<unsigned char>(c);
            text += Hex[b >> 4];
            text += Hex[b & 15];
            text += ' ';
        }
        text += '\n';
    }
    return text;
}

AsciiCell AsciiCaretCell(int position)
{
    return {position / AsciiLinePitch, position % AsciiLinePitch};
}

std::optional<AsciiCell> AsciiMarkedCell(int position, int sourceLength)
{
    AsciiCell cell = AsciiCaretCell(position);
    if (cell.column >= AsciiCodeColumn)
        cell.column = (cell.column - AsciiCodeColumn) / 3;
    const int charsInLine = std::min(AsciiCharsPerLine, sourceLength - cell.line * AsciiCharsPerLine);
    if (cell.column > AsciiCharsPerLine - 1 || cell.column >= charsInLine)
        return std::nullopt;
    return cell;
}

AsciiCell AsciiKeyMove(AsciiKey key, AsciiCell c)
{
    switch (key) {
    case AsciiKey::Up:
    case AsciiKey::Down:
        c.column = std::max(c.column - 1, 0);
        break;
    case AsciiKey::Left:
        if (--c.column < 0) {
            c.column = AsciiCharsPerLine - 1;
            c.line = std::max(c.line - 1, 0);
        }
        break;
    case AsciiKey::Right:
        if (c.column > AsciiCharsPerLine - 1) {
            c.column = 0;
            ++c.line;
        }
        break;
    case AsciiKey::Other:
        break;
    }
    return c;
}

}  // namespace quillon
