// The main window's record side: loading a file, the pages of the record list and the
// small list procedures the commands share.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>

#include "app/ListBox.h"
#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "files/TextEditor.h"
#include "platform/FileIO.h"
#include "records/FieldLines.h"
#include "records/HL7Loader.h"
#include "records/Pages.h"

namespace quillon {

using platform::MsgAnswer;


using platform::MsgButtons;
using platform::MsgIcon;

// What the loader asks of the window while it reads.
class LoaderWindowHost : public LoadHost {
public:
    explicit LoaderWindowHost(frmMain& w) : w_(w) {}

    void BeginPass() override
    {
        if (!began)
            shownBefore = w_.TakeShownRecords();
        began = true;
        w_.BeginLoadPass();
    }

    bool AskLoadNonHL7() override
    {
        w_.lstRecords->setEnabled(true);
        return w_.dlg.MsgBox(
                   QStringLiteral("The file that you are trying to load contains non-HL7 "
                                  "information.\r\n\r\nDo you want to try to load any HL7 "
                                  "records that can be found in the file?"),
                   MsgButtons::YesNo, MsgIcon::Exclamation,
                   QStringLiteral("Attempt to Load Non-HL7 File"))
               == MsgAnswer::Yes;
    }

    void RecordStored(std::string_view record, int32_t recordCount) override
    {
        if (w_.st.trace.LogMessage)
            WriteLog(w_.st, "MSG",
                     "SERVER: The following record has been received: " + std::string(record));
        if (w_.st.trace.LogMessageASCII)
            for (const auto& [category, text] : CharacterDumpLines(record))
                WriteLog(w_.st, category, text);
        if (recordCount % 10 != 0)
            return;
        w_.lblFile->setText(
            QStringLiteral("Rec %1/%2").arg(w_.lstRecords->currentRow() + 1).arg(recordCount));
        // Repaint now and then; user input waits until the load is done.
        if (w_.loadEventsTimer_.elapsed() >= 40) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            w_.loadEventsTimer_.restart();
        }
    }

    // A large store's records go beside the window: giving back hundreds of megabytes takes a
    // while.
    void Replaced(std::vector<RecordText>&& records) override
    {
        w_.DiscardBeside(std::move(records), true);
    }

    bool began = false;  // a pass has cleared the lists
    frmMain::ShownBeforeLoad shownBefore;

private:
    frmMain& w_;
};

void frmMain::ClearListsAndRange()
{
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->clear();
    }
    lstSegments->clear();
    lstFields->clear();
    txtStartWithRecord->clear();
    txtEndWithRecord->clear();
    chkSendSelectedOnly->setChecked(true);
    mnuFieldListLockFieldLocation->setChecked(false);
    stsPanels[5]->clear();
}

frmMain::ShownBeforeLoad frmMain::TakeShownRecords()
{
    ShownBeforeLoad shown;
    for (auto [list, into] : {std::pair{lstRecords, &shown.records},
                              std::pair{lstSegments, &shown.segments},
                              std::pair{lstFields, &shown.fields}}) {
        const QSignalBlocker block(list);
        *into = list->TakeShown();
    }
    shown.file = lblFile->text();
    shown.pageOf = lblPageOf->text();
    shown.startWith = txtStartWithRecord->text();
    shown.endWith = txtEndWithRecord->text();
    shown.panel5 = stsPanels[5]->text();
    shown.sendSelectedOnly = chkSendSelectedOnly->isChecked();
    shown.fieldLocked = mnuFieldListLockFieldLocation->isChecked();
    shown.recordsEnabled = lstRecords->isEnabled();
    return shown;
}

void frmMain::PutBackShownRecords(ShownBeforeLoad&& shown)
{
    for (auto [list, from] : {std::pair{lstRecords, &shown.records},
                              std::pair{lstSegments, &shown.segments},
                              std::pair{lstFields, &shown.fields}}) {
        const QSignalBlocker block(list);
        list->PutBack(std::move(*from));
    }
    lblFile->setText(shown.file);
    lblPageOf->setText(shown.pageOf);
    // The check first: checking it empties the range.
    chkSendSelectedOnly->setChecked(shown.sendSelectedOnly);
    txtStartWithRecord->setText(shown.startWith);
    txtEndWithRecord->setText(shown.endWith);
    stsPanels[5]->setText(shown.panel5);
    mnuFieldListLockFieldLocation->setChecked(shown.fieldLocked);
    lstRecords->setEnabled(shown.recordsEnabled);
}

