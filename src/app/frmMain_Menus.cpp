// The main window's menu bar and the pop-up menus of its lists.
#include <QMenuBar>

#include "app/frmMain.h"

namespace quillon {

namespace {

template <typename Slot>
QAction* AddItem(frmMain* w, QMenu* menu, const char* caption, Slot slot)
{
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    QObject::connect(item, &QAction::triggered, w, slot);
    return item;
}

}  // namespace

void frmMain::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFileNew = AddItem(this, file, "&New", &frmMain::mnuFileNew_Click);
    mnuFileOpen = AddItem(this, file, "&Open...", &frmMain::mnuFileOpen_Click);
    file->addSeparator();
    mnuFileFTPReceive = AddItem(this, file, "&Open from FTP [Get]...", &frmMain::mnuFTPReceive_Click);
    mnuFileFTPSend = AddItem(this, file, "Save &As to FTP [Put]...", &frmMain::mnuFTPSend_Click);
    file->addSeparator();
    mnuOpenFromEnsemble =
        AddItem(this, file, "Open from Ensemble...", &frmMain::mnuOpenFromEnsemble_Click);
    mnuOpenFromEnsemble->setEnabled(false);
    mnuFileOpenCerner = AddItem(this, file, "Open from Cerner...", &frmMain::mnuFileOpenCerner_Click);
    file->addSeparator();
    mnuFileSaveNow = AddItem(this, file, "&Save", &frmMain::mnuFileSaveNow_Click);
    mnuFileSave = AddItem(this, file, "Save &As...", &frmMain::mnuFileSave_Click);
    file->addSeparator();
    QMenu* print = file->addMenu(QStringLiteral("&Print"));
    mnuFilePrint = print->menuAction();
    mnuFilePrintRecords = AddItem(this, print, "Record(s)...", &frmMain::mnuRecordListPrint_Click);
    mnuFilePrintSegments =
        AddItem(this, print, "Segment(s)...", &frmMain::mnuSegmentListPrint_Click);
    mnuFilePrintFields = AddItem(this, print, "Field(s)...", &frmMain::mnuFieldListPrint_Click);
    mnuDash2 = file->addSeparator();
    mnuDash2->setVisible(false);
    for (size_t i = 0; i < mnuMRU.size(); ++i) {
        mnuMRU[i] = file->addAction(QStringLiteral("MRU FileList"));
        mnuMRU[i]->setVisible(false);
        connect(mnuMRU[i], &QAction::triggered, this,
                [this, i] { mnuMRU_Click(static_cast<int>(i)); });
    }
    file->addSeparator();
    mnuFileExit = AddItem(this, file, "E&xit", &frmMain::mnuFileExit_Click);
    connect(file, &QMenu::aboutToShow, this, &frmMain::mnuFile_Click);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEditUndo = AddItem(this, edit, "&Undo", &frmMain::mnuEditUndo_Click);
    mnuEditUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuEditUndo->setEnabled(false);
    edit->addSeparator();
    QMenu* copy = edit->addMenu(QStringLiteral("&Copy"));
    mnuEditCopy = copy->menuAction();
    mnuEditCopySelectedRecords = AddItem(this, copy, "Selected &Record(s)",
                                         &frmMain::mnuEditCopySelectedRecords_Click);
    mnuEditCopySelectedSegments = AddItem(this, copy, "Selected &Segment(s)",
                                          &frmMain::mnuEditCopySelectedSegments_Click);
    mnuEditCopySelectedFields = AddItem(this, copy, "Selected &Field(s)",
                                        &frmMain::mnuEditCopySelectedFields_Click);
    edit->addSeparator();
    mnuClipboardPaste = AddItem(this, edit, "&Paste Records from Clipboard",
                                &frmMain::mnuClipboardPaste_Click);
    mnuClipboardPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    mnuClipboardPaste->setEnabled(false);
    mnuClipboardPasteAppend = AddItem(this, edit, "Paste Records from Clipboard (&Append)",
                                      &frmMain::mnuClipboardPasteAppend_Click);
    mnuClipboardPasteAppend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuClipboardPasteAppend->setEnabled(false);
    edit->addSeparator();
    mnuEditFilterRecordList = AddItem(this, edit, "&Filter Record List...",
                                      &frmMain::mnuEditFilterRecordList_Click);
    edit->addSeparator();
    mnuEditFindInRecordList = AddItem(this, edit, "Find in &Record List...\tCtrl+F",
                                      &frmMain::mnuEditFindInRecordList_Click);
    mnuEditFindInFieldList =
        AddItem(this, edit, "Find in &Field List...", &frmMain::mnuEditFindInFieldList_Click);
    mnuEditRepeatLastSearch =
        AddItem(this, edit, "Repeat &Last Search", &frmMain::mnuEditRepeatLastSearch_Click);
    mnuEditRepeatLastSearch->setShortcut(QKeySequence(Qt::Key_F3));
    mnuEditRepeatLastSearch->setEnabled(false);
    connect(edit, &QMenu::aboutToShow, this, &frmMain::mnuEdit_Click);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    mnuViewTCPIPWindow = view->addAction(QStringLiteral("&TCP/IP Window"));
    mnuViewTCPIPWindow->setCheckable(true);
    view->menuAction()->setVisible(false);  // reached through the toolbar and "TCP/IP"
    connect(mnuViewTCPIPWindow, &QAction::triggered, this, [this] {
        // The command keeps the check mark itself.
        mnuViewTCPIPWindow->setChecked(!mnuViewTCPIPWindow->isChecked());
        mnuViewTCPIPWindow_Click();
    });

