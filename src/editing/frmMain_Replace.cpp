// Replace in the record, segment and field lists, and Assign Value to Field: the main window's
// side of the replace dialogs. The dialog fills the search request; the command makes the undo
// points, runs the replacement over the record store and shows the result, and closes the
// dialog once something was replaced.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>

#include "app/Settings.h"
#include "app/frmMain.h"
#include "editing/FindRecords.h"
#include "editing/ReplaceRecords.h"
#include "editing/frmReplaceInRecordList.h"
#include "records/Pages.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

int TopRow(const ListBox* list)
{
    const QModelIndex top = list->indexAt(QPoint(0, 0));
    return top.isValid() ? top.row() : 0;
}

void ScrollToTop(ListBox* list, int row)
{
    if (row >= 0 && row < list->count())
        list->scrollTo(list->Model().index(row), QAbstractItemView::PositionAtTop);
}

}  // namespace

ReplaceDialog* frmMain::OpenReplaceDialog(QPointer<ReplaceDialog>& dialog, int kind,
                                          const QString& caption)
{
    st.search.SearchDialogDone = false;
    dialog = new ReplaceDialog(static_cast<ReplaceDialog::Kind>(kind), st, dlg);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(caption);
    return dialog;
}

int32_t frmMain::WaitAndReplace(ReplaceDialog* dialog, const std::function<int32_t()>& run)
{
    QPointer<ReplaceDialog> watched(dialog);
    dialog->show();
    dialog->activateWindow();
    dialog->FirstBox()->setFocus();
    int32_t result = 0;
    while (WaitForSearchDialog(watched)) {
        if (st.search.FindText.empty())
            break;
        {
            // Held for the run alone: the window stays in use while the dialog waits.
            const ArrivalsHold arrivals(*this);
            const RecordsChange change(*this);
            result = change ? run() : -1;
        }
        if (result != 0)
            break;
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        st.search.SearchDialogDone = false;
        if (!watched)
            break;
        watched->FirstBox()->setFocus();
    }
    if (watched)
        watched->close();  // closing cancels: the request block ends empty either way
    activateWindow();
    return result;
}

bool frmMain::RecordListReplaceAll() { return RunRecordListReplace() > 0; }

namespace {

void ShowNotHeld(platform::Dialogs& dlg, const NotHeld& notHeld)
{
    if (notHeld.records > 0)
        TellLeftUnchanged(dlg, QString::fromStdString(notHeld.character), notHeld.records);
}

}  // namespace

frmMain::ReplaceRange frmMain::RecordListReplaceRange()
{
    if (st.search.ScopeAllRecords)
        return {1, st.records.RecordCount, {}};
    const int32_t pageFirst = RecordAt(CurrentPage, 0);
    std::vector<char> chosen(static_cast<size_t>(lstRecords->count()), 0);
    for (const QModelIndex& at : lstRecords->selectionModel()->selectedRows())
        chosen[static_cast<size_t>(at.row())] = 1;
    return {pageFirst, std::min(RecordAt(CurrentPage, PageSize - 1), st.records.RecordCount),
            [pageFirst, chosen = std::move(chosen)](int32_t i) {
                const auto at = static_cast<size_t>(i - pageFirst);
                return at < chosen.size() && chosen[at] != 0;
            }};
}

bool frmMain::RecordListReplaceRefused()
{
    if (TypedText(st.search.ReplaceText).FitsLatin1())
        return false;
    const ReplaceRange range = RecordListReplaceRange();
    NotHeld notHeld;
    const bool nothing = RecordListReplaceChangesNothing(st.records, st.search, st.delimiters,
                                                         st.envelope.EndOfBlockChar, range.first,
                                                         range.last, range.include, notHeld);
    if (!nothing || notHeld.records == 0)
        return false;
    ShowNotHeld(dlg, notHeld);
    return true;
}

