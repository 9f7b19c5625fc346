#include "editing/PasteRecords.h"

#include <algorithm>

namespace quillon {

namespace {

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperHead(std::string_view text)
{
    std::string head(text.substr(0, 3));
    std::transform(head.begin(), head.end(), head.begin(), AsciiUpper);
    return head;
}

}  // namespace

std::string PastePrefix(std::string_view text)
{
    return text.size() > 3 ? UpperHead(text) : std::string();
}

bool PasteAccepted(std::string_view text)
{
    const std::string prefix = PastePrefix(text);
    for (std::string_view name : {"FHS", "MSH", "BHS", "BTS", "FTS"})
        if (prefix == name)
            return true;
    return false;
}

bool ClipboardOffersRecords(std::string_view text)
{
    if (text.empty())
        return false;
    constexpr std::string_view headers = "MSH FHS BHS BTS FTS ";
    return headers.find(UpperHead(text) + ' ') != std::string_view::npos;
}

size_t CutPastedRecords(std::string_view text, char endOfBlock,
                        const std::function<void(std::string_view)>& record)
{
    const char pair[2] = {endOfBlock, '\n'};
    const std::string_view separator(pair, 2);
    const size_t n = text.size();
    // The first pair at or after `from` in the text with one more pair appended, without
    // copying the text: a pair inside it, one whose line feed is the appended end-of-block
    // character (only when that is a line feed itself), or the appended one.
    auto next = [&](size_t from) {
        if (from > n)
            return std::string_view::npos;
        const size_t at = text.find(separator, from);
        if (at != std::string_view::npos)
            return at;
        if (endOfBlock == '\n' && n > from && text.back() == '\n')
            return n - 1;
        return n;
    };
    size_t count = 0;
    size_t start = 0;
    for (size_t at = next(0); at != std::string_view::npos && at > start; at = next(start)) {
        record(text.substr(start, at - start));
        ++count;
        start = at + 2;
    }
    return count;
}

std::vector<std::pair<std::string, std::string>> PasteDumpLines(std::string_view record)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::vector<std::pair<std::string, std::string>> lines;
    for (size_t at = 0; at < record.size();) {
        // The last piece takes all that remains, so no character is dumped twice.
        const size_t n = at + 20 < record.size() ? 19 : record.size() - at;
        const std::string_view piece = record.substr(at, n);
        std::string text(piece);
        text.resize(std::max<size_t>(20, piece.size()), ' ');
        for (unsigned char c : piece) {
            text.push_back(' ');
            text.push_back(hex[c >> 4]);
            text.push_back(hex[c & 15]);
        }
        lines.emplace_back(at == 0 ? "ASCII" : "", std::move(text));
        at += n;
    }
    return lines;
}

}  // namespace quillon
