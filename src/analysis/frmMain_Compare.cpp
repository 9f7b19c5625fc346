// The compare commands of the record list, the segment list and the Tools menu.
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuRecordListCompare_Click() {}
void frmMain::mnuRecordListCompareSet1_Click() {}
void frmMain::mnuRecordListCompareSet2_Click() {}
void frmMain::mnuRecordListCompareBoth_Click() {}
void frmMain::mnuRecordListCompareClear_Click() {}
void frmMain::mnuSegmentListCompare_Click() {}
void frmMain::mnuSegmentListCompareSet1_Click() {}
void frmMain::mnuSegmentListCompareSet2_Click() {}
void frmMain::mnuSegmentListCompareClear_Click() {}
void frmMain::mnuToolsCompareTwoRecords_Click() {}

}  // namespace quillon
