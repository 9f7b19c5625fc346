// The compare commands of the record list, the segment list and the Tools menu. The texts are
// taken as bytes from the store, not from the lists' Latin-1 rows.
#include <QItemSelectionModel>
#include <algorithm>

#include "analysis/frmCompareRecords.h"
#include "app/frmMain.h"
#include "records/FieldLines.h"
#include "records/Pages.h"

namespace quillon {

namespace {

// The record of a row of the record list, as stored.
std::string RecordRowBytes(const frmMain& w, int row)
{
    const int32_t k = RecordAt(w.CurrentPage, row);
    if (row < 0 || k < 1 || k > w.st.records.RecordCount)
        return {};
    return w.st.records.Record(k);
}

// A row of the segment list: the segment of the record shown, without its terminator. The
// list leaves out blank segments, so they are not counted.
std::string SegmentRowBytes(const frmMain& w, int row)
{
    if (row < 0 || row >= w.lstSegments->count())
        return {};
    const int32_t k = RecordAt(w.CurrentPage, w.CurrentRecordIndex);
    if (w.CurrentRecordIndex >= 0 && k >= 1 && k <= w.st.records.RecordCount) {
        int listed = 0;
        for (std::string_view segment :
             SplitRecordSegments(w.st.records.Record(k), w.st.envelope.EndOfBlockChar)) {
            if (TrimBlanks(segment).empty())
                continue;
            if (listed++ != row)
                continue;
            if (static_cast<qsizetype>(segment.size()) == w.lstSegments->item(row)->Length())
                return std::string(segment);
            break;
        }
    }
    // The store no longer holds what the list shows: the row as shown.
    const QByteArray bytes = w.lstSegments->item(row)->text().toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

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
        st.analysis.CompareRecord1 = RecordRowBytes(*this, lstRecords->currentRow());
}

void frmMain::mnuRecordListCompareSet2_Click()
{
    if (lstRecords->currentRow() < 0)
        return;
    st.analysis.CompareRecord2 = RecordRowBytes(*this, lstRecords->currentRow());
    ShowComparison(*this);
}

void frmMain::mnuRecordListCompareBoth_Click()
{
    st.analysis.CompareRecord1.clear();
    st.analysis.CompareRecord2.clear();
    const std::vector<int> rows = SelectedRows(lstRecords);
    if (!rows.empty())
        st.analysis.CompareRecord1 = RecordRowBytes(*this, rows[0]);
    if (rows.size() > 1)
        st.analysis.CompareRecord2 = RecordRowBytes(*this, rows[1]);
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
        st.analysis.CompareRecord1 = SegmentRowBytes(*this, lstSegments->currentRow());
}

void frmMain::mnuSegmentListCompareSet2_Click()
{
    if (lstSegments->currentRow() < 0)
        return;
    st.analysis.CompareRecord2 = SegmentRowBytes(*this, lstSegments->currentRow());
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
        st.analysis.CompareRecord1 = SegmentRowBytes(*this, segments[0]);
        st.analysis.CompareRecord2 = SegmentRowBytes(*this, segments[1]);
    } else if (const std::vector<int> records = SelectedRows(lstRecords); records.size() == 2) {
        st.analysis.CompareRecord1 = RecordRowBytes(*this, records[0]);
        st.analysis.CompareRecord2 = RecordRowBytes(*this, records[1]);
    }
    ShowComparison(*this);
}

}  // namespace quillon
