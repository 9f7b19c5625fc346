#pragma once
// The main window: the record list (one page of 400 records), the segment and field lists of
// the selected record, the page buttons and labels, toolbar and status bar.
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/ListBox.h"
#include "files/FileStamp.h"
#include "records/BackgroundWrites.h"
#include "records/FieldLines.h"
#include "records/TextEncoding.h"
#include "records/UndoRing.h"
#include "platform/Dialogs.h"
#include "platform/FileIO.h"
#include "platform/Process.h"
#include "sources/EnsembleSource.h"

class QDialog;
class QFile;
class QTimer;

namespace quillon {

class FindDialog;
class ReplaceDialog;
class frmEnsembleInterfaces;

namespace platform {
class WinsockControl;
}
class LoadSource;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    frmMain(AppState& state, platform::Dialogs& dialogs, platform::Desktop& desktop,
            QWidget* parent = nullptr);
    ~frmMain() override;

private:
    // The boxes and dialogs of `dialogs`, each shown with the arrivals set aside (ArrivalsAside).
    class DialogsAside : public platform::Dialogs {
    public:
        DialogsAside(frmMain& w, platform::Dialogs& shown) : w_(w), shown_(shown) {}
        platform::MsgAnswer MsgBox(const QString& text, platform::MsgButtons buttons,
                                   platform::MsgIcon icon, const QString& title) override;
        platform::MsgAnswer MsgBoxDefault(const QString& text, platform::MsgButtons buttons,
                                          platform::MsgIcon icon, const QString& title,
                                          platform::MsgAnswer defaultAnswer) override;
        std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                        const QString& defaultText) override;
        QStringList FileDialog(const platform::FileDialogRequest& request) override;
        std::optional<platform::FontChoice> FontDialog(const platform::FontChoice& preset) override;
        void MsgBoxWindow(const QString& text, const QString& caption) override;
        std::optional<platform::PrintChoice> PrintDialog(
            const platform::PrintDialogRequest& request) override;

    private:
        frmMain& w_;
        platform::Dialogs& shown_;
    };
    DialogsAside dialogsAside_;

