// Start-up and shutdown of the main window.
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>

#include "app/Settings.h"
#include "app/frmMain.h"
#include "files/Manual.h"
#include "platform/Odbc.h"

namespace quillon {

namespace {

// Fills a menu's item array with the names of the files in `folder` that end in `suffix`
// (the name up to its first `suffix`), in the order the folder lists them, at most ten.
int ListSavedFiles(const QString& folder, const QString& suffix, std::array<QAction*, 10>& items)
{
    const QStringList files = QDir(folder).entryList({QLatin1Char('*') + suffix},
                                                     QDir::Files | QDir::NoDotAndDotDot,
                                                     QDir::Unsorted);
    int n = 0;
    for (const QString& file : files) {
        if (n == static_cast<int>(items.size()))
            break;
        items[static_cast<size_t>(n)]->setText(file.left(file.indexOf(suffix)));
        items[static_cast<size_t>(n)]->setVisible(true);
        ++n;
    }
    for (size_t i = static_cast<size_t>(n); i < items.size(); ++i)
        items[i]->setVisible(false);
    return n;
}

}  // namespace

void frmMain::Form_Load()
{
    PreviousWindowState = 0;
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

    const int views = ListSavedFiles(st.folders.ViewsFolder, QStringLiteral(".view"), mnuViewsView);
    mnuViewsDash1->setVisible(views > 0);
    mnuViewsDelete->setVisible(true);
    mnuViewsDelete->setEnabled(views > 0);
    const int reports =
        ListSavedFiles(st.folders.ReportsFolder, QStringLiteral(".report"), mnuReportsReport);
    mnuReportsDash1->setVisible(reports > 0);
    mnuReportsDash2->setVisible(reports > 0);
    mnuReportsDelete->setVisible(true);
    mnuReportsDelete->setEnabled(reports > 0);

    QString serverConfig = st.folders.ServersFolder + QStringLiteral("default.server");
    LoadServerConfiguration(serverConfig);
    QString clientConfig = st.folders.ClientsFolder + QStringLiteral("default.client");
    LoadClientConfiguration(clientConfig);
    LoadOptions();
    if (!mnuOptionsDisplayButtonCaptions->isChecked())
        for (int b = 1; b <= 16; ++b)
            if (QAction* button = tbarButtons[static_cast<size_t>(b)])
                button->setText(QString());
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
    const bool loaded = LoadHL7File(sFileName);
    st.session.CommandLineFile.clear();
    if (loaded) {
        st.session.CurrentFileName = sFileName;
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
    st.undo.StartEmpty(st.folders.TempFolder, st.session.InstanceId);
    tbarButtons[6]->setEnabled(false);
    mnuEditUndo->setEnabled(false);
}

void frmMain::ShutDown()
{
    if (exiting_)
        return;
    exiting_ = true;
    {
        const platform::SettingsStore::Batch batch(st.settings);
        SaveMRUList();
        SaveOptions();
    }
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
    ShutDown();
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
    const platform::SettingsStore::Batch batch(st.settings);
    if (!exiting_)
        SaveFrmPos(this, QStringLiteral("frmMain"));
    ShutDown();
    event->accept();
    QApplication::exit(0);
}

}  // namespace quillon
