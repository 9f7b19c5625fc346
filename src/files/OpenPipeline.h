#pragma once
// The road of chosen files to the one file the loader reads: copying into the working folder,
// decompressing .gz, .Z and .zip files pass after pass, and joining several files in name
// order. Window-free: messages go back to the caller as results.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "records/HL7Loader.h"

namespace quillon {

// ".gz" and ".Z" in exact case, ".zip" in any case.
bool IsGzipName(const QString& path);
bool IsZipName(const QString& path);
inline bool IsCompressedName(const QString& path) { return IsGzipName(path) || IsZipName(path); }

// Ascending by character codes ("B" before "a").
QStringList SortOrdinal(QStringList names);

// The open dialog's file types: the non-empty slots in order, and the position of the default.
struct FileTypeList {
    QStringList patterns;
    int selected = 0;
};
FileTypeList BuildFileTypeList(const std::array<QString, 10>& extensions, const QString& defaultExtension);

// Writes the bytes of every file in order into `destination`. A file that does not end in CR
// or LF is followed by CR LF when more bytes follow, so its last line cannot swallow the next
// file's first message; files that end in a line break are joined byte for byte. Streams in
// chunks. False with `error` set when a file cannot be read or the result cannot be written;
// `destination` then stays as it was. A part may be `destination` itself.
bool JoinFiles(const QStringList& paths, const QString& destination, QString* error);

// A chosen file copied into the working folder as `to`; false with the reason in `error`.
bool CopyToWorkingFolder(const QString& from, const QString& to, QString* error);

// Every file of `folder` as full paths, in ordinal order.
QStringList ListFolderFiles(const QString& folder);

// Deletes every file in `folder` (not its subfolders' contents); failures are ignored.
void EmptyFolder(const QString& folder);

struct DecompressOutcome {
    enum class Kind {
        Done,              // nothing compressed is left; `files` lists what is there
        Empty,             // the folder holds nothing: end silently
        GzipMissing,       // "gzip" could not be started (exit code -1)
        NotCompressed,     // gzip found no compressed data (exit code 1)
        Damaged,           // gzip found compressed data it cannot decompress (exit code 1)
        ZipDamaged,        // an archive could not be read whole; the user has been told
        Failed,            // gzip ended with another nonzero code (a warning, a refusal), or
                           // could not write the plain file (see `reason`)
        Stuck,             // a pass left the same compressed files as the pass before
    } kind = Kind::Done;
    QStringList files;      // Done: the files left, ordinal order
    QString failedFile;     // all but Done and Empty: the file being handled
    int exitCode = 0;       // the last gzip exit code
    QString reason;         // Damaged: gzip's own words for the damage; Failed: why the plain
                            // file could not be written, when known
};

// gzip's complaint about a file (its error output), without the "gzip: <file>: " before it.
QString GzipReason(const QString& errorOutput);

// Whether gzip's exit code 1 and complaint mean the file holds no compressed data at all,
// rather than compressed data that is damaged (cut short, a failed check).
bool GzipFoundNoCompressedData(const QString& reason);

struct Decompressors {
    // Runs "gzip -d" on one file; answers its exit code (-1 when gzip cannot run) and what it
    // complained of.
    std::function<int(const QString& path, QString* errorOutput)> gunzip;
    // Extracts a zip archive flat into `folder`; answers the library's result and message.
    std::function<int(const QString& path, const QString& folder, QString* message)> unzip;
    // Tells the user what an archive that failed said. The loop goes on, unless the archive
    // was damaged or no archive: then nothing is loaded.
    std::function<void(const QString& message)> zipFailed;
    // The file being handled, for the caller's current-file name.
    std::function<void(const QString& path)> handling;
    // Asked when gzip ended with 1: why, when it could not write the plain file (see
    // GunzipWriteFailure); empty when the data was refused. None: the data was refused.
    std::function<QString(const QString& path, const QString& gzipSaid)> whyNotWritten;
};

// Decompresses everything in `folder` until nothing compressed is left.
DecompressOutcome DecompressFolder(const QString& folder, const Decompressors& tools);

// "gzip -d <path>" with standard input closed and a time limit; `errorOutput` gets what it
// complained of.
int RunGunzip(const QString& path, int timeoutMs = 120000, QString* errorOutput = nullptr);

// Why gzip, having ended with 1 on `path`, did not leave the plain file although the data is
// sound compressed data (it tests whole): it could not write it, a full disk say. `gzipSaid`
// is what gzip wrote to its standard error. Empty when gzip refused the data itself.
QString GunzipWriteFailure(const QString& path, const QString& gzipSaid);

// The name "gzip -d" gives the plain file: `path` without ".gz" or ".Z".
QString GunzipOutputName(const QString& path);

// "gzip -d <path>" running while its output file is read as it grows, so the load overlaps the
// decompression; the result on disk is the one RunGunzip leaves. The source ends when gzip has
// ended and every byte it wrote has been read; it fails when gzip failed (see ExitCode).
class GunzipStream : public LoadSource {
public:
    GunzipStream() = default;
    GunzipStream(const GunzipStream&) = delete;
    GunzipStream& operator=(const GunzipStream&) = delete;
    ~GunzipStream() override;

    // False when gzip cannot be started.
    bool Start(const QString& path);
    int64_t Read(char* into, size_t room) override;
    bool Rewind() override;
    // Waits for gzip's end: its exit code, -1 when it could not run or did not end normally.
    int ExitCode();
    // What gzip complained of, once it has ended.
    QString ErrorOutput();
    // The plain size a gzip file records in its last four bytes (modulo 4 GB).
    int64_t SizeHint() const override { return sizeHint_; }
    void Complete() override { Ended(-1); }

private:
    // Waits a moment for gzip; true once it has ended.
    bool Ended(int waitMs);

    QProcess process_;
    QFile output_;
    QString outputPath_;
    int64_t sizeHint_ = 0;
    bool ended_ = false;
    QString errorOutput_;
};

}  // namespace quillon
