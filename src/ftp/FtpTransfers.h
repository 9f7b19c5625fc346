#pragma once
// The rules the FTP window's transfers share, kept apart from the window: the transfer type of a
// download, the completion message, the description of a download's source and the file that
// FTP Put hands over to the window.
#include <QLocale>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "files/SaveRecords.h"

namespace quillon {

// ASCII when that mode is chosen, except that compressed files (".Z", ".GZ" or ".ZIP" in any
// case) move in binary when `binaryForCompressed`: ASCII conversion would corrupt them.
int DownloadTransferType(const QString& name, bool asciiChosen, bool binaryForCompressed);

// The "FTP Get Complete" / "FTP Put Complete" text: the mode, the bytes, the elapsed seconds and
// the rate, one line each. A zero time counts as a hundredth of a second for the rate.
QString TransferCompleteText(bool ascii, qint64 bytes, double seconds, const QLocale& locale = QLocale());

// Where a download came from, for the main window's caption: host, ":", the remote folder, "/"
// and the file name, or "Multiple Appended Files" for several files.
QString FtpSourceText(const QString& host, const QString& folder, const QStringList& names);

// The remote path of `name` in `folder`. A folder written with square brackets (DISK1:[USER.HL7])
// takes the name straight after it.
bool IsBracketedFolder(const QString& folder);
QString RemoteFilePath(const QString& folder, const QString& name);

// Writes the records for FTP Put: with envelope characters each record is start of block, the
// record, end of data, end of block, with nothing between records; without them each record is
// followed by CR LF. The file is complete when this answers ok.
WriteResult WriteFtpPutFile(const QString& path, const std::vector<std::string_view>& records,
                            const EnvelopeChars& envelope, bool useEnvelope);

}  // namespace quillon
