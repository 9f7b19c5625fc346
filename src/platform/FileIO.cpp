#include "platform/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

namespace {

QString SystemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// The file a path names once links are followed; the last one may not exist yet.
QString FollowLinks(const QString& path)
{
    QFileInfo info(path);
    int depth = 64;
    while (--depth > 0 && info.isSymLink())
        info.setFile(info.symLinkTarget());
    return depth > 0 ? info.filePath() : path;
}

QString RandomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix(6, QLatin1Char('x'));
    for (QChar& c : suffix)
        c = QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
    return suffix;
}

// One write() may take at most about 2 GiB.
constexpr size_t kMostAtOnce = size_t{1} << 30;

}  // namespace

WholeFile::WholeFile(const QString& path) : WholeFile(path, Options{}) {}

WholeFile::WholeFile(const QString& path, Options options)
    : path_(FollowLinks(path)), options_(options)
{
}

WholeFile::~WholeFile()
{
    Drop();
}

bool WholeFile::Fail(QFileDevice::FileError kind, int code)
{
    if (!failed_) {
        failed_ = true;
        error_ = kind;
        errorString_ = SystemReason(code);
    }
    return false;
}

bool WholeFile::Open()
{
    if (failed_ || fd_ >= 0)
        return Fail(QFileDevice::OpenError, EBUSY);
    if (path_.isEmpty())
        return Fail(QFileDevice::OpenError, ENOENT);
    const QByteArray target = Native(path_);
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return Fail(QFileDevice::OpenError, EISDIR);
    if (exists && options_.keepExisting)
        return Fail(QFileDevice::OpenError, EEXIST);
    if (exists && ::access(target.constData(), W_OK) != 0)
        return Fail(QFileDevice::OpenError, errno);
    if (!options_.side.isEmpty()) {
        side_ = options_.side;
        fd_ = ::open(Native(side_).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int code = errno;
            side_.clear();
            return Fail(QFileDevice::OpenError, code);
        }
    } else {
        // A file without a name in the target's folder: nothing of it is seen, or left behind,
        // before it is whole. Where the file system cannot, a named one beside the target.
        const QByteArray folder = Native(QFileInfo(path_).absolutePath());
        fd_ = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed_ = fd_ >= 0;
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Fail(QFileDevice::OpenError, errno);
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        side_ = path_ + QLatin1Char('.') + RandomSuffix();
        fd_ = ::open(Native(side_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            const int code = errno;
            side_.clear();
            return Fail(QFileDevice::OpenError, code);
        }
    }
    if (fd_ < 0) {
        side_.clear();
        return Fail(QFileDevice::OpenError, EEXIST);
    }
    if (exists)
        ::fchmod(fd_, old.st_mode & 07777);  // the replacement keeps the old file's permissions
    return true;
}

bool WholeFile::Write(const char* data, size_t size)
{
    if (failed_)
        return false;
    if (fd_ < 0)
        return Fail(QFileDevice::WriteError, EBADF);
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, std::min(size, kMostAtOnce));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            return Fail(code == ENOSPC || code == EDQUOT ? QFileDevice::ResourceError
                                                         : QFileDevice::WriteError,
                        code);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WholeFile::Commit()
{
    if (!failed_ && fd_ < 0)
        Fail(QFileDevice::WriteError, EBADF);
    // A flush or close can be where a full disk shows first (file systems that allocate late).
    if (!failed_ && options_.sync && ::fdatasync(fd_) != 0 && errno != EINVAL)
        Fail(errno == ENOSPC || errno == EDQUOT ? QFileDevice::ResourceError
                                                : QFileDevice::WriteError,
             errno);
    if (!failed_ && unnamed_)
        GiveName();
    if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0 && errno != EINTR)
        Fail(QFileDevice::WriteError, errno);
    if (!failed_ && !placed_)
        PutInPlace();
    if (failed_) {
        if (placed_)
            ::unlink(Native(path_).constData());  // there was no file before it
        Drop();
        return false;
    }
    side_.clear();
    return true;
}

bool WholeFile::GiveName()
{
    // The file's link in /proc names it for linkat(); without /proc, the descriptor itself
    // (which needs more rights).
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    const bool proc = ::access(self.constData(), F_OK) == 0;
    const auto link = [&](const QByteArray& name) {
        return proc ? ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                               AT_SYMLINK_FOLLOW)
                    : ::linkat(fd_, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH);
    };
    const QByteArray target = Native(path_);
    if (options_.keepExisting || ::access(target.constData(), F_OK) != 0) {
        if (link(target) == 0) {
            placed_ = true;
            return true;
        }
        if (errno != EEXIST || options_.keepExisting)
            return Fail(QFileDevice::RenameError, errno);
    }
    // Over an old file: named beside it first, then renamed over it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString side = path_ + QLatin1Char('.') + RandomSuffix();
        if (link(Native(side)) == 0) {
            side_ = side;
            return true;
        }
        if (errno != EEXIST)
            return Fail(QFileDevice::RenameError, errno);
    }
    return Fail(QFileDevice::RenameError, EEXIST);
}

