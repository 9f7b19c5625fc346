// Edit > Filter Record List and the field list's Filter by this Field: the main window's side of
// the filter dialog. The dialog leaves the request; the window decides every record, saves one
// undo point, removes the records that fail in one pass and shows what is left from page 1.
#include <QApplication>
#include <QComboBox>

#include "app/Settings.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "editing/FilterRecords.h"
#include "editing/FindDialog.h"
#include "editing/FindRecords.h"
#include "editing/frmFilterRecords.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// Neither filter starts while the record-list find dialog shows.
bool FindDialogShown(const frmMain& w)
{
    return IsFormLoaded(w.frmFindInRecordList) > 0 && w.frmFindInRecordList->isVisible();
}

// Shows the filter dialog modally; false when it was cancelled.
bool RunFilterDialog(frmMain& w, frmFilterRecords& dialog)
{
    w.frmFilterRecords = &dialog;
    bool applied = false;
    {
        const frmMain::ArrivalsAside aside(w);
        applied = dialog.exec() == QDialog::Accepted;
    }
    w.frmFilterRecords = nullptr;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return applied && w.st.editing.filter.FilterText != CancelTheFilter;
}

// What is left after a filter that removed records: page 1 with its first row, a send range
// that no longer names the old record numbers, and a caption that says so.
void ShowFilteredRecords(frmMain& w)
{
    const WaitCursor wait;
    w.txtStartWithRecord->clear();
    w.txtEndWithRecord->clear();
    w.chkSendSelectedOnly->setChecked(true);
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);  // empties the three lists first
    if (w.lstRecords->count() > 0) {
        {
            const QSignalBlocker block(w.lstRecords);
            w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        }
        w.lstRecords_Click();
    }
    w.lblFile->setText(QStringLiteral("Rec 1/%1").arg(w.st.records.RecordCount));
    if (!w.windowTitle().contains(QLatin1String("- filtered")))
        w.setWindowTitle(w.windowTitle() + QStringLiteral(" - filtered"));
    w.sFileName = QStringLiteral("filtered");
}

// The walk of both commands. The record filter shows the progress window, whose Cancel keeps
// what was decided so far; Filter by this Field runs to the end without one.
void RunFilter(frmMain& w, bool byField)
{
    const frmMain::RecordsChange change(w);
    if (!change)
        return;
    AppState& st = w.st;
    FilterCriteria criteria;
    criteria.request = st.editing.filter;
    criteria.MatchCase = st.search.MatchCase;
    criteria.MatchWholeWordOnly = st.search.MatchWholeWordOnly;
    criteria.byField = byField;
    if (byField)
        criteria.repetition = st.editing.FilterRepetition;
    const std::string& text = criteria.request.FilterText;

    FilterDecision decision;
    {
        const WaitCursor wait;
        if (byField) {
            decision =
                FilterRecords(st.records, criteria, st.delimiters, st.envelope.EndOfBlockChar);
        } else {
            frmProgressIndicator progress(st.session.ProgressCancelled, &w);
            progress.StartRun(st.records.RecordCount);
            decision = FilterRecords(st.records, criteria, st.delimiters,
                                     st.envelope.EndOfBlockChar, [&](int32_t examined) {
                                         progress.progBar->setValue(examined);
                                         QApplication::processEvents();
                                         return !st.session.ProgressCancelled;
                                     });
            st.session.ProgressCancelled = false;
        }
    }

    if (!decision.cancelled && decision.Remaining() == 0) {
        // Nothing was removed yet, so nothing needs restoring.
        const std::string message =
            byField ? NoRecordsFoundWhichMessage(text, criteria.request.FilterKeepMatches)
                    : std::string(AllRecordsWouldBeDeletedMessage);
        w.dlg.MsgBox(TypedMessage(message), MsgButtons::OKOnly, MsgIcon::Exclamation,
                     Text(NoRecordsMatchedFilterTitle));
        return;
    }

    // One undo point per run; a run whose undo point could not be written changes nothing
    // (the failure has been reported). Over many records the point and the removal each take
    // a while: the window has its turn between them (records that arrive meanwhile stay).
    const auto keepAlive = [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    keepAlive();
    if (!w.SaveUndoPointFor(TypedMessage(FilterUndoDescription(text))))
        return;
    keepAlive();
    if (!RemoveDecided(st.records, decision))
        return;
    keepAlive();

    if (decision.removed > 0) {
        ShowFilteredRecords(w);
    } else if (!decision.cancelled) {
        w.dlg.MsgBox(Text(NoRecordsDeletedMessage), MsgButtons::OKOnly, MsgIcon::Information,
                     Text(NoRecordsFilteredOutTitle));
    }
}

}  // namespace

void frmMain::mnuRecordListFilter_Click()
{
    mnuEditFilterRecordList_Click();
}

void frmMain::mnuEditFilterRecordList_Click()
{
    const ArrivalsHold arrivals(*this);
    if (FindDialogShown(*this))
        return;
    if (lstRecords->count() == 0) {
        dlg.MsgBox(Text(NoRecordsToFilterMessage), MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    quillon::frmFilterRecords dialog(st, dlg, this);
    if (RunFilterDialog(*this, dialog))
        RunFilter(*this, false);
}

void frmMain::mnuFieldListFilterByThisField_Click()
{
    const ArrivalsHold arrivals(*this);
    if (lstRecords->count() == 0) {
        dlg.MsgBox(Text(NoRecordsToFilterMessage), MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    const int row = SelectedRow(lstFields);
    if (row < 0)
        return;
    const std::string line = RowBytes(lstFields, row);
    if (line.find(ParsedDataFollows) != std::string::npos || TrimBlanks(line).empty()
        || line.find("MSH-1 ") != std::string::npos || line.find("MSH-2 ") != std::string::npos)
        return;

    // The value as the line shows it, from its value column as the field find reads it: a long
    // description is cut at its column without its "]". The designation with its repetition apart.
    const std::string value(FieldLineValue(line, mnuOptionsDisplayFieldDescriptions->isChecked()));
    std::string designation(TrimBlanks(std::string_view(line).substr(0, line.find(' '))));
    const size_t open = designation.find('(');
    st.editing.FilterRepetition =
        open == std::string::npos ? std::string() : designation.substr(open);
    if (open != std::string::npos)
        designation.erase(open);

    quillon::frmFilterRecords dialog(st, dlg, this);
    frmFilterRecords = &dialog;  // loaded: no record-list find from here on
    dialog.cboFilterRecords->setEditText(DecodeText(value, ShownRecordEncoding()));
    dialog.SetSegment(Text(std::string_view(designation).substr(0, 3)));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QString key = Text(AssignValueFieldKey(designation));
    for (int i = 0; i < dialog.cboFieldFilter->count(); ++i) {
        if (dialog.cboFieldFilter->itemText(i).left(12).trimmed() == key) {
            dialog.cboFieldFilter->setCurrentIndex(i);
            dialog.cboFieldFilter->setEditText(dialog.cboFieldFilter->itemText(i));
            break;
        }
    }
    if (RunFilterDialog(*this, dialog))
        RunFilter(*this, true);
}

}  // namespace quillon
