#include "app/DataFolders.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

QStringList InitDataFolders(DataFolders& f, const QString& localAppData, const QString& programName)
{
    QString base = localAppData;
    while (base.endsWith(QLatin1Char('/')) && base.size() > 1)
        base.chop(1);
    f.DataRoot = base + QStringLiteral("/Marrowby/") + programName.trimmed() + QLatin1Char('/');

    const struct {
        QString DataFolders::*member;
        const char* name;
    } subfolders[] = {
        {&DataFolders::LogsFolder, "Logs"},         {&DataFolders::ViewsFolder, "Views"},
        {&DataFolders::ServersFolder, "Servers"},   {&DataFolders::ClientsFolder, "Clients"},
        {&DataFolders::TempFolder, "Temp"},         {&DataFolders::Files2LoadFolder, "Files2Load"},
        {&DataFolders::DataFolder, "Data"},         {&DataFolders::FTPFolder, "FTP"},
        {&DataFolders::DocumentationFolder, "Documentation"},
        {&DataFolders::ReportsFolder, "Reports"},
    };

    QStringList failed;
    QDir dir;
    if (!dir.mkpath(f.DataRoot))
        failed << f.DataRoot;
    for (const auto& sub : subfolders) {
        f.*(sub.member) = f.DataRoot + QLatin1String(sub.name) + QLatin1Char('/');
        if (!QDir(f.*(sub.member)).exists() && !dir.mkpath(f.*(sub.member)))
            failed << f.*(sub.member);
    }
    f.Unusable = failed;
    return failed;
}

bool LiesInFolder(const QString& file, const QString& folder)
{
    const QFileInfo info(file);
    const QString f = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    const QString d = QDir(folder).canonicalPath();
    return !f.isEmpty() && !d.isEmpty() && f.startsWith(d + QLatin1Char('/'));
}

bool IsOlderWindows()
{
    return false;
}

QString GetShortPath(const QString& path)
{
    return path;
}

}  // namespace quillon
