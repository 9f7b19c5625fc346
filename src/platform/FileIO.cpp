#include "platform/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

#include <sys/stat.h>

namespace quillon::platform {

namespace {

ReadResult OpenForReading(const QString& path, QFile& file, QIODevice::OpenMode mode)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        if (path.isEmpty() || !info.absoluteDir().exists())
            return {ReadError::DirectoryNotFound, {}};
        return {ReadError::FileNotFound, {}};
    }
    // Refused before opening: opening a named pipe waits for a writer that may never come.
    if (const QString reason = NotAFileReason(path); !reason.isEmpty())
        return {ReadError::NotReadable, reason};
    file.setFileName(path);
    if (!file.open(mode))
        return {ReadError::NotReadable, file.errorString()};
    return {};
}

}  // namespace

QString NotAFileReason(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("It is a folder.");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("It is a named pipe, not a file.");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("It is a socket, not a file.");
    return QStringLiteral("It is a device, not a file.");
}

ReadResult ReadWholeFile(const QString& path, std::string& content)
{
    content.clear();
    QFile file;
    if (ReadResult opened = OpenForReading(path, file, QIODevice::ReadOnly);
        opened.error != ReadError::None)
        return opened;
    try {
        // Read straight into the result; the loop after it catches a file that grew or whose
        // size the system reports as 0.
        const qint64 size = file.size();
        size_t filled = 0;
        if (size > 0) {
            content.resize(static_cast<size_t>(size));
            while (filled < content.size()) {
                const qint64 n = file.read(content.data() + filled,
                                           static_cast<qint64>(content.size() - filled));
                if (n < 0) {
                    content.clear();
                    return {ReadError::NotReadable, file.errorString()};
                }
                if (n == 0)
                    break;
                filled += static_cast<size_t>(n);
            }
            content.resize(filled);
        }
        char buffer[65536];
        for (;;) {
            const qint64 n = file.read(buffer, sizeof buffer);
            if (n < 0) {
                content.clear();
                return {ReadError::NotReadable, file.errorString()};
            }
            if (n == 0)
                break;
            content.append(buffer, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        content.clear();
        content.shrink_to_fit();
        return {ReadError::OutOfMemory, {}};
    }
    return {};
}

ReadResult ChunkReader::Open(const QString& path)
{
    file_.close();
    // Unbuffered: each read goes straight from the system into the caller's buffer.
    return OpenForReading(path, file_, QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 ChunkReader::Read(char* into, qint64 room)
{
    return file_.read(into, room);
}

bool ChunkReader::Rewind()
{
    return file_.seek(0);
}

std::string GetText(const QString& fileName)
{
    std::string content;
    ReadWholeFile(fileName, content);
    return content;
}

bool WriteWhole(QFileDevice& file, const char* data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

}  // namespace quillon::platform
