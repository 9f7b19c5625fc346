#include "platform/Unzip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/FileIO.h"

namespace quillon::platform {

namespace r = unzip_result;

namespace {

constexpr size_t kChunk = 64 * 1024;  // entries are copied in chunks of this size

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
struct ZipFileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileClose>;

QString OpenErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

bool IsDriveName(const QString& part)
{
    return part.size() >= 2 && part[1] == u':' && part[0].isLetter() && part[0].unicode() < 128;
}

bool IsSymLinkEntry(zip_t* za, zip_uint64_t index)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) != 0)
        return false;
    return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

}  // namespace

QString UnzipPrintText(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    const QString cut = nul < 0 ? text : text.left(nul);
    return cut.startsWith(u'\n') ? QStringLiteral("\r\n") : cut;
}

struct CGUnzipFiles::Run {
    explicit Run(CGUnzipFiles& owner) : self(owner) {}

    CGUnzipFiles& self;
    zip_t* za = nullptr;
    QString root;  // the extract folder, canonical
    std::vector<char> buffer = std::vector<char>(kChunk);
    std::optional<QByteArray> password;  // the last one that opened an entry
    bool passwordDeclined = false;
    bool cancelled = false;
    int32_t result = r::Ok;

    void Fail(int32_t code, const QString& line)
    {
        self.PrintLine(line);
        result = std::max(result, code);
    }

    int32_t Execute();
    void Entry(zip_uint64_t index);
    bool Inside(const QString& folder) const;
    ZipFilePtr Open(zip_uint64_t index, const QString& name, bool encrypted);
    ZipFilePtr TryPassword(zip_uint64_t index, const QByteArray& candidate, bool& wrong,
                           bool verify);
    bool Copy(zip_file_t* file, WholeFile* out, const QString& name);
};

CGUnzipFiles::CGUnzipFiles(Dialogs& dialogs) : dialogs_(dialogs) {}

void CGUnzipFiles::Print(const QString& text)
{
    zipMessage_ += UnzipPrintText(text);
}

void CGUnzipFiles::PrintLine(const QString& text)
{
    Print(text);
    Print(QStringLiteral("\n"));
}

int32_t CGUnzipFiles::Unzip(const QString& zipFileName, const QString& extractDir)
{
    if (!zipFileName.isEmpty())
        zipFileName_ = zipFileName;
    if (!extractDir.isEmpty())
        extractDir_ = extractDir;
    zipMessage_.clear();
    Run run(*this);
    return run.Execute();
}

int32_t CGUnzipFiles::Run::Execute()
{
    if (self.zipFileName_.isEmpty()) {
        Fail(r::BadParameter, QStringLiteral("No zip file name given."));
        return result;
    }
    int openError = 0;
    ZipPtr archive(
        zip_open(QFile::encodeName(self.zipFileName_).constData(), ZIP_RDONLY, &openError));
    if (!archive) {
        const bool noZip = openError == ZIP_ER_NOENT || openError == ZIP_ER_OPEN
                           || openError == ZIP_ER_NOZIP || openError == ZIP_ER_READ;
        Fail(noZip ? r::NoZip : r::ArchiveError,
             QStringLiteral("Cannot open %1: %2")
                 .arg(QDir::toNativeSeparators(self.zipFileName_), OpenErrorText(openError)));
        return result;
    }
    za = archive.get();
    self.PrintLine(QStringLiteral("Archive:  ") + QDir::toNativeSeparators(self.zipFileName_));

    if (!self.TestZip()) {
        const QString folder = self.extractDir_.isEmpty() ? QDir::currentPath() : self.extractDir_;
        if (!QDir().mkpath(folder)) {
            Fail(r::DiskError,
                 QStringLiteral("Cannot create the folder ") + QDir::toNativeSeparators(folder));
            return result;
        }
        root = QFileInfo(folder).canonicalFilePath();
    }

    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count && !cancelled; ++i)
        Entry(static_cast<zip_uint64_t>(i));
    return result;
}

