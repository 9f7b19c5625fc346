#include "files/FileStamp.h"

#include <QFileInfo>

namespace quillon {

FileStamp TakeFileStamp(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return {info.canonicalFilePath(), info.size(), info.lastModified()};
}

bool ChangedSince(const FileStamp& stamp, const QString& path)
{
    if (stamp.path.isEmpty())
        return false;
    const FileStamp now = TakeFileStamp(path);
    return now.path == stamp.path && (now.size != stamp.size || now.modified != stamp.modified);
}

}  // namespace quillon
