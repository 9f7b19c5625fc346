#pragma once
// Local names for remote files. A name in a remote listing comes from the server, an interface
// name from a database, and neither is ever trusted as a path: whatever it holds, the file it
// names lies inside the chosen folder.
#include <QString>
#include <optional>

namespace quillon {

// The name with each of the nine characters Windows refuses in file names (the double quote
// and , : * < > / \ |) replaced by "-"; the length stays.
QString MakeValidFileName(const QString& name);

// The local path for a remote file named `remoteName` downloaded into `folder`: the name made
// valid, and the result checked to stay directly inside the folder. No value for an empty
// name, "." and "..", or a name that would still leave the folder, also through a link that
// already lies there under that name.
std::optional<QString> LocalDownloadPath(const QString& folder, const QString& remoteName);

}  // namespace quillon
