#include "platform/SpecialFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillon::platform {

QString LocalAppDataFolder()
{
    QString folder = qEnvironmentVariable("QUILLON_HOME");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.local/share");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    QDir().mkpath(folder);
    return folder;
}

QString ProgramName()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().trimmed();
    return name.isEmpty() ? QStringLiteral("quillon") : name;
}

}  // namespace quillon::platform
