// Unique field values from the Tools menu and the field list.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFieldListUniqueValues_Click() {}
void frmMain::mnuToolsDetermineUniqueFieldValues_Click() {}

}  // namespace quillon
