// Report Writer and the Reports menu.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFieldListPrintReport_Click() {}
void frmMain::ShowReport(const std::vector<std::string>&, const QString&) {}

}  // namespace quillon
