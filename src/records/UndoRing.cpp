#include "records/UndoRing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <functional>

#include "platform/Background.h"
#include "platform/FileIO.h"

namespace quillon {

// File layout: the 8-byte tag, the upper bound as a 64-bit little-endian number, then for
// every slot from 1 to the upper bound its length (64-bit little-endian) and its bytes.
namespace {

constexpr char kTag[8] = {'Q', 'U', 'N', 'D', 'O', '0', '1', '\n'};
// Data moves in blocks of this size: one system call a block, not one a record.
constexpr size_t kBlock = size_t{1} << 20;

void PutNumber(char* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<char>(value >> (8 * i));
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The side file a write goes to before it takes the undo file's name.
QString SideFileName(const QString& path)
{
    return path + QStringLiteral(".tmp");
}

// A file taken out of the ring, to be removed.
QString DoomedFileName(const QString& path)
{
    return path + QStringLiteral(".old");
}

}  // namespace

QString UndoInstanceId()
{
    return QString::number(QCoreApplication::applicationPid(), 16).toUpper();
}

QString UndoFileName(const QString& tempFolder, const QString& instanceId, int slot)
{
    return tempFolder + instanceId + QStringLiteral("-Records") + QString::number(slot)
           + QStringLiteral(".undo");
}

bool AnyUndoFile(const QString& tempFolder, const QString& instanceId)
{
    for (int slot = 0; slot < UndoRing::Slots; ++slot)
        if (QFileInfo::exists(UndoFileName(tempFolder, instanceId, slot)))
            return true;
    return false;
}

int DeleteUndoFiles(const QString& tempFolder, const QString& instanceId)
{
    int removed = 0;
    for (int slot = 0; slot < UndoRing::Slots; ++slot) {
        const QString path = UndoFileName(tempFolder, instanceId, slot);
        removed += QFile::remove(path) ? 1 : 0;
        removed += QFile::remove(SideFileName(path)) ? 1 : 0;
        removed += QFile::remove(DoomedFileName(path)) ? 1 : 0;
    }
    return removed;
}

int DeleteOrphanUndoFiles(const QString& tempFolder)
{
    // Without /proc there is no telling which instances still run.
    if (!QFileInfo::exists(QStringLiteral("/proc/self")))
        return 0;
    static const QRegularExpression name(
        QStringLiteral("^([0-9A-F]{1,15})-Records[0-9]\\.undo(\\.tmp|\\.old)?$"));
    const qint64 self = QCoreApplication::applicationPid();
    QDir dir(tempFolder);
    int removed = 0;
    for (const QString& file :
         dir.entryList({QStringLiteral("*.undo"), QStringLiteral("*.undo.tmp"),
                        QStringLiteral("*.undo.old")},
                       QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = name.match(file);
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong(nullptr, 16);
        if (pid == self || QFileInfo::exists(QStringLiteral("/proc/") + QString::number(pid)))
            continue;
        removed += dir.remove(file) ? 1 : 0;
    }
    return removed;
}

std::shared_ptr<const RecordsSnapshot> TakeSnapshot(const RecordStore& store)
{
    return std::make_shared<const RecordsSnapshot>(store.Records);
}

size_t UndoFileSize(const std::vector<RecordText>& records, size_t limit)
{
    size_t size = sizeof kTag + 8;
    for (size_t i = 1; i < records.size() && size < limit; ++i)
        size += 8 + records[i].size();
    return size;
}

bool WriteUndoFile(const QString& path, const std::vector<RecordText>& records, QString* error,
                   const std::atomic<bool>* stop)
{
    // A working copy: not flushed to disk, which would cost the command its speed.
    platform::WholeFile file(path, platform::WholeFile::Options::NotSynced(SideFileName(path)));
    bool written = file.Open();
    // The records are gathered into a block and written a block at a time; one larger than a
    // block goes out on its own.
    std::string block;
    block.reserve(kBlock);
    const auto put = [&](const char* bytes, size_t size) {
        written = written && file.Write(bytes, size);
    };
    const auto flush = [&] {
        put(block.data(), block.size());
        block.clear();
    };
    const auto number = [&](uint64_t value) {
        char bytes[8];
        PutNumber(bytes, value);
        block.append(bytes, sizeof bytes);
    };
    block.append(kTag, sizeof kTag);
    const size_t upperBound = records.empty() ? 0 : records.size() - 1;
    number(upperBound);
    for (size_t i = 1; written && i <= upperBound; ++i) {
        if (stop && block.size() >= kBlock - 16 && stop->load()) {
            file.Cancel();
            SetError(error, QStringLiteral("stopped"));
            return false;
        }
        const std::string_view text = records[i];
        number(text.size());
        if (block.size() + text.size() > kBlock) {
            flush();
            if (text.size() >= kBlock) {
                put(text.data(), text.size());
                continue;
            }
        }
        block.append(text);
    }
    flush();
    if (!written || !file.Commit()) {
        SetError(error, file.ErrorString());
        return false;
    }
    return true;
}

namespace {

// An undo file read a block at a time, checked as it goes against the file's size.
class UndoFileReader {
public:
    explicit UndoFileReader(QFile& file)
        : file_(file), left_(static_cast<uint64_t>(std::max<qint64>(0, file.size())))
    {
        buffer_.reset(new char[kBlock]);
    }

    // Makes the next `n` bytes (at most a block) lie in the buffer from `At()` on.
    bool Ensure(size_t n)
    {
        if (end_ - at_ >= n)
            return true;
        if (n > kBlock || n > (end_ - at_) + left_)
            return false;
        std::memmove(buffer_.get(), buffer_.get() + at_, end_ - at_);
        end_ -= at_;
        at_ = 0;
        while (end_ < n) {
            const qint64 got =
                file_.read(buffer_.get() + end_,
                           static_cast<qint64>(std::min<uint64_t>(kBlock - end_, left_)));
            if (got <= 0)
                return false;
            end_ += static_cast<size_t>(got);
            left_ -= static_cast<uint64_t>(got);
        }
        return true;
    }
    const char* At() const { return buffer_.get() + at_; }
    void Skip(size_t n) { at_ += n; }

    bool Number(uint64_t& value)
    {
        if (!Ensure(8))
            return false;
        value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(static_cast<unsigned char>(At()[i])) << (8 * i);
        Skip(8);
        return true;
    }

    // Bytes of the file not taken yet.
    uint64_t Remaining() const { return (end_ - at_) + left_; }

    // Takes `n` bytes into `out`, those in the buffer first, the rest straight from the file.
    bool Take(char* out, size_t n)
    {
        const size_t here = std::min(n, end_ - at_);
        std::memcpy(out, At(), here);
        Skip(here);
        for (size_t done = here; done < n;) {
            const qint64 got = file_.read(out + done, static_cast<qint64>(n - done));
            if (got <= 0)
                return false;
            done += static_cast<size_t>(got);
            left_ -= static_cast<uint64_t>(got);
        }
        return true;
    }

private:
    QFile& file_;
    std::unique_ptr<char[]> buffer_;
    size_t at_ = 0;
    size_t end_ = 0;
    uint64_t left_;
};

}  // namespace

namespace {

// The texts of the records as they stand, found by their bytes: a record read back that equals
// one of them shares its bytes. Built only when a record is not where a filter or a delete
// would have left it (its own slot, or the next one after the last found): after a sort.
class TextIndex {
public:
    explicit TextIndex(const std::vector<RecordText>& texts) : texts_(texts)
    {
        std::vector<uint64_t> hashes(texts.size());
        platform::SplitAcrossCores(texts.size(), [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i)
                hashes[i] = Hash(texts[i]);
        });
        size_t size = 16;
        while (size < 2 * texts.size())
            size *= 2;
        table_.assign(size, 0);
        mask_ = size - 1;
        for (size_t i = 1; i < texts.size(); ++i) {
            size_t at = hashes[i] & mask_;
            while (table_[at] != 0)
                at = (at + 1) & mask_;
            table_[at] = (hashes[i] & ~uint64_t{0xFFFFFFFF}) | (i & 0xFFFFFFFF);
        }
    }

    const RecordText* Find(std::string_view bytes) const
    {
        const uint64_t hash = Hash(bytes);
        for (size_t at = hash & mask_; table_[at] != 0; at = (at + 1) & mask_) {
            const uint64_t entry = table_[at];
            if ((entry >> 32) != (hash >> 32))
                continue;
            const RecordText& text = texts_[static_cast<size_t>(entry & 0xFFFFFFFF)];
            if (text == bytes)
                return &text;
        }
        return nullptr;
    }

private:
    // Four lanes of 8 bytes at a time: a million records are hashed once when the index is made
    // and once as they are read back.
    static uint64_t Hash(std::string_view bytes)
    {
        constexpr uint64_t k1 = 0x9E3779B97F4A7C15ULL, k2 = 0xC2B2AE3D27D4EB4FULL;
        const auto mix = [](uint64_t h, uint64_t w) {
            h ^= w * k1;
            return ((h << 31) | (h >> 33)) * k2;
        };
        uint64_t lane[4] = {bytes.size(), k1, k2, k1 ^ k2};
        const char* p = bytes.data();
        size_t n = bytes.size();
        for (; n >= 32; p += 32, n -= 32) {
            uint64_t w[4];
            std::memcpy(w, p, sizeof w);
            for (int i = 0; i < 4; ++i)
                lane[i] = mix(lane[i], w[i]);
        }
        for (int i = 0; n > 0; i = (i + 1) % 4) {
            uint64_t w = 0;
            const size_t take = std::min<size_t>(n, 8);
            std::memcpy(&w, p, take);
            lane[i] = mix(lane[i], w);
            p += take;
            n -= take;
        }
        uint64_t h = mix(mix(lane[0], lane[1]), mix(lane[2], lane[3]));
        h ^= h >> 32;
        h *= k2;
        return h ^ (h >> 29);
    }

    const std::vector<RecordText>& texts_;
    std::vector<uint64_t> table_;  // the hash's top half and the text's index; 0: empty
    size_t mask_ = 0;
};

}  // namespace

bool ReadUndoFile(const QString& path, std::vector<RecordText>& records, QString* error,
                  const std::vector<RecordText>* current)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        SetError(error, file.errorString());
        return false;
    }
    const QString damaged = QStringLiteral("the file %1 is damaged").arg(path);
    const auto fail = [&] {
        SetError(error, file.error() != QFileDevice::NoError ? file.errorString() : damaged);
        return false;
    };
    UndoFileReader in(file);
    uint64_t upperBound = 0;
    if (!in.Ensure(sizeof kTag) || std::memcmp(in.At(), kTag, sizeof kTag) != 0)
        return fail();
    in.Skip(sizeof kTag);
    if (!in.Number(upperBound) || upperBound > in.Remaining() / 8)
        return fail();

