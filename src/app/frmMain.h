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
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <array>
#include <functional>
#include <optional>

#include "app/AppState.h"
#include "records/FieldLines.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

namespace quillon {

namespace platform {
class WinsockControl;
}

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    frmMain(AppState& state, platform::Dialogs& dialogs, platform::Desktop& desktop,
            QWidget* parent = nullptr);

    AppState& st;
    platform::Dialogs& dlg;
    platform::Desktop& desktop;

    // Controls.
    QListWidget* lstRecords;
    QListWidget* lstSegments;
    QListWidget* lstFields;
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
    QAction* mnuFieldListLockFieldLocation;
    QAction* mnuOptionsDisplayButtonCaptions;
    QAction* mnuOptionsDisplayEmptyFields;
    QAction* mnuOptionsDisplayFieldDescriptions;
    QAction* mnuOptionsDisplayCompoundFields;
    QAction* mnuOptionsDisplaySegmentDescriptions;
    QAction* mnuViewsDisable;
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
    QPointer<QWidget> frmFindInFieldList;
    QPointer<QWidget> frmFindInRecordList;

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
    // The list the last find searched, for Edit > Repeat Last Search.
    QString LastSearchListName;
    // Layout state: the window state seen by the last resize (0 normal, 1 minimized,
    // 2 maximized) and the grab offsets of the two splitter bars, in twips.
    int16_t PreviousWindowState = 0;
    double HSplitterGrabOffset = 0;
    double VSplitterGrabOffset = 0;

    // The FTP Get command; the FTP side installs it. The loader runs it again when the user
    // declines to view a non-HL7 file that FTP Get delivered.
    std::function<void()> FtpGetCommand;

    // Loads one file into the record store and shows page 1. True when records were loaded.
    bool LoadHL7File(const QString& path);
    bool IsLoading() const { return loading_; }

    void DisplayPage(int32_t& page);
    void SetButtonEnabledStatus();
    int AddItemToList(QListWidget* list, const QString& text,
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

    // Recent files (frmMain_Files.cpp).
    int FindInMRUList(const QString& path) const;
    void AddToMRUList(const QString& path);
    void InsertMRUItem(const QString& path);
    void MoveMRUItemToTop(const QString& path, int index);
    void LoadMRUList();
    void SaveMRUList();

    // Saving: all records (true) or the selected rows of the page (false), through a dialog.
    void SaveRecords(bool all);

    // Undo ring (frmMain_Undo.cpp).
    void UndoSave(const QString& operationName);
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

    // Record text as the lists show it: one Latin-1 character a byte.
    static QString DisplayText(const std::string& bytes);

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
    void BeginLoadPass();
    void ShowNothingLoaded();
    void OfferViewer(const QString& path);
    void ShowLoadError(const QString& text, const QString& title);
    void SelectFirstRowAfterPageChange(bool unselectFirst);
    // User selections reach the click handlers once per event-loop turn, after Qt has
    // settled both the current row and the selection.
    void ConnectClick(QListWidget* list, void (frmMain::*handler)(), int* serial);
    void UnselectRecordsQuietly();
    void SelectCurrentRecordRow();
    int SelectedRecordCount() const;
    int recordClickSerial_ = 0;
    int segmentClickSerial_ = 0;
    int fieldClickSerial_ = 0;

    bool loading_ = false;
    bool exiting_ = false;
    void ShutDown();
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
    // Decompresses and joins what lies in Files2LoadFolder and loads the result; the recent-files
    // list remembers `rememberedName`, or the loaded file when it is empty.
    void LoadFromWorkingFolder(const QString& rememberedName = {});
    void LoadAndRemember(const QString& path, const QString& rememberedName);
    bool WriteRecordsTo(const QString& path, const std::vector<const std::string*>& records,
                        bool progress, QString* error, int* errorCode);
    QElapsedTimer loadEventsTimer_;
};

}  // namespace quillon
