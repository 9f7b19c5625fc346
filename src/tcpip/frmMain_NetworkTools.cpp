// Tools for setting up a TCP/IP link: ping, this computer's address, the trace log and its
// levels.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuToolsPingAnotherComputer_Click() {}
void frmMain::mnuToolsWhatIsMyIPaddress_Click() {}
void frmMain::mnuToolsLoggingLevel_Click() {}
void frmMain::mnuToolsViewTheLog_Click() {}
void frmMain::mnuToolsDeleteTheLog_Click() {}

}  // namespace quillon