    QMenu* ftp = menuBar()->addMenu(QStringLiteral("FT&P"));
    mnuFTP = ftp->menuAction();
    mnuFTPReceive = AddItem(this, ftp, "&Open from FTP [get]...", &frmMain::mnuFTPReceive_Click);
    mnuFTPSend = AddItem(this, ftp, "Save &As to FTP [put]...", &frmMain::mnuFTPSend_Click);
    connect(ftp, &QMenu::aboutToShow, this, &frmMain::mnuFTP_Click);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuViewRecordAsASCII =
        AddItem(this, tools, "View Record as &ASCII", &frmMain::mnuViewRecordAsASCII_Click);
    mnuToolsDetermineMaxFieldWidths = AddItem(this, tools, "Determine Maximum Field &Widths",
                                              &frmMain::mnuToolsDetermineMaxFieldWidths_Click);
    mnuToolsDetermineRecordStatistics =
        AddItem(this, tools, "Determine Record Max/Min/Avg Lengths",
                &frmMain::mnuToolsDetermineRecordStatistics_Click);
    mnuToolsDetermineUniqueFieldValues =
        AddItem(this, tools, "Determine All Unique Field Values",
                &frmMain::mnuToolsDetermineUniqueFieldValues_Click);
    mnuToolsDetermineWhatFieldsAreUsed =
        AddItem(this, tools, "Determine What Fields Are Used",
                &frmMain::mnuToolsDetermineWhatFieldsAreUsed_Click);
    mnuToolsChangeDelimiters = AddItem(this, tools, "Change Message Delimiters...",
                                       &frmMain::mnuToolsChangeDelimiters_Click);
    tools->addSeparator();
    mnuToolsSortMSH7 = AddItem(this, tools, "Sort on MSH-7 (Date/Time of Message)",
                               &frmMain::mnuToolsSortMSH7_Click);
    tools->addSeparator();
    mnuToolsCompareTwoRecords =
        AddItem(this, tools, "Compare Two Records", &frmMain::mnuToolsCompareTwoRecords_Click);
    tools->addSeparator();
    mnuToolsPingAnotherComputer = AddItem(this, tools, "&Ping Another Computer...",
                                          &frmMain::mnuToolsPingAnotherComputer_Click);
    mnuToolsWhatIsMyIPaddress = AddItem(this, tools, "What is my &IP Address?",
                                        &frmMain::mnuToolsWhatIsMyIPaddress_Click);
    tools->addSeparator();
    mnuToolsLoggingLevel =
        AddItem(this, tools, "Logging &Levels...", &frmMain::mnuToolsLoggingLevel_Click);
    mnuToolsViewTheLog = AddItem(this, tools, "&View the Log", &frmMain::mnuToolsViewTheLog_Click);
    mnuToolsDeleteTheLog =
        AddItem(this, tools, "&Delete the Log", &frmMain::mnuToolsDeleteTheLog_Click);
    tools->addSeparator();
    mnuToolsHL7EnvelopeConfiguration = AddItem(this, tools, "&HL7 Envelope Configuration...",
                                               &frmMain::mnuToolsHL7EnvelopeConfiguration_Click);
    mnuToolsEditZSegments = AddItem(this, tools, "Edit Z-Segment Definition File...",
                                    &frmMain::mnuToolsEditZSegments_Click);
    connect(tools, &QMenu::aboutToShow, this, &frmMain::mnuTools_Click);

