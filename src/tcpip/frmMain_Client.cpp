// The TCP/IP client: configuration loading.
#include "app/frmMain.h"

namespace quillon {

void frmMain::LoadClientConfiguration(QString&) {}

}  // namespace quillon
