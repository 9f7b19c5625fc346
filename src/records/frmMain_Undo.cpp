// Edit > Undo and the undo points the editing commands make.
#include "app/frmMain.h"

namespace quillon {

void frmMain::UndoSave(const QString&) {}
bool frmMain::RestoreUndoLevel() { return false; }
void frmMain::mnuEditUndo_Click() {}

}  // namespace quillon