public:
    AppState& st;
    platform::Dialogs& dlg;
    platform::Desktop& desktop;

    // Controls.
    ListBox* lstRecords;
    ListBox* lstSegments;
    ListBox* lstFields;
    QPushButton* cmdFirstPage;
    QPushButton* cmdPrevPage;
    QPushButton* cmdNextPage;
    QPushButton* cmdLastPage;
    QLabel* lblFile;
    QLabel* lblPageOf;
    QStatusBar* stsBar;
    std::array<QLabel*, 6> stsPanels{};  // panels 1 to 5
    QToolBar* tbarTools;
    std::array<QAction*, 19> tbarButtons{};  // buttons 1 to 18; separators are null
    QLineEdit* txtStartWithRecord;
    QLineEdit* txtEndWithRecord;
    QCheckBox* chkSendSelectedOnly;
    QAction* mnuFileNew;
    QAction* mnuFileOpen;
    QAction* mnuFileFTPReceive;
    QAction* mnuFileFTPSend;
    QAction* mnuFileOpenCerner;
    QAction* mnuFileSaveNow;
    QAction* mnuFileSave;
    // The recent-files list: up to four entries, newest first, under a separator.
    std::array<QAction*, 4> mnuMRU{};
    QAction* mnuDash2;
    QAction* mnuFileExit;
    QAction* mnuFilePrint;  // the head of the Print submenu
    QAction* mnuFilePrintRecords;
    QAction* mnuFilePrintSegments;
    QAction* mnuFilePrintFields;
    // Edit: the two find items; one of them carries "Ctrl+F".
    QAction* mnuEditFindInRecordList;
    QAction* mnuEditFindInFieldList;
    QAction* mnuEditRepeatLastSearch;
    QAction* mnuEditFilterRecordList;
    QAction* mnuClipboardPaste;
    QAction* mnuClipboardPasteAppend;
    // Edit > Copy and its three items.
    QAction* mnuEditCopy;
    QAction* mnuEditCopySelectedRecords;
    QAction* mnuEditCopySelectedSegments;
    QAction* mnuEditCopySelectedFields;
    // The FTP menu of the menu bar.
    QAction* mnuFTP;
    QAction* mnuFTPReceive;
    QAction* mnuFTPSend;
    // Tools.
    QAction* mnuViewRecordAsASCII;
    QAction* mnuToolsDetermineMaxFieldWidths;
    QAction* mnuToolsDetermineRecordStatistics;
    QAction* mnuToolsDetermineUniqueFieldValues;
    QAction* mnuToolsDetermineWhatFieldsAreUsed;
    QAction* mnuToolsChangeDelimiters;
    QAction* mnuToolsSortMSH7;
    QAction* mnuToolsCompareTwoRecords;
    QAction* mnuToolsPingAnotherComputer;
    QAction* mnuToolsWhatIsMyIPaddress;
    QAction* mnuToolsLoggingLevel;
    QAction* mnuToolsViewTheLog;
    QAction* mnuToolsDeleteTheLog;
    QAction* mnuToolsEditZSegments;
    // Help.
    QAction* mnuHelpContents;
    QAction* mnuHelpTechSupport;
    QAction* mnuHelpAbout;
    // Options beyond the display toggles.
    QAction* mnuOptionsFileExtAndLocations;
    QAction* mnuOptionsDefaultTextEditor;  // the head of its submenu
    QAction* mnuOptionsDefaultTextEditorNotepad;
    QAction* mnuOptionsDefaultTextEditorWordpad;
    QAction* mnuOptionsDefaultTextEditorWindows;
    QAction* mnuOptionsDefaultTextEditorManually;
    QAction* mnuOptionsSelectFont;
    QAction* mnuOptionsDiskEnvelopeCharsYes;
    QAction* mnuOptionsDiskEnvelopeCharsNo;
    QAction* mnuOptionsFTPEnvelopeCharsYes;
    QAction* mnuOptionsFTPEnvelopeCharsNo;
    // The pop-up menus of the three lists and of Ctrl+Shift+Home/End in the record list.
    QMenu* mnuRecordList;
    QAction* mnuRecordListFind;
    QAction* mnuRecordListReplace;
    QAction* mnuRecordListFilter;
    QAction* mnuRecordListEdit;
    QAction* mnuRecordListAssignValueToField;
    QAction* mnuRecordListCopy;
    QAction* mnuRecordListDelete;
    QAction* mnuRecordListDeleteThisThruFirst;
    QAction* mnuRecordListDeleteThisThruLast;
    QAction* mnuRecordListViewRecordAsASCII;
    QMenu* mnuRecordListCompare;
    QAction* mnuRecordListCompareSet1;
    QAction* mnuRecordListCompareSet2;
    QAction* mnuRecordListCompareBoth;
    QAction* mnuRecordListCompareClear;
    QAction* mnuRecordListPrint;
    QAction* mnuRecordListSaveAllRecords;
    QAction* mnuRecordListSaveSelectedRecords;
    QMenu* mnuSegmentList;
    QAction* mnuSegmentListCopy;
    QAction* mnuSegmentListReplace;
    QAction* mnuSegmentListDelete;
    QAction* mnuSegmentListViewSegmentAsASCII;
    QMenu* mnuSegmentListCompare;
    QAction* mnuSegmentListCompareSet1;
    QAction* mnuSegmentListCompareSet2;
    QAction* mnuSegmentListCompareClear;
    QAction* mnuSegmentListPrint;
    QMenu* mnuFieldList;
    QAction* mnuFieldListFind;
    QAction* mnuFieldListReplace;
    QAction* mnuFieldListAssignValue;
    QAction* mnuFieldListEdit;
    QAction* mnuFieldListCopy;
    QAction* mnuFieldListLockFieldLocation;
    QAction* mnuFieldListUniqueValues;
    QAction* mnuFieldListFilterByThisField;
    QAction* mnuFieldListCreateView;
    QAction* mnuFieldListPrint;
    QAction* mnuFieldListPrintReport;
    QMenu* mnuCtrlShiftHome;
    QAction* mnuCtrlShiftHomeDelete;
    QAction* mnuCtrlShiftHomeCopy;
    QMenu* mnuCtrlShiftHomeEnd;
    QAction* mnuCtrlShiftHomeDeleteEnd;
    QAction* mnuCtrlShiftHomeCopyEnd;
    QAction* mnuOptionsDisplayButtonCaptions;
    QAction* mnuOptionsDisplayEmptyFields;
    QAction* mnuOptionsDisplayFieldDescriptions;
    QAction* mnuOptionsDisplayCompoundFields;
    QAction* mnuOptionsDisplaySegmentDescriptions;
    QAction* mnuViewsDisable;
    QAction* mnuViewsCreate;
    QAction* mnuViewsDash2;
    QAction* mnuReportsCreate;
    // The Views and Reports menus list up to ten saved views and reports.
    std::array<QAction*, 10> mnuViewsView{};
    QAction* mnuViewsDash1;
    QAction* mnuViewsDelete;
    std::array<QAction*, 10> mnuReportsReport{};
    QAction* mnuReportsDash1;
    QAction* mnuReportsDash2;
    QAction* mnuReportsDelete;
    QAction* mnuEditUndo;
    QAction* mnuOptionsPromptBeforeDeleting;
    QAction* mnuOptionsUseMFU;
    QAction* mnuOptionsDisplayToolbar;
    QAction* mnuViewTCPIPWindow;
    QAction* mnuOpenFromEnsemble;
    QAction* mnuToolsHL7EnvelopeConfiguration;
    // The TCP/IP menu is never shown; its items only keep their captions and states.
    QAction* mnuServerStartListeningForRecords;
    QAction* mnuServerSelectServerConfiguration;
    QAction* mnuServerEditServerConfigurations;
    // Parts of the TCP/IP panel that the server engine uses.
    QCheckBox* chkLogToDisk;
    QLabel* lblTCPIPcount;
    QLabel* lblState;
    QComboBox* cboTCPIPNames;
    QPushButton* cmdStart;
    QPushButton* cmdStop;
    QPushButton* cmdPause;
    QPushButton* cmdEditConfig;
    QPushButton* cmdNewConfig;
    // The server socket: listener and, once a client is accepted, the connection.
    platform::WinsockControl* Winsock1 = nullptr;
    // The client socket.
    platform::WinsockControl* sock = nullptr;
    // More of the TCP/IP panel.
    QFrame* fraTCPIPPanelPlaceholder = nullptr;
    std::array<QRadioButton*, 2> optClientOrServer{};  // 0 client, 1 server
    QPushButton* cmdDeleteConfig;
    QCheckBox* chkViewRcvdACKs;
    std::array<QLabel*, 2> lblStartAt{};
    QLabel* Label1;
    QLabel* lblConfigPrompt;
    QWidget* Frame1;
    QAction* mnuTCPIPShowFrame;
    QAction* mnuClientStartSendingRecords;
    QAction* mnuClientSelectClientConfiguration;
    // Layout: the TCP/IP panel (hidden until shown from the View menu) and the two splitter bars.
    QFrame* fraTCPIP;
    QFrame* fraHSplitter;
    QFrame* fraVSplitter;
    // The two non-modal find windows while they exist (the search commands make them).
    QPointer<FindDialog> frmFindInFieldList;
    QPointer<FindDialog> frmFindInRecordList;
    // The replace dialogs while a replace command waits for them.
    QPointer<ReplaceDialog> frmReplaceInRecordList;
    QPointer<ReplaceDialog> frmReplace;
    // The filter dialog while it is open: no record-list find meanwhile.
    QPointer<QWidget> frmFilterRecords;

    // The assign-value dialog's two boxes while it is open (the editing commands open it).
    struct AssignValueDialog {
        QPointer<QWidget> window;
        QPointer<QComboBox> cboSegmentReplace;
        QPointer<QComboBox> cboFieldReplace;
    } frmAssignValueToField;

    // Members other parts read.
    int32_t CurrentPage = 0;
    int32_t CurrentRecordIndex = -1;
    // While set, selection changes in the record list do not redisplay the record.
    bool SuppressRecordClick = false;
    // Set while a segment command redisplays a record whose row is not selected.
    bool ForceRecordRedisplay = false;
    int32_t LongestSegmentLength = 0;
    // Lengths shown in the status bar; -1: not shown.
    int32_t RecLen = -1;
    int32_t SegLen = -1;
    int32_t FieldLen = -1;
    // The highest recent-files entry in use; -1 while the list is empty.
    int32_t MRUCount = -1;
    // The one file handed to the loader by the last Open.
    QString sFileName;
    // What Edit > Repeat Last Search repeats: the list the last find searched ("lstRecords",
    // "lstFields" or none) and the last request of each find.
    QString LastSearchListName;
    SearchRequest LastRecordSearch;
    SearchRequest LastFieldSearch;
    // The record of the last match of a record-list find; 0 before the first.
    int32_t LastFoundRecord = 0;
    // The columns of the definition chosen last from the Reports menu.
    std::vector<std::string> ReportFields;

    // The searches of the two find commands. `start` is -1 for a new text, else the selected
    // row of the record list (the selected line of the field list); `found` tells whether a
    // record (line) matched, which is then selected and shown.
    void RecordListFind(int32_t& start, bool& found);
    void RecordDetailFind(int& start, bool& found);
    // Layout state: the window state seen by the last resize (0 normal, 1 minimized,
    // 2 maximized) and the grab offsets of the two splitter bars, in twips.
    int16_t PreviousWindowState = 0;
    double HSplitterGrabOffset = 0;
    double VSplitterGrabOffset = 0;

    // The FTP Get command; the FTP side installs it. The loader runs it again when the user
    // declines to view a non-HL7 file that FTP Get delivered.
    std::function<void()> FtpGetCommand;

    // Loads one file into the record store and shows page 1. True when records were loaded.
    // With `source`, the bytes come from it (the file as it is being written); a failure of
    // the source is then the caller's to report.
    bool LoadHL7File(const QString& path, LoadSource* source = nullptr);
    // Page 1 of the records with the first one selected, "Rec 1/n", the window's caption (kept
    // when empty) and the toolbar's "Rec(s)": how a load ends.
    void ShowFirstPage(const QString& caption);
    bool IsLoading() const { return loading_; }

    void DisplayPage(int32_t& page);
    void SetButtonEnabledStatus();
    int AddItemToList(ListBox* list, const QString& text,
                      std::optional<int> itemData = std::nullopt);
    void UnselectAllRecords();
    // Layout (twips rules, in frmMain_Layout.cpp).
    void BuildLayout();
    void ResizeForm();
    void Form_Resize();
    void MoveHSplitter();
    void SetHSplitterTop(double twips);
    void MoveVSplitter();
    // Window places, stored under Windowpos in the settings.
    void SaveFrmPos(QWidget* window, const QString& key);
    void GetlastFormpos(QWidget* window, const QString& key, bool allowResize);

    // Options (frmMain_Options.cpp): display options, list font, administration switches.
    void LoadOptions();
    void SaveOptions();
    // Brings the administration switches into force on the menus, toolbar and the panel's
    // client/server choice; a role switched off while it runs is stopped as its Stop does.
    void SetMenuAndToolbarState();
    // Enables the TCP/IP panel's `controls` as a role ends; a client or server option button
    // among them stays disabled while the administration switches turn that role off, and
    // Start while they turn off the role the panel is set to.
    void EnablePanelControls(std::initializer_list<QWidget*> controls);
    // The administration switches turn the client (or the server) role off.
    bool RoleLocked(bool client) const;
    // The list the toolbar's Print and Find buttons and Ctrl+C act on.
    void SetFocusToList(const QString& listName);
    // The segment list's tooltip for a point of its viewport: the designation of the field
    // there, its description and the meaning of its value; "" where there is no field.
    QString SegmentToolTipAt(const QPoint& pos);
    bool SegmentToolTipEvent(QEvent* event);
    // A mouse, key or focus event of one of the three lists; true when it was used up.
    bool ListEvent(ListBox* list, QEvent* event);
    // Copies the selected lines of a list to the clipboard, each ended by CR LF.
    void CopySelectedLines(ListBox* list);

    // "&View the Log  [ 1,235 KB ]" for a log of `bytes`.
    static QString LogSizeCaption(qint64 bytes);

    // The program that opens plain files (frmMain_TextEditor.cpp).
    void SaveTextEditorForViewer();
    void GetTextEditorForViewer();

    // Recent files (frmMain_Files.cpp).
    int FindInMRUList(const QString& path) const;
    void AddToMRUList(const QString& path);
    void InsertMRUItem(const QString& path);
    void MoveMRUItemToTop(const QString& path, int index);
    void LoadMRUList();
    void SaveMRUList();

    // Saving: all records (true) or the selected rows of the page (false), through a dialog.
    void SaveRecords(bool all);

    // Records from the clipboard's text in place of the loaded ones, or after them (`append`);
    // page 1 is shown afterwards.
    void PasteRecords(bool append);

    // Undo ring (frmMain_Undo.cpp).
    // Saves an undo point; false when it could not be saved (the failure has been reported) or
    // undo is off.
    bool UndoSave(const QString& operationName);
    // UndoSave for a command that must not change anything without its undo point: false when
    // the point could not be written (the failure has been reported).
    bool SaveUndoPointFor(const QString& operationName);
    // Undo points and the sorted file of this size and more are written beside the window,
    // after the command has returned; smaller ones at once.
    size_t WriteBesideFrom = size_t{16} << 20;
    BackgroundWrites backgroundWrites_;
    // What an undo replaced (records, a file) goes here, so that freeing it never waits
    // behind a write.
    BackgroundWrites backgroundFrees_;
    // The records of the undo points kept in memory (sharing their bytes with the store): the
    // current level's, so that its undo is at once, and those whose files are still being
    // written. Undo takes the copy and stops the write instead of waiting for the disk.
    std::array<std::shared_ptr<const RecordsSnapshot>, UndoRing::Slots> undoSnapshots_;
    // Lets go of the snapshots no longer kept.
    void TrimUndoSnapshots();
    // The tag of the sorted file's write; undo points use their slot.
    static constexpr int SortedFileWrite = UndoRing::Slots;
    // Frees what an undo, a roll-back or a load replaced, beside the window when it is large;
    // what a load replaced keeps its blocks a while for the next load.
    void DiscardBeside(std::vector<RecordText>&& records, bool forNextLoad = false);

    // The last command whose files are still being written beside the window: a write of them
    // that fails takes the command back, so that it ends as if it had failed at once (the
    // records as they were, followed by those the server appended since the command ended; its
    // undo points gone; the caption and the current file as they were).
    struct PendingChange {
        std::shared_ptr<const RecordsSnapshot> before;  // the records before it
        int32_t countBefore = 0;
        int16_t levelBefore = 0;
        Delimiters delimitersBefore;
        QString caption, currentFile, fileName;
        std::vector<int> points;  // the slots of its undo points
        QString sortedFile;       // its sorted file, when one is being written
        bool undone = false;      // Undo took it back already
        // Once it ended: the records as it left them (their count and a digest of which texts
        // stand where), and the append count then.
        bool ended = false;
        int32_t countAfter = 0;
        uint64_t digestAfter = 0;
        uint64_t appendedAfter = 0;
    };
    std::optional<PendingChange> pendingChange_;
    // A command that changes records holds this from before it reads them to its end. At the
    // start it waits, window events running, for the writes of the last change still on their
    // way whose failure would take that change back; when one failed, the change is taken back
    // and reported, and the command does nothing (false). While a command holds it, a write
    // that fails is only dealt with when the command ends.
    class RecordsChange {
    public:
        explicit RecordsChange(frmMain& window, bool wait = true);
        ~RecordsChange();
        RecordsChange(const RecordsChange&) = delete;
        RecordsChange& operator=(const RecordsChange&) = delete;
        explicit operator bool() const { return proceed_; }

    private:
        frmMain& window_;
        bool proceed_ = true;
    };
    int changesRunning_ = 0;
    // Held through the outermost change and given up beside after it: the blocks its commands
    // free are kept for the texts they write.
    std::shared_ptr<RecordArena::KeepFreedBlocks> keepFreed_;
    // Waits as RecordsChange does; false when a change was taken back meanwhile.
    bool SettleWrites();
    // The pending change as it stands could be taken back, and doing so would change records.
    bool PendingChangeCouldRevert() const;
    // The command of the pending change has ended: what it left is noted.
    void EndPendingChange();
    // Takes the pending change back; false when the records changed otherwise since it ended
    // (then they stay as they are).
    bool RevertPendingChange();
    int reverts_ = 0;

    // Returns once no write is left on its way (or none of `tag`; without a tag, no undo file
    // waiting to be removed either), letting window events other than the user's run
    // meanwhile; writes that failed are reported then.
    void AwaitWrites();
    void AwaitWrites(int tag);
    // Takes in the writes that ended and reports those that failed (outside a command: inside
    // one, when it ends).
    void CollectEndedWrites();
    void ReportEndedWrites();
    std::vector<BackgroundWrites::Outcome> endedWrites_;
    bool reportingWrites_ = false;
    // An undo file of this window exists or is on its way.
    bool UndoAvailable() const;

    // Replace (frmMain_Replace.cpp): the workers over the search request, each reporting its
    // count; true when something was replaced.
    bool RecordListReplaceAll();
    bool SegmentListReplaceAll();
    // Puts back the record store saved at the ring's current slot and steps the ring back;
    // false when there is nothing to restore.
    bool RestoreUndoLevel();
    // A new file starts with nothing to undo.
    void StartEmptyUndoRing();

    // TCP/IP server (frmMain_Server.cpp).
    void LoadServerConfiguration(QString& path);
    // Listens on the configured port; false (with the reason) when it cannot.
    bool StartListening(QString* error);
    void StopListening();
    void DisplayServerWinsockState();
    // Adds the received records the shown page lacks and brings the labels up to date; runs
    // at most every 50 ms while records arrive, and before user input reaches the window.
    void FlushReceivedRows();
    // Held by every command that lets window events run and then replaces or rewrites the
    // records: while one lives the server takes nothing from its connection and sends no ACK
    // (the bytes wait in the socket; while the command waits for the user, see ArrivalsAside),
    // so no record it acknowledged can be dropped or changed by
    // the command. When the last one ends, what waited is taken up at the next turn of the
    // event loop, after the records the command left.
    class ArrivalsHold {
    public:
        explicit ArrivalsHold(frmMain& w);
        ~ArrivalsHold();
        ArrivalsHold(const ArrivalsHold&) = delete;
        ArrivalsHold& operator=(const ArrivalsHold&) = delete;

    private:
        frmMain& w_;
    };
    // Held while a command waits for the user (a box, a dialog, a file dialog, a window of its
    // own): within its ArrivalsHold the server then takes what arrives and acknowledges it at
    // once, and sets the records aside; they join the store once the last hold has ended, after
    // the records the command left and before anything that waited in the socket. A hold taken
    // while one lives holds again until it ends. Every box of `dlg` is shown with one.
    class ArrivalsAside {
    public:
        explicit ArrivalsAside(frmMain& w);
        ~ArrivalsAside();
        ArrivalsAside(const ArrivalsAside&) = delete;
        ArrivalsAside& operator=(const ArrivalsAside&) = delete;

    private:
        frmMain& w_;
        int outer_;
    };

    // TCP/IP client (tcpip/frmMain_Client*.cpp).
    void LoadClientConfiguration(QString& path);
    // Sends the loaded (or selected) records to the configured server and waits for their
    // acknowledgements; returns when the run is over.
    void SendRecordsToServer();
    void DisplayClientWinsockState();

    // Start-up and shutdown (frmMain_Startup.cpp).
    void Form_Load();
    void Form_Activate();

    DisplayOptions CurrentDisplayOptions() const;
    void DisplayRecordSegmentFieldLengths();
    // Sets the assign-value dialog's boxes to the selected field line's designation.
    void GetSelectedFieldName(QComboBox* cboSegmentReplace, QComboBox* cboFieldReplace);
    // Reads fsa.dat (installing the program's own when none is there), z-segments.dat and
    // data-desc.dat from DataRoot, and tells the user what could not be read.
    void LoadDescriptionFiles();

    // Runs a program hidden and answers its exit code (-1 when it could not run).
    int ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs = -1);

    // A record's text as the lists show it, in the encoding the record's bytes call for.
    static QString DisplayText(std::string_view record, char endOfBlock = '\r');
    // The bytes behind a row of the record list (the record as stored) and of the segment list
    // (the shown record's segment, without its terminator); the row's own text when the store
    // no longer holds what the list shows, "" for no row.
    std::string RecordRowBytes(int row) const;
    std::string SegmentRowBytes(int row) const;
    // The bytes behind a row of the segment or field list, as the record holds them; the row's
    // text in the shown record's encoding when the list keeps none.
    std::string RowBytes(const ListBox* list, int row) const;
    // The encoding of the record the segment and field lists show (Latin-1 when none).
    TextEncoding ShownRecordEncoding() const;

