// The main window's FTP commands.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFTPSend_Click() {}

}  // namespace quillon