    // With nothing to share, every record takes memory; otherwise the arena is told so once most
    // records read so far did.
    RecordArena arena(current ? 0 : static_cast<size_t>(in.Remaining()));
    size_t copied = 0;
    std::vector<RecordText> read(static_cast<size_t>(upperBound) + 1);
    const size_t known = current && current->size() < (size_t{1} << 32) ? current->size() : 0;
    size_t next = 1;  // the text of `current` after the last one found
    std::unique_ptr<TextIndex> index;
    int missesInARow = 0;  // records the index found and their own place did not
    const auto share = [&](size_t i, std::string_view bytes) -> const RecordText* {
        if (bytes.empty() || known == 0)
            return nullptr;
        // Once the records stand in another order (a sort), the index is asked first.
        if (missesInARow < 16) {
            if (i < known && (*current)[i] == bytes)
                return &(*current)[i];
            if (next < known && (*current)[next] == bytes)
                return &(*current)[next];
        }
        if (!index)
            index = std::make_unique<TextIndex>(*current);
        const RecordText* found = index->Find(bytes);
        missesInARow = found ? missesInARow + 1 : 0;
        return found;
    };
    for (size_t i = 1; i < read.size(); ++i) {
        uint64_t length = 0;
        if (!in.Number(length) || length > in.Remaining())
            return fail();
        const auto size = static_cast<size_t>(length);
        if (size <= kBlock && in.Ensure(size)) {
            const std::string_view bytes(in.At(), size);
            const RecordText* same = share(i, bytes);
            read[i] = same ? *same : arena.Copy(bytes);
            copied += same ? 0 : 1;
            if ((i & 4095) == 0 && 2 * copied > i)
                arena.ExpectAtLeast(static_cast<size_t>(in.Remaining()));
            if (same && same == &(*current)[std::min(next, known - 1)])
                ++next;
            in.Skip(size);
        } else {
            bool taken = false;
            read[i] = arena.Make(size, [&](char* out) { taken = in.Take(out, size); });
            if (!taken)
                return fail();
        }
    }
    if (in.Remaining() != 0)
        return fail();
    records = std::move(read);
    return true;
}

