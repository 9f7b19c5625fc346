// Editing one record by hand: its whole text in the record editor, or the value of one field
// through an input box.
#include <QApplication>

#include "app/frmMain.h"
#include "editing/frmEditRecord.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"
#include "records/Pages.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

bool frmMain::SaveUndoPointFor(const QString& operationName)
{
    return !st.undo.UndoEnabled || UndoSave(operationName);
}

void frmMain::mnuRecordListEdit_Click()
{
    const RecordsChange change(*this);
    if (!change)
        return;
    const int index = lstRecords->currentRow();
    const int32_t k = RecordAt(CurrentPage, index);
    if (index < 0 || k < 1 || k > st.records.RecordCount)
        return;

    const char eob = st.envelope.EndOfBlockChar;
    const std::string original(st.records.Record(k));
    QString edited = DisplayText(original, eob);
    {
        frmEditRecord editor(edited, eob, this);
        editor.exec();
    }
    // The page may have changed while the editor was open (a record received meanwhile).
    if (RecordAt(CurrentPage, index) != k || index >= lstRecords->count()
        || k > st.records.RecordCount)
        return;

    // The row and the record are replaced in place, without an undo point. What the editor left
    // as it was keeps its bytes.
    const std::optional<std::string> typed = TypedRecordBytes(edited, original, eob);
    if (!typed) {
        TellLeftUnchanged(dlg, FirstBeyondLatin1(edited), 1);
        return;
    }
    const std::string& bytes = *typed;
    const QString shown = DisplayText(bytes, eob);
    if (lstRecords->item(index)->text() != shown) {
        lstRecords->Widen(shown.size(), &shown);
        lstRecords->SetRowText(index, shown);
    }
    st.records.Records[static_cast<size_t>(k)] = RecordText(bytes);
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->item(index)->setSelected(true);
    }
    ForceRecordRedisplay = true;
    lstRecords_Click();
    ForceRecordRedisplay = false;
}

void frmMain::mnuFieldListEdit_Click()
{
    const RecordsChange change(*this);
    if (!change)
        return;
    const int fieldRow = lstFields->currentRow();
    const int recordRow = lstRecords->currentRow();
    if (fieldRow < 0 || recordRow < 0)
        return;
    const int32_t k = RecordAt(CurrentPage, recordRow);
    if (k < 1 || k > st.records.RecordCount)
        return;
    const QModelIndex top = lstFields->indexAt(QPoint(0, 0));
    const int topRow = top.isValid() ? top.row() : 0;

    const QString line = lstFields->item(fieldRow)->text();
    if (line.contains(QLatin1String(ParsedDataFollows.data())) || line.contains(QLatin1String("MSH-1 "))
        || line.contains(QLatin1String("MSH-2 ")))
        return;
    const QString designation = line.section(QLatin1Char(' '), 0, 0).trimmed();

    // The segment the line was built from, with or without a view: a view hides the blank lines
    // between segments, and the name alone cannot tell repeated segments apart.
    const QVariant builtFrom = lstFields->Model().data(lstFields->Model().index(fieldRow), Qt::UserRole);
    const int segmentRow = builtFrom.isValid() ? builtFrom.toInt() : -1;
    if (segmentRow < 0 || segmentRow >= lstSegments->count()) {
        if (st.view.ViewFieldCount() > 0)
            dlg.MsgBox(QStringLiteral("Unable to determine which segment the field you wish to "
                                      "edit is in."),
                       MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Edit Field"));
        return;
    }

    const std::string segment = SegmentRowBytes(segmentRow);
    const std::string name = Bytes(designation);
    int32_t start = 0;
    int32_t length = 0;
    const std::string value =
        WhatIsInField(segment, name, start, length, st.delimiters, st.envelope.EndOfBlockChar);
    // Without a place for the value there is nothing to change.
    if (start < 1 || static_cast<size_t>(start - 1) + static_cast<size_t>(length) > segment.size())
        return;

    const TextEncoding shown = ShownRecordEncoding();
    const std::optional<QString> entered =
        dlg.InputBox(QStringLiteral("Enter new field content:"), QStringLiteral("Edit Field"),
                     DecodeText(value, shown));
    if (!entered)
        return;

    // The record again from the segment list; no end-of-block character after the last segment.
    const char eob = st.envelope.EndOfBlockChar;
    int rows = lstSegments->count();
    if (rows > 0 && lstSegments->item(rows - 1)->Length() == 0)
        --rows;
    std::string record;
    size_t valueAt = 0;
    for (int i = 0; i < rows; ++i) {
        if (i > 0)
            record.push_back(eob);
        if (i == segmentRow)
            valueAt = record.size() + static_cast<size_t>(start - 1);
        record += i == segmentRow ? segment : SegmentRowBytes(i);
    }
    // The entered text in the value's place, written as the record's text calls for; the rest
    // keeps its bytes.
    const TextEncoding encoding = RecordEncoding(record, eob);
    QString text = DecodeText(record, encoding);
    text.replace(TextLength(std::string_view(record).substr(0, valueAt), encoding),
                 TextLength(std::string_view(record).substr(valueAt, static_cast<size_t>(length)),
                            encoding),
                 *entered);
    // A character the record cannot hold changes nothing, before the undo point.
    const std::optional<std::string> bytes = TypedRecordBytes(text, record, eob);
    if (!bytes) {
        TellLeftUnchanged(dlg, FirstBeyondLatin1(*entered), 1);
        return;
    }
    if (!SaveUndoPointFor(QStringLiteral("Edit ") + designation))
        return;
    st.records.Records[static_cast<size_t>(k)] = RecordText(*bytes);

    CurrentPage = PageOfRecord(k);
    DisplayPage(CurrentPage);
    if (recordRow < lstRecords->count()) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(recordRow, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    if (lstFields->count() > 0) {
        lstFields->scrollToItem(lstFields->item(std::min(topRow, lstFields->count() - 1)),
                                QAbstractItemView::PositionAtTop);
        if (fieldRow < lstFields->count())
            lstFields->setCurrentRow(fieldRow, QItemSelectionModel::ClearAndSelect);
    }
}

}  // namespace quillon
