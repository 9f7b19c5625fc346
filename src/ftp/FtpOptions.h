#pragma once
// The FTP window's transfer options, file-list layout and file types in the settings, without
// any window: the window copies its check marks and columns into these values and back.
#include <QString>
#include <QStringList>
#include <array>

#include "platform/SettingsStore.h"

namespace quillon {

// The four check marks of the Options menu; each pair is a choice of one.
struct FtpTransferOptions {
    bool DownloadUsingBinaryMode = false;
    bool DownloadUsingASCIIMode = true;
    bool IfFileExistsAppend = false;
    bool IfFileExistsOverwrite = true;

    void ChooseASCIIMode() { DownloadUsingBinaryMode = false; DownloadUsingASCIIMode = true; }
    void ChooseBinaryMode() { DownloadUsingBinaryMode = true; DownloadUsingASCIIMode = false; }
    void ChooseAppend() { IfFileExistsAppend = true; IfFileExistsOverwrite = false; }
    void ChooseOverwrite() { IfFileExistsAppend = false; IfFileExistsOverwrite = true; }
    // The caption of the "If File Exists" sub-menu.
    QString IfFileExistsCaption() const;
    bool operator==(const FtpTransferOptions&) const = default;
};

// Each mark as stored ("True"/"False"); a missing or unreadable value takes its default.
FtpTransferOptions LoadTransferOptions(const platform::SettingsStore& store);
bool SaveTransferOptions(platform::SettingsStore& store, const FtpTransferOptions& options);

// The remote file list's columns, by index 1 to 3 (array slot 0 is column 1).
struct FtpListColumn {
    const char* header;
    int width;        // pixels, when nothing is stored
    bool alignRight;
    const char* tag;  // how a header click sorts it
};
inline constexpr std::array<FtpListColumn, 3> kFtpColumns{{
    {"File Name", 373, false, "STRING"},
    {"File Size", 100, true, "NUMBER"},
    {"Modified", 153, false, "DATE"},
}};

struct FtpColumnLayout {
    int position = 1;    // display position, 1 to 3
    double width = 0;    // pixels, may carry a fraction
    bool operator==(const FtpColumnLayout&) const = default;
};
using FtpColumns = std::array<FtpColumnLayout, 3>;

// The stored layout (`FTP_Settings` "Col"n, "ColWidth"n). A missing or unreadable width keeps
// the column's width in `current`; positions that are missing, unreadable or do not make up
// one each of 1 to 3 leave every column at its own index, so the header never loses a column.
FtpColumns LoadColumnLayout(const platform::SettingsStore& store, const FtpColumns& current);
bool SaveColumnLayout(platform::SettingsStore& store, const FtpColumns& columns);

// The window's unload: the column layout, then the four marks.
bool SaveDefaults(platform::SettingsStore& store, const FtpColumns& columns,
                  const FtpTransferOptions& options);

// The file types offered in "Files of Type", shared by the FTP window and its file types
// dialog: entries 0 to 9 are used, an empty text is no entry.
struct FtpFileTypes {
    static constexpr int kCount = 10;
    std::array<QString, 11> FtpExtensions;
    QString FtpDefaultExtension;
};

// Reads the stored types into `types`; a store without a default type gets ".*", ".dat",
// ".txt" with ".dat" (written at once). Returns the entries for the "Files of Type" box: those
// before the first empty entry, in the box's text order; the box then shows
// `types.FtpDefaultExtension`.
QStringList LoadFTPExtensions(platform::SettingsStore& store, FtpFileTypes& types);
// Writes the default type and entries 0 to 9 (empty where `entries` is shorter) and sets them
// in `types`; nothing but the default is set when the default is empty.
bool SaveFTPExtensions(platform::SettingsStore& store, FtpFileTypes& types,
                       const QStringList& entries, const QString& defaultExtension);
// The order of a sorted list or combo box: by text regardless of letter case, then by case.
void InsertSorted(QStringList& list, const QString& text);

}  // namespace quillon