void frmMain::BeginLoadPass()
{
    lstRecords->setEnabled(false);
    ClearListsAndRange();
    lblFile->clear();
    lblPageOf->clear();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    loadEventsTimer_.start();
}

void frmMain::ShowLoadError(const QString& text, const QString& title)
{
    dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::Exclamation, title);
}

bool frmMain::LoadHL7File(const QString& pathIn, LoadSource* source)
{
    const ArrivalsHold arrivals(*this);
    // A load runs inside one event; window events it lets through must not start another.
    if (loading_)
        return false;
    loading_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{loading_};

    const QString path = pathIn;
    QApplication::setOverrideCursor(Qt::WaitCursor);

    // The records are collected apart and replace the shown ones only once the file has been
    // read to its end, so a file that cannot be read leaves the records as they were.
    LoaderWindowHost host(*this);
    platform::ReadResult read;
    LoadEnd end;
    try {
        end = source ? ParseHL7Source(*source, st.records, st.delimiters,
                                      st.envelope.EndOfBlockChar, host)
                     : LoadHL7FromFile(GetShortPath(path), st.records, st.delimiters,
                                       st.envelope.EndOfBlockChar, host, read);
    } catch (const std::bad_alloc&) {
        read = {platform::ReadError::OutOfMemory, {}};
        end = LoadEnd::ReadFailed;
    }
    QApplication::restoreOverrideCursor();
    if (end == LoadEnd::ReadFailed) {
        // A pass may have begun and cleared the lists: the kept records show as before, also
        // behind the message.
        if (host.began)
            PutBackShownRecords(std::move(host.shownBefore));
        switch (read.error) {
        case platform::ReadError::None:  // the caller's source failed: it reports why
            break;
        case platform::ReadError::FileNotFound:
            ShowLoadError(QStringLiteral("The file '%1' does not exist.").arg(path),
                          QStringLiteral("File Not Found"));
            break;
        case platform::ReadError::DirectoryNotFound:
            ShowLoadError(QStringLiteral("The directory that the file '%1' should be in does not "
                                         "exist. Please check it and try again.")
                              .arg(path),
                          QStringLiteral("Directory Not Found"));
            break;
        case platform::ReadError::OutOfMemory:
            ShowLoadError(QStringLiteral("The system is out of virtual memory.  The HL7 file that "
                                         "you are trying to load is too large to load. Please try "
                                         "closing other programs and trying again."),
                          QStringLiteral("Out of Memory"));
            break;
        default:
            ShowLoadError(QStringLiteral("The file '%1' cannot be read: %2").arg(path, read.detail),
                          QStringLiteral("Can't Read File"));
            break;
        }
        return false;
    }

    if (end == LoadEnd::NotHL7) {
        if (source)
            source->Complete();
        OfferViewer(path);
        return false;
    }

    ShowFirstPage(path.contains(QLatin1String("ftp.dat")) ? QString() : QStringLiteral("Quillon - ") + path);
    return true;
}

void frmMain::ShowFirstPage(const QString& caption)
{
    CurrentPage = 1;
    DisplayPage(CurrentPage);
    SetButtonEnabledStatus();
    lblFile->setText(QStringLiteral("Rec 1/%1").arg(st.records.RecordCount));
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (!st.session.AdminSwitches[AdminPrint] && mnuOptionsDisplayButtonCaptions->isChecked())
        tbarButtons[4]->setText(QStringLiteral("Rec(s)"));
    lstRecords->setEnabled(true);
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->setCurrentRow(0);
    }
    lstRecords_Click();
    st.session.FocusedListName = QStringLiteral("lstRecords");
    ResizeForm();
}

