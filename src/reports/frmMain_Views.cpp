// Views: creating one from the field list, the Views menu.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFieldListCreateView_Click() {}

}  // namespace quillon
