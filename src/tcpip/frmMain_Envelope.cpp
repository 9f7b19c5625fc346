// Tools > HL7 Envelope Configuration.
#include "app/frmMain.h"
#include "tcpip/frmHL7Envelope.h"

namespace quillon {

void frmMain::mnuToolsHL7EnvelopeConfiguration_Click()
{
    // The last base chosen shows again at the next opening in the same run; it is not stored.
    frmHL7Envelope dialog(st, st.session.EnvelopeDisplayBase, this);
    dialog.exec();
}

}  // namespace quillon
