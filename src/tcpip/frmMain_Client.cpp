// The TCP/IP client: configuration loading.
#include <QFileInfo>
#include <algorithm>

#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "platform/WinsockControl.h"
#include "tcpip/ClientConfig.h"

namespace quillon {

namespace {

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

void frmMain::LoadClientConfiguration(QString& path)
{
    auto fail = [&](int number, const QString& description) {
        dlg.MsgBox(QStringLiteral("Unanticipated error in LoadClientConfiguration(") + path
                       + QStringLiteral(") ") + QString::number(number) + QLatin1Char(' ')
                       + description + QStringLiteral("Please contact Tech Support"),
                   platform::MsgButtons::OKOnly, platform::MsgIcon::Critical,
                   QStringLiteral("Error"));
    };

    QString name = IsOlderWindows() ? GetShortPath(path) : path;
    if (name.isEmpty() || !QFileInfo(name).isFile()) {
        // A missing configuration falls back on default.client, which is written only when it
        // is missing itself: defaults the user edited survive a stale configuration name.
        const QString folder = IsOlderWindows() ? GetShortPath(st.folders.ClientsFolder)
                                                : st.folders.ClientsFolder;
        const QString defaultFile = folder + QStringLiteral("default.client");
        if (!QFileInfo(defaultFile).isFile()
            && !WriteClientConfigFile(defaultFile, kDefaultClientConfigLine)) {
            // A folder that could not be created has been told of at start-up.
            if (!st.folders.Unusable.contains(st.folders.ClientsFolder))
                fail(75, QStringLiteral("Path/File access error"));
            return;
        }
        name = IsOlderWindows() ? GetShortPath(defaultFile) : defaultFile;
    }

    const ClientConfigParse parsed = ReadClientConfigFile(name);
    // What was read before an error stays in force.
    ApplyClientConfig(parsed.config, parsed.itemsRead, st.client, st.ack);
    if (!parsed.ok()) {
        fail(parsed.errorNumber, parsed.errorDescription);
        return;
    }

    const ClientState& c = st.client;
    sock->setRemoteHost(c.ClientServerHost);
    sock->setRemotePort(c.ClientServerPort);

    const QString server = c.ClientServerHost.isEmpty() ? c.ClientServerAddress
                                                        : c.ClientServerHost;
    mnuClientStartSendingRecords->setEnabled(true);
    mnuClientStartSendingRecords->setText(QStringLiteral("Start Sending Records to ") + server
                                          + QStringLiteral(", port ")
                                          + QString::number(c.ClientServerPort));

    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')),
                                     path.lastIndexOf(QLatin1Char('\\')));
    stsPanels[2]->setText(QStringLiteral("TCP/IP Client: ") + path.mid(slash + 1));
    stsPanels[3]->setText(QStringLiteral("Not Sending"));

    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "CLIENT: Selected Client Configuration " + Utf8(name));
}

}  // namespace quillon
