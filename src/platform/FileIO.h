#pragma once
#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace quillon::platform {

enum class ReadError {
    None,
    FileNotFound,       // the folder exists, the file does not
    DirectoryNotFound,  // the folder the file should be in does not exist
    NotReadable,        // exists but cannot be read (permissions, no regular file, an I/O error)
    OutOfMemory,
};

struct ReadResult {
    ReadError error = ReadError::None;
    QString detail;  // the system's own words for NotReadable
};

// Why `path` cannot be read as a file of bytes: it is a folder, a named pipe (whose reading
// waits for a writer), a device or a socket. Empty for a regular file (or a link to one) and
// for a path that does not exist. Asks the system about the path without opening it.
QString NotAFileReason(const QString& path);

// Reads a whole file as bytes into `content` (left empty on failure). Works for files whose
// size the system does not know in advance.
ReadResult ReadWholeFile(const QString& path, std::string& content);

// The one way files are written: whole or not at all. The bytes go straight to the system (no
// buffer whose flush could fail unseen) into a new file in `path`'s folder, without a name
// where the file system allows; Commit flushes it to disk, closes it and only then puts it in
// the file's place (a new file at once, over an old one by a name beside it and a rename), with
// the old file's permissions.
// Any failed write, flush, close or rename keeps the system's reason and leaves an existing
// file as it was; a file neither committed nor cancelled is dropped when the object goes.
// A link is followed: the file it points to is replaced.
class WholeFile {
public:
    struct Options {
        // Flushed to disk before it takes the old file's place. Off only where speed counts
        // for more than a crash just after: working copies (undo points, files to load) and
        // downloads, whose flush would double a large Get's time.
        bool sync = true;
        // Never replaces a file: one that exists (or appears meanwhile) is an error.
        bool keepExisting = false;
        // The name written under until Commit; empty: a new name beside the file. A name
        // given is made afresh (emptied when it is there), so a caller can clear it up.
        QString side;

        static Options NotSynced(const QString& side = {})
        {
            Options o;
            o.sync = false;
            o.side = side;
            return o;
        }
        static Options NeverReplacing()
        {
            Options o;
            o.keepExisting = true;
            return o;
        }
    };
    explicit WholeFile(const QString& path);
    WholeFile(const QString& path, Options options);
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    bool Open();
    // All `size` bytes, or false (then every later call fails too).
    bool Write(const char* data, size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    bool Commit();
    // Drops what was written; the old file stays.
    void Cancel();

    bool IsOpen() const { return fd_ >= 0; }
    // The kind of the first failure: OpenError, WriteError, ResourceError (out of space),
    // RenameError, AbortError (cancelled); NoError before any.
    QFileDevice::FileError Error() const { return error_; }
    // The system's words for the first failure.
    const QString& ErrorString() const { return errorString_; }

private:
    bool Fail(QFileDevice::FileError kind, int code);
    bool GiveName();
    bool PutInPlace();
    void Drop();

    QString path_;          // the file replaced (a link's target)
    QString side_;          // the new file's name until it takes the file's place
    bool unnamed_ = false;  // written without a name (given at Commit)
    bool placed_ = false;   // given the file's own name at Commit
    Options options_;
    int fd_ = -1;
    bool failed_ = false;
    QFileDevice::FileError error_ = QFileDevice::NoError;
    QString errorString_;
};

// `bytes` as the whole content of `path` (see WholeFile); false with the system's reason in
// `error`.
bool WriteFileWhole(const QString& path, std::string_view bytes, QString* error = nullptr,
                    WholeFile::Options options = {});

// A copy of `from` as `to`, written as WholeFile writes; false with the reason in `error`.
bool CopyFileWhole(const QString& from, const QString& to, QString* error = nullptr,
                   WholeFile::Options options = {});

// Appends to a file that grows record by record (a log). Each append goes straight to the
// system in one piece; one that fails cuts the file back to its length before it, so no torn
// record stays behind (a file the first append created goes again). Not flushed to disk: a
// log's records are kept by the system's cache like any other write, and speed matters here.
class FileAppender {
public:
    FileAppender() = default;
    ~FileAppender();
    FileAppender(const FileAppender&) = delete;
    FileAppender& operator=(const FileAppender&) = delete;

    // Opens `path` for appending, creating it when missing (its folder must exist); a file
    // this creates begins with `start`, written with the first append.
    bool Open(const QString& path, std::string_view start = {});
    bool Append(std::string_view bytes);
    // Takes back every append since Open (a file Open made goes again), for appends that only
    // count together.
    void TakeBack();
    // False when closing reported an error (any earlier append was already told).
    bool Close();

    bool IsOpen() const { return fd_ >= 0; }
    // True while the open file is the one its path names: false once it was removed, or
    // another file took its name (a save over it, a rename from outside).
    bool StillNamed() const;
    const QString& Path() const { return path_; }
    const QString& ErrorString() const { return errorString_; }

private:
    bool Fail(int code);

    QString path_;
    std::string start_;     // still to be written at the head of a file this created
    bool created_ = false;  // made by Open, nothing appended yet
    bool made_ = false;     // made by Open
    qint64 openedSize_ = 0;
    int fd_ = -1;
    QString errorString_;
};

// Opens, appends `bytes` and closes (see FileAppender); false with the reason in `error`.
bool AppendToFile(const QString& path, std::string_view bytes, QString* error = nullptr,
                  std::string_view start = {});

// A file read from start to end in pieces of the caller's size, for files too big to be held
// twice in memory. Nothing is read ahead; bytes go straight into the caller's buffer.
class ChunkReader {
public:
    // Same kinds of failure as ReadWholeFile.
    ReadResult Open(const QString& path);
    // Up to `room` next bytes into `into`: the count, 0 at the end, -1 on a read failure.
    qint64 Read(char* into, qint64 room);
    // Back to the first byte; false when the file cannot seek.
    bool Rewind();
    // The size the system reports (0 when it does not know).
    qint64 Size() const { return file_.size(); }
    QString ErrorString() const { return file_.errorString(); }

private:
    QFile file_;
};

// The whole content of a file as bytes; empty when it cannot be read.
std::string GetText(const QString& fileName);

}  // namespace quillon::platform
