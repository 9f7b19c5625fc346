// The character-code view of a record or a segment.
#include "analysis/frmShowRecordAsASCII.h"
#include "app/frmMain.h"
#include "records/FieldLines.h"
#include "records/Pages.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// The record of the record list's current row as stored; its row text when the store no longer
// holds it.
std::string CurrentRecord(const frmMain& w, int row)
{
    const int32_t k = RecordAt(w.CurrentPage, row);
    if (k >= 1 && k <= w.st.records.RecordCount)
        return w.st.records.Record(k);
    return w.lstRecords->item(row)->text().toLatin1().toStdString();
}

}  // namespace

void frmMain::mnuRecordListViewRecordAsASCII_Click()
{
    st.analysis.ASCIIViewMode = "RECORD";
    const int row = lstRecords->currentRow();
    if (row < 0) {
        dlg.MsgBox(QStringLiteral("There is no record selected to display its ASCII codes."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No Record Selected"));
        return;
    }
    frmShowRecordAsASCII view(CurrentRecord(*this, row), st.analysis.ASCIIViewMode, this);
    view.exec();
}

void frmMain::mnuViewRecordAsASCII_Click()
{
    mnuRecordListViewRecordAsASCII_Click();
}

void frmMain::mnuSegmentListViewSegmentAsASCII_Click()
{
    st.analysis.ASCIIViewMode = "SEGMENT";
    const int row = lstSegments->currentRow();
    if (row < 0) {
        dlg.MsgBox(QStringLiteral("There is no segment selected to display its ASCII codes."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No segment Selected"));
        return;
    }
    // The segment list shows the record's segments that are not blank, in order; its row text
    // serves only when the record is no longer in the store.
    std::string source;
    bool found = false;
    if (lstRecords->currentRow() >= 0) {
        const std::string record = CurrentRecord(*this, lstRecords->currentRow());
        int shown = -1;
        for (std::string_view segment : SplitRecordSegments(record, st.envelope.EndOfBlockChar)) {
            if (TrimBlanks(segment).empty() || ++shown < row)
                continue;
            source.assign(segment);
            found = true;
            break;
        }
    }
    if (!found)
        source = lstSegments->item(row)->text().toLatin1().toStdString();
    frmShowRecordAsASCII view(source, st.analysis.ASCIIViewMode, this);
    view.exec();
}

}  // namespace quillon
