#pragma once
// The dialog "FTP File Extensions": edits the FTP window's file types and picks the default
// one. OK writes them to the settings and the shared file types; Cancel and closing leave both.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ftp/FtpOptions.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

namespace quillon {

struct ExtensionList;

class frmFTPfileExtensions : public QDialog {
    Q_OBJECT
public:
    frmFTPfileExtensions(FtpFileTypes& types, platform::SettingsStore& store,
                         platform::Dialogs& dlg, QWidget* parent = nullptr);

    QListWidget* lstExtensions;
    QPushButton* cmdAdd;
    QPushButton* cmdDelete;
    QPushButton* cmdSetDefault;
    QLabel* lblDefaultExtension;
    QLabel* lblDesc;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void lstExtensions_Click();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdSetDefault_Click();
    void cmdOK_Click();

private:
    ExtensionList Extensions() const;

    FtpFileTypes& types_;
    platform::SettingsStore& store_;
    platform::Dialogs& dlg_;
};

}  // namespace quillon
