// Printing the report.
#include "reports/frmReport.h"

namespace quillon {

void frmReport::mnuFilePrint_Click() {}

}  // namespace quillon
