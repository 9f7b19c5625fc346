// Determine What Fields Are Used.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuToolsDetermineWhatFieldsAreUsed_Click() {}

}  // namespace quillon
