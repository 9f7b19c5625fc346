#pragma once
// What a file was when the records were read from it or written to it, so that a later write
// over it can tell whether something else changed it meanwhile: a log that grew while it was
// open, an interface's output file.
#include <QDateTime>
#include <QString>

namespace quillon {

struct FileStamp {
    QString path;  // canonical; empty when no file was there
    qint64 size = 0;
    QDateTime modified;
};

// The file as it is now; an empty stamp when there is no such file.
FileStamp TakeFileStamp(const QString& path);

// True when `path` is the stamped file and its size or modification time is no longer what the
// stamp holds. A file gone meanwhile has nothing left to lose: false.
bool ChangedSince(const FileStamp& stamp, const QString& path);

}  // namespace quillon
