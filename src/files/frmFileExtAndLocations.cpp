#include "files/frmFileExtAndLocations.h"

namespace quillon {

frmFileExtAndLocations::frmFileExtAndLocations(AppState& st, platform::Dialogs& dlg, QWidget* parent)
    : QDialog(parent), st_(st), dlg_(dlg)
{
    setWindowTitle(QStringLiteral("File Extensions and Locations"));
}

}  // namespace quillon
