// The main window's FTP commands: FTP Get and FTP Put open the FTP window modally.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "app/frmMain.h"
#include "ftp/frmFTP.h"

namespace quillon {
namespace {

void RemoveFilesIn(const QString& folder)
{
    if (folder.isEmpty()) return;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(name));
}

}  // namespace

bool frmMain::InstallFtpCommands()
{
    FtpGetCommand = [this] { FtpGet(); };
    return true;
}

void frmMain::ShowFtpWindow(bool put)
{
    if (!FtpWindow)
        FtpWindow = new frmFTP(st, dlg, FtpCancelled, DesktopFtpPasswords(st.settings), this);
    auto* w = static_cast<frmFTP*>(FtpWindow.data());
    w->MainWindowCaption = windowTitle();
    w->cmdGet->setText(put ? frmFTP::kPutCaption : frmFTP::kGetCaption);
    w->SetCaption(put ? QStringLiteral("FTP Put") : QStringLiteral("FTP Get"));
    if (put) {
        w->cmdOpen->setEnabled(false);
        w->cmdViewInWP->setEnabled(false);
        w->lblFileName->show();
        w->txtFileName->clear();
        w->txtFileName->show();
    } else {
        w->lblFileName->hide();
        w->txtFileName->hide();
    }
    w->exec();
    if (FtpWindow && w->Unloaded()) delete w;
}

void frmMain::FtpGet()
{
    mnuViewsDisable_Click();
    RemoveFilesIn(st.folders.Files2LoadFolder);
    RemoveFilesIn(st.folders.FTPFolder);
    ShowFtpWindow(false);
    QCoreApplication::processEvents();
    if (FtpCancelled) return;
    LoadFtpDownloads();
}

void frmMain::LoadFtpDownloads() {}

void frmMain::WriteFtpPutFile(const QString&) {}

void frmMain::mnuFTPSend_Click()
{
    const QString path = st.folders.TempFolder + QStringLiteral("ftp.dat");
    QFile::remove(path);
    WriteFtpPutFile(path);
    ShowFtpWindow(true);
    QFile::remove(path);
}

}  // namespace quillon