bool WholeFile::PutInPlace()
{
    const QByteArray side = Native(side_);
    const QByteArray target = Native(path_);
    if (options_.keepExisting) {
        if (::renameat2(AT_FDCWD, side.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
            == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS)
            return Fail(QFileDevice::RenameError, errno);
        // A file system that cannot refuse in the rename: a new link refuses too.
        if (::link(side.constData(), target.constData()) != 0)
            return Fail(QFileDevice::RenameError, errno);
        ::unlink(side.constData());
        return true;
    }
    if (options_.sync || ::access(target.constData(), F_OK) != 0) {
        if (::rename(side.constData(), target.constData()) == 0)
            return true;
        return Fail(QFileDevice::RenameError, errno);
    }
    // Not flushed, over an old file: the old one steps aside first, so that the rename replaces
    // nothing (a rename over a file makes ext4 write the new data out at once, which tripled the
    // time of a large download), and comes back should the rename fail.
    const QByteArray aside = side + '~';
    if (::rename(target.constData(), aside.constData()) != 0)
        return Fail(QFileDevice::RenameError, errno);
    if (::rename(side.constData(), target.constData()) != 0) {
        const int code = errno;
        ::rename(aside.constData(), target.constData());
        return Fail(QFileDevice::RenameError, code);
    }
    ::unlink(aside.constData());
    return true;
}

void WholeFile::Drop()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!side_.isEmpty())
        ::unlink(Native(side_).constData());
    side_.clear();
}

void WholeFile::Cancel()
{
    if (!failed_) {
        failed_ = true;
        error_ = QFileDevice::AbortError;
        errorString_ = QStringLiteral("stopped");
    }
    Drop();
}

bool WriteFileWhole(const QString& path, std::string_view bytes, QString* error,
                    WholeFile::Options options)
{
    WholeFile file(path, options);
    if (file.Open() && file.Write(bytes) && file.Commit())
        return true;
    if (error)
        *error = file.ErrorString();
    return false;
}

bool CopyFileWhole(const QString& from, const QString& to, QString* error,
                   WholeFile::Options options)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    ChunkReader in;
    if (const ReadResult opened = in.Open(from); opened.error != ReadError::None)
        return fail(opened.detail.isEmpty() ? SystemReason(ENOENT) : opened.detail);
    WholeFile out(to, options);
    if (!out.Open())
        return fail(out.ErrorString());
    std::vector<char> buffer(size_t{1} << 20);
    for (;;) {
        const qint64 n = in.Read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n < 0)
            return fail(in.ErrorString());
        if (n == 0)
            break;
        if (!out.Write(buffer.data(), static_cast<size_t>(n)))
            return fail(out.ErrorString());
    }
    if (!out.Commit())
        return fail(out.ErrorString());
    return true;
}

FileAppender::~FileAppender()
{
    Close();
}

bool FileAppender::Fail(int code)
{
    errorString_ = SystemReason(code);
    return false;
}

bool FileAppender::Open(const QString& path, std::string_view start)
{
    Close();
    path_ = path;
    errorString_.clear();
    const QByteArray name = Native(path);
    // Made here or found there: only the one who made it writes its head, however many
    // programs race for a new file.
    fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    made_ = created_ = fd_ >= 0;
    if (fd_ < 0 && errno == EEXIST)
        fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0)
        return Fail(errno);
    struct stat opened {};
    openedSize_ = ::fstat(fd_, &opened) == 0 ? opened.st_size : 0;
    start_ = created_ ? std::string(start) : std::string();
    return true;
}

bool FileAppender::Append(std::string_view bytes)
{
    if (fd_ < 0)
        return Fail(EBADF);
    std::string joined;
    if (!start_.empty()) {
        joined.reserve(start_.size() + bytes.size());
        joined.append(start_).append(bytes);
        bytes = joined;
    }
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd_, bytes.data() + done, std::min(bytes.size() - done, kMostAtOnce));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            // What went in of it is at the end: cut off (asked only now, to spare each append
            // a question to the system).
            struct stat now {};
            const qint64 before =
                ::fstat(fd_, &now) == 0 ? std::max<qint64>(0, now.st_size - qint64(done)) : -1;
            if (created_ && before == 0) {
                // Gone again, so the next append makes it with its head.
                ::unlink(Native(path_).constData());
                ::close(std::exchange(fd_, -1));
                made_ = created_ = false;
            } else if (before >= 0) {
                ::ftruncate(fd_, before);
            }
            return Fail(code);
        }
        done += static_cast<size_t>(n);
    }
    start_.clear();
    created_ = false;
    return true;
}

bool FileAppender::StillNamed() const
{
    if (fd_ < 0)
        return false;
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd_, &opened) == 0 && ::stat(Native(path_).constData(), &named) == 0
           && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void FileAppender::TakeBack()
{
    if (made_) {
        ::unlink(Native(path_).constData());
        made_ = created_ = false;
        start_.clear();
    } else if (fd_ >= 0) {
        ::ftruncate(fd_, openedSize_);
    }
}

bool FileAppender::Close()
{
    if (fd_ < 0)
        return errorString_.isEmpty();
    if (created_ && !start_.empty())
        ::unlink(Native(path_).constData());  // made but never written: it would lack its head
    created_ = false;
    start_.clear();
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR)
        return Fail(errno);
    return true;
}

bool AppendToFile(const QString& path, std::string_view bytes, QString* error,
                  std::string_view start)
{
    FileAppender file;
    if (file.Open(path, start) && file.Append(bytes) && file.Close())
        return true;
    if (error)
        *error = file.ErrorString();
    return false;
}

}  // namespace quillon::platform
