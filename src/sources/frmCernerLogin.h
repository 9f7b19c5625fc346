#pragma once
// "Cerner Oracle Login": the data source (an ODBC data source name), user name and password of
// a load from the Cerner transaction log. Offers the data sources of earlier logons, fills in
// their user names and saved passwords, and can log in as soon as one is chosen. An accepted
// Login fills the session and closes the window a moment later.
#include <QDialog>
#include <array>

#include "sources/CernerSource.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quillon {

namespace platform {
class Dialogs;
}

class frmCernerLogin : public QDialog {
    Q_OBJECT
public:
    frmCernerLogin(platform::SettingsStore& store, platform::Dialogs& dialogs,
                   FtpPasswordStore& passwords, CernerSession& session, QWidget* parent = nullptr);

    QComboBox* cboDataSource;
    QLineEdit* txtUserID;
    QLineEdit* txtPassword;
    QCheckBox* chkSavePassword;
    QCheckBox* chkAutoLogin;
    std::array<QPushButton*, 3> cmdCommand{};  // "Login", "Cancel", "Delete Saved Passwords"
    QTimer* Timer1;

    void cboDataSource_Click(int index);
    void cboDataSource_LostFocus();
    void chkSavePassword_Click();
    void cmdCommand_Click(int index);
    void Timer1_Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();

    platform::SettingsStore& store_;
    platform::Dialogs& dlg_;
    FtpPasswordStore& passwords_;
    CernerSession& session_;
};

}  // namespace quillon
