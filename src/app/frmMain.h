#pragma once
// The main window: the record list (one page of 400 records), the segment and field lists of
// the selected record, the page buttons and labels, toolbar and status bar.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <array>
#include <functional>
#include <optional>

#include "app/AppState.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

namespace quillon {

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
    QAction* mnuFileExit;
    QAction* mnuFieldListLockFieldLocation;
    QAction* mnuOptionsDisplayButtonCaptions;

    // Members other parts read.
    int32_t CurrentPage = 0;
    int32_t CurrentRecordIndex = -1;
    bool SuppressRecordClick = false;
    int32_t LongestSegmentLength = 0;

    // The FTP Get command; the FTP side installs it. The loader runs it again when the user
    // declines to view a non-HL7 file that FTP Get delivered.
    std::function<void()> FtpGetCommand;

    // Loads one file into the record store and shows page 1.
    void LoadHL7File(const QString& path);
    bool IsLoading() const { return loading_; }

    void DisplayPage(int32_t& page);
    void SetButtonEnabledStatus();
    int AddItemToList(QListWidget* list, const QString& text,
                      std::optional<int> itemData = std::nullopt);
    void UnselectAllRecords();
    void ResizeForm();

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
    void mnuFTPReceive_Click();
    void mnuFileExit_Click();

private:
    friend class LoaderWindowHost;
    void BuildControls();
    void BeginLoadPass();
    void ShowNothingLoaded();
    void OfferViewer(const QString& path);
    void ShowLoadError(const QString& text, const QString& title);
    void SelectFirstRowAfterPageChange(bool unselectFirst);

    bool loading_ = false;
    QElapsedTimer loadEventsTimer_;
};

}  // namespace quillon
