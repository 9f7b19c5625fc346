// The TCP/IP server: configuration loading and the receive engine.
#include <QFileInfo>
#include <algorithm>

#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "tcpip/ServerConfig.h"

namespace quillon {

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A code as the trace shows it: one blank before a non-negative number.
QString WithSignPlace(int n)
{
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

QString DefaultLogFileText(const QString& file)
{
    return QStringLiteral("You have not selected a file into which to save the incoming "
                          "records.  By default, the following file will be used:\r\n\r\n     ")
           + file + QStringLiteral("\r\n\r\n");
}

}  // namespace

void frmMain::LoadServerConfiguration(QString& path)
{
    auto fail = [&](int number, const QString& description) {
        dlg.MsgBox(QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" - ")
                       + description + QStringLiteral(" in LoadServerConfiguration(") + path
                       + QStringLiteral(").Please contact Tech Support"),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Error"));
    };

    QString name = IsOlderWindows() ? GetShortPath(path) : path;
    if (name.isEmpty() || !QFileInfo(name).isFile()) {
        // A missing configuration falls back on default.server, which is written only when it
        // is missing itself: defaults the user edited survive a stale configuration name.
        const QString defaultFile = st.folders.ServersFolder + QStringLiteral("default.server");
        if (!QFileInfo(defaultFile).isFile()
            && !WriteServerConfigFile(defaultFile, DefaultServerConfigLine(st.folders.DataFolder,
                                                                           st.folders.DataRoot))) {
            // A folder that could not be created has been told of at start-up.
            if (!st.folders.Unusable.contains(st.folders.ServersFolder))
                fail(75, QStringLiteral("Path/File access error"));
            return;
        }
        name = defaultFile;
    }

    const ServerConfigParse parsed = ReadServerConfigFile(name);
    // What was read before an error is in force; the port only once the whole line was read.
    const ServerConfig& c = parsed.config;
    const int read = parsed.itemsRead;
    if (read >= ItemStartOfBlock)
        st.server.ServerStartOfBlockCode = c.StartOfBlockCode;
    if (read >= ItemEndOfBlock)
        st.server.ServerEndOfBlockCode = c.EndOfBlockCode;
    if (read >= ItemEndOfData)
        st.server.ServerEndOfDataCode = c.EndOfDataCode;
    if (read >= ItemSendAck)
        st.server.SendAck = c.SendAck;
    if (read >= ItemAckText)
        st.ack.AckText = c.AckText;
    if (read >= ItemAckBytes)
        st.ack.AckBytes = c.AckBytes;
    if (read >= ItemUseAckBytes)
        st.ack.UseAckBytes = c.UseAckBytes;
    if (read >= ItemLogFile)
        st.server.ServerLogFile = c.LogFile;
    if (read >= ItemUserAckFile)
        st.ack.UserAckFile = c.UserAckFile;
    if (!parsed.ok()) {
        fail(parsed.errorNumber, parsed.errorDescription);
        return;
    }

    if (!st.server.ServerLogFile.isEmpty()) {
        if (chkLogToDisk->isChecked())
            stsPanels[4]->setText(QStringLiteral("Logging to: ") + st.server.ServerLogFile);
    } else if (!chkLogToDisk->isChecked()) {
        stsPanels[4]->clear();
    } else {
        st.server.ServerLogFile = st.folders.DataFolder + QStringLiteral("LoggedMessages.dat");
        dlg.MsgBox(DefaultLogFileText(st.server.ServerLogFile)
                       + QStringLiteral("If you wish to use a different file, then edit the "
                                        "Server configuration."),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Using Default Filename"));
        stsPanels[4]->setText(QStringLiteral("Logging to: ") + st.server.ServerLogFile);
    }

    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "Selected Server Configuration " + Utf8(name));

    if (c.LocalPort < 0 || c.LocalPort > 65535) {
        fail(380, QStringLiteral("Invalid property value"));
        return;
    }
    st.server.LocalPort = c.LocalPort;
    const QString port = QString::number(st.server.LocalPort);

    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP",
                 Utf8(QStringLiteral("Set local port = ") + port
                      + QStringLiteral(", StartOfBlockChar=")
                      + WithSignPlace(st.server.ServerStartOfBlockCode)
                      + QStringLiteral(", EndOfBlockChar=")
                      + WithSignPlace(st.server.ServerEndOfBlockCode)
                      + QStringLiteral(", EndOfDataChar=")
                      + WithSignPlace(st.server.ServerEndOfDataCode)));

    mnuServerStartListeningForRecords->setEnabled(true);
    mnuServerStartListeningForRecords->setText(
        QStringLiteral("Start Listening for Records on Port ") + port);

    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')),
                                     path.lastIndexOf(QLatin1Char('\\')));
    stsPanels[2]->setText(QStringLiteral("TCP/IP Server: ") + path.mid(slash + 1));
    stsPanels[3]->setText(QStringLiteral("Not Listening"));
}

void frmMain::chkLogToDisk_Click()
{
    if (!chkLogToDisk->isChecked()) {
        stsPanels[4]->clear();
        CloseServerLog();
        serverLogFailed_ = false;
        return;
    }
    QString& logFile = st.server.ServerLogFile;
    if (!logFile.isEmpty() && !logFile.contains(QLatin1Char('/'))
        && !logFile.contains(QLatin1Char('\\')))
        logFile = st.folders.DataFolder + logFile;
    if (logFile.isEmpty()) {
        chkLogToDisk->setChecked(false);
        stsPanels[4]->clear();
        logFile = st.folders.DataFolder + st.server.ServerConfigName;
        const MsgAnswer answer = dlg.MsgBox(
            DefaultLogFileText(logFile)
                + QStringLiteral("If this is OK, click <YES>.  If you wish to use a different "
                                 "file, click <NO>.  If you want to cancel logging, click "
                                 "<CANCEL>."),
            MsgButtons::YesNoCancel, MsgIcon::Question, QStringLiteral("Specify Logging File"));
        if (answer == MsgAnswer::Cancel) {
            logFile.clear();
            return;
        }
        if (answer == MsgAnswer::No) {
            st.server.SelectLogFileRequest = true;
            cmdEditConfig_Click();
            // Whatever the editor left goes through the same rules, as a new tick would.
            chkLogToDisk->setChecked(true);
            chkLogToDisk_Click();
            return;
        }
        chkLogToDisk->setChecked(true);
    }
    stsPanels[4]->setText(QStringLiteral("Logging to: ") + logFile);
}



}  // namespace quillon