    auto* tcpip = new QMenu(QStringLiteral("TCP/IP"), this);  // never shown
    mnuServerStartListeningForRecords = tcpip->addAction(QStringLiteral("Start Listening for Records"));
    mnuServerSelectServerConfiguration =
        tcpip->addAction(QStringLiteral("Select Server Configuration..."));
    mnuServerEditServerConfigurations =
        tcpip->addAction(QStringLiteral("Edit Server Configurations..."));
    mnuClientStartSendingRecords = tcpip->addAction(QStringLiteral("Start Sending Records"));
    mnuClientSelectClientConfiguration =
        tcpip->addAction(QStringLiteral("Select Client Configuration..."));

    mnuTCPIPShowFrame = menuBar()->addAction(QStringLiteral("TCP/&IP"));
    connect(mnuTCPIPShowFrame, &QAction::triggered, this, &frmMain::mnuTCPIPShowFrame_Click);

    QMenu* views = menuBar()->addMenu(QStringLiteral("Views"));
    connect(views, &QMenu::aboutToShow, this, &frmMain::mnuViews_Click);
    mnuViewsDisable = AddItem(this, views, "Disable current view", &frmMain::mnuViewsDisable_Click);
    mnuViewsDelete = AddItem(this, views, "Delete a View...", &frmMain::mnuViewsDelete_Click);
    mnuViewsDelete->setVisible(false);
    mnuViewsDash2 = views->addSeparator();
    mnuViewsCreate = AddItem(this, views, "Create a View Using Selected Fields",
                             &frmMain::mnuFieldListCreateView_Click);
    mnuViewsDash1 = views->addSeparator();
    mnuViewsDash1->setVisible(false);
    for (size_t i = 0; i < mnuViewsView.size(); ++i) {
        mnuViewsView[i] = views->addAction(QStringLiteral("View%1").arg(i));
        mnuViewsView[i]->setVisible(false);
        connect(mnuViewsView[i], &QAction::triggered, this,
                [this, i] { mnuViewsView_Click(static_cast<int>(i)); });
    }

