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

// The record list.
void frmMain::mnuRecordListViewRecordAsASCII_Click() {}
void frmMain::mnuRecordListCompare_Click() {}
void frmMain::mnuRecordListCompareSet1_Click() {}
void frmMain::mnuRecordListCompareSet2_Click() {}
void frmMain::mnuRecordListCompareBoth_Click() {}
void frmMain::mnuRecordListCompareClear_Click() {}
void frmMain::mnuRecordListPrint_Click() {}

// The segment list.
void frmMain::mnuSegmentListViewSegmentAsASCII_Click() {}
void frmMain::mnuSegmentListCompare_Click() {}
void frmMain::mnuSegmentListCompareSet1_Click() {}
void frmMain::mnuSegmentListCompareSet2_Click() {}
void frmMain::mnuSegmentListCompareClear_Click() {}
void frmMain::mnuSegmentListPrint_Click() {}

// The field list.
void frmMain::mnuFieldListUniqueValues_Click() {}
void frmMain::mnuFieldListCreateView_Click() {}
void frmMain::mnuFieldListPrint_Click() {}
void frmMain::mnuFieldListPrintReport_Click() {}

// Sources and transfers.
void frmMain::mnuFTPSend_Click() {}
void frmMain::mnuOpenFromEnsemble_Click() {}
void frmMain::mnuFileOpenCerner_Click() {}

// The Tools menu.
void frmMain::mnuViewRecordAsASCII_Click() {}
void frmMain::mnuToolsDetermineMaxFieldWidths_Click() {}
void frmMain::mnuToolsDetermineRecordStatistics_Click() {}
void frmMain::mnuToolsDetermineUniqueFieldValues_Click() {}
void frmMain::mnuToolsDetermineWhatFieldsAreUsed_Click() {}
void frmMain::mnuToolsCompareTwoRecords_Click() {}

}  // namespace quillon