int32_t frmMain::RunRecordListReplace()
{
    const SearchRequest request = st.search;
    const int row = lstRecords->currentRow();
    if (!SaveUndoPointFor(TypedMessage(ReplaceAllUndoText(request.FindText))))
        return -1;
    // The rows chosen when the run starts are the ones replaced in.
    const ReplaceRange range = RecordListReplaceRange();
    int32_t count = 0;
    NotHeld notHeld;
    {
        const WaitCursor wait;
        // The undo points took their time: the window has its turn before the run as well.
        const auto keepAlive = [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
        keepAlive();
        count = quillon::RecordListReplaceAll(
            st.records, request, st.delimiters, st.envelope.EndOfBlockChar, range.first,
            range.last, range.include, keepAlive, &notHeld);
        DisplayPage(CurrentPage);
    }
    if (row >= 0 && row < lstRecords->count()) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    st.session.MsgBoxCaption = Text(ReplaceReportCaption);
    st.session.MsgBoxText = Text(ReplacementCountMessage(count));
    dlg.MsgBoxWindow(st.session.MsgBoxText, st.session.MsgBoxCaption);
    ShowNotHeld(dlg, notHeld);
    return count;
}

bool frmMain::ReplaceCommandMayStart(QWidget* waiting)
{
    st.search.ReplaceFieldName.clear();
    st.search.FindFieldName.clear();
    if (lstFields->count() == 0) {
        dlg.MsgBox(Text(NothingLoadedToSearchMessage), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
        return false;
    }
    if (waiting) {
        // The command is already waiting for its dialog: bring it forward.
        waiting->raise();
        waiting->activateWindow();
        return false;
    }
    return true;
}

void frmMain::mnuRecordListReplace_Click()
{
    if (!ReplaceCommandMayStart(frmReplaceInRecordList))
        return;
    ReplaceDialog* dialog =
        OpenReplaceDialog(frmReplaceInRecordList, static_cast<int>(ReplaceDialog::Kind::RecordList),
                          QStringLiteral("Search/Replace in Record List"));
    const int32_t result = WaitAndReplace(dialog, [this] {
        if (RecordListReplaceRefused())
            return 0;
        if (!SaveUndoPointFor(TypedMessage(ReplaceUndoText(st.search.FindText, st.search.ReplaceText))))
            return -1;
        return RunRecordListReplace();
    });
    if (result > 0)
        SelectCurrentRecordRow();
}

void frmMain::mnuFieldListReplace_Click()
{
    if (!ReplaceCommandMayStart(frmReplace))
        return;
    const int top = TopRow(lstFields);
    ReplaceDialog* dialog = OpenReplaceDialog(
        frmReplace, static_cast<int>(ReplaceDialog::Kind::SegmentOrFieldList),
        QStringLiteral("Replace in Field List"));
    dialog->optScope[1]->setChecked(true);
    dialog->optScope[0]->hide();
    const int32_t result = WaitAndReplace(dialog, [this] {
        if (RecordListReplaceRefused())
            return 0;
        if (!SaveUndoPointFor(TypedMessage(ReplaceUndoText(st.search.FindText, st.search.ReplaceText))))
            return -1;
        return RunRecordListReplace();
    });
    if (result > 0) {
        SelectCurrentRecordRow();
        lstFields->hide();
        lstRecords_Click();
        ScrollToTop(lstFields, top);
        lstFields->show();
    }
}

void frmMain::mnuRecordListAssignValueToField_Click() { mnuFieldListAssignValue_Click(); }

void frmMain::mnuFieldListAssignValue_Click()
{
    if (!ReplaceCommandMayStart(frmAssignValueToField.window))
        return;
    const int top = TopRow(lstFields);
    QPointer<ReplaceDialog> holder;
    ReplaceDialog* dialog =
        OpenReplaceDialog(holder, static_cast<int>(ReplaceDialog::Kind::AssignValue),
                          QStringLiteral("Assign Value to Field"));
    frmAssignValueToField.window = dialog;
    frmAssignValueToField.cboSegmentReplace = dialog->cboSegmentReplace;
    frmAssignValueToField.cboFieldReplace = dialog->cboFieldReplace;
    GetSelectedFieldName(dialog->cboSegmentReplace, dialog->cboFieldReplace);
    if (!holder)
        return;
    dialog->optScope[0]->show();
    if (st.session.FocusedListName == QLatin1String("lstFields"))
        dialog->optScope[1]->setChecked(true);
    else if (st.session.FocusedListName == QLatin1String("lstRecords"))
        dialog->optScope[0]->setChecked(true);
    st.search.FindText = std::string(AnythingFindText);
    const int32_t result = WaitAndReplace(dialog, [this] {
        if (RecordListReplaceRefused())
            return 0;
        if (!SaveUndoPointFor(TypedMessage(AssignValueUndoText(st.search.ReplaceText))))
            return -1;
        return RunRecordListReplace();
    });
    if (result > 0) {
        SelectCurrentRecordRow();
        lstFields->hide();
        lstRecords_Click();
        ScrollToTop(lstFields, top);
        lstFields->show();
    }
}

bool frmMain::SegmentListReplaceAll()
{
    const SearchRequest request = st.search;
    const int row = lstRecords->currentRow();
    const int segmentRow = lstSegments->currentRow();
    const int32_t k = RecordAt(CurrentPage, row);
    // Lists can have changed while the command waited: no record or no line, nothing replaced.
    int32_t count = 0;
    if (row >= 0 && segmentRow >= 0 && segmentRow < lstSegments->count() && k >= 1
        && k <= st.records.RecordCount) {
        std::string record(st.records.Record(k));
        count = SegmentReplaceAll(record, SegmentRowBytes(segmentRow), request,
                                  st.envelope.EndOfBlockChar)
                    .value_or(0);
        if (count > 0)
            st.records.Records[static_cast<size_t>(k)] = RecordText(record);
        DisplayPage(CurrentPage);
        if (row < lstRecords->count()) {
            {
                const QSignalBlocker block(lstRecords);
                lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            }
            lstRecords_Click();
        }
    }
    st.session.MsgBoxCaption = Text(SegmentReplaceCaption);
    st.session.MsgBoxText = Text(ReplacementCountMessage(count));
    dlg.MsgBoxWindow(st.session.MsgBoxText, st.session.MsgBoxCaption);
    return count > 0;
}

void frmMain::mnuSegmentListReplace_Click()
{
    const ListItem current = lstSegments->currentItem();
    if (!current || !current->isSelected()) {
        dlg.MsgBox(Text(NoSegmentToReplaceMessage), MsgButtons::OKOnly, MsgIcon::Information,
                   Text(NoSegmentToReplaceTitle));
        return;
    }
    if (frmReplace) {
        frmReplace->raise();
        frmReplace->activateWindow();
        return;
    }
    const int segment = current.Row();
    const int recordRow = lstRecords->currentRow();
    const int top = TopRow(lstSegments);
    st.search.ReplaceFieldName.clear();
    st.search.FindFieldName.clear();
    ReplaceDialog* dialog = OpenReplaceDialog(
        frmReplace, static_cast<int>(ReplaceDialog::Kind::SegmentOrFieldList),
        QStringLiteral("Replace in Segment List"));
    dialog->optScope[1]->setText(QStringLiteral("This Segment"));
    dialog->optScope[1]->setChecked(true);
    dialog->optScope[0]->hide();
    // Shows line `segment` of the record of the current row again, selected.
    auto showSegment = [this, segment] {
        if (segment < lstSegments->count()) {
            const QSignalBlocker block(lstSegments);
            lstSegments->setCurrentRow(segment, QItemSelectionModel::ClearAndSelect);
        }
    };
    const int32_t result = WaitAndReplace(dialog, [&] {
        // A record that cannot hold the replacement is refused before the undo point.
        const int row = lstRecords->currentRow();
        const int32_t k = RecordAt(CurrentPage, row);
        if (row >= 0 && k >= 1 && k <= st.records.RecordCount && lstSegments->currentRow() >= 0) {
            std::string record(st.records.Record(k));
            NotHeld notHeld;
            SegmentReplaceAll(record, SegmentRowBytes(lstSegments->currentRow()), st.search,
                              st.envelope.EndOfBlockChar, &notHeld);
            if (notHeld.records > 0) {
                ShowNotHeld(dlg, notHeld);
                showSegment();
                return 0;
            }
        }
        if (!SaveUndoPointFor(TypedMessage(ReplaceUndoText(st.search.FindText, st.search.ReplaceText))))
            return -1;
        const int32_t count = SegmentListReplaceAll() ? 1 : 0;
        if (count == 0)
            showSegment();
        return count;
    });
    if (result > 0) {
        SelectCurrentRecordRow();
        lstFields->hide();
        lstRecords_Click();
        lstFields->show();
        ScrollToTop(lstSegments, top);
        showSegment();
        return;
    }
    // Cancelled: the record is shown again as it stands, its line selected.
    DisplayPage(CurrentPage);
    if (recordRow >= 0 && recordRow < lstRecords->count()) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(recordRow, QItemSelectionModel::NoUpdate);
        }
        ForceRecordRedisplay = true;
        lstRecords_Click();
        ForceRecordRedisplay = false;
        showSegment();
    }
}

}  // namespace quillon
