// Copying to the clipboard: the selected rows of a list, and records from #1 to the selected
// one or from the selected one to the last. Every item is followed by CR LF, so copied
// records paste back as the same records.
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

#include "app/frmMain.h"
#include "editing/DeleteRecords.h"
#include "records/Pages.h"

namespace quillon {

namespace {

void PutOnClipboard(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

// The selected rows in list order; nothing selected leaves an empty text, without a message.
void CopyListRows(ListBox* list)
{
    QModelIndexList rows = list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        text += list->item(row.row())->text();
        text += QLatin1String("\r\n");
    }
    PutOnClipboard(text);
}

// Records first..last (cut to the store), each followed by CR LF, built in one text.
void CopyRecordRange(const RecordStore& store, int32_t first, int32_t last, char endOfBlock)
{
    first = std::max(first, 1);
    last = std::min(last, store.RecordCount);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qsizetype size = 0;
    for (int32_t k = first; k <= last; ++k)
        size += static_cast<qsizetype>(store.Record(k).size()) + 2;
    QString text;
    text.reserve(size);
    for (int32_t k = first; k <= last; ++k) {
        const std::string_view record = store.Record(k);
        if (RecordEncoding(record, endOfBlock) == TextEncoding::Latin1)
            text += QLatin1StringView(record.data(), static_cast<qsizetype>(record.size()));
        else
            text += DecodeText(record, TextEncoding::Utf8);
        text += QLatin1String("\r\n");
    }
    PutOnClipboard(text);
    QApplication::restoreOverrideCursor();
}

// The range commands' rows of the record list.
int LastSelected(const ListBox* list)
{
    return LastSelectedRow(list->count(), [list](int row) { return list->item(row)->isSelected(); });
}
int FirstSelected(const ListBox* list)
{
    return FirstSelectedRow(list->count(), [list](int row) { return list->item(row)->isSelected(); });
}

}  // namespace

void frmMain::mnuEditCopySelectedRecords_Click() { CopyListRows(lstRecords); }
void frmMain::mnuEditCopySelectedSegments_Click() { CopyListRows(lstSegments); }
void frmMain::mnuEditCopySelectedFields_Click() { CopyListRows(lstFields); }
void frmMain::mnuRecordListCopy_Click() { CopyListRows(lstRecords); }

void frmMain::mnuCtrlShiftHomeCopy_Click()
{
    // No selection: the pages before this one.
    CopyRecordRange(st.records, 1, RecordAt(CurrentPage, LastSelected(lstRecords)),
                    st.envelope.EndOfBlockChar);
}

void frmMain::mnuCtrlShiftHomeCopyEnd_Click()
{
    // No selection: the pages after this one.
    CopyRecordRange(st.records, RecordAt(CurrentPage, FirstSelected(lstRecords)),
                    st.records.RecordCount, st.envelope.EndOfBlockChar);
}

}  // namespace quillon
