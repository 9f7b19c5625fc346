// The TCP/IP server: configuration loading and the receive engine.
#include "app/frmMain.h"

namespace quillon {

void frmMain::LoadServerConfiguration(QString&) {}
bool frmMain::StartListening(QString*) { return false; }
void frmMain::StopListening() {}
void frmMain::DisplayServerWinsockState() {}
void frmMain::chkLogToDisk_Click() {}
void frmMain::Winsock1_ConnectionRequest(int) {}
void frmMain::Winsock1_DataArrival(int) {}
void frmMain::Winsock1_Close() {}
void frmMain::Winsock1_Error(int, const QString&) {}
void frmMain::Winsock1_Connect() {}
void frmMain::Winsock1_SendComplete() {}
void frmMain::cmdEditConfig_Click() {}

}  // namespace quillon