public slots:
    void cmdFirstPage_Click();
    void cmdPrevPage_Click();
    void cmdNextPage_Click();
    void cmdLastPage_Click();
    void lstRecords_Click();
    void lstSegments_Click();
    void lstFields_Click();
    void mnuFieldListLockFieldLocation_Click();
    void mnuViewsDisable_Click();
    void mnuRecordListFind_Click();
    void mnuFieldListFind_Click();
    void mnuEditFilterRecordList_Click();
    void mnuRecordListFilter_Click();
    void mnuClipboardPaste_Click();
    void mnuClipboardPasteAppend_Click();
    // The Edit menu as it opens: which of its items can be chosen.
    void mnuEdit_Click();
    void mnuEditCopySelectedRecords_Click();
    void mnuEditCopySelectedSegments_Click();
    void mnuEditCopySelectedFields_Click();
    void mnuEditFindInRecordList_Click();
    void mnuEditFindInFieldList_Click();
    void mnuEditRepeatLastSearch_Click();
    // Commands of the editing, analysis and view tools that the pop-up menus, the Tools menu
    // and the toolbar run (frmMain_Commands.cpp).
    void mnuRecordListReplace_Click();
    void mnuRecordListEdit_Click();
    void mnuRecordListAssignValueToField_Click();
    void mnuRecordListCopy_Click();
    void mnuRecordListDelete_Click();
    void mnuRecordListDeleteThisThruFirst_Click();
    void mnuRecordListDeleteThisThruLast_Click();
    void mnuRecordListViewRecordAsASCII_Click();
    void mnuRecordListCompare_Click();
    void mnuRecordListCompareSet1_Click();
    void mnuRecordListCompareSet2_Click();
    void mnuRecordListCompareBoth_Click();
    void mnuRecordListCompareClear_Click();
    void mnuRecordListPrint_Click();
    void mnuSegmentListReplace_Click();
    void mnuSegmentListDelete_Click();
    void mnuSegmentListViewSegmentAsASCII_Click();
    void mnuSegmentListCompare_Click();
    void mnuSegmentListCompareSet1_Click();
    void mnuSegmentListCompareSet2_Click();
    void mnuSegmentListCompareClear_Click();
    void mnuSegmentListPrint_Click();
    void mnuFieldListReplace_Click();
    void mnuFieldListAssignValue_Click();
    void mnuFieldListEdit_Click();
    void mnuFieldListUniqueValues_Click();
    void mnuFieldListFilterByThisField_Click();
    void mnuFieldListCreateView_Click();
    void mnuFieldListPrint_Click();
    void mnuFieldListPrintReport_Click();
    // Builds the report of `designations` over the loaded records and shows it in the report
    // window; `reportName` is the saved definition it came from ("" for Report Writer).
    void ShowReport(const std::vector<std::string>& designations, const QString& reportName);
    // Asks for a name and saves `designations` (the report's columns in display order) as a
    // report definition; false when nothing was saved.
    bool SaveReportAs(const std::vector<std::string>& designations);
    void mnuCtrlShiftHomeDelete_Click();
    void mnuCtrlShiftHomeCopy_Click();
    void mnuCtrlShiftHomeDeleteEnd_Click();
    void mnuCtrlShiftHomeCopyEnd_Click();
    void mnuFTPSend_Click();
    void mnuOpenFromEnsemble_Click();
    void mnuFileOpenCerner_Click();
    void mnuViewRecordAsASCII_Click();
    void mnuToolsDetermineMaxFieldWidths_Click();
    void mnuToolsDetermineRecordStatistics_Click();
    void mnuToolsDetermineUniqueFieldValues_Click();
    void mnuToolsDetermineWhatFieldsAreUsed_Click();
    void mnuToolsChangeDelimiters_Click();
    void mnuToolsSortMSH7_Click();
    void mnuToolsCompareTwoRecords_Click();
    void mnuToolsPingAnotherComputer_Click();
    void mnuToolsWhatIsMyIPaddress_Click();
    void mnuToolsLoggingLevel_Click();
    void mnuToolsViewTheLog_Click();
    void mnuToolsDeleteTheLog_Click();
    // The Help menu (frmMain_Help.cpp).
    void mnuHelpContents_Click();
    void mnuHelpTechSupport_Click();
    void mnuHelpAbout_Click();
    // Menus as they open, the z-segment file and the Options menu.
    void mnuFile_Click();
    void mnuFTP_Click();
    void mnuTools_Click();
    void mnuToolsEditZSegments_Click();
    void mnuOptionsDisplayToolbar_Click();
    void mnuOptionsDisplayButtonCaptions_Click();
    void mnuOptionsDisplayEmptyFields_Click();
    void mnuOptionsDisplayFieldDescriptions_Click();
    void mnuOptionsDisplayCompoundFields_Click();
    void mnuOptionsDisplaySegmentDescriptions_Click();
    void mnuOptionsPromptBeforeDeleting_Click();
    void mnuOptionsUseMFU_Click();
    void mnuOptionsSelectFont_Click();
    void mnuOptionsDiskEnvelopeChars_Click(bool use);
    void mnuOptionsFTPEnvelopeChars_Click(bool use);
    void mnuOptionsFileExtAndLocations_Click();
    void mnuOptionsDefaultTextEditorNotepad_Click();
    void mnuOptionsDefaultTextEditorWordpad_Click();
    void mnuOptionsDefaultTextEditorWindows_Click();
    void mnuOptionsDefaultTextEditorManually_Click();
    void mnuFTPReceive_Click();
    void mnuFileExit_Click();
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuMRU_Click(int index);
    void mnuFileSave_Click();
    void mnuFileSaveNow_Click();
    void mnuRecordListSaveAllRecords_Click();
    void mnuRecordListSaveSelectedRecords_Click();
    void tbarTools_ButtonClick(int index);
    void mnuEditUndo_Click();
    void mnuToolsHL7EnvelopeConfiguration_Click();
    void chkLogToDisk_Click();
    void Winsock1_ConnectionRequest(int requestId);
    void Winsock1_DataArrival(int bytesTotal);
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString& description);
    void Winsock1_Connect();
    void Winsock1_SendComplete();
    void cmdEditConfig_Click();
    void cmdNewConfig_Click();
    void cmdDeleteConfig_Click();
    void cmdPause_Click();
    void cmdStart_Click();
    void cmdStop_Click();
    void mnuViewTCPIPWindow_Click();
    void mnuTCPIPShowFrame_Click();
    void optClientOrServer_Click(int index);
    void cboTCPIPNames_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class LoaderWindowHost;
    void BuildControls();
    void BuildMenus();
    void BuildPopupMenus();
    // Wires the three lists' mouse, key and focus events to the handlers below.
    void ConnectListEvents();
    void DisconnectListEvents();
    // Puts the segment list and the TCP/IP panel below the toolbar, or at the top.
    void SetTopsForToolbar(bool toolbarShown);
    void SetStartUpToolbarLayout(bool toolbarShown);
    // Empties the three lists and the send range, sends the selection, unlocks the field list.
    void ClearListsAndRange();
    // What a load pass empties, kept aside so that a load that fails shows the records as
    // they were: the three lists whole, the labels, the send range and the field lock.
    struct ShownBeforeLoad {
        ListBox::Shown records, segments, fields;
        QString file, pageOf, startWith, endWith, panel5;
        bool sendSelectedOnly = true;
        bool fieldLocked = false;
        bool recordsEnabled = true;
    };
    ShownBeforeLoad TakeShownRecords();
    void PutBackShownRecords(ShownBeforeLoad&& shown);
    void BeginLoadPass();
    void ShowNothingLoaded();
    void OfferViewer(const QString& path);
    void ShowLoadError(const QString& text, const QString& title);
    void SelectFirstRowAfterPageChange(bool unselectFirst);
    // User selections reach the click handlers once per event-loop turn, after Qt has
    // settled both the current row and the selection.
    void ConnectClick(ListBox* list, void (frmMain::*handler)(), int* serial);
    void UnselectRecordsQuietly();
    void SelectCurrentRecordRow();
    int SelectedRecordCount() const;
    // The last key that went down in a list, with the shift state it went down with.
    int listKeyDown_ = 0;
    Qt::KeyboardModifiers listKeyDownModifiers_;
    int recordClickSerial_ = 0;
    int segmentClickSerial_ = 0;
    int fieldClickSerial_ = 0;

    bool loading_ = false;
    bool exiting_ = false;
    // Find (frmMain_Find.cpp).
    FindDialog* ShowFindDialog(QPointer<FindDialog>& dialog, bool records);
    // Waits, letting window events run, until `dialog` hands over its request; false when the
    // dialog is gone or the program is ending.
    bool WaitForSearchDialog(QDialog* dialog);
    // The records a record-list replace runs over: every one, or the rows of the page chosen
    // when it starts.
    struct ReplaceRange {
        int32_t first = 1;
        int32_t last = 0;
        std::function<bool(int32_t)> include;  // empty: every record from first to last
    };
    ReplaceRange RecordListReplaceRange();
    // The record-list replace run and its count; -1 when its undo point could not be written.
    int32_t RunRecordListReplace();
    // Whether a record list replace beyond Latin-1 would change no record because none that it
    // would change can hold the text: the box said so, before any undo point.
    bool RecordListReplaceRefused();
    // The box refusing a delimiter that `records` records cannot hold as one byte.
    void RefuseDelimiter(const QString& character, int64_t records);
    ReplaceDialog* OpenReplaceDialog(QPointer<ReplaceDialog>& dialog, int kind,
                                     const QString& caption);
    // Waits for `dialog` and runs `run` (which answers its count, -1 to stop) on each request
    // until something was replaced: answers that count, 0 when cancelled, -1 when stopped.
    int32_t WaitAndReplace(ReplaceDialog* dialog, const std::function<int32_t()>& run);
    // Clears the field names of the request; false (after saying why, or after bringing the
    // waiting dialog forward) when a replace or assign command cannot start.
    bool ReplaceCommandMayStart(QWidget* waiting);
    bool FindInRecordList(const SearchRequest& request, int32_t start, bool repeat);
    bool FindInFieldList(const SearchRequest& request, int start, bool repeat);
    void SelectFoundFieldLines(const SearchRequest& request);
    // The selected row of a list (its current row when that is selected), -1 when none.
    static int SelectedRow(const ListBox* list);
    bool waitingForRecordFind_ = false;
    bool waitingForFieldFind_ = false;
    // Saves the settings (the window's place too when `savePlace`), telling a failed write, and
    // ends the background work; only the first call does anything.
    void ShutDown(bool savePlace);
    void CreateServerSocket();
    void BuildTCPIPPanel();
    void FillConfigurationList();
    bool ClientMode() const;
    // While a client run is active, commands that would change the records under it wait.
    void LockForRun(bool running);
    bool pendingClose_ = false;
    bool pendingExit_ = false;
    void AcknowledgeRecord(const ReceivedRecord& received);
    void LogReceivedRecordToDisk(const std::string& record);
    void ShowReceivedRecord();
    void ReceiveData(const std::string& data);
    void CloseServerLog();
    // Arrivals held by commands: the connection's events that would take, drop or replace what
    // waits in it are put off in their order (true) and run again by the take-up.
    bool PutOffWhileHeld(std::function<void()> event);
    void ScheduleTakeUp();
    void TakeUpHeldArrivals();
    void ForgetHeldArrivals();
    // A hold lives and no ArrivalsAside was taken inside its innermost one.
    bool ArrivalsWait() const { return arrivalHolds_ > 0 && asideAtHolds_ != arrivalHolds_; }
    void StoreReceivedRecord(const std::string& record);
    void JoinArrivalsSetAside();
    int arrivalHolds_ = 0;
    int asideAtHolds_ = 0;             // the holds living when the innermost aside was taken
    std::vector<std::string> arrivalsSetAside_;  // acknowledged, not yet in the store
    bool arrivalsWaiting_ = false;     // data came while held
    bool takeUpScheduled_ = false;
    bool takingUpEvent_ = false;       // the next event to ask is the one being taken up
    std::deque<std::function<void()>> heldServerEvents_;
    QTimer* receivedShowTimer_ = nullptr;
    QObject* receivedInputFlush_ = nullptr;
    bool receivedPending_ = false;
    platform::FileAppender serverLog_;  // kept open between records while logging to disk
    bool serverLogFailed_ = false;
    QString serverLogFailure_;
    // Decompresses and joins what lies in Files2LoadFolder and loads the result; the recent-files
    // list remembers `rememberedName`, or the loaded file when it is empty.
    // True when records were loaded. With `remember` off the file is not added to the
    // recent-files list (FTP Get's downloads are working copies).
    bool LoadFromWorkingFolder(const QString& rememberedName = {}, bool remember = true);
    bool LoadAndRemember(const QString& path, const QString& rememberedName, bool remember = true);
    // What follows the load of an Open: the recent-files entry, the undo ring, the counter;
    // `stamp` is the loaded file as it was before it was read.
    void FinishOpen(bool loaded, const QString& path, const QString& rememberedName,
                    bool remember = true, const FileStamp& stamp = {});
    // The file the records were last loaded from or saved to, as it was then.
    FileStamp recordsFile_;
    // Before a save writes over `path`: when that is the file of recordsFile_ and something
    // changed it since, the user is asked. False when the file is to be kept.
    bool MayOverwrite(const QString& path);
    bool WriteRecordsTo(const QString& path, const std::vector<std::string_view>& records,
                        bool progress, QString* error, int* errorCode);
    QElapsedTimer loadEventsTimer_;

    // Compare commands (analysis/frmMain_Compare.cpp).

    // Maximum field widths and record length statistics (analysis/frmMain_Widths.cpp).
    // The widths window while it is open; a later run adds its rows to it.
    QPointer<QWidget> frmMaximumFieldWidthsWindow;
    // Shows record n as a tool's jump does: its page, that row alone selected, current and at
    // the top, its segments and fields, and "Rec  n/count" in lblFile.
    void ShowRecordFromTool(int32_t n);
    // A double-click in the widths window: the record of the row, when it still holds the
    // width shown.
    void MaxWidthJump(const QString& designation, qsizetype width);

    // Fields used (analysis/frmMain_FieldsUsed.cpp).

    // Unique values and the character-code view (analysis/frmMain_UniqueValues.cpp,
    // analysis/frmMain_Ascii.cpp).

    // Views (reports/frmMain_Views.cpp).
    void FillViewsMenu();
    void mnuViewsView_Click(int index);
    void mnuViewsDelete_Click();
    void mnuViews_Click();
    // Asks for a view or report name until it passes the name rule; "" for Cancel or blanks.
    QString AskDefinitionName(const QString& prompt, const QString& title, QString& lastTyped);
    // Shows the selected record again under the changed view, its row still selected.
    void RedisplayForView();
    QString LastViewName;
    // Report definitions and the Reports menu (reports/frmMain_ReportMenu.cpp).
    void FillReportsMenu();
    void mnuReportsReport_Click(int index);
    void mnuReportsDelete_Click();
    void mnuReports_Click();
    QString LastReportName;

    // Reports (reports/frmMain_Reports.cpp).

    // Report sort (reports/TreeSort.*, reports/frmReportSort.*).

    // Database sources (sources/frmMain_Sources.cpp, frmMain_Cerner.cpp, frmMain_Ensemble.cpp).
