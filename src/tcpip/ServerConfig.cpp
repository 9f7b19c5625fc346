#include "tcpip/ServerConfig.h"

#include <QFile>
#include <type_traits>

#include "platform/FileIO.h"

namespace quillon {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsItemEnd(char c) { return c == ',' || IsLineEnd(c); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

enum class NumberError { None, TypeMismatch, Overflow };

// A decimal integer with blanks around it and an optional sign; empty text is 0.
NumberError ReadNumber(std::string_view item, int64_t low, int64_t high, int64_t& value)
{
    while (!item.empty() && IsBlank(item.front()))
        item.remove_prefix(1);
    while (!item.empty() && IsBlank(item.back()))
        item.remove_suffix(1);
    value = 0;
    if (item.empty())
        return NumberError::None;
    bool negative = false;
    if (item.front() == '+' || item.front() == '-') {
        negative = item.front() == '-';
        item.remove_prefix(1);
    }
    if (item.empty())
        return NumberError::TypeMismatch;
    bool tooBig = false;
    for (char c : item) {
        if (c < '0' || c > '9')
            return NumberError::TypeMismatch;
        if (!tooBig)
            value = value * 10 + (c - '0');
        tooBig = tooBig || value > high - low;
    }
    if (negative)
        value = -value;
    return tooBig || value < low || value > high ? NumberError::Overflow : NumberError::None;
}

// A number as written after a comma: one blank before a non-negative number.
std::string WithSignPlace(int64_t n)
{
    return n < 0 ? std::to_string(n) : ' ' + std::to_string(n);
}

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString FromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

std::vector<std::string> ReadConfigItems(std::string_view text, size_t maxItems)
{
    std::vector<std::string> items;
    const size_t n = text.size();
    size_t i = 0;
    while (items.size() < maxItems && i < n) {
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i < n && text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos)
                close = n;
            items.emplace_back(text.substr(i + 1, close - i - 1));
            i = close;
            while (i < n && !IsItemEnd(text[i]))
                ++i;
        } else {
            const size_t begin = i;
            while (i < n && !IsItemEnd(text[i]))
                ++i;
            items.emplace_back(text.substr(begin, i - begin));
        }
        if (i < n) {
            // A comma that ends the text still opens one last, empty item.
            if (text[i] == ',' && i + 1 == n && items.size() < maxItems)
                items.emplace_back();
            i += text[i] == '\r' && i + 1 < n && text[i + 1] == '\n' ? 2 : 1;
        }
    }
    return items;
}

ServerConfigParse ParseServerConfigLine(std::string_view line)
{
    ServerConfigParse result;
    ServerConfig& c = result.config;
    const std::vector<std::string> items = ReadConfigItems(line, ItemUserAckFile);

    auto fail = [&result](int number, const char* description) {
        result.errorNumber = number;
        result.errorDescription = QString::fromLatin1(description);
    };
    // Converts one numeric item; false (with the error set) when it is not a number in range.
    auto number = [&](const std::string& item, int64_t low, int64_t high, auto& target) {
        int64_t value = 0;
        switch (ReadNumber(item, low, high, value)) {
        case NumberError::TypeMismatch:
            fail(13, "Type mismatch");
            return false;
        case NumberError::Overflow:
            fail(6, "Overflow");
            return false;
        case NumberError::None:
            break;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(value);
        return true;
    };
    constexpr int64_t kShortLow = std::numeric_limits<int16_t>::min();
    constexpr int64_t kShortHigh = std::numeric_limits<int16_t>::max();

    for (int item = ItemLocalPort; item <= ItemUserAckFile; ++item) {
        if (static_cast<size_t>(item) > items.size()) {
            if (item == ItemUserAckFile)
                break;
            fail(62, "Input past end of file");
            return result;
        }
        const std::string& text = items[static_cast<size_t>(item - 1)];
        bool converted = true;
        switch (item) {
        case ItemLocalPort:
            converted = number(text, std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max(), c.LocalPort);
            break;
        case ItemDisplayBase: {
            // Only the editor shows it; text there reads as decimal.
            int64_t value = 0;
            c.DisplayBase = ReadNumber(text, kShortLow, kShortHigh, value) == NumberError::None
                                ? static_cast<int16_t>(value)
                                : 0;
            break;
        }
        case ItemStartOfBlock:
            converted = number(text, kShortLow, kShortHigh, c.StartOfBlockCode);
            break;
        case ItemEndOfBlock:
            converted = number(text, kShortLow, kShortHigh, c.EndOfBlockCode);
            break;
        case ItemEndOfData:
            converted = number(text, kShortLow, kShortHigh, c.EndOfDataCode);
            break;
        case ItemSendAck:
            converted = number(text, kShortLow, kShortHigh, c.SendAck);
            break;
        case ItemAckText:
            c.AckText = text;
            break;
        case ItemAckBytes:
            c.AckBytes = text;
            break;
        case ItemUseAckBytes:
            converted = number(text, kShortLow, kShortHigh, c.UseAckBytes);
            break;
        case ItemLogFile:
            c.LogFile = FromUtf8(text);
            break;
        case ItemUserAckFile:
            c.UserAckFile = FromUtf8(text);
            break;
        default:
            break;
        }
        if (!converted)
            return result;
        result.itemsRead = item;
    }
    return result;
}

std::string FormatServerConfigLine(const ServerConfig& c)
{
    std::string line = std::to_string(c.LocalPort);
    for (int64_t n : {int64_t{c.DisplayBase}, int64_t{c.StartOfBlockCode},
                      int64_t{c.EndOfBlockCode}, int64_t{c.EndOfDataCode}})
        line += ',' + WithSignPlace(n);
    line += c.SendAck != 0 ? ",1," : ",0,";
    line += c.AckText + ',' + c.AckBytes + ',' + std::to_string(c.UseAckBytes);
    line += ",\"" + Utf8(c.LogFile) + "\",\"" + Utf8(c.UserAckFile) + '"';
    return line;
}

std::string DefaultServerConfigLine(const QString& dataFolder, const QString& dataRoot)
{
    return "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0," + Utf8(dataFolder) + "LoggedMessages.dat,"
           + Utf8(dataRoot) + "AlternateAck.txt";
}

bool WriteServerConfigFile(const QString& path, const std::string& line)
{
    return platform::WriteFileWhole(path, line + "\r\n");
}

void SetConfigReadError(platform::ReadError error, int& number, QString& description)
{
    const bool missing =
        error == platform::ReadError::FileNotFound || error == platform::ReadError::DirectoryNotFound;
    number = missing ? 53 : 75;
    description = missing ? QStringLiteral("File not found") : QStringLiteral("Path/File access error");
}

ServerConfigParse ReadServerConfigFile(const QString& path)
{
    std::string text;
    const platform::ReadResult read = platform::ReadWholeFile(path, text);
    if (read.error == platform::ReadError::None)
        return ParseServerConfigLine(text);
    ServerConfigParse result;
    SetConfigReadError(read.error, result.errorNumber, result.errorDescription);
    return result;
}

}  // namespace quillon
