#include "tcpip/ClientConfig.h"

#include <QFile>
#include <limits>
#include <type_traits>
#include <vector>

#include "app/AppState.h"
#include "platform/FileIO.h"
#include "tcpip/ServerConfig.h"

namespace quillon {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimEnd(std::string text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    return text;
}

QString FromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

int ReadConfigNumber(std::string_view item, int64_t low, int64_t high, int64_t& value)
{
    while (!item.empty() && IsBlank(item.front()))
        item.remove_prefix(1);
    while (!item.empty() && IsBlank(item.back()))
        item.remove_suffix(1);
    value = 0;
    if (item.empty())
        return 0;
    bool negative = false;
    if (item.front() == '+' || item.front() == '-') {
        negative = item.front() == '-';
        item.remove_prefix(1);
    }
    if (item.empty())
        return 13;
    bool tooBig = false;
    for (const char c : item) {
        if (c < '0' || c > '9')
            return 13;
        // Stop growing once out of range; the digits after still have to be digits.
        if (!tooBig)
            value = value * 10 + (c - '0');
        tooBig = tooBig || value > high - low;
    }
    if (negative)
        value = -value;
    return tooBig || value < low || value > high ? 6 : 0;
}

ClientConfigParse ParseClientConfigLine(std::string_view line)
{
    ClientConfigParse result;
    ClientConfig& c = result.config;
    const std::vector<std::string> items = ReadConfigItems(line, ClientItemAckBytes);

    auto number = [&result](const std::string& item, auto& target) {
        using Target = std::remove_reference_t<decltype(target)>;
        int64_t value = 0;
        const int error = ReadConfigNumber(item, std::numeric_limits<Target>::min(),
                                           std::numeric_limits<Target>::max(), value);
        if (error != 0) {
            result.errorNumber = error;
            result.errorDescription =
                error == 6 ? QStringLiteral("Overflow") : QStringLiteral("Type mismatch");
            return false;
        }
        target = static_cast<Target>(value);
        return true;
    };

    for (int item = ClientItemServerHost; item <= ClientItemAckBytes; ++item) {
        if (static_cast<size_t>(item) > items.size()) {
            result.errorNumber = 62;
            result.errorDescription = QStringLiteral("Input past end of file");
            return result;
        }
        const std::string text = TrimEnd(items[static_cast<size_t>(item - 1)]);
        bool converted = true;
        switch (item) {
        case ClientItemServerHost: c.ServerHost = FromUtf8(text); break;
        case ClientItemServerAddress: c.ServerAddress = FromUtf8(text); break;
        case ClientItemServerPort: converted = number(text, c.ServerPort); break;
        case ClientItemDisplayBase: c.DisplayBase = text; break;
        case ClientItemStartOfBlock: converted = number(text, c.StartOfBlockCode); break;
        case ClientItemEndOfBlock: converted = number(text, c.EndOfBlockCode); break;
        case ClientItemEndOfData: converted = number(text, c.EndOfDataCode); break;
        case ClientItemDelayAfterConnecting:
            converted = number(text, c.DelayAfterConnecting);
            break;
        case ClientItemMaxTimeWaitForAck: converted = number(text, c.MaxTimeWaitForAck); break;
        case ClientItemMaxTriesResend: converted = number(text, c.MaxTriesResend); break;
        case ClientItemWaitForAck: converted = number(text, c.WaitForAck); break;
        case ClientItemAckText: c.AckText = text; break;
        case ClientItemNakAction: converted = number(text, c.NakAction); break;
        case ClientItemMaxNakAction: converted = number(text, c.MaxNakAction); break;
        case ClientItemDelayBetweenRecords:
            converted = number(text, c.DelayBetweenRecords);
            break;
        case ClientItemUseAckBytes: converted = number(text, c.UseAckBytes); break;
        case ClientItemAckBytes: c.AckBytes = text; break;
        default: break;
        }
        if (!converted)
            return result;
        result.itemsRead = item;
    }
    return result;
}

std::string FormatClientConfigLine(const ClientConfig& c)
{
    const std::vector<std::string> values = {
        Utf8(c.ServerHost),
        Utf8(c.ServerAddress),
        std::to_string(c.ServerPort),
        c.DisplayBase,
        std::to_string(c.StartOfBlockCode),
        std::to_string(c.EndOfBlockCode),
        std::to_string(c.EndOfDataCode),
        std::to_string(c.DelayAfterConnecting),
        std::to_string(c.MaxTimeWaitForAck),
        std::to_string(c.MaxTriesResend),
        std::to_string(c.WaitForAck),
        c.AckText,
        std::to_string(c.NakAction),
        std::to_string(c.MaxNakAction),
        std::to_string(c.DelayBetweenRecords),
        std::to_string(c.UseAckBytes),
        c.AckBytes,
    };
    std::string line = values.front();
    for (size_t i = 1; i < values.size(); ++i)
        line += ',' + values[i];
    return line;
}

ClientConfigParse ReadClientConfigFile(const QString& path)
{
    std::string text;
    const platform::ReadResult read = platform::ReadWholeFile(path, text);
    if (read.error == platform::ReadError::None)
        return ParseClientConfigLine(text);
    ClientConfigParse result;
    SetConfigReadError(read.error, result.errorNumber, result.errorDescription);
    return result;
}

bool WriteClientConfigFile(const QString& path, std::string_view line)
{
    return WriteServerConfigFile(path, std::string(line));
}

void ApplyClientConfig(const ClientConfig& c, int read, ClientState& client, AckSettings& ack)
{
    // Each item in file order, so a line that fails part-way leaves the items before in force.
    for (int item = ClientItemServerHost; item <= read && item <= ClientItemAckBytes; ++item) {
        switch (item) {
        case ClientItemServerHost: client.ClientServerHost = c.ServerHost; break;
        case ClientItemServerAddress: client.ClientServerAddress = c.ServerAddress; break;
        case ClientItemServerPort: client.ClientServerPort = c.ServerPort; break;
        case ClientItemStartOfBlock: client.ClientStartOfBlockCode = c.StartOfBlockCode; break;
        case ClientItemEndOfBlock: client.ClientEndOfBlockCode = c.EndOfBlockCode; break;
        case ClientItemEndOfData: client.ClientEndOfDataCode = c.EndOfDataCode; break;
        case ClientItemDelayAfterConnecting:
            client.ClientDelayAfterConnecting = c.DelayAfterConnecting;
            break;
        case ClientItemMaxTimeWaitForAck:
            client.ClientMaxTimeWaitForAck = c.MaxTimeWaitForAck;
            break;
        case ClientItemMaxTriesResend: client.ClientMaxTriesResend = c.MaxTriesResend; break;
        case ClientItemWaitForAck: client.ClientWaitForAck = c.WaitForAck; break;
        case ClientItemAckText: ack.AckText = c.AckText; break;
        case ClientItemNakAction: client.ClientNakAction = c.NakAction; break;
        case ClientItemMaxNakAction: client.ClientMaxNakAction = c.MaxNakAction; break;
        case ClientItemDelayBetweenRecords:
            client.ClientDelayBetweenRecords = c.DelayBetweenRecords;
            break;
        case ClientItemUseAckBytes: ack.UseAckBytes = c.UseAckBytes; break;
        case ClientItemAckBytes: ack.AckBytes = c.AckBytes; break;
        default: break;  // the display base is the editor's alone
        }
    }
}

}  // namespace quillon
