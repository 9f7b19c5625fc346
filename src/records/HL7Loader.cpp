#include "records/HL7Loader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

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

class MemorySource : public LoadSource {
public:
    explicit MemorySource(std::string_view text) : text_(text) {}
    int64_t Read(char* into, size_t room) override
    {
        const size_t n = std::min(room, text_.size() - pos_);
        std::memcpy(into, text_.data() + pos_, n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }
    bool Rewind() override
    {
        pos_ = 0;
        return true;
    }
    int64_t SizeHint() const override { return static_cast<int64_t>(text_.size()); }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

class FileSource : public LoadSource {
public:
    int64_t Read(char* into, size_t room) override
    {
        return reader.Read(into, static_cast<qint64>(room));
    }
    bool Rewind() override { return reader.Rewind(); }
    int64_t SizeHint() const override { return reader.Size(); }

    platform::ChunkReader reader;
};

// One load: reads the source a chunk at a time and cuts it into pieces as the bytes come. A
// piece ends at CR, CR LF or LF; what a CR-ended line and the LF-cut pieces of it would give
// one by one is exactly this sequence of pieces. The segments of the record being collected
// stay in the buffer as offsets and are copied once, into a string of the record's final
// size, when the record is complete.
class Loader {
public:
    Loader(LoadSource& source, const Delimiters& delimiters, char endOfBlock, LoadHost& host,
           size_t chunkBytes)
        : source_(source), delimiters_(delimiters), eob_(endOfBlock), host_(host),
          chunk_(std::max<size_t>(chunkBytes, 1)),
          arena_(static_cast<size_t>(std::max<int64_t>(source.SizeHint(), 0)))
    {
    }

    LoadEnd Run(RecordStore& store, Delimiters& delimiters)
    {
        records_.Reset(100);
        for (;;) {  // one iteration per pass
            host_.BeginPass();
            records_.RecordCount = 0;
            StartPass();
            const Step step = ReadPass();
            if (step == Step::Failed)
                return LoadEnd::ReadFailed;
            if (step == Step::NotHL7) {
                Commit(store, delimiters);
                return LoadEnd::NotHL7;
            }
            if (step == Step::Restart) {
                salvageMode_ = true;
                salvageDone_ = true;
                if (!source_.Rewind())
                    return LoadEnd::ReadFailed;
                continue;
            }
            // End of the content: the last record is stored even when empty, so an empty
            // file gives one record that holds only the end-of-block character.
            StoreRecord();
            Commit(store, delimiters);
            return LoadEnd::Loaded;
        }
    }

private:
    enum class Step { Next, Restart, NotHL7, Failed, End };
    static constexpr size_t kUnknown = std::numeric_limits<size_t>::max();

    void Commit(RecordStore& store, Delimiters& delimiters)
    {
        std::vector<RecordText> replaced;
        replaced.swap(store.Records);
        store = std::move(records_);
        delimiters = delimiters_;
        host_.Replaced(std::move(replaced));
    }

    void StartPass()
    {
        end_ = pos_ = pieceStart_ = 0;
        consumed_ = 0;
        eof_ = afterCR_ = openPiece_ = false;
        nextCR_ = nextLF_ = kUnknown;
        parts_.clear();
        spill_.clear();
        counter_ = 0;
    }

    Step ReadPass()
    {
        for (;;) {
            if (pos_ == end_ && !eof_) {
                if (!Fill())
                    return Step::Failed;
                continue;
            }
            if (afterCR_) {  // an LF right after a CR belongs to that CR
                afterCR_ = false;
                if (pos_ < end_ && buf_[pos_] == '\n')
                    ++pos_;
                pieceStart_ = pos_;
                continue;
            }
            const size_t t = FindLineEnd();
            if (t == end_) {
                if (!eof_) {
                    pos_ = end_;  // the piece goes on in the next chunk
                    continue;
                }
                // A piece after the last line end: any bytes, or the empty rest after an LF.
                if (end_ == pieceStart_ && !openPiece_)
                    return Step::End;
                const size_t at = pieceStart_;
                pos_ = pieceStart_ = end_;
                openPiece_ = false;
                const Step step = Piece(at, end_ - at);
                return step == Step::Next ? Step::End : step;
            }
            const size_t at = pieceStart_;
            afterCR_ = buf_[t] == '\r';
            openPiece_ = !afterCR_;
            pos_ = pieceStart_ = t + 1;
            if (const Step step = Piece(at, t - at); step != Step::Next)
                return step;
        }
    }

    // The first CR or LF at or after pos_, or end_. Each search is remembered until passed,
    // so a file with one kind of line end is not searched again for the other on every line.
    size_t FindLineEnd()
    {
        auto find = [this](char c) {
            const void* p = std::memchr(buf_.get() + pos_, c, end_ - pos_);
            return p ? static_cast<size_t>(static_cast<const char*>(p) - buf_.get()) : end_;
        };
        if (nextCR_ == kUnknown || nextCR_ < pos_)
            nextCR_ = find('\r');
        if (nextLF_ == kUnknown || nextLF_ < pos_)
            nextLF_ = find('\n');
        return std::min(nextCR_, nextLF_);
    }

    // Reads the next chunk behind what is still needed: the piece being read and the
    // segments of the record being collected. False on a read failure.
    bool Fill()
    {
        size_t keep = pieceStart_;
        if (!parts_.empty()) {
            // A record far larger than a chunk is copied out, so the buffer stays small.
            if (pieceStart_ - parts_.front().first > chunk_ / 2)
                SpillParts();
            else
                keep = parts_.front().first;
        }
        if (keep > 0) {
            std::memmove(buf_.get(), buf_.get() + keep, end_ - keep);
            end_ -= keep;
            pos_ -= keep;
            pieceStart_ -= keep;
            consumed_ += keep;
            for (auto& part : parts_)
                part.first -= keep;
        }
        if (capacity_ - end_ < chunk_ / 2 + 1) {
            // Left uninitialised: the read fills it.
            const size_t capacity = std::max(end_ + chunk_, capacity_ * 2);
            std::unique_ptr<char[]> bigger(new char[capacity]);
            if (end_ > 0)
                std::memcpy(bigger.get(), buf_.get(), end_);
            buf_ = std::move(bigger);
            capacity_ = capacity;
        }
        nextCR_ = nextLF_ = kUnknown;
        const int64_t n = source_.Read(buf_.get() + end_, capacity_ - end_);
        if (n < 0)
            return false;
        if (n == 0) {
            eof_ = true;
            return true;
        }
        char* const from = buf_.get() + end_;
        char* to = from + n;
        // The salvage pass reads the content without the end-of-file marks of old editors.
        // Nothing is added: a marker byte after a last line without a line end would end up
        // inside its segment.
        if (salvageMode_)
            to = std::remove(from, to, '\x1a');
        end_ += static_cast<size_t>(to - from);
        return true;
    }

    void SpillParts()
    {
        for (const auto& [at, size] : parts_) {
            spill_.append(buf_.get() + at, size);
            spill_.push_back(eob_);
        }
        parts_.clear();
    }

    bool RecordEmpty() const { return parts_.empty() && spill_.empty(); }

    void StoreRecord()
    {
        if (RecordEmpty()) {
            records_.Append(arena_.Copy(std::string_view(&eob_, 1)));
        } else {
            // Copied once, straight into the record's text.
            size_t total = spill_.size();
            for (const auto& part : parts_)
                total += part.second + 1;
            records_.Append(arena_.Make(total, [this](char* out) {
                std::memcpy(out, spill_.data(), spill_.size());
                out += spill_.size();
                for (const auto& [at, size] : parts_) {
                    std::memcpy(out, buf_.get() + at, size);
                    out += size;
                    *out++ = eob_;
                }
            }));
        }
        parts_.clear();
        spill_.clear();
        if (records_.RecordCount == 100)
            ReserveSlots();
        host_.RecordStored(records_.Record(records_.RecordCount), records_.RecordCount);
    }

    // Once the first records show their average size, the array gets room for the whole file
    // so it is not moved as it grows.
    void ReserveSlots()
    {
        const int64_t total = source_.SizeHint();
        const size_t read = consumed_ + pieceStart_;
        if (total <= 0 || read == 0)
            return;
        const double perRecord = static_cast<double>(read) / records_.RecordCount;
        const double expected = static_cast<double>(total) / perRecord * 1.05 + 200;
        if (expected < 5e7)
            records_.Records.reserve(static_cast<size_t>(expected));
    }

    size_t Offset(std::string_view line) const
    {
        return static_cast<size_t>(line.data() - buf_.get());
    }

    Step Piece(size_t at, size_t size)
    {
        std::string_view line(buf_.get() + at, size);
        ++counter_;

        // Marker lines of the sending engine are skipped in a salvage pass. Each piece up to
        // an LF is judged on its own: the rest of the physical line belongs to later pieces
        // (and scanning it for every piece would cost quadratic time).
        if (salvageMode_ && line.find("PASSITON") != std::string_view::npos
            && line.find("MSH") == std::string_view::npos) {
            --counter_;
            return Step::Next;
        }

        if (line.size() > 1 && static_cast<unsigned char>(line.front()) == 127)
            line.remove_prefix(1);
        while (!line.empty() && static_cast<unsigned char>(line.front()) < 32)
            line.remove_prefix(1);

        if (salvageMode_) {
            if (const size_t cut = SalvageCut(line); cut != std::string_view::npos)
                line.remove_prefix(cut);
        }

        for (;;) {
            if (IsRecordStart(line)) {
                if (SetsDelimiters(line))
                    delimiters_.SetFromHeader(line);
                if (!RecordEmpty())
                    StoreRecord();
                parts_.emplace_back(Offset(line), line.size());
                return Step::Next;
            }
            if (counter_ == 1) {
                if (!warned_) {
                    warned_ = true;
                    if (!salvageDone_) {
                        if (host_.AskLoadNonHL7())
                            return Step::Restart;
                        salvageMode_ = false;
                    }
                }
                if (!salvageMode_)
                    return Step::NotHL7;
                const size_t p = line.find(kSalvageHeaderColon);
                if (p != std::string_view::npos && p > 0) {
                    line.remove_prefix(p);
                    continue;  // test it again as a record start
                }
                --counter_;
                return Step::Next;
            }
            counter_ = 2;
            const bool fieldSeparatorFits = line.size() >= 4
                ? delimiters_.FieldSeparator == line.substr(3, 1)
                : delimiters_.FieldSeparator.empty();
            if (TrimBlanks(line).size() < 3 || !fieldSeparatorFits)
                counter_ = 1;
            else
                parts_.emplace_back(Offset(line), line.size());
            return Step::Next;
        }
    }

    LoadSource& source_;
    Delimiters delimiters_;
    const char eob_;
    LoadHost& host_;
    const size_t chunk_;
    // Told the file's size, so that a large file's records go into memory taken in large steps.
    RecordArena arena_;
    RecordStore records_;

    std::unique_ptr<char[]> buf_;
    size_t capacity_ = 0;
    size_t end_ = 0;         // bytes in the buffer
    size_t pos_ = 0;         // where the search for the next line end goes on
    size_t pieceStart_ = 0;  // start of the piece being read
    size_t consumed_ = 0;    // bytes of this pass moved out of the buffer
    size_t nextCR_ = kUnknown;
    size_t nextLF_ = kUnknown;
    bool eof_ = false;
    bool afterCR_ = false;    // the last line end was a CR: an LF right after it is skipped
    bool openPiece_ = false;  // the last line end was an LF: a piece follows, even empty

    // The record being collected: its segments in the buffer, and what was copied out.
    std::vector<std::pair<size_t, size_t>> parts_;
    std::string spill_;

    int32_t counter_ = 0;
    bool warned_ = false;
    bool salvageMode_ = false;
    bool salvageDone_ = false;
};

}  // namespace

bool IsRecordStart(std::string_view line)
{
    const std::string_view name = line.substr(0, 3);
    return name == "MSH" || name == "FHS" || name == "BHS" || name == "BTS" || name == "FTS";
}

LoadEnd ParseHL7Source(LoadSource& source, RecordStore& store, Delimiters& delimiters,
                       char endOfBlock, LoadHost& host, size_t chunkBytes)
{
    Loader loader(source, delimiters, endOfBlock, host, chunkBytes);
    return loader.Run(store, delimiters);
}

LoadEnd ParseHL7Content(std::string_view content, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host)
{
    MemorySource source(content);
    return ParseHL7Source(source, store, delimiters, endOfBlock, host);
}

LoadEnd LoadHL7FromFile(const QString& path, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host, platform::ReadResult& error,
                        size_t chunkBytes)
{
    FileSource source;
    error = source.reader.Open(path);
    if (error.error != platform::ReadError::None)
        return LoadEnd::ReadFailed;
    const LoadEnd end = ParseHL7Source(source, store, delimiters, endOfBlock, host, chunkBytes);
    if (end == LoadEnd::ReadFailed)
        error = {platform::ReadError::NotReadable, source.reader.ErrorString()};
    return end;
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
