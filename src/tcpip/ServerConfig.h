#pragma once
#include "platform/FileIO.h"
// The server configuration file (".server"): one line of eleven comma-separated items — port,
// display base, the three envelope codes, send-ACK switch, ACK text, ACK bytes, ACK type, log
// file and user ACK file. Reading, writing and the default line. No windows.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct ServerConfig {
    int32_t LocalPort = 3000;
    int16_t DisplayBase = 0;  // the editor's: 0 decimal, 1 octal, 2 hexadecimal
    int16_t StartOfBlockCode = 11;
    int16_t EndOfBlockCode = 13;
    int16_t EndOfDataCode = 28;
    int16_t SendAck = 1;
    std::string AckText = "MSA|AA";
    std::string AckBytes = "0b 06 1c 0d";
    int16_t UseAckBytes = 0;  // 0 generated ACK, 1 fixed bytes, 2 user file
    QString LogFile;
    QString UserAckFile;

    bool operator==(const ServerConfig&) const = default;
};

// Items 1 to 11 in file order; the count ParseServerConfigLine reports as read.
enum ServerConfigItem {
    ItemLocalPort = 1, ItemDisplayBase, ItemStartOfBlock, ItemEndOfBlock, ItemEndOfData,
    ItemSendAck, ItemAckText, ItemAckBytes, ItemUseAckBytes, ItemLogFile, ItemUserAckFile
};

struct ServerConfigParse {
    // Items 1 to `itemsRead` hold the line's values; the rest keep their defaults.
    ServerConfig config;
    int itemsRead = 0;
    // 0 when the line held at least ten items and every numeric item was a number.
    int errorNumber = 0;
    QString errorDescription;

    bool ok() const { return errorNumber == 0; }
};

// The items of `text` in the configuration item syntax: leading blanks and tabs are skipped; an
// item that begins with a double quote runs to the next double quote and is taken without the
// quotes (anything after the closing quote up to the next comma or line end is dropped); any
// other item runs to the next comma or line end (CR LF, CR or LF). Items continue on the next
// line; a comma at the very end opens one more, empty item. At most `maxItems`.
std::vector<std::string> ReadConfigItems(std::string_view text,
                                         size_t maxItems = std::numeric_limits<size_t>::max());

// Reads a configuration line (or a whole file). Numeric items are decimal integers, blanks
// around them allowed, an empty one is 0; a non-number is error 13 (Type mismatch), a code
// outside the 16-bit range error 6 (Overflow). A non-numeric display base reads as 0. Fewer than
// ten items is error 62 (Input past end of file); the eleventh may be missing. Paths are UTF-8.
ServerConfigParse ParseServerConfigLine(std::string_view line);

// The line as the configuration editor writes it (without its line end): the port plain, the
// display base and the codes each after one blank (a negative number after its sign instead),
// send ACK "1" or "0", ACK text and bytes as they are, the ACK type, both paths in double quotes.
std::string FormatServerConfigLine(const ServerConfig& config);

// The line written to a missing default.server (no quotes, no blanks; without its line end).
// Both folders end with "/".
std::string DefaultServerConfigLine(const QString& dataFolder, const QString& dataRoot);

// Writes `line` followed by CR LF as the whole file. False when it cannot be written.
bool WriteServerConfigFile(const QString& path, const std::string& line);

// Reads and parses a configuration file; a file that cannot be read is error 53 (File not found)
// or 75 (Path/File access error).
ServerConfigParse ReadServerConfigFile(const QString& path);

// The error a configuration file that could not be read gives its loader: 53 "File not found"
// when it is missing, else 75 "Path/File access error".
void SetConfigReadError(platform::ReadError error, int& number, QString& description);

}  // namespace quillon
