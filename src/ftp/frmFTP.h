#pragma once
// The FTP window: log in to a saved or typed host, browse its directories, delete and rename
// remote files, and (in Get or Put mode, told by the caption of cmdGet) move files. Shown
// modally by the main window; a hidden window stays loaded with its connection.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <memory>

#include "ftp/FtpHosts.h"
#include "ftp/FtpOptions.h"
#include "platform/FtpControl.h"

namespace quillon {

struct AppState;
namespace platform {
class Desktop;
class Dialogs;
}

// The remote name proposed in Put mode from the main window's caption: the last part of the
// loaded file's path, "new_file" for pasted data or nothing loaded.
QString ProposeRemoteName(const QString& mainCaption);

// The host box's text split for the control: the text before the first ":" and the number
// after it (as far as it is one), or the whole text and port 21.
struct FtpHostPort {
    QString host;
    int port = platform::FtpControl::DefaultPort;
    bool portGiven = false;
    bool operator==(const FtpHostPort&) const = default;
};
FtpHostPort SplitHostPort(const QString& hostText);

// The listing's texts: the size with thousands separators ("" for 0) and the modification time
// in the locale's short date followed by " hh:mm:ss".
QString FormatFileSize(qint64 size, const QLocale& locale = QLocale());
QString FormatModified(const QDateTime& modified, const QLocale& locale = QLocale());

class frmFTP : public QDialog {
    Q_OBJECT
public:
    static inline const QString kGetCaption = QStringLiteral("&Get File");
    static inline const QString kPutCaption = QStringLiteral("&Put File");

    // `ftpCancelled` is the main window's flag; with no `passwords` they live in the settings
    // file only.
    frmFTP(AppState& state, platform::Dialogs& dialogs, bool& ftpCancelled,
           std::unique_ptr<FtpPasswordStore> passwords = nullptr, QWidget* parent = nullptr);
    ~frmFTP() override;

    AppState& st;
    platform::Dialogs& dlg;
    bool& FtpCancelled;
    platform::FtpControl FileTransfer1;

    // The main window's caption, from which Put mode proposes the remote name.
    QString MainWindowCaption;
    QString ConnectedHost;
    // The download target of View as HL7 for bracketed remote directories; Cancel deletes it.
    QString HandOverFile;

    // Login frame.
    QGroupBox* fraFTPConnect;
    QComboBox* cboHostNames;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QLineEdit* txtInitialDirectory;
    QCheckBox* chkPassive;
    QCheckBox* chkUseSSL;
    QLineEdit* txtSSL;
    QCheckBox* chkAutoConnectToHost;
    QCheckBox* chkOverRideAutoConnect;
    QCheckBox* chkDisconnect;
    QCheckBox* chkSavePassword;
    QPushButton* cmdConnect;
    std::array<QPushButton*, 2> cmdCommand{};  // "&Save", "Delete"
    QPushButton* cmdSetInitialDir;
    // Lists.
    QLabel* lblDirectory;
    QListWidget* lstDirectoryList;
    QTreeWidget* lvFileList;
    QComboBox* cboFilesOfType;
    QLabel* lblFileName;  // element 0 of lblLabel
    QLineEdit* txtFileName;
    // Commands.
    QPushButton* cmdDisconnect;
    QPushButton* cmdGet;
    QPushButton* cmdOpen;
    QPushButton* cmdViewInWP;
    QPushButton* cmdDelete;
    QPushButton* cmdRename;
    QPushButton* cmdCancel;
    QStatusBar* stsStatus;
    std::array<QLabel*, 4> stsPanels{};  // panels 1 to 3
    QProgressBar* prStatus;               // laid over panel 2 during a transfer
    QString SavedPanelText;
    // Menus.
    QMenu* mnufile;
    QAction* mnuFileDisconnect;
    QAction* mnuFileViewFileInQuillon;
    QAction* mnuFileGetFile;
    QAction* mnuViewFileInEditor;
    QAction* mnuFileRefreshFileList;
    QAction* mnuFileExit;
    QMenu* mnuOptions;
    QAction* mnuOptionsDefineFileExtensions;
    QAction* mnuOptionsDownloadUsingASCIIMode;
    QAction* mnuOptionsDownloadUsingBinaryMode;
    QMenu* mnuOptionsIfFileExists;
    QAction* mnuOptionsIfFileExistsOverwrite;
    QAction* mnuOptionsIfFileExistsAppend;
    QAction* mnuOptionsSetCurrentDirAsDefaultDir;
    QMenu* mnuLabelDirectoryPopup;
    QAction* mnuSetInitialDirectory;

    FtpFileTypes FileTypes;