bool CGUnzipFiles::Run::Inside(const QString& folder) const
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    return canonical == root || canonical.startsWith(prefix);
}

void CGUnzipFiles::Run::Entry(zip_uint64_t index)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
        Fail(r::ArchiveError, QStringLiteral("Entry %1 cannot be read: %2")
                                  .arg(index)
                                  .arg(QString::fromLocal8Bit(zip_strerror(za))));
        return;
    }
    const QString name = QString::fromUtf8(st.name);
    const bool encrypted =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;

    // Archives made on Windows may separate folders with backslashes.
    QString path = name;
    path.replace(u'\\', u'/');
    const bool isFolder = path.endsWith(u'/');
    bool unsafe = path.startsWith(u'/');
    QStringList parts;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..")
            unsafe = true;
        parts << part;
    }
    if (!parts.isEmpty() && IsDriveName(parts.first()))
        unsafe = true;

    if (self.TestZip()) {
        if (isFolder)
            return;
        if (ZipFilePtr file = Open(index, name, encrypted); file && Copy(file.get(), nullptr, name))
            self.PrintLine(QStringLiteral("Testing ") + name + QStringLiteral(" OK"));
        return;
    }

    if (unsafe) {
        Fail(r::Warning,
             QStringLiteral("Refused ") + name + QStringLiteral(": it points outside the folder."));
        return;
    }
    if (IsSymLinkEntry(za, index)) {
        Fail(r::Warning, QStringLiteral("Refused ") + name
                             + QStringLiteral(": symbolic links are not extracted."));
        return;
    }
    if (parts.isEmpty() || (isFolder && !self.HonorDirectories()))
        return;
    if (self.SpaceToUnderScore()) {
        for (QString& part : parts)
            part.replace(u' ', u'_');
    }

    const QString relative = self.HonorDirectories() ? parts.join(u'/') : parts.last();
    const QString target = root + u'/' + relative;
    const QString folder = isFolder ? target : QFileInfo(target).path();
    if (!QDir().mkpath(folder)) {
        Fail(r::DiskError,
             QStringLiteral("Cannot create the folder ") + QDir::toNativeSeparators(folder));
        return;
    }
    // A link already in the extract folder must not carry the entry elsewhere.
    if (!Inside(folder)) {
        Fail(r::Warning, QStringLiteral("Refused ") + name
                             + QStringLiteral(": its folder is a link that leads outside."));
        return;
    }
    if (isFolder)
        return;

    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink()) {
        if (existing.isDir() && !existing.isSymLink()) {
            Fail(r::DiskError, QStringLiteral("Cannot write ") + relative
                                   + QStringLiteral(": a folder of that name exists."));
            return;
        }
        if (!self.OverWriteFiles()) {
            MsgAnswer answer = MsgAnswer::No;
            if (self.PromptOverwrite()) {
                answer = self.dialogs_.MsgBox(
                    QStringLiteral("Overwrite ") + QDir::toNativeSeparators(target) + u'?',
                    MsgButtons::YesNoCancel, MsgIcon::Exclamation,
                    QStringLiteral("VBUnZip32 - File Already Exists!"));
            }
            if (answer == MsgAnswer::Cancel) {
                cancelled = true;
                Fail(r::Cancelled, QStringLiteral("Cancelled at ") + relative + u'.');
                return;
            }
            if (answer != MsgAnswer::Yes) {
                self.PrintLine(QStringLiteral("Skipping ") + relative
                               + QStringLiteral(": the file exists."));
                return;
            }
        }
        // Replace a link itself, never the file it points to.
        if (existing.isSymLink() && !QFile::remove(target)) {
            Fail(r::DiskError, QStringLiteral("Cannot replace the link ") + relative + u'.');
            return;
        }
    }

    ZipFilePtr file = Open(index, name, encrypted);
    if (!file)
        return;
    self.PrintLine(QStringLiteral("Extracting ") + relative);
    WholeFile out(target);
    if (!out.Open()) {
        Fail(r::DiskError,
             QStringLiteral("Cannot write ") + relative + QStringLiteral(": ") + out.ErrorString());
        return;
    }
    if (!Copy(file.get(), &out, name))
        return;  // the unfinished copy is dropped; a file already there stays as it was
    if (!out.Commit())
        Fail(r::DiskError,
             QStringLiteral("Cannot write ") + relative + QStringLiteral(": ") + out.ErrorString());
}

