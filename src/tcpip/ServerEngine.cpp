#include "tcpip/ServerEngine.h"

#include <algorithm>

#include "tcpip/Framing.h"

namespace quillon {

namespace {

bool IsHeaderName(std::string_view s)
{
    return s == "FTS" || s == "BTS" || s == "BHS" || s == "FHS" || s == "MSH";
}

// The header step on the buffer from `pos`: drops leading characters below code 33 and learns
// the delimiters from a header at the front (at character 1, or at 2 after one stray character).
std::string HeaderStep(const std::string& text, size_t& pos, Delimiters& d, int& offset)
{
    offset = 0;
    if (text.size() - pos < 6)
        return {};
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 33)
        ++pos;
    const std::string_view rest = std::string_view(text).substr(pos);
    std::string name;
    if (rest.size() >= 3 && IsHeaderName(rest.substr(0, 3))) {
        name = std::string(rest.substr(0, 3));
        offset = 4;
    } else if (rest.size() >= 4) {
        const std::string_view second = rest.substr(1, 3);
        if (second == "BHS" || second == "FHS" || second == "MSH") {
            name = std::string(second);
            offset = 5;
        }
    }
    // Trailers name the record but hold no encoding characters: the delimiters stay.
    if (offset == 0 || name == "FTS" || name == "BTS")
        return name;
    auto at = [&](size_t k) {
        const size_t i = static_cast<size_t>(offset) - 1 + k;
        return i < rest.size() ? std::string(1, rest[i]) : std::string();
    };
    d.FieldSeparator = at(0);
    d.ComponentSeparator = at(1);
    d.RepetitionSeparator = at(2);
    d.EscapeCharacter = at(3);
    d.SubcomponentSeparator = at(4);
    d.AllDelimiters = d.FieldSeparator + d.ComponentSeparator + d.RepetitionSeparator
        + d.EscapeCharacter + d.SubcomponentSeparator;
    return name;
}

}  // namespace

bool RecordCutter::Append(std::string_view data, const EnvelopeChars& envelope)
{
    text_.append(data);
    if (skipToEnd_) {
        const size_t end = FindRecordEnd(text_, envelope);
        if (end == std::string_view::npos) {
            // Only a last character that may start the pair is kept.
            text_.erase(0, text_.empty() ? 0 : text_.size() - 1);
            scanFrom_ = 0;
            return false;
        }
        text_.erase(0, end + 2);
        scanFrom_ = 0;
        skipToEnd_ = false;
    }
    const size_t end = FindRecordEnd(std::string_view(text_).substr(scanFrom_), envelope);
    if (end != std::string_view::npos)
        return true;
    // A pair may straddle this arrival and the next one.
    scanFrom_ = text_.empty() ? 0 : text_.size() - 1;
    return false;
}

std::vector<ReceivedRecord> RecordCutter::CutRecords(const EnvelopeChars& envelope,
                                                      Delimiters& delimiters)
{
    std::vector<ReceivedRecord> records;
    size_t pos = 0;
    int offset = 0;
    std::string header = HeaderStep(text_, pos, delimiters, offset);
    for (;;) {
        const size_t found =
            FindRecordEnd(std::string_view(text_).substr(std::max(pos, scanFrom_)), envelope);
        if (found == std::string_view::npos)
            break;
        const size_t end = std::max(pos, scanFrom_) + found;  // position of end-of-data
        ReceivedRecord r;
        r.piece = text_.substr(pos, end + 2 - pos);
        r.ackSource = r.piece.substr(0, r.piece.size() - 1);
        r.headerName = header;
        std::string_view stored = r.ackSource;
        if (offset == 5 && !stored.empty())
            stored.remove_prefix(1);
        if (!stored.empty() && stored.back() == envelope.EndOfDataChar)
            stored.remove_suffix(1);
        r.record = std::string(stored);
        records.push_back(std::move(r));
        pos = end + 2;
        scanFrom_ = pos;
        header = HeaderStep(text_, pos, delimiters, offset);
    }
    text_.erase(0, pos);
    scanFrom_ = scanFrom_ > pos ? scanFrom_ - pos : 0;
    return records;
}

void RecordCutter::Clear()
{
    text_.clear();
    scanFrom_ = 0;
    skipToEnd_ = false;
}

void RecordCutter::DropUnfinished()
{
    Clear();
    skipToEnd_ = true;
}

}  // namespace quillon
