// Tools > HL7 Envelope Configuration.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuToolsHL7EnvelopeConfiguration_Click() {}

}  // namespace quillon
