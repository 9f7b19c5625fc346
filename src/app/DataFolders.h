#pragma once
// The per-user folders: everything the program writes for a user lives under DataRoot.
#include <QString>
#include <QStringList>

namespace quillon {

struct DataFolders {
    // Each ends with "/".
    QString DataRoot;
    QString LogsFolder;
    QString ViewsFolder;
    QString ServersFolder;
    QString ClientsFolder;
    QString TempFolder;
    QString Files2LoadFolder;
    QString DataFolder;
    QString FTPFolder;
    QString DocumentationFolder;
    QString ReportsFolder;
    // The folders that could not be created: start-up says so, and what needs them is quiet.
    QStringList Unusable;
};

// Sets the folder names under `localAppData`/Marrowby/`programName`/ and creates the ones
// that are missing. Answers the folders that could not be created (empty when all exist), which
// are also kept in `Unusable`.
QStringList InitDataFolders(DataFolders& folders, const QString& localAppData,
                            const QString& programName);

// True when `file` lies inside `folder`, links resolved (a file that does not exist yet is
// judged by its cleaned absolute path).
bool LiesInFolder(const QString& file, const QString& folder);

// This system has no older-Windows short names: the path is used as it is.
bool IsOlderWindows();
QString GetShortPath(const QString& path);

}  // namespace quillon