public:
    // Replaces the records with `messages` in one step and shows page 1 under the interface's
    // name: caption "Quillon - Data from " and the name, current file TempFolder & name & ".dat".
    void ShowDatabaseRecords(DatabaseMessages&& messages, const QString& interfaceName);
    // The Ensemble picker's choices and the picker while a load waits for it.
    EnsembleState Ensemble;
    QPointer<frmEnsembleInterfaces> EnsemblePicker;
private:
    bool waitingForEnsemble_ = false;

    // FTP window and commands (ftp/frmMain_FTP.cpp).
public:
    // True when the FTP window was left without a download to load.
    bool FtpCancelled = true;
    // True while FTP Get loads what it downloaded.
    bool FtpGetLoading = false;
    // The FTP window while it is loaded; between commands it stays hidden with its connection.
    QPointer<QDialog> FtpWindow;
    void FtpGet();
    // Shows the FTP window modally in Put or Get mode, loading it first when needed.
    void ShowFtpWindow(bool put);
    // Decompresses, joins and loads what FTP Get left in Files2LoadFolder.
    void LoadFtpDownloads();
    // Writes the records to the Put hand-over file; false (after saying so) when it failed.
    bool WriteFtpPutFile(const QString& path);
    // Sets FtpGetCommand while the window is built, as a member initializer after it.
    bool InstallFtpCommands();
    bool ftpCommandsInstalled_ = InstallFtpCommands();
private:

    // Printing of the record, segment and field lists (reports/frmMain_Print.cpp).
    void PrintListRecords();
    void PrintLstSegments();
    void PrintLstFields();
    // The print dialog, All or Selection preset; no value after Cancel or after saying `none`
    // (titled `noneTitle`) when Selection was chosen with no row of `list` selected.
    std::optional<platform::PrintChoice> AskListPrint(ListBox* list, bool preselect,
                                                      const QString& none,
                                                      const QString& noneTitle);
};

}  // namespace quillon
