// Printing of the record, segment and field lists.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuRecordListPrint_Click() { PrintListRecords(); }
void frmMain::mnuSegmentListPrint_Click() { PrintLstSegments(); }
void frmMain::mnuFieldListPrint_Click() { PrintLstFields(); }

void frmMain::PrintListRecords() {}
void frmMain::PrintLstSegments() {}
void frmMain::PrintLstFields() {}

}  // namespace quillon
