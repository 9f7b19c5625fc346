#pragma once
// The client configuration editor: one ".client" file shown for editing and written back under
// a name the user chooses (the window the rest of the program knows as frmConfigureClient).
//
// Use:
//     frmClientConfig editor(st, dlg, {}, this);   // opens ClientsFolder + ClientConfigName
//     editor.exec();
//     if (editor.Saved()) {  // or !editor.SavedPath().isEmpty()
//         QString path = st.folders.ClientsFolder + st.client.ClientConfigName;
//         LoadClientConfiguration(path);
//     }
// The editor never loads a configuration into the client; saving sets ClientConfigName to the
// name of the file written. exec() answers Accepted when at least one file was saved.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "platform/Dialogs.h"
#include "tcpip/ClientConfig.h"

class QButtonGroup;

namespace quillon {

class CharCodeValidator;

class frmClientConfig : public QDialog {
    Q_OBJECT
public:
    // Shows `configPath`, or ClientsFolder + ClientConfigName when it is empty. A file that
    // cannot be read shows the default configuration under that name, after an error box.
    frmClientConfig(AppState& state, platform::Dialogs& dialogs, const QString& configPath = {},
                    QWidget* parent = nullptr);

    // A configuration file was written since the window opened.
    bool Saved() const { return !savedPath_.isEmpty(); }
    // The path of the last file written; empty when nothing was saved.
    QString SavedPath() const { return savedPath_; }
    // Something was edited since the file was shown or last saved.
    bool Changed() const { return changed_; }
    // The file being edited (after a save, the file written).
    QString FilePath() const { return filePath_; }
    // The window's own copy of the values (boxes commit theirs when they lose the focus).
    const ClientConfig& Values() const { return values_; }

    // Reads `path` into the window's values and controls; the caption names the file. A file
    // that cannot be read (or holds fewer than 17 items, or a non-number where a number
    // belongs) changes nothing and answers false with the error.
    bool ShowClientConfiguration(const QString& path, int* errorNumber = nullptr,
                                 QString* errorDescription = nullptr);

    QMenuBar* mnuBar;
    QMenu* mnuFile;
    QAction* mnuFileOpen;
    QAction* mnuFileSave;
    QAction* mnuFileSaveAs;
    QAction* mnuFileExit;
    QTabWidget* SSTab1;
    QLineEdit* txtImClient_ServerHostname;
    QLineEdit* txtIP;
    QLineEdit* txtImClient_ServerPort;
    QGroupBox* fraBase;
    std::array<QRadioButton*, 3> optBase{};
    QLineEdit* txtStartOfBlockChar;
    QLineEdit* txtEndOfBlockChar;
    QLineEdit* txtEndOfDataChar;
    QLineEdit* txtDelayAfterConnecting;
    QLineEdit* txtMaxTimeWaitForACK;
    QLineEdit* txtMaxTriesResend;
    QLineEdit* txtDelayBetweenRecords;
    QCheckBox* chkWaitForACK;
    std::array<QRadioButton*, 2> optACKtype{};
    QLineEdit* txtACK;
    QLineEdit* txtSimpleACK;
    std::array<QPushButton*, 2> cmdReset{};
    QGroupBox* fraNAKrcvd;
    std::array<QRadioButton*, 3> optNAKrcvd{};
    QGroupBox* fraMaxNAKrcvd;
    std::array<QRadioButton*, 3> optMaxNAKrcvd{};
    QPushButton* cmdSave;
    QPushButton* cmdCancel;

public slots:
    void optBase_Click(int index);
    void optACKtype_Click(int index);
    void optNAKrcvd_Click(int index);
    void optMaxNAKrcvd_Click(int index);
    void chkWaitForACK_Click();
    void cmdReset_Click(int index);
    void txtImClient_ServerHostname_LostFocus();
    void txtIP_LostFocus();
    void txtImClient_ServerPort_LostFocus();
    void txtStartOfBlockChar_LostFocus();
    void txtEndOfBlockChar_LostFocus();
    void txtEndOfDataChar_LostFocus();
    void txtDelayAfterConnecting_LostFocus();
    void txtMaxTimeWaitForACK_LostFocus();
    void txtMaxTriesResend_LostFocus();
    void txtDelayBetweenRecords_LostFocus();
    void txtACK_LostFocus();
    void chkWaitForACK_LostFocus();
    // The File menu opening: the box being edited commits its value.
    void mnuFile_Click();
    void mnuFileOpen_Click();
    // Saves under a name asked for, as Save As does.
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    // Asks to save unsaved changes, then closes the window.
    void mnuFileExit_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape and the close box leave through Exit.
    void reject() override;

private:
    using Handler = void (frmClientConfig::*)();

    void BuildControls();
    void Form_Load();
    void DisplayValues(const ClientConfig& config);
    void SetCaption(const QString& path);
    void SelectOption(QButtonGroup* group, int index);
    int16_t CodeBase() const;
    void ShowCodes();
    void ParseCodeBox(QLineEdit* box, int16_t& code);
    void ParseNumberBox(QLineEdit* box, int16_t& value);
    void CommitFocusedBox();
    void SetChanged();
    void Unload();

    AppState& st;
    platform::Dialogs& dlg;
    ClientConfig values_;
    QString filePath_;
    bool changed_ = false;
    QString savedPath_;
    bool loading_ = false;
    bool unloading_ = false;
    // The last Save As refused the port: the window stays open for it to be corrected.
    bool portRefused_ = false;
    QButtonGroup* baseGroup_;
    QButtonGroup* ackTypeGroup_;
    QButtonGroup* nakGroup_;
    QButtonGroup* maxNakGroup_;
    CharCodeValidator* codeValidator_;
    // The controls with a lost-focus handler.
    std::vector<std::pair<QWidget*, Handler>> lostFocus_;
    // The boxes whose whole text is selected when they gain the focus.
    std::vector<QLineEdit*> selectOnFocus_;
};

}  // namespace quillon