    bool PutMode() const { return cmdGet->text() == kPutCaption; }
    QString StatusText() const;
    void SetStatusText(const QString& text);
    // Sets the caption, which the rest of the program reads while the window is loaded.
    void SetCaption(const QString& caption);
    // True once the window was closed (Cancel, Exit, close box): the main window deletes it.
    bool Unloaded() const { return unloaded_; }

    void Form_Activate();
    void Form_Unload();
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void cmdCancel_Click();
    void cboHostNames_Click();
    void cboHostNames_LostFocus();
    // Probes the connection and offers to reconnect. False when the window was left (No).
    bool ReconnectIfNecessary();
    void SetButtonStatus();

    void OpenDirectory();
    void ChangeDirectory(const QString& path);
    void lstDirectoryList_DblClick();
    void lvFileList_ItemClick();
    void lvFileList_DblClick();
    void cboFilesOfType_Click();

    void cmdDelete_Click();
    void cmdRename_Click();

    // The transfers. Get mode saves the selected files into one local file, Put mode uploads
    // the main window's hand-over file; View as HL7 downloads into the load folder and hides
    // the window; View in Editor downloads into the temp folder and opens the viewer.
    void cmdGet_Click();
    void cmdOpen_Click();
    void cmdViewInWP_Click();
    void FileTransfer1_Progress(qint64 first, qint64 second, qint64 third, int percent);
    void ShowProgressBar(int panel);
    void HideProgressBar(int panel);
    // The names of the selected rows of lvFileList, in list order.
    QStringList SelectedFiles() const;
    // Where View in Editor opens files; the main window sets its own.
    platform::Desktop* desktop = nullptr;

    // Saved hosts.
    void LoadFTPHostNames();
    void LoadUserName(const QString& host);
    void cmdCommand_Click(int index);
    void cmdSetInitialDir_Click();
    void mnuSetInitialDirectory_Click();
    void txtInitialDirectory_LostFocus();

    // Menus and options.
    void mnufile_Click();
    void mnuOptions_Click();
    void mnuFileRefreshFileList_Click();
    void mnuOptionsChoose(QAction* item);
    void mnuOptionsDefineFileExtensions_Click();
    // A key typed into txtFileName (character code, 8 for Backspace); set to 0 to swallow it.
    void txtFileName_KeyPress(int& keyAscii);
    void LoadFTPExtensions();
    void SaveDefaults();
    FtpTransferOptions TransferOptions() const;

    // The text of lvFileList's current row ("" with no rows).
    QString CurrentFileName() const;
    // `name` in the directory shown in lblDirectory.
    QString RemotePath(const QString& name) const;

    // Called to open the file-types dialog modally; tests replace it.
    std::function<void()> showFileTypesDialog;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class BusyCall;
    // The "Server Disconnected" question (`text` differs by caller) and, on Yes, the
    // reconnection that lists the remembered directory again. False when the window was left.
    bool AskReconnect(const QString& text, const QString& fileToSelect);
    void Reconnect(const QString& fileToSelect);
    // Reports a rename or delete the server refused; true when it worked.
    bool CheckRemoteResult(int result, const QString& what);
    FtpLoginControls LoginControls() const;
    void SetLoginControls(const FtpLoginControls& c);
    void ShowControlError(const QString& prefix, int code);
    void NoFileSelected();
    void GetMode();
    void PutFile();
    // Downloads `files` one after the other; the result of the first failure (its name in
    // `failed`) or 0. `local` gives each file's local path and whether it is appended.
    struct Target {
        QString path;
        bool append = false;
    };
    int Download(const QStringList& files, const std::function<Target(int index, const QString& name)>& local,
                 bool binaryForCompressed, qint64* total, QString* failed);
    // Tells which file failed and why; `partial` adds that the local file holds the ones before.
    void ShowTransferFailure(const QString& title, const QString& name, int result, const QString& partial = {});
    // A listed name that cannot go into an FTP command (it holds a line break): says so and
    // nothing is sent. True when every name is usable.
    bool CheckCommandNames(const QStringList& names);
    // A remote name that cannot name a local file in `folder`: says so. True when usable.
    bool CheckLocalName(const QString& folder, const QString& name, QString* path);
    void ShowComplete(const QString& title, bool ascii, qint64 bytes, double seconds);

    std::unique_ptr<FtpPasswordStore> passwords_;
    std::unique_ptr<FtpHosts> hosts_;
    QWidget* body_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    // The listed size of the file being fetched, for a transfer whose size the server keeps.
    qint64 ListedSize(const QString& name) const;
    qint64 expectedSize_ = 0;
    int busy_ = 0;
    int reconnecting_ = 0;  // a reconnection's own listing asks no second question
    bool unloaded_ = false;
};

}  // namespace quillon
