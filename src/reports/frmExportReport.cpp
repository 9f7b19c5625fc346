#include "reports/frmExportReport.h"

#include "reports/frmReport.h"

namespace quillon {

void frmReport::mnuExport_Click() {}

}  // namespace quillon
