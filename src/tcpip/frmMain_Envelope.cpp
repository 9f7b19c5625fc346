// Tools > HL7 Envelope Configuration.
#include "app/frmMain.h"
#include "tcpip/frmHL7Envelope.h"

namespace quillon {

namespace {
// The envelope window's display base lives as long as the main window: the last choice shows
// again at the next opening in the same run, and is never stored.
const char* const kEnvelopeBaseProperty = "EnvelopeDisplayBase";
}  // namespace

void frmMain::mnuToolsHL7EnvelopeConfiguration_Click()
{
    auto base = static_cast<int16_t>(property(kEnvelopeBaseProperty).toInt());
    frmHL7Envelope dialog(st, base, this);
    dialog.exec();
    setProperty(kEnvelopeBaseProperty, base);
}

}  // namespace quillon
