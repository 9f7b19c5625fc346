#include "files/OpenPipeline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>

#include "platform/Process.h"

namespace quillon {

bool IsGzipName(const QString& path)
{
    return path.endsWith(QLatin1String(".gz"), Qt::CaseSensitive)
        || path.endsWith(QLatin1String(".Z"), Qt::CaseSensitive);
}

bool IsZipName(const QString& path)
{
    return path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

QStringList SortOrdinal(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseSensitive) < 0; });
    return names;
}

FileTypeList BuildFileTypeList(const std::array<QString, 10>& extensions, const QString& defaultExtension)
{
    FileTypeList list;
    for (const QString& e : extensions) {
        if (e.isEmpty())
            continue;
        if (e == defaultExtension && list.selected == 0 && !defaultExtension.isEmpty())
            list.selected = static_cast<int>(list.patterns.size());
        list.patterns << e;
    }
    return list;
}

bool JoinFiles(const QStringList& paths, const QString& destination, QString* error)
{
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    std::array<char, 1 << 16> buffer{};
    char last = '\n';  // the last byte written; nothing written counts as a line end
    for (const QString& path : paths) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            if (error)
                *error = path + QStringLiteral(": ") + in.errorString();
            return false;
        }
        for (bool first = true;; first = false) {
            const qint64 n = in.read(buffer.data(), static_cast<qint64>(buffer.size()));
            if (n < 0) {
                if (error)
                    *error = path + QStringLiteral(": ") + in.errorString();
                return false;
            }
            if (n == 0)
                break;
            if (first && last != '\r' && last != '\n' && out.write("\r\n", 2) != 2) {
                if (error)
                    *error = out.errorString();
                return false;
            }
            last = buffer[static_cast<size_t>(n - 1)];
            if (out.write(buffer.data(), n) != n) {
                if (error)
                    *error = out.errorString();
                return false;
            }
        }
    }
    if (!out.flush()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

QStringList ListFolderFiles(const QString& folder)
{
    const QDir dir(folder);
    QStringList files;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        files << dir.filePath(name);
    return SortOrdinal(files);
}

void EmptyFolder(const QString& folder)
{
    for (const QString& path : ListFolderFiles(folder))
        QFile::remove(path);
}

DecompressOutcome DecompressFolder(const QString& folder, const Decompressors& tools)
{
    DecompressOutcome outcome;
    QStringList previousCompressed;
    bool decompressed = true;
    bool gzipRan = false;
    while (decompressed) {
        const QStringList files = ListFolderFiles(folder);
        if (files.isEmpty()) {
            outcome.kind = DecompressOutcome::Kind::Empty;
            return outcome;
        }
        QStringList compressed;
        for (const QString& f : files)
            if (IsCompressedName(f))
                compressed << f;
        // A compressed file that survived its pass (gzip refusing to overwrite, say) would
        // come round for ever.
        if (!compressed.isEmpty() && compressed == previousCompressed) {
            outcome.kind = DecompressOutcome::Kind::Stuck;
            outcome.failedFile = compressed.front();
            return outcome;
        }
        previousCompressed = compressed;
        decompressed = false;
        for (const QString& path : files) {
            if (tools.handling)
                tools.handling(path);
            if (IsGzipName(path)) {
                outcome.exitCode = tools.gunzip(path);
                gzipRan = true;
                decompressed = true;
            } else if (IsZipName(path)) {
                QFile::remove(path.left(path.size() - 4));
                QString message;
                if (tools.unzip(path, folder, &message) != 0 && tools.zipFailed)
                    tools.zipFailed(message);
                QFile::remove(path);
                decompressed = true;
            }
            if (gzipRan && (outcome.exitCode == -1 || outcome.exitCode == 1)) {
                outcome.kind = outcome.exitCode == -1 ? DecompressOutcome::Kind::GzipMissing
                                                      : DecompressOutcome::Kind::NotCompressed;
                outcome.failedFile = path;
                return outcome;
            }
        }
    }
    outcome.files = ListFolderFiles(folder);
    if (outcome.files.isEmpty())
        outcome.kind = DecompressOutcome::Kind::Empty;
    return outcome;
}

int RunGunzip(const QString& path, int timeoutMs)
{
    return platform::ExecCmd(QStringLiteral("gzip"), {QStringLiteral("-d"), path}, timeoutMs);
}

}  // namespace quillon