ZipFilePtr CGUnzipFiles::Run::TryPassword(zip_uint64_t index, const QByteArray& candidate,
                                          bool& wrong, bool verify)
{
    ZipFilePtr file(zip_fopen_index_encrypted(za, index, 0, candidate.constData()));
    wrong = !file && zip_error_code_zip(zip_get_error(za)) == ZIP_ER_WRONGPASSWD;
    if (!file || !verify)
        return file;
    // The traditional encryption checks a password against one byte only: about one wrong
    // password in 256 passes it. A new password is read through its entry once, so such a one
    // ends in a checksum or data error here and is asked for again, never taken for a damaged
    // archive.
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file.get()));
            wrong = code == ZIP_ER_CRC || code == ZIP_ER_ZLIB || code == ZIP_ER_COMPRESSED_DATA;
            if (wrong)
                return nullptr;
            break;  // any other error shows when the entry is copied
        }
    }
    return ZipFilePtr(zip_fopen_index_encrypted(za, index, 0, candidate.constData()));
}

ZipFilePtr CGUnzipFiles::Run::Open(zip_uint64_t index, const QString& name, bool encrypted)
{
    const auto openFailed = [&]() -> ZipFilePtr {
        Fail(r::EntryError, name + QStringLiteral(": ") + QString::fromLocal8Bit(zip_strerror(za)));
        return nullptr;
    };
    if (!encrypted) {
        ZipFilePtr file(zip_fopen_index(za, index, 0));
        return file ? std::move(file) : openFailed();
    }

    bool wrong = true;
    if (password) {
        if (ZipFilePtr file = TryPassword(index, *password, wrong, false))
            return file;
        if (!wrong)
            return openFailed();
    }
    const auto noPassword = [&]() -> ZipFilePtr {
        Fail(r::BadPassword, name + QStringLiteral(": not extracted, no password given."));
        return nullptr;
    };
    if (passwordDeclined)
        return noPassword();
    const std::optional<QString> answer = self.dialogs_.InputBox(
        QStringLiteral("Please Enter The Password!"), QStringLiteral("Quillon"), QString());
    if (!answer || answer->isEmpty()) {
        passwordDeclined = true;
        return noPassword();
    }
    // Archives made here hold the password as UTF-8, those made on Windows as its code page.
    std::vector<QByteArray> candidates{answer->toUtf8()};
    const bool latin1 =
        std::all_of(answer->begin(), answer->end(), [](QChar c) { return c.unicode() < 256; });
    if (latin1 && answer->toLatin1() != candidates.front())
        candidates.push_back(answer->toLatin1());
    for (const QByteArray& candidate : candidates) {
        if (ZipFilePtr file = TryPassword(index, candidate, wrong, true)) {
            password = candidate;
            return file;
        }
        if (!wrong)
            return openFailed();
    }
    Fail(r::BadPassword, name + QStringLiteral(": wrong password, not extracted."));
    return nullptr;
}

bool CGUnzipFiles::Run::Copy(zip_file_t* file, WholeFile* out, const QString& name)
{
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0) {
            Fail(r::EntryError,
                 name + QStringLiteral(": ") + QString::fromLocal8Bit(zip_file_strerror(file)));
            return false;
        }
        if (n == 0)
            return true;
        if (out && !out->Write(buffer.data(), static_cast<size_t>(n))) {
            Fail(r::DiskError, QStringLiteral("Cannot write ") + name + QStringLiteral(": ")
                                   + out->ErrorString());
            return false;
        }
    }
}

}  // namespace quillon::platform
