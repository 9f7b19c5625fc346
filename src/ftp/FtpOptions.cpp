#include "ftp/FtpOptions.h"

#include <algorithm>
#include <cmath>

#include "app/Settings.h"

namespace quillon {

namespace {

const QString kKey0 = QStringLiteral("0");
const QString kFtpSettings = QStringLiteral("FTP_Settings");
const QString kExtensions = QStringLiteral("DefaultFTPExtensions");
const QString kExtension = QStringLiteral("DefaultFTPExtension");

bool ReadMark(const platform::SettingsStore& store, const QString& section, bool defaultValue)
{
    return TruthValue(store.Get(kSettingsApp, section, kKey0)).value_or(defaultValue);
}

}  // namespace

QString FtpTransferOptions::IfFileExistsCaption() const
{
    return IfFileExistsAppend ? QStringLiteral("If File Exists [append]")
                              : QStringLiteral("If File Exists [overwrite]");
}

FtpTransferOptions LoadTransferOptions(const platform::SettingsStore& store)
{
    FtpTransferOptions o;
    o.DownloadUsingBinaryMode =
        ReadMark(store, QStringLiteral("DownloadUsingBinaryMode"), o.DownloadUsingBinaryMode);
    o.DownloadUsingASCIIMode =
        ReadMark(store, QStringLiteral("DownloadUsingASCIIMode"), o.DownloadUsingASCIIMode);
    o.IfFileExistsAppend =
        ReadMark(store, QStringLiteral("IfFileExistsAppend"), o.IfFileExistsAppend);
    o.IfFileExistsOverwrite =
        ReadMark(store, QStringLiteral("IfFileExistsOverwrite"), o.IfFileExistsOverwrite);
    return o;
}

bool SaveTransferOptions(platform::SettingsStore& store, const FtpTransferOptions& o)
{
    platform::SettingsStore::Batch batch(store);
    bool ok = store.Save(kSettingsApp, QStringLiteral("DownloadUsingBinaryMode"), kKey0,
                         TrueFalseText(o.DownloadUsingBinaryMode));
    ok &= store.Save(kSettingsApp, QStringLiteral("DownloadUsingASCIIMode"), kKey0,
                     TrueFalseText(o.DownloadUsingASCIIMode));
    ok &= store.Save(kSettingsApp, QStringLiteral("IfFileExistsAppend"), kKey0,
                     TrueFalseText(o.IfFileExistsAppend));
    ok &= store.Save(kSettingsApp, QStringLiteral("IfFileExistsOverwrite"), kKey0,
                     TrueFalseText(o.IfFileExistsOverwrite));
    return ok;
}

FtpColumns LoadColumnLayout(const platform::SettingsStore& store, const FtpColumns& current)
{
    FtpColumns columns = current;
    std::array<bool, 3> taken{};
    bool positionsSound = true;
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        bool ok = false;
        const int position = store.Get(kSettingsApp, kFtpSettings, QStringLiteral("Col") + n, n)
                                 .trimmed()
                                 .toInt(&ok);
        if (!ok || position < 1 || position > 3 || taken[position - 1])
            positionsSound = false;
        else
            taken[position - 1] = true;
        columns[i].position = ok ? position : i + 1;

        const double width = store.Get(kSettingsApp, kFtpSettings, QStringLiteral("ColWidth") + n)
                                 .trimmed()
                                 .toDouble(&ok);
        if (ok && std::isfinite(width) && width >= 0)
            columns[i].width = width;
    }
    if (!positionsSound)
        for (int i = 0; i < 3; ++i)
            columns[i].position = i + 1;
    return columns;
}

bool SaveColumnLayout(platform::SettingsStore& store, const FtpColumns& columns)
{
    platform::SettingsStore::Batch batch(store);
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        ok &= store.Save(kSettingsApp, kFtpSettings, QStringLiteral("Col") + n,
                         QString::number(columns[i].position));
        ok &= store.Save(kSettingsApp, kFtpSettings, QStringLiteral("ColWidth") + n,
                         SizeText(columns[i].width));
    }
    return ok;
}

bool SaveDefaults(platform::SettingsStore& store, const FtpColumns& columns,
                  const FtpTransferOptions& options)
{
    platform::SettingsStore::Batch batch(store);
    const bool ok = SaveColumnLayout(store, columns);
    return SaveTransferOptions(store, options) && ok;
}

void InsertSorted(QStringList& list, const QString& text)
{
    const auto before = [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    };
    list.insert(std::upper_bound(list.begin(), list.end(), text, before), text);
}

QStringList LoadFTPExtensions(platform::SettingsStore& store, FtpFileTypes& types)
{
    for (int i = 0; i < FtpFileTypes::kCount; ++i)
        types.FtpExtensions[i] = store.Get(kSettingsApp, kExtensions, QString::number(i));
    types.FtpDefaultExtension = store.Get(kSettingsApp, kExtension, kKey0);
    if (types.FtpDefaultExtension.isEmpty())
        SaveFTPExtensions(store, types,
                          {QStringLiteral(".*"), QStringLiteral(".dat"), QStringLiteral(".txt")},
                          QStringLiteral(".dat"));

    QStringList box;
    for (int i = 0; i < FtpFileTypes::kCount && !types.FtpExtensions[i].isEmpty(); ++i)
        InsertSorted(box, types.FtpExtensions[i]);
    return box;
}

bool SaveFTPExtensions(platform::SettingsStore& store, FtpFileTypes& types,
                       const QStringList& entries, const QString& defaultExtension)
{
    types.FtpDefaultExtension = defaultExtension;
    if (defaultExtension.isEmpty())
        return true;
    platform::SettingsStore::Batch batch(store);
    bool ok = store.Save(kSettingsApp, kExtension, kKey0, defaultExtension);
    for (int i = 0; i < FtpFileTypes::kCount; ++i) {
        types.FtpExtensions[i] = entries.value(i);
        ok &= store.Save(kSettingsApp, kExtensions, QString::number(i), types.FtpExtensions[i]);
    }
    return ok;
}

}  // namespace quillon
