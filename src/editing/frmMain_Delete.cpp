// Deleting records (the selected ones, #1 through the selected one, the selected one through
// the last) and the selected segments of the shown record. Each asks first when the option
// says so, makes one undo point and stops before changing anything when it cannot.
#include <QApplication>

#include <algorithm>

#include "app/frmMain.h"
#include "editing/DeleteRecords.h"
#include "records/Pages.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const QLatin1String kDeleteRecords("Delete Record(s)");

bool Confirmed(frmMain& w, const QString& text, const QString& title)
{
    if (!w.mnuOptionsPromptBeforeDeleting->isChecked())
        return true;
    return w.dlg.MsgBox(text, MsgButtons::YesNo, MsgIcon::Question, title) == MsgAnswer::Yes;
}

// The row to make current once the records are gone, from the caret's row before: the same
// row, else the one above it, else -1 (the last row).
int RowToSelect(const ListBox* list)
{
    const int caret = list->currentRow();
    const int rows = list->count();
    if (caret < rows - 1)
        return caret;
    return caret > 0 ? caret - 1 : -1;
}

// Makes `row` current and selected alone, so the next Delete takes that record only.
void SelectRecordRow(frmMain& w, int row)
{
    {
        const QSignalBlocker block(w.lstRecords);
        w.lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
    w.lstRecords_Click();
}

void SelectRowAgain(frmMain& w, int row)
{
    const int rows = w.lstRecords->count();
    if (rows == 0) {
        w.lblFile->clear();
        w.lblPageOf->clear();
        return;
    }
    SelectRecordRow(w, row == -1 ? rows - 1 : std::min(row, rows - 1));
}

int LastSelected(const ListBox* list)
{
    return LastSelectedRow(list->count(), [list](int row) { return list->item(row)->isSelected(); });
}
int FirstSelected(const ListBox* list)
{
    return FirstSelectedRow(list->count(), [list](int row) { return list->item(row)->isSelected(); });
}

}  // namespace

void frmMain::mnuRecordListDelete_Click()
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    const QList<ListItem> selected = lstRecords->selectedItems();
    if (lstRecords->count() == 0 || selected.isEmpty()) {
        dlg.MsgBox(QStringLiteral("There are no records selected to delete."), MsgButtons::OKOnly,
                   MsgIcon::Information, QStringLiteral("No Record to Delete"));
        return;
    }
    const int row = RowToSelect(lstRecords);
    if (!Confirmed(*this,
                   QStringLiteral("Are you sure that you want to delete %1 record(s)?")
                       .arg(selected.size()),
                   QStringLiteral("OK to Delete Record?")))
        return;
    if (!SaveUndoPointFor(kDeleteRecords))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<int32_t> numbers;
    numbers.reserve(static_cast<size_t>(selected.size()));
    for (const ListItem& item : selected)
        numbers.push_back(RecordAt(CurrentPage, item.Row()));
    DeleteRecordNumbers(st.records, std::move(numbers));
    DisplayPage(CurrentPage);
    SelectRowAgain(*this, row);
    QApplication::restoreOverrideCursor();
}

void frmMain::mnuRecordListDeleteThisThruFirst_Click()
{
    mnuCtrlShiftHomeDelete_Click();
}

void frmMain::mnuRecordListDeleteThisThruLast_Click()
{
    mnuCtrlShiftHomeDeleteEnd_Click();
}

void frmMain::mnuCtrlShiftHomeDelete_Click()
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    // No selection: the records of the pages before this one.
    const int32_t last = RecordAt(CurrentPage, LastSelected(lstRecords));
    const int row = RowToSelect(lstRecords);
    if (!Confirmed(*this, QStringLiteral("Are you sure that you want to delete the record(s)?"),
                   QStringLiteral("OK to Delete Record?")))
        return;
    if (!SaveUndoPointFor(kDeleteRecords))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DeleteRecordRange(st.records, 1, last);  // one block move, however many records
    int32_t page = 1;
    DisplayPage(page);
    SelectRowAgain(*this, row);
    QApplication::restoreOverrideCursor();
}

void frmMain::mnuCtrlShiftHomeDeleteEnd_Click()
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    // No selection: the records of the pages after this one.
    const int32_t first = RecordAt(CurrentPage, FirstSelected(lstRecords));
    const int row = RowToSelect(lstRecords);
    if (!Confirmed(*this, QStringLiteral("Are you sure that you want to delete the record(s)?"),
                   QStringLiteral("OK to Delete Record?")))
        return;
    if (!SaveUndoPointFor(kDeleteRecords))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DeleteRecordRange(st.records, first, st.records.RecordCount);
    DisplayPage(CurrentPage);
    SelectRowAgain(*this, row);
    QApplication::restoreOverrideCursor();
}

void frmMain::mnuSegmentListDelete_Click()
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    const QModelIndexList chosen = lstSegments->selectionModel()->selectedRows();
    if (chosen.isEmpty()) {
        dlg.MsgBox(QStringLiteral("There are no segments selected to delete."),
                   MsgButtons::OKOnly, MsgIcon::Information,
                   QStringLiteral("No Segment to Delete"));
        return;
    }
    // The segments belong to the record of the current row; without one there is nothing
    // they can be taken from.
    const int index = lstRecords->currentRow();
    const int32_t k = RecordAt(CurrentPage, index);
    if (index < 0 || k < 1 || k > st.records.RecordCount)
        return;
    if (!Confirmed(*this,
                   QStringLiteral("Are you sure that you want to delete %1 segment(s)?")
                       .arg(chosen.size()),
                   QStringLiteral("OK to Delete Segment?")))
        return;
    if (!SaveUndoPointFor(QStringLiteral("Delete Segment(s)")))
        return;

    std::vector<bool> rows(static_cast<size_t>(lstSegments->count()), false);
    for (const QModelIndex& i : chosen)
        rows[static_cast<size_t>(i.row())] = true;
    SegmentDeletion result =
        DeleteSegmentRows(st.records.Record(k), st.envelope.EndOfBlockChar, rows);
    for (int32_t n = 0; n < result.refusedHeaders; ++n)
        dlg.MsgBox(QStringLiteral("You are not allowed to delete the MSH segment."),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Unable to Delete MSH Segment"));
    if (result.deleted > 0)
        st.records.Records[static_cast<size_t>(k)] = RecordText(result.text);

    DisplayPage(CurrentPage);
    if (index < lstRecords->count()) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        }
        ForceRecordRedisplay = true;
        lstRecords_Click();
        lstSegments->setFocus();
        ForceRecordRedisplay = false;
    }
}

}  // namespace quillon
