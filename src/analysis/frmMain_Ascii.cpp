// The character-code view of a record or a segment.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuRecordListViewRecordAsASCII_Click() {}
void frmMain::mnuViewRecordAsASCII_Click() {}
void frmMain::mnuSegmentListViewSegmentAsASCII_Click() {}

}  // namespace quillon
