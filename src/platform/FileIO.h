#pragma once
#include <QString>
#include <string>

namespace quillon::platform {

enum class ReadError {
    None,
    FileNotFound,       // the folder exists, the file does not
    DirectoryNotFound,  // the folder the file should be in does not exist
    NotReadable,        // exists but cannot be read (permissions, a folder, an I/O error)
    OutOfMemory,
};

struct ReadResult {
    ReadError error = ReadError::None;
    QString detail;  // the system's own words for NotReadable
};

// Reads a whole file as bytes into `content` (left empty on failure). Works for files whose
// size the system does not know in advance.
ReadResult ReadWholeFile(const QString& path, std::string& content);

// The whole content of a file as bytes; empty when it cannot be read.
std::string GetText(const QString& fileName);

}  // namespace quillon::platform
