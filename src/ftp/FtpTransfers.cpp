#include "ftp/FtpTransfers.h"

#include "platform/FtpControl.h"

namespace quillon {

int DownloadTransferType(const QString& name, bool asciiChosen, bool binaryForCompressed)
{
    if (!asciiChosen) return platform::ftp_type::Binary;
    const QString upper = name.toUpper();
    if (binaryForCompressed && (upper.endsWith(QLatin1String(".Z")) || upper.endsWith(QLatin1String(".GZ"))
                                || upper.endsWith(QLatin1String(".ZIP"))))
        return platform::ftp_type::Binary;
    return platform::ftp_type::Ascii;
}

QString TransferCompleteText(bool ascii, qint64 bytes, double seconds, const QLocale& locale)
{
    const double elapsed = seconds > 0 ? seconds : 0.01;
    QString secondsText = locale.toString(seconds, 'f', 2);
    // "###.##": no trailing zeros after the point, and no point without decimals.
    const QString point = locale.decimalPoint();
    if (secondsText.contains(point)) {
        while (secondsText.endsWith(QLatin1Char('0'))) secondsText.chop(1);
        if (secondsText.endsWith(point)) secondsText.chop(point.size());
    }
    const auto rate = static_cast<qint64>(static_cast<double>(bytes) / elapsed + 0.5);
    return QStringList{
        (ascii ? QStringLiteral("ASCII") : QStringLiteral("Binary")) + QStringLiteral(" transfer completed"),
        locale.toString(bytes) + QStringLiteral(" bytes transferred."),
        QStringLiteral("Elapsed time: ") + secondsText + QStringLiteral(" seconds."),
        locale.toString(rate) + QStringLiteral(" bytes per second."),
    }.join(QStringLiteral("\r\n"));
}

QString FtpSourceText(const QString& host, const QString& folder, const QStringList& names)
{
    const QString file = names.size() == 1 ? names.front() : QStringLiteral("Multiple Appended Files");
    return host + QLatin1Char(':') + RemoteFilePath(folder, file);
}

bool IsBracketedFolder(const QString& folder) { return folder.trimmed().endsWith(QLatin1Char(']')); }

QString RemoteFilePath(const QString& folder, const QString& name)
{
    const QString dir = folder.trimmed();
    if (IsBracketedFolder(dir) || dir.endsWith(QLatin1Char('/'))) return dir + name;
    return dir + QLatin1Char('/') + name;
}

WriteResult WriteFtpPutFile(const QString& path, const std::vector<std::string_view>& records,
                            const EnvelopeChars& envelope, bool useEnvelope)
{
    return WriteFramedRecords(path, records, [&](std::string& out, std::string_view record) {
        if (useEnvelope) {
            out.push_back(envelope.StartOfBlockChar);
            out.append(record);
            out.push_back(envelope.EndOfDataChar);
            out.push_back(envelope.EndOfBlockChar);
        } else {
            out.append(record);
            out.append("\r\n");
        }
    });
}

}  // namespace quillon