    QMenu* reports = menuBar()->addMenu(QStringLiteral("Reports"));
    connect(reports, &QMenu::aboutToShow, this, &frmMain::mnuReports_Click);
    mnuReportsCreate = AddItem(this, reports, "Create a Report Using Selected Fields...",
                               &frmMain::mnuFieldListPrintReport_Click);
    mnuReportsDash1 = reports->addSeparator();
    mnuReportsDash1->setVisible(false);
    mnuReportsDelete = AddItem(this, reports, "Delete a Report...", &frmMain::mnuReportsDelete_Click);
    mnuReportsDelete->setVisible(false);
    mnuReportsDash2 = reports->addSeparator();
    mnuReportsDash2->setVisible(false);
    for (size_t i = 0; i < mnuReportsReport.size(); ++i) {
        mnuReportsReport[i] = reports->addAction(QStringLiteral("Report%1").arg(i));
        mnuReportsReport[i]->setVisible(false);
        connect(mnuReportsReport[i], &QAction::triggered, this,
                [this, i] { mnuReportsReport_Click(static_cast<int>(i)); });
    }

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    auto toggle = [this, options](const char* caption, void (frmMain::*slot)()) {
        QAction* a = options->addAction(QString::fromUtf8(caption));
        a->setCheckable(true);
        a->setChecked(true);
        // The handlers invert the check mark themselves.
        connect(a, &QAction::triggered, this, [this, a, slot] {
            a->setChecked(!a->isChecked());
            (this->*slot)();
        });
        return a;
    };
    mnuOptionsDisplayToolbar = toggle("Display Toolbar", &frmMain::mnuOptionsDisplayToolbar_Click);
    mnuOptionsDisplayButtonCaptions =
        toggle("Display &Toolbar Captions", &frmMain::mnuOptionsDisplayButtonCaptions_Click);
    options->addSeparator();
    mnuOptionsDisplayEmptyFields =
        toggle("Display &Empty Fields", &frmMain::mnuOptionsDisplayEmptyFields_Click);
    mnuOptionsDisplayFieldDescriptions =
        toggle("Display &Field Descriptions", &frmMain::mnuOptionsDisplayFieldDescriptions_Click);
    mnuOptionsDisplayCompoundFields =
        toggle("Display &Compound Fields", &frmMain::mnuOptionsDisplayCompoundFields_Click);
    mnuOptionsDisplaySegmentDescriptions = toggle(
        "Display &Segment Descriptions", &frmMain::mnuOptionsDisplaySegmentDescriptions_Click);
    options->addSeparator();
    mnuOptionsPromptBeforeDeleting =
        toggle("Prompt Before &Deleting Anything", &frmMain::mnuOptionsPromptBeforeDeleting_Click);
    mnuOptionsUseMFU =
        toggle("Use the '&Most Frequently Used File' Option", &frmMain::mnuOptionsUseMFU_Click);
    options->addSeparator();
    mnuOptionsFileExtAndLocations = AddItem(this, options, "File Extensions and &Locations...",
                                            &frmMain::mnuOptionsFileExtAndLocations_Click);
    QMenu* editor = options->addMenu(QStringLiteral("Select Default Text &Editor..."));
    mnuOptionsDefaultTextEditor = editor->menuAction();
    // The first three items keep their marks in their handlers; the last one sets its own.
    auto editorItem = [this, editor](const char* caption, void (frmMain::*slot)(), bool invert) {
        QAction* a = editor->addAction(QString::fromUtf8(caption));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a, slot, invert] {
            if (invert)
                a->setChecked(!a->isChecked());
            (this->*slot)();
        });
        return a;
    };
    mnuOptionsDefaultTextEditorNotepad =
        editorItem("Use Notepad", &frmMain::mnuOptionsDefaultTextEditorNotepad_Click, true);
    mnuOptionsDefaultTextEditorWordpad =
        editorItem("Use Wordpad", &frmMain::mnuOptionsDefaultTextEditorWordpad_Click, true);
    mnuOptionsDefaultTextEditorWindows =
        editorItem("Let Windows Decide Based Upon File Extension",
                   &frmMain::mnuOptionsDefaultTextEditorWindows_Click, true);
    mnuOptionsDefaultTextEditorManually =
        editorItem("Use Manually Selected Editor...",
                   &frmMain::mnuOptionsDefaultTextEditorManually_Click, false);
    mnuOptionsSelectFont = AddItem(this, options, "Change Font", &frmMain::mnuOptionsSelectFont_Click);
    options->addSeparator();
    QMenu* disk = options->addMenu(QStringLiteral("Saving to Disk and Use of Envelope Characters"));
    mnuOptionsDiskEnvelopeCharsYes = disk->addAction(QStringLiteral("Use Envelope Characters "));
    mnuOptionsDiskEnvelopeCharsNo = disk->addAction(QStringLiteral("Don't Use Envelope Characters"));
    QMenu* ftpEnvelope = options->addMenu(QStringLiteral("FTP Put and use of Envelope Characters"));
    mnuOptionsFTPEnvelopeCharsYes = ftpEnvelope->addAction(QStringLiteral("Use Envelope Characters"));
    mnuOptionsFTPEnvelopeCharsNo =
        ftpEnvelope->addAction(QStringLiteral("Don't Use Envelope Characters"));
    for (QAction* a : {mnuOptionsDiskEnvelopeCharsYes, mnuOptionsDiskEnvelopeCharsNo,
                       mnuOptionsFTPEnvelopeCharsYes, mnuOptionsFTPEnvelopeCharsNo})
        a->setCheckable(true);
    connect(mnuOptionsDiskEnvelopeCharsYes, &QAction::triggered, this,
            [this] { mnuOptionsDiskEnvelopeChars_Click(true); });
    connect(mnuOptionsDiskEnvelopeCharsNo, &QAction::triggered, this,
            [this] { mnuOptionsDiskEnvelopeChars_Click(false); });
    connect(mnuOptionsFTPEnvelopeCharsYes, &QAction::triggered, this,
            [this] { mnuOptionsFTPEnvelopeChars_Click(true); });
    connect(mnuOptionsFTPEnvelopeCharsNo, &QAction::triggered, this,
            [this] { mnuOptionsFTPEnvelopeChars_Click(false); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpContents = AddItem(this, help, "&Manual...", &frmMain::mnuHelpContents_Click);
    mnuHelpTechSupport =
        AddItem(this, help, "Technical &Support", &frmMain::mnuHelpTechSupport_Click);
    help->addSeparator();
    mnuHelpAbout = AddItem(this, help, "&About Quillon", &frmMain::mnuHelpAbout_Click);

    BuildPopupMenus();
}

void frmMain::BuildPopupMenus()
{
    mnuRecordList = new QMenu(QStringLiteral("Record List"), this);
    QMenu* r = mnuRecordList;
    mnuRecordListFind = AddItem(this, r, "Find...", &frmMain::mnuRecordListFind_Click);
    mnuRecordListReplace = AddItem(this, r, "Replace...", &frmMain::mnuRecordListReplace_Click);
    mnuRecordListFilter = AddItem(this, r, "Filter...", &frmMain::mnuRecordListFilter_Click);
    r->addSeparator();
    mnuRecordListEdit = AddItem(this, r, "Edit...", &frmMain::mnuRecordListEdit_Click);
    mnuRecordListAssignValueToField = AddItem(this, r, "Assign Value to Field ...",
                                              &frmMain::mnuRecordListAssignValueToField_Click);
    mnuRecordListCopy = AddItem(this, r, "Copy", &frmMain::mnuRecordListCopy_Click);
    r->addSeparator();
    mnuRecordListDelete = AddItem(this, r, "Delete this Record", &frmMain::mnuRecordListDelete_Click);
    mnuRecordListDeleteThisThruFirst = AddItem(this, r, "Delete this Record thru #1",
                                               &frmMain::mnuRecordListDeleteThisThruFirst_Click);
    mnuRecordListDeleteThisThruLast = AddItem(this, r, "Delete this Record thru Last",
                                              &frmMain::mnuRecordListDeleteThisThruLast_Click);
    r->addSeparator();
    mnuRecordListViewRecordAsASCII = AddItem(this, r, "View Record as ASCII",
                                             &frmMain::mnuRecordListViewRecordAsASCII_Click);
    r->addSeparator();
    mnuRecordListCompare = r->addMenu(QStringLiteral("Compare"));
    mnuRecordListCompareSet1 = AddItem(this, mnuRecordListCompare, "Set as Record #1",
                                       &frmMain::mnuRecordListCompareSet1_Click);
    mnuRecordListCompareSet2 = AddItem(this, mnuRecordListCompare, "Set as Record #2",
                                       &frmMain::mnuRecordListCompareSet2_Click);
    mnuRecordListCompareBoth = AddItem(this, mnuRecordListCompare, "Compare Two Selected Records",
                                       &frmMain::mnuRecordListCompareBoth_Click);
    mnuRecordListCompareClear = AddItem(this, mnuRecordListCompare, "Clear Sets",
                                        &frmMain::mnuRecordListCompareClear_Click);
    connect(mnuRecordListCompare, &QMenu::aboutToShow, this, &frmMain::mnuRecordListCompare_Click);
    mnuRecordListPrint = AddItem(this, r, "Print...", &frmMain::mnuRecordListPrint_Click);
    r->addSeparator();
    QMenu* save = r->addMenu(QStringLiteral("Save"));
    mnuRecordListSaveAllRecords =
        AddItem(this, save, "All Records...", &frmMain::mnuRecordListSaveAllRecords_Click);
    mnuRecordListSaveSelectedRecords = AddItem(this, save, "Selected Record(s)...",
                                               &frmMain::mnuRecordListSaveSelectedRecords_Click);

    mnuSegmentList = new QMenu(QStringLiteral("Segment List"), this);
    QMenu* s = mnuSegmentList;
    mnuSegmentListCopy =
        AddItem(this, s, "Copy", [this] { CopySelectedLines(lstSegments); });
    mnuSegmentListReplace = AddItem(this, s, "Replace...", &frmMain::mnuSegmentListReplace_Click);
    mnuSegmentListDelete = AddItem(this, s, "Delete", &frmMain::mnuSegmentListDelete_Click);
    mnuSegmentListViewSegmentAsASCII = AddItem(this, s, "View Segment as ASCII",
                                               &frmMain::mnuSegmentListViewSegmentAsASCII_Click);
    s->addSeparator();
    mnuSegmentListCompare = s->addMenu(QStringLiteral("Compare"));
    mnuSegmentListCompareSet1 = AddItem(this, mnuSegmentListCompare, "Set as Segment #1",
                                        &frmMain::mnuSegmentListCompareSet1_Click);
    mnuSegmentListCompareSet2 = AddItem(this, mnuSegmentListCompare, "Set as Segment #2",
                                        &frmMain::mnuSegmentListCompareSet2_Click);
    mnuSegmentListCompare->addSeparator();
    mnuSegmentListCompareClear = AddItem(this, mnuSegmentListCompare, "Clear Sets",
                                         &frmMain::mnuSegmentListCompareClear_Click);
    connect(mnuSegmentListCompare, &QMenu::aboutToShow, this,
            &frmMain::mnuSegmentListCompare_Click);
    s->addSeparator();
    mnuSegmentListPrint = AddItem(this, s, "Print...", &frmMain::mnuSegmentListPrint_Click);

    mnuFieldList = new QMenu(QStringLiteral("Field List"), this);
    QMenu* f = mnuFieldList;
    mnuFieldListFind = AddItem(this, f, "Find...", &frmMain::mnuFieldListFind_Click);
    mnuFieldListReplace =
        AddItem(this, f, "Search/Replace...", &frmMain::mnuFieldListReplace_Click);
    mnuFieldListAssignValue =
        AddItem(this, f, "Assign Value to Field...", &frmMain::mnuFieldListAssignValue_Click);
    mnuFieldListEdit = AddItem(this, f, "Edit...", &frmMain::mnuFieldListEdit_Click);
    f->addSeparator();
    mnuFieldListCopy = AddItem(this, f, "Copy", [this] { CopySelectedLines(lstFields); });
    f->addSeparator();
    mnuFieldListLockFieldLocation = f->addAction(QStringLiteral("Lock Field Location in List"));
    mnuFieldListLockFieldLocation->setCheckable(true);
    connect(mnuFieldListLockFieldLocation, &QAction::triggered, this,
            &frmMain::mnuFieldListLockFieldLocation_Click);
    mnuFieldListUniqueValues = AddItem(this, f, "Determine Unique Field Values",
                                       &frmMain::mnuFieldListUniqueValues_Click);
    mnuFieldListFilterByThisField = AddItem(this, f, "Filter by this Field...",
                                            &frmMain::mnuFieldListFilterByThisField_Click);
    f->addSeparator();
    mnuFieldListCreateView = AddItem(this, f, "Create a View with these Fields",
                                     &frmMain::mnuFieldListCreateView_Click);
    f->addSeparator();
    mnuFieldListPrint = AddItem(this, f, "Print Fields...", &frmMain::mnuFieldListPrint_Click);
    mnuFieldListPrintReport =
        AddItem(this, f, "Report Writer...", &frmMain::mnuFieldListPrintReport_Click);

    mnuCtrlShiftHome = new QMenu(QStringLiteral("CtrlShiftHome"), this);
    mnuCtrlShiftHomeDelete = AddItem(this, mnuCtrlShiftHome, "Delete record #1 through this record...",
                                     &frmMain::mnuCtrlShiftHomeDelete_Click);
    mnuCtrlShiftHomeCopy =
        AddItem(this, mnuCtrlShiftHome, "Copy to clipboard record #1 through this record",
                &frmMain::mnuCtrlShiftHomeCopy_Click);
    mnuCtrlShiftHomeEnd = new QMenu(QStringLiteral("CtrlShiftEnd"), this);
    mnuCtrlShiftHomeDeleteEnd = AddItem(this, mnuCtrlShiftHomeEnd, "Delete this record to the last...",
                                        &frmMain::mnuCtrlShiftHomeDeleteEnd_Click);
    mnuCtrlShiftHomeCopyEnd =
        AddItem(this, mnuCtrlShiftHomeEnd, "Copy to clipboard from this record to last",
                &frmMain::mnuCtrlShiftHomeCopyEnd_Click);
}

}  // namespace quillon
