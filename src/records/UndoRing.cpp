#include "records/UndoRing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

std::shared_ptr<const UndoImage> MakeUndoImage(const std::vector<std::string>& records)
{
    auto image = std::make_shared<UndoImage>();
    const size_t upperBound = records.empty() ? 0 : records.size() - 1;
    // Where each slot's length goes; the text follows it.
    std::vector<size_t> at(upperBound + 1, 0);
    size_t size = sizeof kTag + 8;
    for (size_t i = 1; i <= upperBound; ++i) {
        at[i] = size;
        size += 8 + records[i].size();
    }
    // Not cleared first: every byte is written below.
    image->bytes = platform::AllocateLargeBlock(size);
    if (!image->bytes)
        throw std::bad_alloc();
    image->size = size;
    image->texts.resize(upperBound + 1);
    char* out = image->bytes.get();
    std::memcpy(out, kTag, sizeof kTag);
    PutNumber(out + sizeof kTag, upperBound);
    platform::SplitAcrossCores(upperBound, [&](size_t begin, size_t end) {
        for (size_t i = begin + 1; i <= end; ++i) {
            const std::string& text = records[i];
            char* slot = out + at[i];
            PutNumber(slot, text.size());
            std::memcpy(slot + 8, text.data(), text.size());
            image->texts[i] = std::string_view(slot + 8, text.size());
        }
    });
    return image;
}

bool ImageHolds(const UndoImage& image, const std::vector<std::string>& records)
{
    if (image.texts.size() != records.size())
        return false;
    std::atomic<bool> differs{false};
    platform::SplitAcrossCores(records.size(), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end && !differs.load(std::memory_order_relaxed); ++i)
            if (image.texts[i] != std::string_view(records[i]))
                differs.store(true, std::memory_order_relaxed);
    });
    return !differs.load();
}

std::vector<std::string> RecordsFromImage(const UndoImage& image)
{
    std::vector<std::string> records(image.texts.size());
    platform::SplitAcrossCores(records.size(), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            records[i].assign(image.texts[i]);
    });
    return records;
}

bool WriteUndoImage(const QString& path, const UndoImage& image, QString* error,
                    const std::atomic<bool>* stop)
{
    // A working copy: not flushed to disk, which would cost the command its speed.
    platform::WholeFile file(path, platform::WholeFile::Options::NotSynced(SideFileName(path)));
    bool written = file.Open();
    for (size_t done = 0; written && done < image.size;) {
        if (stop && stop->load()) {
            file.Cancel();
            SetError(error, QStringLiteral("stopped"));
            return false;
        }
        const size_t size = std::min(kBlock, image.size - done);
        written = file.Write(image.bytes.get() + done, size);
        done += size;
    }
    if (!written || !file.Commit()) {
        SetError(error, file.ErrorString());
        return false;
    }
    return true;
}

bool WriteUndoFile(const QString& path, const std::vector<std::string>& records, QString* error)
{
    return WriteUndoImage(path, *MakeUndoImage(records), error);
}

bool ReadUndoImage(const QString& path, UndoImage& image, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        SetError(error, file.errorString());
        return false;
    }
    const QString damaged = QStringLiteral("the file %1 is damaged").arg(path);
    const auto size = static_cast<size_t>(std::max<qint64>(0, file.size()));
    platform::LargeBlock bytes = platform::AllocateLargeBlock(size);
    if (!bytes)
        throw std::bad_alloc();
    for (size_t done = 0; done < size;) {
        const qint64 got = file.read(bytes.get() + done,
                                     static_cast<qint64>(std::min(size - done, size_t{64} << 20)));
        if (got <= 0) {
            SetError(error, file.error() != QFileDevice::NoError ? file.errorString() : damaged);
            return false;
        }
        done += static_cast<size_t>(got);
    }
    // The layout is checked whole before anything is taken from it.
    const char* at = bytes.get();
    const char* const end = at + size;
    const auto number = [&](uint64_t& value) {
        if (end - at < 8)
            return false;
        value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(static_cast<unsigned char>(at[i])) << (8 * i);
        at += 8;
        return true;
    };
    uint64_t upperBound = 0;
    if (size < sizeof kTag || std::memcmp(at, kTag, sizeof kTag) != 0) {
        SetError(error, damaged);
        return false;
    }
    at += sizeof kTag;
    if (!number(upperBound) || upperBound > static_cast<uint64_t>(end - at) / 8) {
        SetError(error, damaged);
        return false;
    }
    std::vector<std::string_view> texts(static_cast<size_t>(upperBound) + 1);
    for (size_t i = 1; i < texts.size(); ++i) {
        uint64_t length = 0;
        if (!number(length) || length > static_cast<uint64_t>(end - at)) {
            SetError(error, damaged);
            return false;
        }
        texts[i] = std::string_view(at, static_cast<size_t>(length));
        at += length;
    }
    if (at != end) {
        SetError(error, damaged);
        return false;
    }
    image.bytes = std::move(bytes);
    image.size = size;
    image.texts = std::move(texts);
    return true;
}

bool ReadUndoFile(const QString& path, std::vector<std::string>& records, QString* error)
{
    UndoImage image;
    if (!ReadUndoImage(path, image, error))
        return false;
    records = RecordsFromImage(image);
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
    return slot;
}

void UndoRing::Forget(int slot, const QString& tempFolder, const QString& instanceId)
{
    QFile::remove(UndoFileName(tempFolder, instanceId, slot));
    if (UndoLevel == slot)
        UndoLevel = static_cast<int16_t>((slot + Slots - 1) % Slots);
}

bool UndoRing::SaveBeside(const RecordStore& store, const Delimiters& delimiters,
                          const QString& operationName, const QString& tempFolder,
                          const QString& instanceId, std::shared_ptr<const UndoImage> copy,
                          BackgroundWrites& writes, size_t besideFrom, QString* error)
{
    const int slot = (UndoLevel + 1) % Slots;
    const QString path = UndoFileName(tempFolder, instanceId, slot);
    if (copy->size < besideFrom) {
        if (!WriteUndoImage(path, *copy, error))
            return false;
    } else {
        // What stops a write at its start (no folder, no right to write) is told now.
        QFile side(SideFileName(path));
        if (!side.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            SetError(error, side.errorString());
            return false;
        }
        side.close();
        writes.Add(slot, [copy, path](const std::atomic<bool>& stop) {
            BackgroundWrites::Outcome outcome;
            outcome.path = path;
            outcome.ok = WriteUndoImage(path, *copy, &outcome.error, &stop);
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
    std::vector<std::string> records;
    bool read = false;
    const auto work = [&] {
        if (help.held) {
            records = RecordsFromImage(*help.held);
            read = true;
        } else {
            read = ReadUndoFile(path, records, error);
        }
    };
    if (help.run)
        help.run(work);
    else
        work();
    if (!read)
        return RestoreResult::Failed;
    store.Records.swap(records);
    if (help.replaced)
        help.replaced->swap(records);
    if (store.Records.size() < 2)
        store.Records.resize(2);
    store.RecordCount = std::min(UndoRecordCounts[slot], store.UpperBound());
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
