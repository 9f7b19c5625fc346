// The Help menu: the manual, technical support and the About window.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuHelpContents_Click() {}
void frmMain::mnuHelpTechSupport_Click() {}
void frmMain::mnuHelpAbout_Click() {}

}  // namespace quillon