bool UndoRing::Save(const RecordStore& store, const Delimiters& delimiters,
                    const QString& operationName, const QString& tempFolder,
                    const QString& instanceId, QString* error)
{
    const int slot = (UndoLevel + 1) % Slots;
    if (!WriteUndoFile(UndoFileName(tempFolder, instanceId, slot), store.Records, error))
        return false;
    Advance(store, delimiters, operationName);
    return true;
}

int UndoRing::Advance(const RecordStore& store, const Delimiters& delimiters,
                      const QString& operationName)
{
    const int slot = (UndoLevel + 1) % Slots;
    UndoRecordCounts[slot] = store.RecordCount;
    UndoDescriptions[slot] = operationName;
    UndoSlotDelimiters[slot] = delimiters;
    UndoLevel = static_cast<int16_t>(slot);
    receivedBefore_[static_cast<size_t>(slot)] = receivedFrom_ + received_.size();
    // What no point left in the ring was saved before is needed no more.
    uint64_t oldest = receivedBefore_[static_cast<size_t>(slot)];
    for (int s = 0; s < Slots; ++s)
        if (!UndoDescriptions[static_cast<size_t>(s)].isEmpty())
            oldest = std::min(oldest, receivedBefore_[static_cast<size_t>(s)]);
    if (oldest > receivedFrom_) {
        received_.erase(received_.begin(),
                        received_.begin() + static_cast<std::ptrdiff_t>(oldest - receivedFrom_));
        receivedFrom_ = oldest;
    }
    return slot;
}

