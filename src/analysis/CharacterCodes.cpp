#include "analysis/CharacterCodes.h"

#include <algorithm>
#include <vector>

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

QString AsciiViewText(std::string_view source, TextEncoding encoding)
{
    if (encoding == TextEncoding::Latin1) {
        const std::string text = AsciiViewText(source);
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    // The cells of the character column, a byte each.
    std::vector<QChar> cells(source.size(), QChar(u' '));
    for (size_t i = 0; i < source.size();) {
        const auto b = static_cast<unsigned char>(source[i]);
        if (b < 0x80) {
            cells[i] = QChar(b < 31 ? char16_t{31} : char16_t{b});
            ++i;
            continue;
        }
        const int length = Utf8CharLength(source, i);
        if (length == 0) {
            cells[i++] = QChar(QChar::ReplacementCharacter);
            continue;
        }
        const QString c = DecodeText(source.substr(i, static_cast<size_t>(length)), encoding);
        if (c.size() == 1)
            cells[i] = c[0];
        else if (i % AsciiCharsPerLine < AsciiCharsPerLine - 1)
            cells[i] = c[0], cells[i + 1] = c[1];
        else
            cells[i] = QChar(QChar::ReplacementCharacter);
        i += static_cast<size_t>(length);
    }
    const std::string codes = AsciiViewText(source);
    QString view = QString::fromLatin1(codes.data(), static_cast<qsizetype>(codes.size()));
    for (size_t i = 0; i < source.size(); ++i)
        view[static_cast<qsizetype>(i / AsciiCharsPerLine * AsciiLinePitch + i % AsciiCharsPerLine)] =
            cells[i];
    return view;
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