void frmMain::ShowNothingLoaded()
{
    st.records.RecordCount = 0;
    DisplayPage(CurrentPage);
    SetButtonEnabledStatus();
    lstRecords->setEnabled(true);
    setWindowTitle(QStringLiteral("Quillon"));
}

void frmMain::OfferViewer(const QString& path)
{
    const QString& editor = st.session.TextEditorForViewer;
    const QString text = QStringLiteral(
                             "The file that you are trying to load does not appear to contain HL7 "
                             "records.\r\n\r\nWould you like to try loading it into ")
                         + (editor.isEmpty() ? QStringLiteral("an appropriate viewer?") : editor);
    const MsgAnswer answer = dlg.MsgBox(text, MsgButtons::YesNo, MsgIcon::Exclamation,
                                        QStringLiteral("Attempt to Load Non-HL7 File"));
    // Nothing of the file was loaded: the window says so rather than keep the last caption.
    ShowNothingLoaded();

    if (answer == MsgAnswer::Yes) {
        const PlainFileOpening opening = OpenPlainFile(desktop, editor, GetShortPath(path));
        if (opening.ok)
            return;
        if (!opening.program.isEmpty()) {
            ShowLoadError(QStringLiteral("Unable to launch the viewer ") + editor
                              + QStringLiteral(". Please verify that it is correct and change "
                                               "it in the [Options|Select Default Text "
                                               "Editor] menu."),
                          QStringLiteral("Can't Find Viewer"));
        } else {
            ShowLoadError(QStringLiteral("No program could be started to open the file '%1'. "
                                         "Please choose a viewer in the [Options|Select Default "
                                         "Text Editor] menu.")
                              .arg(path),
                          QStringLiteral("Can't Find Viewer"));
        }
        return;
    }

    // Only FTP Get's own load goes back to the FTP window: the window stays loaded (hidden)
    // after a Get, and a later File > Open must not land in it.
    if (FtpGetLoading && st.ftp.FtpWindowCaption.contains(QLatin1String("FTP Get"))) {
        // The file is FTP Get's own download; only such a working copy is ever deleted.
        if (LiesInFolder(path, st.folders.Files2LoadFolder)
            || LiesInFolder(path, st.folders.FTPFolder))
            QFile::remove(path);
        mnuFTPReceive_Click();
    }
}

void frmMain::DisplayPage(int32_t& page)
{
    const int32_t count = st.records.RecordCount;
    auto setToolbar = [this](int button, bool enabled) {
        tbarButtons[static_cast<size_t>(button)]->setEnabled(enabled);
    };
    if (count == 0) {
        const QSignalBlocker block(lstRecords);
        lblPageOf->clear();
        lblFile->clear();
        lstRecords->clear();
        lstSegments->clear();
        lstFields->clear();
        stsPanels[5]->clear();
        for (int b : {3, 4, 9, 12, 13, 15, 16})
            setToolbar(b, false);
        return;
    }

    const QSignalBlocker block(lstRecords);
    lstRecords->setEnabled(false);
    lstRecords->clear();
    lstFields->clear();
    stsPanels[5]->clear();
    lstSegments->clear();

    if (page < 1)
        page = 1;
    int32_t first = RecordAt(page, 0);
    if (first > count) {
        page = (count - 1) / PageSize + 1;
        first = RecordAt(page, 0);
    }
    lstRecords->setUpdatesEnabled(false);
    for (int32_t row = 0; row < PageSize && first + row <= count; ++row)
        AddItemToList(lstRecords, DisplayText(st.records.Record(first + row), st.envelope.EndOfBlockChar));
    lstRecords->setUpdatesEnabled(true);

    lblPageOf->setText(QStringLiteral("Pg %1/%2").arg(page).arg(PageCount(count)));
    lstRecords->setEnabled(true);
    CurrentPage = page;
    SetButtonEnabledStatus();

    const bool rows = lstRecords->count() >= 1;
    const auto& admin = st.session.AdminSwitches;
    setToolbar(3, rows && !admin[AdminFileSave]);
    setToolbar(4, rows && !admin[AdminPrint]);
    setToolbar(9, rows && !admin[AdminFtpPut]);
    setToolbar(12, rows);
    setToolbar(13, rows);
    const bool fieldsSelected = !lstFields->selectedItems().isEmpty();
    setToolbar(15, fieldsSelected);
    setToolbar(16, fieldsSelected);
}

