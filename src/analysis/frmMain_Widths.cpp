// Maximum field widths and record length statistics.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuToolsDetermineMaxFieldWidths_Click() {}
void frmMain::mnuToolsDetermineRecordStatistics_Click() {}

}  // namespace quillon
