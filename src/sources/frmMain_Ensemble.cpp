// File > Open from Ensemble... (being written)
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuOpenFromEnsemble_Click() {}

}  // namespace quillon
