#include "tcpip/NumberBase.h"

#include <cmath>
#include <limits>
#include <optional>

#include "app/Settings.h"

// Texts these functions cannot read give -1 (HexStringToNumber, OctalStringToNumber) or lose
// the item (HexListToString): they run on what users type and on every record the server
// receives, so they answer rather than throw.

namespace quillon {

namespace {

constexpr int32_t kNoNumber = -1;

std::optional<int> HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}

// Digits, most significant first, in `radix`; -1 when a digit is refused or the value leaves
// the 32-bit range. An empty text is 0.
template <typename DigitValue>
int32_t DigitsToNumber(std::string_view text, int32_t radix, DigitValue digitValue)
{
    int64_t result = 0;
    for (const char c : text) {
        const std::optional<int> digit = digitValue(c);
        if (!digit)
            return kNoNumber;
        result = result * radix + *digit;
        if (result > std::numeric_limits<int32_t>::max())
            return kNoNumber;
    }
    return static_cast<int32_t>(result);
}

}  // namespace

// Lower-case letters count as hexadecimal digits as well; any other character gives -1.
int32_t HexStringToNumber(std::string_view text)
{
    return DigitsToNumber(text, 16, HexDigitValue);
}

// "8" and "9" are not refused: every digit keeps its decimal value ("19" is 17). A character
// that is no decimal digit gives -1.
int32_t OctalStringToNumber(std::string_view text)
{
    return DigitsToNumber(text, 8, [](char c) -> std::optional<int> {
        if (c >= '0' && c <= '9')
            return c - '0';
        return std::nullopt;
    });
}

// Each item is one byte code in hexadecimal. An item that is empty (blanks in a row, a blank
// at either end), holds a character that is no hexadecimal digit, or stands for a code above
// 255 is left out: a byte list with a typing error still sends the bytes it does name, and no
// code wraps round into another byte.
std::string HexListToString(std::string& list)
{
    std::string cleaned;
    cleaned.reserve(list.size());
    for (const char c : list) {
        if (c != 'x' && c != '\\' && c != '/' && c != '\'')
            cleaned += c;
    }
    list = cleaned;

    std::string bytes;
    std::string_view rest = list;
    while (true) {
        const size_t blank = rest.find(' ');
        const std::string_view item = rest.substr(0, blank);
        if (!item.empty()) {
            const int32_t code = HexStringToNumber(item);
            if (code >= 0 && code <= 255)
                bytes += static_cast<char>(static_cast<unsigned char>(code));
        }
        if (blank == std::string_view::npos)
            break;
        rest.remove_prefix(blank + 1);
    }
    return bytes;
}

// Paths written on Windows separate folders with "\", paths of this system with "/"; the name
// follows the last of either.
std::string GetFileNameFromPath(std::string_view path)
{
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos)
        return std::string(path);
    return std::string(path.substr(separator + 1));
}

QString CharCodeText(int16_t code, int16_t base)
{
    switch (base) {
    case BaseOctal:
        return QString::number(code, 8).rightJustified(2, u'0');
    case BaseHexadecimal:
        return QString::number(code, 16).toUpper().rightJustified(2, u'0');
    default:
        return QString::number(code);
    }
}

std::optional<int16_t> ParseCharCode(const QString& text, int16_t base)
{
    double value = 0;
    if (base == BaseOctal || base == BaseHexadecimal) {
        const QByteArray latin1 = text.toLatin1();
        const std::string_view digits(latin1.constData(), static_cast<size_t>(latin1.size()));
        value = base == BaseOctal ? OctalStringToNumber(digits) : HexStringToNumber(digits);
    } else {
        // Halves go to the even neighbour.
        value = std::nearbyint(LeadingNumber(text));
    }
    if (value < 0 || value > 255)
        return std::nullopt;
    return static_cast<int16_t>(value);
}

}  // namespace quillon
