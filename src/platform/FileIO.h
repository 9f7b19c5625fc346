#pragma once
#include <QFile>
#include <QString>
#include <string>

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

// Writes all `size` bytes to `file`, going on after a write that took only part of them: a
// write that fails (a full disk after a partial write, above all) leaves the system's reason
// in file.errorString(). Take it before cancelling the file, which replaces it.
bool WriteWhole(QFileDevice& file, const char* data, qint64 size);

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
