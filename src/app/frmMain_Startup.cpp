// Start-up and shutdown of the main window.
#include <QCloseEvent>

#include "app/frmMain.h"

namespace quillon {

void frmMain::Form_Load() {}
void frmMain::Form_Activate() {}
void frmMain::mnuFileExit_Click()
{
    close();
}

void frmMain::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }

}  // namespace quillon