void UndoRing::NoteReceived(const RecordText& record)
{
    if (UndoEnabled)
        received_.push_back(record);
}

void UndoRing::Forget(int slot, const QString& tempFolder, const QString& instanceId)
{
    QFile::remove(UndoFileName(tempFolder, instanceId, slot));
    if (UndoLevel == slot)
        UndoLevel = static_cast<int16_t>((slot + Slots - 1) % Slots);
}

bool UndoRing::SaveBeside(const RecordStore& store, const Delimiters& delimiters,
                          const QString& operationName, const QString& tempFolder,
                          const QString& instanceId, std::shared_ptr<const RecordsSnapshot> copy,
                          BackgroundWrites& writes, size_t besideFrom, QString* error, bool* beside)
{
    const int slot = (UndoLevel + 1) % Slots;
    const QString path = UndoFileName(tempFolder, instanceId, slot);
    const bool later = UndoFileSize(*copy, besideFrom) >= besideFrom;
    if (beside)
        *beside = later;
    if (!later) {
        if (!WriteUndoFile(path, *copy, error))
            return false;
    } else {
        // What stops a write at its start (no folder, no right to write) is told now.
        QFile side(SideFileName(path));
        if (!side.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            SetError(error, side.errorString());
            return false;
        }
        side.close();
        BesideWrite same;
        if (lastBeside_.copy.lock() == copy)
            same = lastBeside_;
        auto written = std::make_shared<std::atomic<bool>>(false);
        lastBeside_ = {copy, path, written};
        writes.Add(slot, [copy, path, same, written](const std::atomic<bool>& stop) {
            BackgroundWrites::Outcome outcome;
            outcome.path = path;
            const QString side = SideFileName(path);
            QFile::remove(side);
            if (same.written && same.written->load()
                && ::link(QFile::encodeName(same.path).constData(),
                          QFile::encodeName(side).constData())
                       == 0
                && std::rename(QFile::encodeName(side).constData(),
                               QFile::encodeName(path).constData())
                       == 0) {
                written->store(true);
                return outcome;
            }
            outcome.ok = WriteUndoFile(path, *copy, &outcome.error, &stop);
            written->store(outcome.ok);
            return outcome;
        });
    }
    Advance(store, delimiters, operationName);
    return true;
}

