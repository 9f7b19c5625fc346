// Tools for setting up a TCP/IP link: ping, this computer's address, the trace log and its
// levels.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <chrono>

#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "files/TextEditor.h"
#include "tcpip/EventWait.h"
#include "tcpip/frmLogging.h"
#include "tcpip/frmYourIPAddress.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

constexpr qsizetype kMaxHostLength = 253;
// Four echo requests a second apart, each answer awaited at most two seconds; a ping that has
// not ended after half a minute (a name lookup that hangs) is killed.
const QStringList kPingOptions = {QStringLiteral("-c"), QStringLiteral("4"), QStringLiteral("-W"),
                                  QStringLiteral("2")};
constexpr std::chrono::seconds kPingLimit{30};

const QString kPingTitle = QStringLiteral("Enter Computer to Ping");

// A host name or an IP address (v4 or v6) and nothing else: ASCII letters, digits, ".", "-"
// and ":", not starting with "-" so that ping cannot take it for an option.
bool IsPingableHost(const QString& host)
{
    if (host.isEmpty() || host.size() > kMaxHostLength || host.front() == u'-')
        return false;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u':';
        if (!ok)
            return false;
    }
    return true;
}

// Every line of the program's output followed by CR LF.
QString WithCrLfLines(const QByteArray& output)
{
    QString text;
    const QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (i == lines.size() - 1 && line.isEmpty())
            break;  // the output's own final line end
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

// The window shows the hourglass for as long as this lives.
class WaitCursor {
public:
    explicit WaitCursor(QWidget* window) : window_(window) { window_->setCursor(Qt::WaitCursor); }
    ~WaitCursor() { window_->unsetCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QWidget* window_;
};

// Set while a ping runs: the menu stays usable during the wait, but one ping at a time.
bool pingRunning = false;

}  // namespace

void frmMain::mnuToolsPingAnotherComputer_Click()
{
    if (pingRunning)
        return;
    const std::optional<QString> answer =
        dlg.InputBox(QStringLiteral("Enter hostname or IP address of computer to ping:"),
                     kPingTitle, QString());
    const QString host = answer ? answer->trimmed() : QString();
    if (host.isEmpty())
        return;
    if (!IsPingableHost(host)) {
        dlg.MsgBox(QStringLiteral("Invalid host. Please enter a host name or an IP address: "
                                  "letters, digits, \".\", \"-\" and \":\" only, at most %1 "
                                  "characters.")
                       .arg(kMaxHostLength),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, kPingTitle);
        return;
    }

    pingRunning = true;
    QByteArray output;
    bool finished = false;
    {
        const WaitCursor hourglass(this);
        QProcess ping;
        ping.setProcessChannelMode(QProcess::MergedChannels);
        ping.setStandardInputFile(QProcess::nullDevice());
        // "--" ends the options: the host is never read as one.
        ping.start(QStringLiteral("ping"), kPingOptions + QStringList{QStringLiteral("--"), host});
        WaitWithEvents(kPingLimit, [&ping] { return ping.state() == QProcess::NotRunning; });
        if (ping.state() != QProcess::NotRunning) {
            ping.kill();
            ping.waitForFinished(2000);
        } else {
            finished = ping.error() == QProcess::UnknownError &&
                       ping.exitStatus() == QProcess::NormalExit;
        }
        output = ping.readAll();
    }
    pingRunning = false;

    // A ping that answers "unreachable" still has its say; only no ping at all is a failure.
    const QString text = WithCrLfLines(output);
    if (!finished || text.isEmpty()) {
        dlg.MsgBox(QStringLiteral("Unable to execute a ping.  This does NOT mean that the other "
                                  "computer could not be found, only that we were not able to "
                                  "ping."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("Unable to Ping"));
        return;
    }
    dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::Information,
               QStringLiteral("Results of Ping of ") + host);
}

void frmMain::mnuToolsWhatIsMyIPaddress_Click()
{
    frmYourIPAddress dialog(this);
    dialog.exec();
}

void frmMain::mnuToolsLoggingLevel_Click()
{
    frmLogging dialog(st, dlg, this);
    dialog.exec();
}

void frmMain::mnuToolsViewTheLog_Click()
{
    FlushTraceWrites(st);
    const QString path = CurrentLogFilePath(st);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        dlg.MsgBox(QStringLiteral("There is no log file."), MsgButtons::OKOnly, MsgIcon::None,
                   QStringLiteral("No Log File"));
        return;
    }

    const QString& chosen = st.session.TextEditorForViewer;
    const PlainFileOpening opening =
        OpenPlainFile(desktop, chosen, path, QStringLiteral("Edit"));
    if (opening.ok)
        return;
    const QString editor =
        opening.program.isEmpty()
            ? QStringLiteral("the desktop's selected viewer for files like ") +
                  QFileInfo(path).fileName()
            : chosen;
    dlg.MsgBox(QStringLiteral("Can't find the text editor that you selected (") + editor +
                   QStringLiteral(").\r\nPlease select another default text editor using the "
                                  "menu option [Options|Select Default Text Editor]."),
               MsgButtons::OKOnly, MsgIcon::Exclamation,
               QStringLiteral("Can't Find Default Text Editor"));
}

void frmMain::mnuToolsDeleteTheLog_Click()
{
    FlushTraceWrites(st);
    const QString path = CurrentLogFilePath(st);
    if (!path.isEmpty() && QFileInfo::exists(path))
        QFile::remove(path);
}

}  // namespace quillon
