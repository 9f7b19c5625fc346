// Start-up and shutdown of the main window.
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>

#include "app/Settings.h"
#include "app/ToolbarIcons.h"
#include "app/frmMain.h"
#include "files/Manual.h"
#include "platform/Odbc.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::Form_Load()
{
    PreviousWindowState = 0;
    // The cause first: the steps below that need a missing folder say nothing of its files.
    if (!st.folders.Unusable.isEmpty())
        dlg.MsgBox(QStringLiteral("These data folders could not be created:\r\n")
                       + st.folders.Unusable.join(QStringLiteral("\r\n")),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Data Folders"));
    lblFile->clear();
    lblPageOf->clear();
    ReadStartupSettings(st);
    st.records.Reset(1);
    fraTCPIP->setVisible(mnuViewTCPIPWindow->isChecked());
    for (int b : {3, 4, 6, 9, 12, 13, 15, 16, 18})
        tbarButtons[static_cast<size_t>(b)]->setEnabled(false);

    const bool ensemble = platform::IsEnsembleOdbcDriverInstalled();
    tbarButtons[18]->setVisible(true);
    mnuOpenFromEnsemble->setVisible(true);
    tbarButtons[18]->setEnabled(ensemble);
    mnuOpenFromEnsemble->setEnabled(ensemble);

    st.delimiters.ResetToDefaults();
    mnuEditRepeatLastSearch->setEnabled(false);
    ClearListsAndRange();

    FillViewsMenu();
    FillReportsMenu();

    QString serverConfig = st.folders.ServersFolder + QStringLiteral("default.server");
    LoadServerConfiguration(serverConfig);
    QString clientConfig = st.folders.ClientsFolder + QStringLiteral("default.client");
    LoadClientConfiguration(clientConfig);
    LoadOptions();
    if (!mnuOptionsDisplayButtonCaptions->isChecked())
        for (int b = 1; b <= 16; ++b)
            if (QAction* button = tbarButtons[static_cast<size_t>(b)])
                button->setText(QString());
    SetToolbarCaptionStyle(*tbarTools, mnuOptionsDisplayButtonCaptions->isChecked(),
                           tbarButtons[18]);
    tbarTools->setVisible(mnuOptionsDisplayToolbar->isChecked());
    tbarTools->setEnabled(mnuOptionsDisplayToolbar->isChecked());
    SetStartUpToolbarLayout(mnuOptionsDisplayToolbar->isChecked());
    ResizeForm();

    MRUCount = -1;
    if (mnuOptionsUseMFU->isChecked())
        LoadMRUList();
    LastSearchListName.clear();
    GetTextEditorForViewer();
    LoadDescriptionFiles();
    InstallManual(st.folders.DocumentationFolder);
    st.undo.UndoEnabled = true;
    // Undo files of this instance's id left by an earlier run, and those of instances that
    // are no longer running; another running instance keeps its own.
    if (st.session.InstanceId.isEmpty())
        st.session.InstanceId = UndoInstanceId();
    DeleteUndoFiles(st.folders.TempFolder, st.session.InstanceId);
    DeleteOrphanUndoFiles(st.folders.TempFolder);
    QFile::remove(st.folders.TempFolder + QStringLiteral("ftp.dat"));
}

void frmMain::Form_Activate()
{
    if (st.session.CommandLineFile.isEmpty())
        return;
    // A quoted path with blanks becomes the bare path; the whole text is one file name.
    const QString sFileName = QString(st.session.CommandLineFile).remove(QLatin1Char('"'));
    // The file is tried once: a load that fails has shown its message and is not retried at
    // the next activation.
    const FileStamp stamp = TakeFileStamp(sFileName);  // before the read, as File > Open does
    const bool loaded = LoadHL7File(sFileName);
    st.session.CommandLineFile.clear();
    if (loaded) {
        st.session.CurrentFileName = sFileName;
        recordsFile_ = stamp;
        if (mnuOptionsUseMFU->isChecked())
            AddToMRUList(sFileName);
        StartEmptyUndoRing();
    }
    SetButtonEnabledStatus();
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    st.ftp.FtpSourceDescription.clear();
    QFile::remove(st.folders.TempFolder + QStringLiteral("MultipleFiles"));
}

void frmMain::StartEmptyUndoRing()
{
    // Copies still on their way are not wanted any more; the sorted file still is.
    backgroundWrites_.Stop([](int tag) { return tag < UndoRing::Slots; });
    // The records are new: nothing of the last change can be taken back.
    pendingChange_.reset();
    for (int slot = 0; slot < UndoRing::Slots; ++slot)
        AwaitWrites(slot);
    undoSnapshots_.fill(nullptr);
    st.undo.StartEmpty(st.folders.TempFolder, st.session.InstanceId);
    tbarButtons[6]->setEnabled(false);
    mnuEditUndo->setEnabled(false);
}

void frmMain::ShutDown(bool savePlace)
{
    if (exiting_)
        return;
    exiting_ = true;
    {
        // The options, the recent files and the window's place in one write of the file.
        platform::SettingsStore::Batch batch(st.settings);
        if (savePlace)
            SaveFrmPos(this, QStringLiteral("frmMain"));
        SaveMRUList();
        SaveOptions();
        QString reason;
        if (!batch.End(&reason))
            dlg.MsgBox(QStringLiteral("The options and recent files could not be saved to '%1': %2")
                           .arg(st.settings.Path(), reason),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Save to Disk"));
    }
    backgroundWrites_.Stop([](int tag) { return tag < UndoRing::Slots; });
    backgroundWrites_.WaitUntilAtMost(0);
    DeleteUndoFiles(st.folders.TempFolder, st.session.InstanceId);
}

void frmMain::mnuFileExit_Click()
{
    // A send run in progress is stopped first; the exit follows when the run has ended.
    if (st.client.Sending) {
        pendingExit_ = true;
        cmdStop_Click();
        return;
    }
    ShutDown(false);
    QApplication::exit(0);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (st.client.Sending) {
        pendingClose_ = true;
        cmdStop_Click();
        event->ignore();
        return;
    }
    // The window's place joins the options in the one write of the settings file.
    ShutDown(true);
    event->accept();
    QApplication::exit(0);
}

}  // namespace quillon
