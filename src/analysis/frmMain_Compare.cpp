// The compare commands of the record list, the segment list and the Tools menu. The texts are
// taken as bytes from the store, not from the lists' Latin-1 rows.
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
        st.analysis.CompareRecord1 = RecordRowBytes(lstRecords->currentRow());
}

void frmMain::mnuRecordListCompareSet2_Click()
{
    if (lstRecords->currentRow() < 0)
        return;
    st.analysis.CompareRecord2 = RecordRowBytes(lstRecords->currentRow());
    ShowComparison(*this);
}

void frmMain::mnuRecordListCompareBoth_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
    const std::vector<int> rows = SelectedRows(lstRecords);
    if (!rows.empty())
        st.analysis.CompareRecord1 = RecordRowBytes(rows[0]);
    if (rows.size() > 1)
        st.analysis.CompareRecord2 = RecordRowBytes(rows[1]);
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
        st.analysis.CompareRecord1 = SegmentRowBytes(lstSegments->currentRow());
}

void frmMain::mnuSegmentListCompareSet2_Click()
{
    if (lstSegments->currentRow() < 0)
        return;
    st.analysis.CompareRecord2 = SegmentRowBytes(lstSegments->currentRow());
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
        st.analysis.CompareRecord1 = SegmentRowBytes(segments[0]);
        st.analysis.CompareRecord2 = SegmentRowBytes(segments[1]);
    } else if (const std::vector<int> records = SelectedRows(lstRecords); records.size() == 2) {
        st.analysis.CompareRecord1 = RecordRowBytes(records[0]);
        st.analysis.CompareRecord2 = RecordRowBytes(records[1]);
    }
    ShowComparison(*this);
}

}  // namespace quillon
