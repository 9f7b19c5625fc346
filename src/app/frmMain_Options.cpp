// The options the main window keeps in the settings store.
#include "app/frmMain.h"

namespace quillon {

void frmMain::LoadOptions() {}
void frmMain::SaveOptions() {}

}  // namespace quillon
