#include "records/HL7Loader.h"

namespace quillon {

namespace {

constexpr std::string_view kSalvageHeaderBar = "MSH|^~";
constexpr std::string_view kSalvageHeaderColon = "MSH:;~\\&";

bool SetsDelimiters(std::string_view line)
{
    const std::string_view name = line.substr(0, 3);
    return name == "MSH" || name == "FHS" || name == "BHS";
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// Where a salvage line should be cut to start at a message header, or npos.
size_t SalvageCut(std::string_view line)
{
    size_t best = std::string_view::npos;
    for (auto header : {kSalvageHeaderBar, kSalvageHeaderColon}) {
        const size_t p = line.find(header);
        if (p != std::string_view::npos && p > 0 && p < best)
            best = p;
    }
    return best;
}

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    // A line ends at CR or CR LF; a lone LF stays in the line.
    std::string_view Next()
    {
        const size_t cr = text_.find('\r', pos_);
        if (cr == std::string_view::npos) {
            std::string_view line = text_.substr(pos_);
            pos_ = text_.size();
            return line;
        }
        std::string_view line = text_.substr(pos_, cr - pos_);
        pos_ = cr + 1;
        if (pos_ < text_.size() && text_[pos_] == '\n')
            ++pos_;
        return line;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

bool IsRecordStart(std::string_view line)
{
    const std::string_view name = line.substr(0, 3);
    return name == "MSH" || name == "FHS" || name == "BHS" || name == "BTS" || name == "FTS";
}

LoadEnd ParseHL7Content(std::string_view content, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host)
{
    store.Reset(100);
    bool warned = false;
    bool salvageMode = false;
    bool salvageDone = false;
    std::string cleaned;  // the salvage pass reads this copy, never the caller's content
    std::string_view source = content;

    for (;;) {  // one iteration per pass
        host.BeginPass();
        store.RecordCount = 0;
        LineReader reader(source);
        std::string record;
        int32_t counter = 0;
        bool pending = false;
        std::string_view pendingText;
        bool restart = false;

        auto storeRecord = [&] {
            record.push_back(endOfBlock);
            store.Append(std::move(record));
            record = std::string();
            host.RecordStored(store.Record(store.RecordCount), store.RecordCount);
        };

        for (;;) {
            std::string_view line;
            if (pending) {
                line = pendingText;
                pending = false;
            } else if (reader.AtEnd()) {
                break;
            } else {
                line = reader.Next();
            }
            ++counter;

            if (const size_t lf = line.find('\n'); lf != std::string_view::npos) {
                pendingText = line.substr(lf + 1);
                pending = true;
                line = line.substr(0, lf);
            }

            // Marker lines of the sending engine are skipped in a salvage pass. Each piece up
            // to an LF is judged on its own: the rest of the physical line belongs to later
            // pieces (and scanning it for every piece would cost quadratic time).
            if (salvageMode && line.find("PASSITON") != std::string_view::npos
                && line.find("MSH") == std::string_view::npos) {
                --counter;
                continue;
            }

            if (line.size() > 1 && static_cast<unsigned char>(line.front()) == 127)
                line.remove_prefix(1);
            while (!line.empty() && static_cast<unsigned char>(line.front()) < 32)
                line.remove_prefix(1);

            if (salvageMode) {
                if (const size_t cut = SalvageCut(line); cut != std::string_view::npos)
                    line.remove_prefix(cut);
            }

            bool handled = false;
            while (!handled) {
                if (IsRecordStart(line)) {
                    if (SetsDelimiters(line))
                        delimiters.SetFromHeader(line);
                    if (!record.empty())
                        storeRecord();
                    record.assign(line);
                    handled = true;
                } else if (counter == 1) {
                    if (!warned) {
                        warned = true;
                        if (!salvageDone) {
                            if (host.AskLoadNonHL7()) {
                                restart = true;
                                break;
                            }
                            salvageMode = false;
                        }
                    }
                    if (!salvageMode)
                        return LoadEnd::NotHL7;
                    const size_t p = line.find(kSalvageHeaderColon);
                    if (p != std::string_view::npos && p > 0) {
                        line.remove_prefix(p);
                        continue;  // test it again as a record start
                    }
                    --counter;
                    handled = true;
                } else {
                    counter = 2;
                    const bool fieldSeparatorFits = line.size() >= 4
                        ? delimiters.FieldSeparator == line.substr(3, 1)
                        : delimiters.FieldSeparator.empty();
                    if (TrimBlanks(line).size() < 3 || !fieldSeparatorFits) {
                        counter = 1;
                    } else {
                        record.push_back(endOfBlock);
                        record.append(line);
                    }
                    handled = true;
                }
            }
            if (restart)
                break;
        }

        if (restart) {
            salvageMode = true;
            cleaned.clear();
            cleaned.reserve(content.size());
            // End-of-file marks left by old editors are removed. Nothing is added: a marker
            // byte after a last line without a line end would end up inside its segment.
            for (char c : content)
                if (c != 26)
                    cleaned.push_back(c);
            salvageDone = true;
            source = cleaned;
            continue;
        }

        // End of the content: the last record is stored even when empty, so an empty file
        // gives one record that holds only the end-of-block character.
        storeRecord();
        return LoadEnd::Loaded;
    }
}

std::vector<std::pair<std::string, std::string>> CharacterDumpLines(std::string_view record)
{
    static const char* hex = "0123456789ABCDEF";
    std::vector<std::pair<std::string, std::string>> lines;
    for (size_t at = 0; at < record.size(); at += 19) {
        const std::string_view piece = record.substr(at, 19);
        std::string text(20 - piece.size(), ' ');
        text.append(piece);
        for (unsigned char c : piece) {
            text.push_back(hex[c >> 4]);
            text.push_back(hex[c & 15]);
            text.push_back(' ');
        }
        lines.emplace_back(at == 0 ? "ASCII" : "", std::move(text));
    }
    return lines;
}

}  // namespace quillon
