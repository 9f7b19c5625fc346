// Commands of the editing, analysis, view and source tools as the menus, pop-up menus and the
// toolbar reach them. Each tool puts its work behind its entry point here.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuEditFindInRecordList_Click()
{
    mnuRecordListFind_Click();
}

void frmMain::mnuEditFindInFieldList_Click()
{
    mnuFieldListFind_Click();
}

// Sources and transfers.

}  // namespace quillon
