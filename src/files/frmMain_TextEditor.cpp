// The program that opens plain files: the Options submenu, its settings, and Edit Z-Segments.
#include "app/frmMain.h"

namespace quillon {

void frmMain::SaveTextEditorForViewer() {}
void frmMain::GetTextEditorForViewer() {}
void frmMain::mnuOptionsDefaultTextEditorNotepad_Click() {}
void frmMain::mnuOptionsDefaultTextEditorWordpad_Click() {}
void frmMain::mnuOptionsDefaultTextEditorWindows_Click() {}
void frmMain::mnuOptionsDefaultTextEditorManually_Click() {}
void frmMain::mnuToolsEditZSegments_Click() {}

}  // namespace quillon
