#include "records/UndoRing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillon {

// File layout: the 8-byte tag, the upper bound as a 64-bit little-endian number, then for
// every slot from 1 to the upper bound its length (64-bit little-endian) and its bytes.
namespace {

constexpr char kTag[8] = {'Q', 'U', 'N', 'D', 'O', '0', '1', '\n'};
// Data moves in blocks of this size: one system call a block, not one a record.
constexpr size_t kBlock = size_t{1} << 20;

class BlockWriter {
public:
    explicit BlockWriter(QFile& file) : file_(file) { buffer_.reserve(kBlock); }

    void Put(const char* data, size_t size)
    {
        if (buffer_.size() + size > kBlock) {
            Flush();
            if (size >= kBlock) {
                WriteOut(data, size);
                return;
            }
        }
        buffer_.append(data, size);
    }

    void PutNumber(uint64_t value)
    {
        char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<char>(value >> (8 * i));
        Put(bytes, sizeof bytes);
    }

    bool Flush()
    {
        WriteOut(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok_;
    }

private:
    void WriteOut(const char* data, size_t size)
    {
        while (ok_ && size > 0) {
            const qint64 written = file_.write(data, static_cast<qint64>(size));
            if (written <= 0) {
                ok_ = false;
                break;
            }
            data += written;
            size -= static_cast<size_t>(written);
        }
    }

    QFile& file_;
    std::string buffer_;
    bool ok_ = true;
};

class BlockReader {
public:
    BlockReader(QFile& file) : file_(file), remaining_(static_cast<uint64_t>(file.size())) {}

    // Bytes of the file not yet taken.
    uint64_t Remaining() const { return remaining_; }

    bool Get(char* out, size_t size)
    {
        if (size > remaining_)
            return false;
        remaining_ -= size;
        while (size > 0) {
            const size_t have = buffer_.size() - pos_;
            if (have >= size) {
                std::memcpy(out, buffer_.data() + pos_, size);
                pos_ += size;
                return true;
            }
            std::memcpy(out, buffer_.data() + pos_, have);
            out += have;
            size -= have;
            pos_ = buffer_.size();
            if (size >= kBlock)
                return ReadIn(out, size);
            buffer_.resize(kBlock);
            const qint64 got = file_.read(buffer_.data(), static_cast<qint64>(kBlock));
            buffer_.resize(got > 0 ? static_cast<size_t>(got) : 0);
            pos_ = 0;
            if (got <= 0)
                return false;
        }
        return true;
    }

    bool GetNumber(uint64_t& value)
    {
        unsigned char bytes[8];
        if (!Get(reinterpret_cast<char*>(bytes), sizeof bytes))
            return false;
        value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
        return true;
    }

private:
    bool ReadIn(char* out, size_t size)
    {
        while (size > 0) {
            const qint64 got = file_.read(out, static_cast<qint64>(size));
            if (got <= 0)
                return false;
            out += got;
            size -= static_cast<size_t>(got);
        }
        return true;
    }

    QFile& file_;
    std::string buffer_;
    size_t pos_ = 0;
    uint64_t remaining_;
};

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
    }
    return removed;
}

int DeleteOrphanUndoFiles(const QString& tempFolder)
{
    // Without /proc there is no telling which instances still run.
    if (!QFileInfo::exists(QStringLiteral("/proc/self")))
        return 0;
    static const QRegularExpression name(
        QStringLiteral("^([0-9A-F]{1,15})-Records[0-9]\\.undo(\\.tmp)?$"));
    const qint64 self = QCoreApplication::applicationPid();
    QDir dir(tempFolder);
    int removed = 0;
    for (const QString& file :
         dir.entryList({QStringLiteral("*.undo"), QStringLiteral("*.undo.tmp")},
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

bool WriteUndoFile(const QString& path, const std::vector<std::string>& records, QString* error)
{
    const QString side = SideFileName(path);
    QFile file(side);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        SetError(error, file.errorString());
        return false;
    }
    BlockWriter out(file);
    out.Put(kTag, sizeof kTag);
    const uint64_t upperBound = records.empty() ? 0 : records.size() - 1;
    out.PutNumber(upperBound);
    for (size_t i = 1; i < records.size(); ++i) {
        out.PutNumber(records[i].size());
        out.Put(records[i].data(), records[i].size());
    }
    const bool written = out.Flush();
    const QString writeError = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        SetError(error, written ? file.errorString() : writeError);
        QFile::remove(side);
        return false;
    }
    // rename() replaces an older copy in one step; QFile::rename would refuse to.
    if (std::rename(QFile::encodeName(side).constData(), QFile::encodeName(path).constData())
        != 0) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(side);
        return false;
    }
    return true;
}

bool ReadUndoFile(const QString& path, std::vector<std::string>& records, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        SetError(error, file.errorString());
        return false;
    }
    const QString damaged = QStringLiteral("the file %1 is damaged").arg(path);
    BlockReader in(file);
    char tag[sizeof kTag];
    uint64_t upperBound = 0;
    if (!in.Get(tag, sizeof tag) || std::memcmp(tag, kTag, sizeof kTag) != 0
        || !in.GetNumber(upperBound) || upperBound > in.Remaining() / 8) {
        SetError(error, damaged);
        return false;
    }
    std::vector<std::string> loaded(static_cast<size_t>(upperBound) + 1);
    for (size_t i = 1; i < loaded.size(); ++i) {
        uint64_t size = 0;
        if (!in.GetNumber(size) || size > in.Remaining()) {
            SetError(error, damaged);
            return false;
        }
        loaded[i].resize(static_cast<size_t>(size));
        if (!in.Get(loaded[i].data(), loaded[i].size())) {
            SetError(error, file.error() != QFileDevice::NoError ? file.errorString() : damaged);
            return false;
        }
    }
    if (in.Remaining() != 0) {
        SetError(error, damaged);
        return false;
    }
    records = std::move(loaded);
    return true;
}

bool UndoRing::Save(const RecordStore& store, const Delimiters& delimiters,
                    const QString& operationName, const QString& tempFolder,
                    const QString& instanceId, QString* error)
{
    const int slot = (UndoLevel + 1) % Slots;
    if (!WriteUndoFile(UndoFileName(tempFolder, instanceId, slot), store.Records, error))
        return false;
    UndoRecordCounts[slot] = store.RecordCount;
    UndoDescriptions[slot] = operationName;
    UndoSlotDelimiters[slot] = delimiters;
    UndoLevel = static_cast<int16_t>(slot);
    return true;
}

UndoRing::RestoreResult UndoRing::Restore(RecordStore& store, Delimiters& delimiters,
                                          const QString& tempFolder, const QString& instanceId,
                                          QString* error)
{
    const int slot = ((UndoLevel % Slots) + Slots) % Slots;
    const QString path = UndoFileName(tempFolder, instanceId, slot);
    if (!QFileInfo::exists(path))
        return RestoreResult::NothingToRestore;
    std::vector<std::string> records;
    if (!ReadUndoFile(path, records, error))
        return RestoreResult::Failed;
    store.Records = std::move(records);
    if (store.Records.size() < 2)
        store.Records.resize(2);
    store.RecordCount = std::min(UndoRecordCounts[slot], store.UpperBound());
    // Only the delimiter change itself: a replace whose text names it changed no delimiters.
    if (UndoDescriptions[slot] == QLatin1String("Change Delimiters"))
        delimiters = UndoSlotDelimiters[slot];
    QFile::remove(path);
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
