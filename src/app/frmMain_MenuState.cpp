// Which menu items and toolbar buttons can be used: the administration switches, and the File,
// FTP and Tools menus as they open.
#include <QFileInfo>
#include <QLocale>
#include <cmath>

#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "platform/WinsockControl.h"

namespace quillon {

void frmMain::SetMenuAndToolbarState()
{
    const auto& admin = st.session.AdminSwitches;
    auto rows = [this] { return lstRecords->count() >= 1; };
    // A recent file is opened like any other; nothing is opened under a client run.
    const bool open = !admin[AdminFileOpen] && !st.client.Sending;
    for (QAction* a : {mnuFileOpen, tbarButtons[2]})
        a->setEnabled(open);
    for (QAction* a : mnuMRU)
        a->setEnabled(open);
    mnuFileSave->setEnabled(rows() && !admin[AdminFileSave]);
    mnuFileSaveNow->setEnabled(rows() && !admin[AdminFileSave]);
    tbarButtons[3]->setEnabled(rows() && !admin[AdminFileSave]);
    mnuFilePrint->setEnabled(!admin[AdminPrint]);
    tbarButtons[4]->setEnabled(rows() && !admin[AdminPrint]);
    mnuFileFTPReceive->setEnabled(!admin[AdminFtpGet]);
    mnuFileFTPSend->setEnabled(rows() && !admin[AdminFtpPut]);
    tbarButtons[8]->setEnabled(!admin[AdminFtpGet]);
    tbarButtons[9]->setEnabled(rows() && !admin[AdminFtpPut]);
    if (admin[AdminFtpGet] && admin[AdminFtpPut]) {
        mnuFTP->setEnabled(false);
    } else {
        mnuFTP->setEnabled(true);
        mnuFTPReceive->setEnabled(!admin[AdminFtpGet]);
        mnuFTPSend->setEnabled(rows() && !admin[AdminFtpPut]);
    }
    // A role switched off while it runs stops first, as its Stop would (Stop acts on the mode
    // the panel is set to, which is the running role's).
    const auto serverRuns = [this] {
        return Winsock1->State() != platform::winsock_state::Closed;
    };
    if ((RoleLocked(false) && serverRuns() && !ClientMode())
        || (RoleLocked(true) && st.client.Sending && ClientMode()))
        cmdStop_Click();
    if (RoleLocked(true) && RoleLocked(false)) {
        mnuTCPIPShowFrame->setEnabled(false);
        tbarButtons[10]->setEnabled(false);
        for (QWidget* w : {static_cast<QWidget*>(optClientOrServer[0]),
                           static_cast<QWidget*>(optClientOrServer[1]),
                           static_cast<QWidget*>(cmdStart)})
            w->setEnabled(false);
        return;
    }
    mnuTCPIPShowFrame->setEnabled(true);
    tbarButtons[10]->setEnabled(true);
    // While a role runs the panel keeps both options and Start disabled; its end enables them
    // as the switches allow. (A client run stopped above ends once this returns.)
    if (st.client.Sending || serverRuns())
        return;
    optClientOrServer[0]->setEnabled(!admin[AdminTcpClient]);
    optClientOrServer[1]->setEnabled(!admin[AdminTcpServer]);
    // Selecting a mode runs its click handling, as the user's click would.
    if (!optClientOrServer[0]->isEnabled())
        optClientOrServer_Click(1);
    else if (!optClientOrServer[1]->isEnabled())
        optClientOrServer_Click(0);
    cmdStart->setEnabled(!RoleLocked(ClientMode()));
}

bool frmMain::RoleLocked(bool client) const
{
    return st.session.AdminSwitches[client ? AdminTcpClient : AdminTcpServer];
}

void frmMain::EnablePanelControls(std::initializer_list<QWidget*> controls)
{
    for (QWidget* w : controls) {
        if (w == optClientOrServer[0])
            w->setEnabled(!RoleLocked(true));
        else if (w == optClientOrServer[1])
            w->setEnabled(!RoleLocked(false));
        else if (w == cmdStart)
            w->setEnabled(!RoleLocked(ClientMode()));
        else
            w->setEnabled(true);
    }
}

void frmMain::mnuFile_Click()
{
    const bool rows = lstRecords->count() >= 1;
    const auto& admin = st.session.AdminSwitches;
    // A client run's records are not replaced under it (LockForRun).
    const bool running = st.client.Sending;
    mnuFileNew->setEnabled(!running);
    mnuFileOpen->setEnabled(!running && !admin[AdminFileOpen]);
    for (QAction* a : mnuMRU)
        a->setEnabled(mnuFileOpen->isEnabled());
    mnuFileSave->setEnabled(rows && !admin[AdminFileSave]);
    mnuFileSaveNow->setEnabled(rows && !admin[AdminFileSave]);
    mnuFilePrint->setEnabled(rows && !admin[AdminPrint]);
    mnuFileExit->setEnabled(true);
    mnuFileFTPSend->setEnabled(rows && !admin[AdminFtpPut]);
}

void frmMain::mnuFTP_Click()
{
    const auto& admin = st.session.AdminSwitches;
    mnuFTPReceive->setEnabled(!admin[AdminFtpGet]);
    mnuFTPSend->setEnabled(lstRecords->count() >= 1 && !admin[AdminFtpPut]);
}

QString frmMain::LogSizeCaption(qint64 bytes)
{
    // (bytes + 500) / 1000 to the nearest whole number, a half going to the even neighbour.
    const double kb = std::nearbyint((static_cast<double>(bytes) + 500.0) / 1000.0);
    QLocale english(QLocale::English);
    english.setNumberOptions(QLocale::DefaultNumberOptions);
    return QStringLiteral("&View the Log  [ ") + english.toString(static_cast<qlonglong>(kb))
           + QStringLiteral(" KB ]");
}

void frmMain::mnuTools_Click()
{
    const bool rows = lstRecords->count() >= 1;
    for (QAction* a : {mnuViewRecordAsASCII, mnuToolsDetermineMaxFieldWidths,
                       mnuToolsDetermineRecordStatistics, mnuToolsChangeDelimiters,
                       mnuToolsDetermineUniqueFieldValues, mnuToolsSortMSH7,
                       mnuToolsDetermineWhatFieldsAreUsed})
        a->setEnabled(rows);
    FlushTraceWrites(st);
    const QString path = CurrentLogFilePath(st);
    const QFileInfo log(path);
    const bool exists = !path.isEmpty() && log.isFile();
    mnuToolsViewTheLog->setEnabled(exists);
    mnuToolsViewTheLog->setText(exists ? LogSizeCaption(log.size())
                                       : QStringLiteral("&View the Log"));
    mnuToolsDeleteTheLog->setEnabled(exists);
}

}  // namespace quillon
