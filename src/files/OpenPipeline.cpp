#include "files/OpenPipeline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <vector>

#include "platform/FileIO.h"
#include "platform/Process.h"
#include "platform/Unzip.h"

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
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    // A working file, not flushed to disk: the files it joins stay where they are.
    platform::WholeFile out(destination, platform::WholeFile::Options::NotSynced());
    if (!out.Open())
        return fail(out.ErrorString());
    std::vector<char> buffer(size_t{1} << 20);
    char last = '\n';  // the last byte written; nothing written counts as a line end
    for (const QString& path : paths) {
        platform::ChunkReader in;
        if (const platform::ReadResult opened = in.Open(path);
            opened.error != platform::ReadError::None)
            return fail(path + QStringLiteral(": ")
                        + (opened.detail.isEmpty() ? QStringLiteral("No such file or directory")
                                                   : opened.detail));
        for (bool first = true;; first = false) {
            const qint64 n = in.Read(buffer.data(), static_cast<qint64>(buffer.size()));
            if (n < 0)
                return fail(path + QStringLiteral(": ") + in.ErrorString());
            if (n == 0)
                break;
            if (first && last != '\r' && last != '\n' && !out.Write("\r\n", 2))
                return fail(out.ErrorString());
            last = buffer[static_cast<size_t>(n - 1)];
            if (!out.Write(buffer.data(), static_cast<size_t>(n)))
                return fail(out.ErrorString());
        }
    }
    if (!out.Commit())
        return fail(out.ErrorString());
    return true;
}

bool CopyToWorkingFolder(const QString& from, const QString& to, QString* error)
{
    return platform::CopyFileWhole(from, to, error, platform::WholeFile::Options::NotSynced());
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

QString GzipReason(const QString& errorOutput)
{
    // "gzip: <file>: <reason>", a line per complaint; the first says what stopped it.
    QString line = errorOutput.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (line.startsWith(QLatin1String("gzip: ")))
        line = line.mid(6);
    const qsizetype colon = line.lastIndexOf(QLatin1String(": "));
    if (colon >= 0)
        line = line.mid(colon + 2);
    // Its first sentence: advice after it ("Use zcat to recover some data.") is gzip's own.
    line = line.section(QLatin1String(". "), 0, 0);
    while (line.endsWith(QLatin1Char('.')))
        line.chop(1);
    return line.trimmed();
}

bool GzipFoundNoCompressedData(const QString& reason)
{
    return reason.isEmpty() || reason.contains(QLatin1String("not in gzip format"));
}

namespace {

// Environment under which gzip's complaints come in the words GzipFoundNoCompressedData knows.
QProcessEnvironment GzipEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return environment;
}

}  // namespace

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
            QString errorOutput;
            if (IsGzipName(path)) {
                outcome.exitCode = tools.gunzip(path, &errorOutput);
                gzipRan = true;
                decompressed = true;
            } else if (IsZipName(path)) {
                QFile::remove(path.left(path.size() - 4));
                QString message;
                const int rc = tools.unzip(path, folder, &message);
                if (rc != 0 && tools.zipFailed)
                    tools.zipFailed(message);
                QFile::remove(path);
                decompressed = true;
                // What an archive that cannot be read whole let out is not all it holds.
                if (rc == platform::unzip_result::EntryError || rc == platform::unzip_result::ArchiveError
                    || rc == platform::unzip_result::NoZip) {
                    outcome.kind = DecompressOutcome::Kind::ZipDamaged;
                    outcome.failedFile = path;
                    return outcome;
                }
            }
            // Any complaint of gzip ends the load: exit 2 means it kept the compressed file
            // (its output name was taken) or warned about the data.
            if (gzipRan && outcome.exitCode != 0) {
                const QString reason = GzipReason(errorOutput);
                if (outcome.exitCode == 1 && !GzipFoundNoCompressedData(reason)
                    && tools.whyNotWritten)
                    outcome.reason = tools.whyNotWritten(path, errorOutput.trimmed());
                // Out of space is not bad data: gzip says 1 for both.
                outcome.kind = outcome.exitCode == -1 ? DecompressOutcome::Kind::GzipMissing
                               : outcome.exitCode != 1 || !outcome.reason.isEmpty()
                                   ? DecompressOutcome::Kind::Failed
                               : GzipFoundNoCompressedData(reason) ? DecompressOutcome::Kind::NotCompressed
                                                                    : DecompressOutcome::Kind::Damaged;
                if (outcome.kind == DecompressOutcome::Kind::Damaged)
                    outcome.reason = reason;
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

int RunGunzip(const QString& path, int timeoutMs, QString* errorOutput)
{
    const QProcessEnvironment environment = GzipEnvironment();
    return platform::ExecCmd(QStringLiteral("gzip"), {QStringLiteral("-d"), path}, timeoutMs,
                             errorOutput, &environment);
}

QString GunzipWriteFailure(const QString& path, const QString& gzipSaid)
{
    if (!QFileInfo::exists(path)
        || platform::ExecCmd(QStringLiteral("gzip"), {QStringLiteral("-t"), path}, 120000) != 0)
        return {};
    return gzipSaid.isEmpty() ? QStringLiteral("gzip could not write the plain file.") : gzipSaid;
}

QString GunzipOutputName(const QString& path)
{
    return path.left(path.size() - (path.endsWith(QLatin1String(".Z")) ? 2 : 3));
}

GunzipStream::~GunzipStream()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool GunzipStream::Start(const QString& path)
{
    outputPath_ = GunzipOutputName(path);
    if (QFile in(path); path.endsWith(QLatin1String(".gz")) && in.open(QIODevice::ReadOnly)
                        && in.size() >= 18 && in.seek(in.size() - 4)) {
        const QByteArray size = in.read(4);
        for (int i = 3; i >= 0 && size.size() == 4; --i)
            sizeHint_ = (sizeHint_ << 8) | static_cast<unsigned char>(size[i]);
    }
    process_.setProcessEnvironment(GzipEnvironment());
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(QStringLiteral("gzip"), {QStringLiteral("-d"), path});
    return process_.waitForStarted(-1);
}

bool GunzipStream::Ended(int waitMs)
{
    if (!ended_)
        ended_ = process_.state() == QProcess::NotRunning || process_.waitForFinished(waitMs);
    return ended_;
}

int64_t GunzipStream::Read(char* into, size_t room)
{
    for (;;) {
        if (!output_.isOpen()) {
            // gzip creates its output once it has checked the input's header.
            const bool ended = Ended(0);
            output_.setFileName(outputPath_);
            if (output_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                continue;
            if (ended)
                return ExitCode() == 0 || ExitCode() == 2 ? 0 : -1;
            Ended(2);
            continue;
        }
        // Whether gzip had ended is asked before the read: a read that then finds nothing
        // has seen everything gzip wrote.
        const bool ended = Ended(0);
        const qint64 n = output_.read(into, static_cast<qint64>(room));
        if (n != 0)
            return n;
        if (ended)
            return ExitCode() == 0 || ExitCode() == 2 ? 0 : -1;
        Ended(2);
    }
}

bool GunzipStream::Rewind()
{
    return output_.isOpen() ? output_.seek(0) : true;
}

QString GunzipStream::ErrorOutput()
{
    Ended(-1);
    errorOutput_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return errorOutput_;
}

int GunzipStream::ExitCode()
{
    Ended(-1);
    if (process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}

}  // namespace quillon
