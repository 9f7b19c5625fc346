// The compare commands of the record list, the segment list and the Tools menu. The texts are
// taken as bytes from the store, not from the lists' rows, with their record's encoding.
#include <QItemSelectionModel>
#include <algorithm>

#include "analysis/frmCompareRecords.h"
#include "app/frmMain.h"

namespace quillon {

namespace {

std::vector<int> SelectedRows(const ListBox* list)
{
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool HasCurrentRow(const ListBox* list)
{
    const int row = list->currentRow();
    return row >= 0 && list->item(row)->Length() > 0;
}

// The record of a record-list row, or a segment of the record shown, with its record's encoding.
void TakeRecord(frmMain& w, std::string& text, TextEncoding& encoding, int row)
{
    text = w.RecordRowBytes(row);
    encoding = RecordEncoding(text, w.st.envelope.EndOfBlockChar);
}

void TakeSegment(frmMain& w, std::string& text, TextEncoding& encoding, int row)
{
    text = w.SegmentRowBytes(row);
    encoding = w.ShownRecordEncoding();
}

void ShowComparison(frmMain& w)
{
    frmCompareRecords form(w);
    form.exec();
}

}  // namespace

void frmMain::mnuRecordListCompare_Click()
{
    const bool ok = HasCurrentRow(lstRecords);
    mnuRecordListCompareSet1->setEnabled(ok);
    mnuRecordListCompareSet2->setEnabled(ok && !st.analysis.CompareRecord1.empty());
    mnuRecordListCompareBoth->setEnabled(SelectedRows(lstRecords).size() == 2);
}

void frmMain::mnuRecordListCompareSet1_Click()
{
    if (lstRecords->currentRow() >= 0)
        TakeRecord(*this, st.analysis.CompareRecord1, st.analysis.CompareEncoding1, lstRecords->currentRow());
}

void frmMain::mnuRecordListCompareSet2_Click()
{
    if (lstRecords->currentRow() < 0)
        return;
    TakeRecord(*this, st.analysis.CompareRecord2, st.analysis.CompareEncoding2, lstRecords->currentRow());
    ShowComparison(*this);
}

void frmMain::mnuRecordListCompareBoth_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
    const std::vector<int> rows = SelectedRows(lstRecords);
    if (!rows.empty())
        TakeRecord(*this, st.analysis.CompareRecord1, st.analysis.CompareEncoding1, rows[0]);
    if (rows.size() > 1)
        TakeRecord(*this, st.analysis.CompareRecord2, st.analysis.CompareEncoding2, rows[1]);
    ShowComparison(*this);
}

void frmMain::mnuRecordListCompareClear_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
}

void frmMain::mnuSegmentListCompare_Click()
{
    const bool ok = HasCurrentRow(lstSegments);
    mnuSegmentListCompareSet1->setEnabled(ok);
    mnuSegmentListCompareSet2->setEnabled(ok && !st.analysis.CompareRecord1.empty());
}

void frmMain::mnuSegmentListCompareSet1_Click()
{
    if (lstSegments->currentRow() >= 0)
        TakeSegment(*this, st.analysis.CompareRecord1, st.analysis.CompareEncoding1, lstSegments->currentRow());
}

void frmMain::mnuSegmentListCompareSet2_Click()
{
    if (lstSegments->currentRow() < 0)
        return;
    TakeSegment(*this, st.analysis.CompareRecord2, st.analysis.CompareEncoding2, lstSegments->currentRow());
    ShowComparison(*this);
}

void frmMain::mnuSegmentListCompareClear_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
}

void frmMain::mnuToolsCompareTwoRecords_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
    if (const std::vector<int> segments = SelectedRows(lstSegments); segments.size() == 2) {
        TakeSegment(*this, st.analysis.CompareRecord1, st.analysis.CompareEncoding1, segments[0]);
        TakeSegment(*this, st.analysis.CompareRecord2, st.analysis.CompareEncoding2, segments[1]);
    } else if (const std::vector<int> records = SelectedRows(lstRecords); records.size() == 2) {
        TakeRecord(*this, st.analysis.CompareRecord1, st.analysis.CompareEncoding1, records[0]);
        TakeRecord(*this, st.analysis.CompareRecord2, st.analysis.CompareEncoding2, records[1]);
    }
    ShowComparison(*this);
}

}  // namespace quillon
