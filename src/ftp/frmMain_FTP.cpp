// The main window's FTP commands: FTP Get and FTP Put open the FTP window modally.
#include <QCoreApplication>
#include <QFile>

#include "app/frmMain.h"
#include "editing/WindowText.h"
#include "files/OpenPipeline.h"
#include "ftp/FtpTransfers.h"
#include "ftp/frmFTP.h"

namespace quillon {

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
    w->desktop = &desktop;
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
    {
        const ArrivalsAside aside(*this);
        w->exec();
    }
    if (FtpWindow && w->Unloaded()) delete w;
}

void frmMain::FtpGet()
{
    const ArrivalsHold arrivals(*this);
    mnuViewsDisable_Click();
    EmptyFolder(st.folders.Files2LoadFolder);
    EmptyFolder(st.folders.FTPFolder);
    st.ftp.FtpSourceDescription.clear();
    ShowFtpWindow(false);
    QCoreApplication::processEvents();
    if (FtpCancelled) return;
    LoadFtpDownloads();
}

void frmMain::LoadFtpDownloads()
{
    // The same decompression, joining and load as File > Open, without the recent-files list:
    // the downloads are working copies that the next Get empties.
    FtpGetLoading = true;
    const bool loaded = LoadFromWorkingFolder({}, false);
    FtpGetLoading = false;
    if (!loaded) return;
    setWindowTitle(QStringLiteral("Quillon - FTP Get - ") + st.ftp.FtpSourceDescription);
    lblTCPIPcount->setText(QStringLiteral("Count:"));
}

bool frmMain::WriteFtpPutFile(const QString& path)
{
    WriteResult written;
    {
        const WaitCursor wait;
        written = quillon::WriteFtpPutFile(path, st.records.AllRecords(), st.envelope, st.options.FtpUseEnvelope);
    }
    if (written.ok) return true;
    dlg.MsgBox(QStringLiteral("The records could not be written to the file '%1' for the upload, so nothing "
                              "was sent.\r\n\r\n%2")
                   .arg(path, written.message),
               platform::MsgButtons::OKOnly, platform::MsgIcon::Exclamation, QStringLiteral("FTP Put Failed"));
    return false;
}

void frmMain::mnuFTPSend_Click()
{
    const QString path = st.folders.TempFolder + QStringLiteral("ftp.dat");
    QFile::remove(path);
    if (WriteFtpPutFile(path)) ShowFtpWindow(true);
    QFile::remove(path);
}

}  // namespace quillon
