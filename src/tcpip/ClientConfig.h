#pragma once
// The client configuration file (".client"): one line of seventeen comma-separated items — the
// server's host, address and port, the editor's display base, the three envelope codes, the
// delays and tries, the wait-for-ACK switch, the ACK text, what to do on a NAK and after the
// last try, the delay between records, the ACK type and the ACK bytes. Reading, writing and the
// default line; the item syntax is the server file's (ReadConfigItems). No windows.
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

struct AckSettings;
struct ClientState;

struct ClientConfig {
    QString ServerHost = QStringLiteral("localhost");
    QString ServerAddress = QStringLiteral("127.0.0.1");
    int32_t ServerPort = 3000;
    // The editor's base for the codes, kept as the text the file holds ("0" decimal, "1" octal,
    // "2" hexadecimal) and written back as it was read; the client never uses it.
    std::string DisplayBase = "0";
    int16_t StartOfBlockCode = 11;
    int16_t EndOfBlockCode = 13;
    int16_t EndOfDataCode = 28;
    int16_t DelayAfterConnecting = 0;
    int16_t MaxTimeWaitForAck = 10;
    int16_t MaxTriesResend = 10;
    int16_t WaitForAck = 1;
    std::string AckText = "MSA|AA";
    int16_t NakAction = 0;     // 0 resend, 1 reset the connection and resend, 2 skip
    int16_t MaxNakAction = 1;  // after the last try: 0 or 1 next record, 2 stop sending
    int16_t DelayBetweenRecords = 0;
    int16_t UseAckBytes = 0;  // 0 ACK recognised by AckText, 1 by the bytes of AckBytes
    std::string AckBytes = "0b 06 1c 0d";

    bool operator==(const ClientConfig&) const = default;
};

// Items 1 to 17 in file order; the count ParseClientConfigLine reports as read.
enum ClientConfigItem {
    ClientItemServerHost = 1, ClientItemServerAddress, ClientItemServerPort,
    ClientItemDisplayBase, ClientItemStartOfBlock, ClientItemEndOfBlock, ClientItemEndOfData,
    ClientItemDelayAfterConnecting, ClientItemMaxTimeWaitForAck, ClientItemMaxTriesResend,
    ClientItemWaitForAck, ClientItemAckText, ClientItemNakAction, ClientItemMaxNakAction,
    ClientItemDelayBetweenRecords, ClientItemUseAckBytes, ClientItemAckBytes
};

struct ClientConfigParse {
    // Items 1 to `itemsRead` hold the line's values; the rest keep their defaults.
    ClientConfig config;
    int itemsRead = 0;
    // 0 when all seventeen items were there and every numeric item was a number.
    int errorNumber = 0;
    QString errorDescription;

    bool ok() const { return errorNumber == 0; }
};

// The line written for a missing configuration (without its line end).
inline constexpr std::string_view kDefaultClientConfigLine =
    "localhost, 127.0.0.1, 3000, 0, 11, 13, 28, 0, 10, 10, 1, MSA|AA, 0, 1, 0, 0, 0b 06 1c 0d";

// A decimal integer with blanks around it and an optional sign, as the configuration files hold
// them; an empty text is 0. Answers 0, or the error number: 13 (Type mismatch) for a text that is
// no number, 6 (Overflow) for one outside `low` to `high`.
int ReadConfigNumber(std::string_view text, int64_t low, int64_t high, int64_t& value);

// Reads a configuration line (or a whole file) in the shared item syntax; text items lose the
// blanks at their end, and anything after the seventeenth item is ignored. Numeric items are
// decimal integers (the port 32-bit, the others 16-bit): a non-number is error 13 (Type
// mismatch), a number out of range error 6 (Overflow). The display base is text and is never
// an error. Fewer than seventeen items is error 62 (Input past end of file). Texts are UTF-8.
ClientConfigParse ParseClientConfigLine(std::string_view line);

// The line as the configuration editor writes it (without its line end): the seventeen values
// joined by "," with no blanks, numbers in decimal, texts as they stand.
std::string FormatClientConfigLine(const ClientConfig& config);

// Reads and parses a configuration file; a file that cannot be read is error 53 (File not found)
// or 75 (Path/File access error).
ClientConfigParse ReadClientConfigFile(const QString& path);

// Writes `line` followed by CR LF as the whole file. False when it cannot be written.
bool WriteClientConfigFile(const QString& path, std::string_view line);

// Takes items 1 to `itemsRead` of `config` into the client's state and the shared ACK settings
// (the display base is not kept).
void ApplyClientConfig(const ClientConfig& config, int itemsRead, ClientState& client,
                       AckSettings& ack);

}  // namespace quillon
