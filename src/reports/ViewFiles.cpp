#include "reports/ViewFiles.h"

#include <QDir>
#include <QFile>

#include "platform/FileIO.h"
#include "records/FieldLines.h"

namespace quillon {

DefinitionNameCheck CheckDefinitionName(QString& name)
{
    name = name.trimmed();
    if (name.isEmpty())
        return DefinitionNameCheck::Empty;
    static const QString illegal = QStringLiteral("\"\\/:*?<>|,;%");
    for (const QChar c : name)
        if (illegal.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return DefinitionNameCheck::IllegalCharacter;
    // A leading dot hides the file from the folder's listing, so the name could never be
    // chosen again; ".." stands for the parent folder on every platform.
    if (name.startsWith(QLatin1Char('.')))
        return DefinitionNameCheck::NotAFileName;
    return DefinitionNameCheck::Ok;
}

QString DefinitionNameMessage(DefinitionNameCheck check)
{
    switch (check) {
    case DefinitionNameCheck::IllegalCharacter:
        return QStringLiteral(
            "The filename contains an illegal character.  Please use a different name.");
    case DefinitionNameCheck::NotAFileName:
        return QStringLiteral("A name cannot begin with a period.  Please use a different name.");
    default:
        return {};
    }
}

QString DefinitionNameTitle() { return QStringLiteral("Bad Filename"); }

QString DefinitionPath(const QString& folder, QString name, const QString& suffix)
{
    if (CheckDefinitionName(name) != DefinitionNameCheck::Ok)
        return {};
    return QDir(folder).filePath(name + suffix);
}

QStringList ListDefinitionNames(const QString& folder, const QString& suffix)
{
    // Case-sensitive, so that every listed name opens as name + suffix.
    QDir dir(folder);
    dir.setNameFilters({QLatin1Char('*') + suffix});
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot | QDir::CaseSensitive);
    dir.setSorting(QDir::Name);
    QStringList names;
    // A file whose name breaks the name rule (put there from outside) could not be opened by
    // name, so it is not offered.
    for (const QString& file : dir.entryList()) {
        const QString name = file.left(file.indexOf(suffix));
        QString checked = name;
        if (CheckDefinitionName(checked) == DefinitionNameCheck::Ok && checked == name)
            names << name;
    }
    return names;
}

std::optional<std::vector<std::string>> ReadDefinitionFile(const QString& path, bool* missing,
                                                           QString* error)
{
    if (missing)
        *missing = !QFile::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    std::vector<std::string> entries;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        QByteArray entry;
        if (i < line.size() && line[i] == '"') {
            const qsizetype close = line.indexOf('"', i + 1);
            entry = line.mid(i + 1, close < 0 ? -1 : close - i - 1);
        } else {
            const qsizetype comma = line.indexOf(',', i);
            entry = line.mid(i, comma < 0 ? -1 : comma - i).trimmed();
        }
        entries.emplace_back(entry.constData(), static_cast<size_t>(entry.size()));
    }
    return entries;
}

bool WriteDefinitionFile(const QString& folder, const QString& name, const QString& suffix,
                         const std::vector<std::string>& entries, QString* error)
{
    const QString path = DefinitionPath(folder, name, suffix);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("'%1' cannot be used as a file name.").arg(name.trimmed());
        return false;
    }
    std::string bytes;
    for (const std::string& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return platform::WriteFileWhole(path, bytes, error);
}

bool DeleteDefinitionFile(const QString& folder, const QString& name, const QString& suffix)
{
    const QString path = DefinitionPath(folder, name, suffix);
    return !path.isEmpty() && QFile::remove(path);
}

std::string ViewDesignation(const std::string& fieldLine)
{
    const std::string_view d = LineDesignation(fieldLine);
    return std::string(d.substr(0, d.find('(')));
}

}  // namespace quillon