void frmMain::SetButtonEnabledStatus()
{
    const int32_t count = st.records.RecordCount;
    const int32_t pages = PageCount(count);
    cmdFirstPage->setEnabled(count != 0 && CurrentPage != 1);
    cmdPrevPage->setEnabled(count != 0 && CurrentPage > 1);
    cmdNextPage->setEnabled(count != 0 && CurrentPage < pages);
    cmdLastPage->setEnabled(count != 0 && pages > 1 && CurrentPage < pages);
}

void frmMain::SelectFirstRowAfterPageChange(bool unselectFirst)
{
    DisplayPage(CurrentPage);
    if (lstRecords->count() == 0)
        return;
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        if (unselectFirst)
            UnselectAllRecords();
        lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
    // Making row 0 current runs the selection handling, which fills the other two lists.
    lstRecords_Click();
}

void frmMain::cmdFirstPage_Click()
{
    if (CurrentPage > 1) {
        CurrentPage = 1;
        SelectFirstRowAfterPageChange(false);
    }
}

void frmMain::cmdPrevPage_Click()
{
    if (CurrentPage > 1) {
        --CurrentPage;
        SelectFirstRowAfterPageChange(false);
    }
}

void frmMain::cmdNextPage_Click()
{
    if (CurrentPage < PageCount(st.records.RecordCount)) {
        ++CurrentPage;
        SelectFirstRowAfterPageChange(true);
    }
}

void frmMain::cmdLastPage_Click()
{
    if (st.records.RecordCount / PageSize + 1 > CurrentPage) {
        CurrentPage = PageCount(st.records.RecordCount);
        SelectFirstRowAfterPageChange(false);
    }
}

int frmMain::AddItemToList(ListBox* list, const QString& text, std::optional<int> itemData)
{
    // The row is measured only when it could be wider than every earlier one, and a long row
    // never: its width is estimated from its length (see ListBox::RowWidth).
    if (list->Widen(text.size(), &text) && list == lstSegments)
        LongestSegmentLength = static_cast<int32_t>(text.size());
    list->addItem(text, itemData ? QVariant(*itemData) : QVariant());
    return list->count() - 1;
}

void frmMain::UnselectAllRecords()
{
    if (lstRecords->selectedItems().size() < 2)
        return;
    SuppressRecordClick = true;
    lstRecords->clearSelection();
    SuppressRecordClick = false;
}

std::string frmMain::RecordRowBytes(int row) const
{
    if (row < 0 || row >= lstRecords->count())
        return {};
    const int32_t k = RecordAt(CurrentPage, row);
    if (k >= 1 && k <= st.records.RecordCount)
        return std::string(st.records.Record(k));
    const QString text = lstRecords->item(row)->text();
    return TypedRecordBytes(text, {}, st.envelope.EndOfBlockChar)
        .value_or(EncodeText(text, TextEncoding::Utf8));
}

std::string frmMain::SegmentRowBytes(int row) const
{
    if (row < 0 || row >= lstSegments->count())
        return {};
    return RowBytes(lstSegments, row);
}

TextEncoding frmMain::ShownRecordEncoding() const
{
    const int32_t k = RecordAt(CurrentPage, CurrentRecordIndex);
    if (CurrentRecordIndex < 0 || k < 1 || k > st.records.RecordCount)
        return TextEncoding::Latin1;
    return RecordEncoding(st.records.Record(k), st.envelope.EndOfBlockChar);
}

std::string frmMain::RowBytes(const ListBox* list, int row) const
{
    if (row < 0 || row >= list->count())
        return {};
    if (std::optional<std::string> bytes = list->Model().Bytes(row))
        return std::move(*bytes);
    return EncodeText(list->item(row)->text(), ShownRecordEncoding());
}

}  // namespace quillon
