// The character-code view of a record or a segment.
#include "analysis/frmShowRecordAsASCII.h"
#include "app/frmMain.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::mnuRecordListViewRecordAsASCII_Click()
{
    st.analysis.ASCIIViewMode = "RECORD";
    const int row = lstRecords->currentRow();
    if (row < 0) {
        dlg.MsgBox(QStringLiteral("There is no record selected to display its ASCII codes."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No Record Selected"));
        return;
    }
    const std::string record = RecordRowBytes(row);
    frmShowRecordAsASCII view(record, st.analysis.ASCIIViewMode, this,
                              RecordEncoding(record, st.envelope.EndOfBlockChar));
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
    frmShowRecordAsASCII view(SegmentRowBytes(row), st.analysis.ASCIIViewMode, this,
                              ShownRecordEncoding());
    view.exec();
}

}  // namespace quillon
