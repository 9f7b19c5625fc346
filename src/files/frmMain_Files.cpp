// File > New, Open, the recent-files list, Save and Save As.
#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "files/OpenPipeline.h"
#include "files/SaveRecords.h"
#include "platform/FileIO.h"
#include "platform/Unzip.h"
#include "records/Pages.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const QString kMultipleFiles = QStringLiteral("MultipleFiles.dat");
const QString kMruSection = QStringLiteral("MRUFiles");

QString FolderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Says so when one of `paths` is no file whose bytes can be read (a named pipe would keep the
// window waiting for a writer for good), before any of them is read or copied.
bool RefusedAsNoFile(platform::Dialogs& dlg, const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString reason = platform::NotAFileReason(path);
        if (reason.isEmpty())
            continue;
        dlg.MsgBox(QStringLiteral("The file '%1' cannot be read: %2").arg(path, reason),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Read File"));
        return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// File > New

void frmMain::mnuFileNew_Click()
{
    ClearListsAndRange();
    stsPanels[4]->clear();
    st.records.RecordCount = 0;
    lblFile->clear();
    lblPageOf->clear();
    setWindowTitle(QStringLiteral("Quillon"));
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    st.ftp.FtpSourceDescription.clear();
    mnuViewsDisable_Click();
    tbarButtons[4]->setText(QStringLiteral("Print"));
    for (int b : {4, 3, 9, 12, 13, 15, 16, 6})
        tbarButtons[static_cast<size_t>(b)]->setEnabled(false);
    mnuEditUndo->setEnabled(false);
    mnuViewsDisable->setEnabled(false);
    st.records.Reset(100);
    for (QPushButton* b : {cmdFirstPage, cmdNextPage, cmdPrevPage, cmdLastPage})
        b->setEnabled(false);
}

// ---------------------------------------------------------------------------------------------
// File > Open

void frmMain::mnuFileOpen_Click()
{
    const ArrivalsHold arrivals(*this);
    AwaitWrites();  // the file chosen may be one still being written
    const QString& working = st.folders.Files2LoadFolder;
    EmptyFolder(working);
    mnuViewsDisable_Click();

    const FileTypeList types =
        BuildFileTypeList(st.options.DefaultExtensions, st.options.DefaultExtension);
    platform::FileDialogRequest request;
    request.multiple = true;
    request.title = QStringLiteral("File Open");
    request.folder = st.options.LastFileOpenPath;
    request.patterns = types.patterns;
    request.selectedPattern = types.selected;
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;  // Cancel

    st.options.LastFileOpenPath = FolderOf(chosen.front());
    st.session.LockedFieldName.clear();
    stsPanels[5]->clear();
    stsPanels[4]->clear();
    if (RefusedAsNoFile(dlg, chosen))
        return;

    const bool anyCompressed =
        std::any_of(chosen.begin(), chosen.end(), [](const QString& f) { return IsCompressedName(f); });
    if (!anyCompressed && chosen.size() == 1) {
        sFileName = chosen.front();
        LoadAndRemember(sFileName, sFileName);
        return;
    }
    if (anyCompressed) {
        for (const QString& file : chosen) {
            const QString copy = working + QFileInfo(file).fileName();
            QFile::remove(copy);
            if (QString error; !CopyToWorkingFolder(file, copy, &error)) {
                dlg.MsgBox(QStringLiteral("The file '%1' could not be copied into the working "
                                          "folder '%2': %3")
                               .arg(file, working, error),
                           MsgButtons::OKOnly, MsgIcon::Exclamation,
                           QStringLiteral("Can't Copy File"));
                return;
            }
        }
    } else {
        QStringList names;
        for (const QString& file : chosen)
            names << QFileInfo(file).fileName();
        const QString folder = FolderOf(chosen.front()) + QLatin1Char('/');
        QStringList ordered;
        for (const QString& name : SortOrdinal(names))
            ordered << folder + name;
        QString error;
        if (!JoinFiles(ordered, working + kMultipleFiles, &error)) {
            dlg.MsgBox(QStringLiteral("The chosen files could not be joined: ") + error,
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Join Files"));
            return;
        }
    }
    LoadFromWorkingFolder();
}

bool frmMain::LoadFromWorkingFolder(const QString& rememberedName, bool remember)
{
    const QString& working = st.folders.Files2LoadFolder;
    Decompressors tools;
    tools.gunzip = [](const QString& path, QString* errorOutput) {
        if (QStandardPaths::findExecutable(QStringLiteral("gzip")).isEmpty())
            return -1;
        const int code = RunGunzip(path, 120000, errorOutput);
        // A gzip that hung or crashed leaves its file compressed; the next pass names it.
        return code == -1 ? 124 : code;
    };
    tools.whyNotWritten = [](const QString& path, const QString& gzipSaid) {
        return GunzipWriteFailure(path, gzipSaid);
    };
    tools.unzip = [this](const QString& path, const QString& folder, QString* message) {
        platform::CGUnzipFiles unzip(dlg);
        unzip.setZipFileName(path);
        unzip.setExtractDir(folder);
        unzip.setHonorDirectories(false);
        const int32_t rc = unzip.Unzip();
        *message = unzip.GetLastMessage();
        return static_cast<int>(rc);
    };
    tools.zipFailed = [this](const QString& message) {
        dlg.MsgBox(message, MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
    };

    auto gzipMissing = [this](int code) {
        dlg.MsgBox(QStringLiteral("Can not find the 'gzip' program used to unzip/uncompress the "
                                  "file.  Therefor, the HL7 messages can not be displayed.  ")
                       + QStringLiteral("(retval=%1)").arg(code),
                   MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Can't Find Program"));
    };
    auto notCompressed = [this](int code) {
        dlg.MsgBox(QStringLiteral("The file does not appear to be a zipped/compressed file.  "
                                  "Therefor, the HL7 messages can not be displayed.  ")
                       + QStringLiteral("(retval=%1)").arg(code),
                   MsgButtons::OKOnly, MsgIcon::Critical,
                   QStringLiteral("Can't Unzip/Uncompress File"));
    };
    auto damaged = [this](const QString& file, const QString& reason, int code) {
        dlg.MsgBox(QStringLiteral("The compressed file '%1' is damaged: %2.  Therefor, the HL7 "
                                  "messages can not be displayed.  ")
                           .arg(QFileInfo(file).fileName(), reason)
                       + QStringLiteral("(retval=%1)").arg(code),
                   MsgButtons::OKOnly, MsgIcon::Critical,
                   QStringLiteral("Can't Unzip/Uncompress File"));
    };
    auto notDecompressed = [this](const QString& file, int code, const QString& reason) {
        dlg.MsgBox(QStringLiteral("The file '%1' could not be decompressed.  Therefor, the HL7 "
                                  "messages can not be displayed.  ")
                           .arg(QFileInfo(file).fileName())
                       + QStringLiteral("(retval=%1)").arg(code)
                       + (reason.isEmpty() ? QString() : QStringLiteral("\r\n\r\n") + reason),
                   MsgButtons::OKOnly, MsgIcon::Critical,
                   QStringLiteral("Can't Unzip/Uncompress File"));
    };

    // One gzip file that decompresses to a plain one (the usual case) is loaded while gzip
    // writes it, so the load overlaps the decompression; what is left on disk is the same.
    if (const QStringList files = ListFolderFiles(working);
        files.size() == 1 && IsGzipName(files.front())
        && !IsCompressedName(GunzipOutputName(files.front()))
        && !QStandardPaths::findExecutable(QStringLiteral("gzip")).isEmpty()) {
        GunzipStream gunzip;
        if (gunzip.Start(files.front())) {
            const QString plain = GunzipOutputName(files.front());
            const bool loaded = LoadHL7File(plain, &gunzip);
            const int code = gunzip.ExitCode();
            if (code != 0 || !QFileInfo::exists(plain)) {
                // Whatever gzip complained of, what it wrote is not trusted as the records.
                if (loaded)
                    ShowNothingLoaded();
                const QString said = gunzip.ErrorOutput();
                const QString damage = GzipReason(said);
                // Out of space is not bad data: gzip says 1 for both.
                const QString reason = code == 1 && !GzipFoundNoCompressedData(damage)
                                           ? GunzipWriteFailure(files.front(), said.trimmed())
                                           : QString();
                if (code == 1 && GzipFoundNoCompressedData(damage))
                    notCompressed(code);
                else if (code == 1 && reason.isEmpty())
                    damaged(files.front(), damage, code);
                else
                    // A gzip that crashed leaves its file compressed, like the loop's timeout.
                    notDecompressed(files.front(), code == -1 ? 124 : code, reason);
                return false;
            }
            sFileName = plain;
            FinishOpen(loaded, sFileName, rememberedName.isEmpty() ? sFileName : rememberedName, remember);
            return loaded;
        }
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const DecompressOutcome outcome = DecompressFolder(working, tools);
    QApplication::restoreOverrideCursor();
    switch (outcome.kind) {
    case DecompressOutcome::Kind::Empty:
        return false;
    case DecompressOutcome::Kind::GzipMissing:
        gzipMissing(outcome.exitCode);
        return false;
    case DecompressOutcome::Kind::NotCompressed:
        notCompressed(outcome.exitCode);
        return false;
    case DecompressOutcome::Kind::Damaged:
        damaged(outcome.failedFile, outcome.reason, outcome.exitCode);
        return false;
    case DecompressOutcome::Kind::ZipDamaged:  // the archive's own message has been shown
        return false;
    case DecompressOutcome::Kind::Failed:
    case DecompressOutcome::Kind::Stuck:
        notDecompressed(outcome.failedFile, outcome.exitCode, outcome.reason);
        return false;
    case DecompressOutcome::Kind::Done:
        break;
    }
    if (outcome.files.size() == 1) {
        sFileName = outcome.files.front();
    } else {
        // Joined beside the result, which it replaces once whole: one of the parts may itself be
        // named like it.
        sFileName = working + kMultipleFiles;
        if (QString error; !JoinFiles(outcome.files, sFileName, &error)) {
            dlg.MsgBox(QStringLiteral("The files could not be joined: ") + error,
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Join Files"));
            return false;
        }
    }
    return LoadAndRemember(sFileName, rememberedName.isEmpty() ? sFileName : rememberedName, remember);
}

bool frmMain::LoadAndRemember(const QString& path, const QString& rememberedName, bool remember)
{
    // Taken before the read: a file that grows while it is read counts as changed since.
    const FileStamp stamp = TakeFileStamp(path);
    const bool loaded = LoadHL7File(path);
    FinishOpen(loaded, path, rememberedName, remember, stamp);
    return loaded;
}

void frmMain::FinishOpen(bool loaded, const QString& path, const QString& rememberedName,
                         bool remember, const FileStamp& stamp)
{
    if (loaded) {
        st.session.CurrentFileName = path;
        recordsFile_ = stamp;
        if (remember && mnuOptionsUseMFU->isChecked())
            AddToMRUList(rememberedName);
        StartEmptyUndoRing();
    }
    SetButtonEnabledStatus();
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    QFile::remove(st.folders.TempFolder + QStringLiteral("MultipleFiles"));
}

// ---------------------------------------------------------------------------------------------
// The recent-files list

int frmMain::FindInMRUList(const QString& path) const
{
    for (int i = 0; i <= MRUCount; ++i)
        if (NameOfItem(mnuMRU[static_cast<size_t>(i)]).toUpper() == path.toUpper())
            return i;
    return -1;
}

void frmMain::AddToMRUList(const QString& path)
{
    const int i = FindInMRUList(path);
    if (i == -1)
        InsertMRUItem(path);
    else
        MoveMRUItemToTop(path, i);
}

void frmMain::InsertMRUItem(const QString& path)
{
    if (MRUCount < static_cast<int32_t>(mnuMRU.size()) - 1) {
        ++MRUCount;
        mnuMRU[static_cast<size_t>(MRUCount)]->setVisible(true);
        mnuDash2->setVisible(true);
    }
    MoveMRUItemToTop(path, MRUCount);
}

void frmMain::MoveMRUItemToTop(const QString& path, int index)
{
    for (int i = index; i >= 1; --i)
        SetItemName(mnuMRU[static_cast<size_t>(i)], NameOfItem(mnuMRU[static_cast<size_t>(i - 1)]));
    SetItemName(mnuMRU[0], path);
}

void frmMain::LoadMRUList()
{
    for (int key = 3; key >= 0; --key) {
        const QString value = st.settings.Get(QStringLiteral("Quillon"), kMruSection,
                                              QString::number(key), QString());
        if (!value.isEmpty())
            AddToMRUList(value);
    }
}

void frmMain::SaveMRUList()
{
    for (int i = 0; i <= MRUCount; ++i)
        st.settings.Save(QStringLiteral("Quillon"), kMruSection, QString::number(i),
                         NameOfItem(mnuMRU[static_cast<size_t>(i)]));
}

void frmMain::mnuMRU_Click(int index)
{
    const ArrivalsHold arrivals(*this);
    if (index < 0 || index > MRUCount || st.session.AdminSwitches[AdminFileOpen])
        return;
    mnuViewsDisable_Click();
    const QString path = NameOfItem(mnuMRU[static_cast<size_t>(index)]);
    MoveMRUItemToTop(path, index);
    stsPanels[4]->clear();
    if (!IsCompressedName(path)) {
        LoadAndRemember(path, path);
        return;
    }
    // A compressed file is decompressed in the working folder like any Open; nothing in the
    // user's own folder is deleted or decompressed in place.
    const QString& working = st.folders.Files2LoadFolder;
    if (RefusedAsNoFile(dlg, {path}))
        return;
    if (!QFileInfo::exists(path)) {
        LoadHL7File(path);  // says the file does not exist
        return;
    }
    EmptyFolder(working);
    if (QString error;
        !CopyToWorkingFolder(path, working + QFileInfo(path).fileName(), &error)) {
        dlg.MsgBox(QStringLiteral("The file '%1' could not be copied into the working folder "
                                  "'%2': %3")
                       .arg(path, working, error),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Copy File"));
        return;
    }
    // The entry keeps naming the user's compressed file.
    LoadFromWorkingFolder(path);
}

// ---------------------------------------------------------------------------------------------
// Saving

bool frmMain::MayOverwrite(const QString& path)
{
    // Records added to the file by someone else since (a log, an interface's output) would be
    // gone without a word.
    if (!ChangedSince(recordsFile_, path))
        return true;
    return dlg.MsgBoxDefault(
               QStringLiteral("The file '%1' has changed since it was loaded or saved. "
                              "Saving now replaces those changes.\r\n\r\n"
                              "Do you want to save anyway?")
                   .arg(path),
               MsgButtons::YesNo, MsgIcon::Exclamation, QStringLiteral("File Changed"),
               platform::MsgAnswer::No)
           == platform::MsgAnswer::Yes;
}

bool frmMain::WriteRecordsTo(const QString& path, const std::vector<std::string_view>& records,
                             bool progress, QString* error, int* errorCode)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int lastPercent = -1;
    const size_t total = records.size();
    const WriteResult result = WriteRecordsFile(
        path, records, st.envelope, st.options.DiskUseEnvelope, [&](size_t written) {
            if (!progress)
                return;
            const int percent = static_cast<int>(written * 100 / total);
            if (percent != lastPercent) {
                lastPercent = percent;
                stsPanels[1]->setText(QStringLiteral("Saving %1%").arg(percent));
            }
        });
    if (progress)
        stsPanels[1]->clear();
    QApplication::restoreOverrideCursor();
    if (!result.ok) {
        *error = result.message;
        *errorCode = static_cast<int>(result.error);
    }
    return result.ok;
}

void frmMain::SaveRecords(bool all)
{
    // The records to write, taken once the dialog has closed: while it is open window events run
    // and records may arrive.
    const auto recordsToSave = [this, all] {
        std::vector<std::string_view> records;
        if (all) {
            records = st.records.AllRecords();
        } else {
            for (int row = 0; row < lstRecords->count(); ++row) {
                const int32_t k = RecordAt(CurrentPage, row);
                if (lstRecords->item(row)->isSelected() && k <= st.records.RecordCount)
                    records.push_back(st.records.Record(k));
            }
        }
        return records;
    };
    if (all ? st.records.RecordCount == 0 : recordsToSave().empty()) {
        dlg.MsgBox(all ? QStringLiteral("There are no records to save.")
                       : QStringLiteral("No records were selected for saving."),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("No Records to Save"));
        return;
    }
    const FileTypeList types =
        BuildFileTypeList(st.options.DefaultExtensions, st.options.DefaultExtension);
    platform::FileDialogRequest request;
    request.save = true;
    request.title = QString(all ? QStringLiteral("Save All Records")
                                : QStringLiteral("Save Selected Records"))
        + (st.options.DiskUseEnvelope ? QStringLiteral(" (with envelope characters)")
                                      : QStringLiteral(" (w/o envelope characters)"));
    request.folder = st.options.LastFileSavePath;
    request.patterns = types.patterns;
    request.selectedPattern = types.selected;
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;  // Cancel
    const QString path = chosen.front();

    AwaitWrites();  // a file still being written must not replace this one afterwards
    if (!MayOverwrite(path))
        return;
    const std::vector<std::string_view> records = recordsToSave();
    if (records.empty())
        return;
    QString error;
    int code = 0;
    if (!WriteRecordsTo(path, records, all, &error, &code)) {
        // The records were not saved: the user is told, and the current file stays the one the
        // records came from.
        dlg.MsgBox(QStringLiteral("The records could not be saved to '%1': %2").arg(path, error),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Save to Disk"));
        return;
    }
    recordsFile_ = TakeFileStamp(path);
    st.options.LastFileSavePath = FolderOf(path) + QLatin1Char('/');
    st.session.CurrentFileName = path;
    setWindowTitle(QStringLiteral("Quillon - ") + path);
}

void frmMain::mnuFileSave_Click()
{
    SaveRecords(true);
}

void frmMain::mnuRecordListSaveAllRecords_Click()
{
    SaveRecords(true);
}

void frmMain::mnuRecordListSaveSelectedRecords_Click()
{
    SaveRecords(false);
}

void frmMain::mnuFileSaveNow_Click()
{
    const QString caption = windowTitle();
    const QString& current = st.session.CurrentFileName;
    // Records that did not come from a file of their own, or whose file is a working copy that
    // the next Open empties, are saved through the dialog.
    if (caption.contains(QLatin1String("data pasted from clipboard"))
        || caption.contains(QLatin1String("Data from TCP/IP"))
        || caption.contains(QLatin1String("Quillon - FTP Get -")) || current.isEmpty()
        || LiesInFolder(current, st.folders.Files2LoadFolder)
        || LiesInFolder(current, st.folders.TempFolder)
        || LiesInFolder(current, st.folders.FTPFolder)) {
        mnuFileSave_Click();
        return;
    }
    sFileName = current;
    AwaitWrites();  // a file still being written must not replace this one afterwards
    if (!MayOverwrite(current))
        return;
    const std::vector<std::string_view> records = st.records.AllRecords();
    QString error;
    int code = 0;
    if (WriteRecordsTo(current, records, true, &error, &code)) {
        recordsFile_ = TakeFileStamp(current);
        return;
    }
    const auto fileError = static_cast<QFileDevice::FileError>(code);
    if (fileError == QFileDevice::PermissionsError)
        dlg.MsgBox(QStringLiteral("Can't save to that drive because it is write protected."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Save to Disk"));
    else if (fileError == QFileDevice::OpenError || fileError == QFileDevice::WriteError
             || fileError == QFileDevice::ResourceError)
        dlg.MsgBox(QStringLiteral("Can't save to that drive.\r\n") + error, MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Can't Save to Disk"));
    else
        dlg.MsgBox(QStringLiteral("Unanticipated error in mnuFileSaveNow: %1 %2.\r\nPlease "
                                  "contact Tech Support")
                       .arg(code)
                       .arg(error),
                   MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Error"));
}

// ---------------------------------------------------------------------------------------------
// The toolbar

void frmMain::tbarTools_ButtonClick(int index)
{
    QApplication::processEvents();
    switch (index) {
    case 1:
        mnuFileNew_Click();
        break;
    case 2:
        if (!st.session.AdminSwitches[AdminFileOpen])
            mnuFileOpen_Click();
        break;
    case 3: {
        const QString caption = windowTitle();
        if (caption.contains(QLatin1String("data pasted from clipboard"))
            || caption.contains(QLatin1String("TCP/IP"))
            || caption.contains(QLatin1String("Quillon - FTP Get -"))
            || st.session.CurrentFileName.isEmpty())
            mnuFileSave_Click();
        else
            mnuFileSaveNow_Click();
        break;
    }
    case 4: {
        // The list in use, not the button's caption: the caption is empty when captions are off.
        const QString& list = st.session.FocusedListName;
        if (list == QLatin1String("lstSegments"))
            mnuSegmentListPrint_Click();
        else if (list == QLatin1String("lstFields"))
            mnuFieldListPrint_Click();
        else
            mnuRecordListPrint_Click();
        break;
    }
    case 6:
        mnuEditUndo_Click();
        break;
    case 8:
        mnuFTPReceive_Click();
        break;
    case 9:
        mnuFTPSend_Click();
        break;
    case 15:
        mnuFieldListPrintReport_Click();
        break;
    case 16:
        mnuFieldListCreateView_Click();
        break;
    case 18:
        mnuOpenFromEnsemble_Click();
        break;
    case 10:
        mnuTCPIPShowFrame_Click();
        break;
    case 12:
        mnuEditFilterRecordList_Click();
        break;
    case 13:
        if (tbarButtons[13]->text() == QLatin1String("Field(s)"))
            mnuFieldListFind_Click();
        else
            mnuRecordListFind_Click();
        break;
    default:
        break;
    }
}

}  // namespace quillon
