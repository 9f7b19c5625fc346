// The TCP/IP client's send engine.
#include "app/frmMain.h"

namespace quillon {

void frmMain::SendRecordsToServer() {}
void frmMain::DisplayClientWinsockState() {}

}  // namespace quillon