UndoRing::RestoreResult UndoRing::Restore(RecordStore& store, Delimiters& delimiters,
                                          const QString& tempFolder, const QString& instanceId,
                                          QString* error, const UndoRestoreHelp& help)
{
    const int slot = ((UndoLevel % Slots) + Slots) % Slots;
    const QString path = UndoFileName(tempFolder, instanceId, slot);
    if (!help.held && !QFileInfo::exists(path))
        return RestoreResult::NothingToRestore;
    std::vector<RecordText> records;
    bool read = false;
    // The records as they stand lend their bytes to the equal ones read back.
    std::vector<RecordText> current;
    if (!help.held)
        current.assign(store.Records.begin(),
                       store.Records.begin()
                           + std::min<size_t>(store.Records.size(),
                                              static_cast<size_t>(store.RecordCount) + 1));
    const auto work = [&] {
        if (help.held) {
            records = *help.held;
            read = true;
        } else {
            read = ReadUndoFile(path, records, error, &current);
        }
    };
    if (help.run)
        help.run(work);
    else
        work();
    current.clear();
    if (!read)
        return RestoreResult::Failed;
    // The records received since the point was saved stay, whenever they came: before the
    // undo or while the copy was read.
    const uint64_t before = std::max(receivedBefore_[static_cast<size_t>(slot)], receivedFrom_);
    const std::vector<RecordText> arrived(
        received_.begin() + static_cast<std::ptrdiff_t>(
                                std::min<uint64_t>(before - receivedFrom_, received_.size())),
        received_.end());
    store.Records.swap(records);
    if (help.replaced)
        help.replaced->swap(records);
    if (store.Records.size() < 2)
        store.Records.resize(2);
    store.RecordCount = std::min(UndoRecordCounts[slot], store.UpperBound());
    if (!arrived.empty()) {
        const size_t needed = static_cast<size_t>(store.RecordCount) + arrived.size() + 2;
        if (store.Records.size() < needed)
            store.Records.resize(needed + 100);
        for (const RecordText& text : arrived)
            store.Records[static_cast<size_t>(++store.RecordCount)] = text;
    }
    // Only the delimiter change itself: a replace whose text names it changed no delimiters.
    if (UndoDescriptions[slot] == QLatin1String("Change Delimiters"))
        delimiters = UndoSlotDelimiters[slot];
    // Removing a file of hundreds of megabytes takes a while: renamed, it is out of the ring at
    // once and can go later.
    const QString doomed = DoomedFileName(path);
    if (help.discard && QFileInfo::exists(path)
        && std::rename(QFile::encodeName(path).constData(), QFile::encodeName(doomed).constData())
               == 0)
        help.discard(doomed);
    else
        QFile::remove(path);
    QFile::remove(SideFileName(path));  // begun for a write that was stopped
    UndoLevel = static_cast<int16_t>((slot + Slots - 1) % Slots);
    return RestoreResult::Restored;
}

void UndoRing::StartEmpty(const QString& tempFolder, const QString& instanceId)
{
    DeleteUndoFiles(tempFolder, instanceId);
    UndoLevel = 0;
    UndoRecordCounts.fill(0);
    UndoDescriptions.fill(QString());
    UndoSlotDelimiters.fill(Delimiters{});
    received_.clear();
    receivedFrom_ = 0;
    receivedBefore_.fill(0);
}

Delimiters DelimitersFrom(const std::array<std::string, 5>& five)
{
    Delimiters d;
    d.FieldSeparator = five[0];
    d.ComponentSeparator = five[1];
    d.RepetitionSeparator = five[2];
    d.EscapeCharacter = five[3];
    d.SubcomponentSeparator = five[4];
    d.AllDelimiters = five[0] + five[1] + five[2] + five[3] + five[4];
    return d;
}

}  // namespace quillon
