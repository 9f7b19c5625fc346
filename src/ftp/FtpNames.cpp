#include "ftp/FtpNames.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

QString MakeValidFileName(const QString& name)
{
    static const QString refused = QStringLiteral("\",:*<>/\\|");
    QString valid = name;
    for (QChar& c : valid)
        if (refused.contains(c))
            c = QLatin1Char('-');
    return valid;
}

std::optional<QString> LocalDownloadPath(const QString& folder, const QString& remoteName)
{
    const QString name = MakeValidFileName(remoteName);
    // A control character (a NUL above all) would cut or bend the path the system sees.
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return std::nullopt;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + name);
    // The name holds no separator any more; the check still guards the rule if that changes.
    if (QFileInfo(path).absolutePath() != base)
        return std::nullopt;
    // A link already lying there under that name (left by anything) would carry the download
    // elsewhere: what the name resolves to must lie in the folder itself.
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
        const QString real = existing.canonicalFilePath();
        const QString realBase = QFileInfo(base).canonicalFilePath();
        if (real.isEmpty() || QFileInfo(real).absolutePath() != realBase)
            return std::nullopt;
    }
    return path;
}

}  // namespace quillon
