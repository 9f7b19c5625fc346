#pragma once
// The server configuration editor: every value of one ".server" file — the port, the three
// envelope codes (shown in decimal, octal or hexadecimal), the ACK settings, the log file and
// the user ACK file — on three tabs, saved under a name of the user's choice.
//
// Use from the TCP/IP panel:
//     frmServerConfig editor(st, dlg, st.folders.ServersFolder + st.server.ServerConfigName, this);
//     editor.exec();
//     // editor.SavedPath() names the file written last ("" when nothing was saved); the
//     // panel then reloads ServersFolder + st.server.ServerConfigName.
//
// What the editor changes in the shared state:
// - st.server.ServerLogFile and st.ack.UserAckFile: set from the file when it is loaded (even if
//   the editor is then cancelled) and by the two Select buttons;
// - st.server.ServerConfigName: the name saved under;
// - st.server.SelectLogFileRequest: cleared once the editor opened on its log-file tab.
// The port, the codes and the ACK settings are only written to the file: the panel puts them in
// force by reloading the configuration, which also checks the port.
//
// Closing — Cancel, File > Exit, Escape, the close box, or Save after its dialog — asks whether
// to save first when the port, a code or the display base changed since the last load or save.
// The dialog's result is Accepted when a file was saved, else Rejected.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <array>
#include <cstdint>

#include "app/AppState.h"
#include "platform/Dialogs.h"

class QAction;
class QMenu;
class QMenuBar;

namespace quillon {

class CharCodeValidator;

class frmServerConfig : public QDialog {
    Q_OBJECT
public:
    enum Base : int16_t { Decimal = 0, Octal = 1, Hexadecimal = 2 };
    enum CodeBox { StartOfBlock = 0, EndOfBlock = 1, EndOfData = 2 };
    enum Tab { PortTab = 0, EnvelopeTab = 1, LogFileTab = 2 };
    enum AckType : int16_t { MshAck = 0, SimpleAck = 1, FileAck = 2 };

    // Loads `configPath` (normally ServersFolder + ServerConfigName). A file that cannot be read
    // is reported and the window shows what was read and the defaults for the rest.
    explicit frmServerConfig(AppState& state, platform::Dialogs& dialogs, const QString& configPath,
                             QWidget* parent = nullptr);

    // The full path of the file written last by Save or Save As; empty when nothing was saved.
    QString SavedPath() const { return savedPath_; }
    // The editor's own copy of the values, as they would be saved now.
    int32_t Port() const { return port_; }
    int16_t DisplayBase() const { return base_; }
    int16_t Code(CodeBox box) const { return codes_[box]; }
    int16_t AckTypeValue() const { return ackType_; }
    // Set when the port, a code or the base changed since the last load or save.
    bool ServerConfigChanged = false;

    QMenuBar* menuBar;
    QMenu* mnuFile;
    QAction* mnuFileOpen;
    QAction* mnuFileSaveAs;
    QAction* mnuFileExit;

    QTabWidget* SSTab1;
    // Port tab.
    QLabel* lblServerPortExplanation;
    QLabel* lblServerPort;
    QLineEdit* txtImServer_ServerPort;
    QLabel* lblMyIPaddrCaption;
    QLabel* lblMyIPaddr;  // this computer's address; the caller may show its socket's instead
    // Envelope and ACK tab.
    QLabel* lblEnvelopeExplanation;
    QLabel* lblStartOfBlockChar;
    QLabel* lblEndOfBlockChar;
    QLabel* lblEndOfDataChar;
    QLineEdit* txtStartOfBlockChar;
    QLineEdit* txtEndOfBlockChar;
    QLineEdit* txtEndOfDataChar;
    QGroupBox* fraBase;
    std::array<QRadioButton*, 3> optBase{};
    QGroupBox* fraACKs;
    QCheckBox* chkSendACK;
    std::array<QRadioButton*, 3> optACKtype{};
    QLineEdit* txtACK;
    QLineEdit* txtSimpleACK;
    std::array<QPushButton*, 2> cmdReset{};
    QLabel* lblACKfilename;
    QPushButton* cmdGetFilename;
    // Log file tab.
    QLabel* lblLogFileExplanation;
    QLabel* lblLogFileNameCaption;
    QLabel* lblLogFileName;
    QPushButton* cmdSelectLogFilename;

    QPushButton* cmdSave;
    QPushButton* cmdCancel;

public slots:
    void mnuFileOpen_Click();
    void mnuFileSaveAs_Click();
    void mnuFileExit_Click();
    void cmdSave_Click();
    void cmdCancel_Click();
    void optBase_Click(int index);
    void optACKtype_Click(int index);
    void cmdReset_Click(int index);
    void cmdGetFilename_Click();
    void cmdSelectLogFilename_Click();
    void txtImServer_ServerPort_LostFocus();
    void txtStartOfBlockChar_LostFocus();
    void txtEndOfBlockChar_LostFocus();
    void txtEndOfDataChar_LostFocus();
    // Escape and the close box end here too.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadServerConfiguration(const QString& path);
    void ShowCaption(const QString& path);
    void ShowCodes();
    void ParseCodeBox(CodeBox box);
    // The box being edited has not lost the focus yet when Save, a base button or the File
    // menu acts.
    void CommitFocusedBox();
    void Finish();

    AppState& st;
    platform::Dialogs& dlg;
    QString path_;
    QString savedPath_;
    int32_t port_ = 3000;
    int16_t base_ = Decimal;
    std::array<int16_t, 3> codes_{11, 13, 28};
    int16_t ackType_ = MshAck;
    std::array<QLineEdit*, 3> codeBoxes_{};
    CharCodeValidator* codeValidator_;
    bool finishing_ = false;
};

}  // namespace quillon
