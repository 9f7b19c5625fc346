// File > Open from Cerner... (being written)
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFileOpenCerner_Click() {}

}  // namespace quillon
