#pragma once
// The File Extensions and Locations window: the file patterns of the open and save dialogs,
// the pattern they preselect, and the data folder for the rest of this run.
#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>

#include "app/AppState.h"
#include "platform/Dialogs.h"

namespace quillon {

struct ExtensionList;

class frmFileExtAndLocations : public QDialog {
    Q_OBJECT
public:
    frmFileExtAndLocations(AppState& st, platform::Dialogs& dlg, QWidget* parent = nullptr);

    // The most patterns the list holds.

    // Makes `folder` the current folder of the folder tree, as a click on it would; false when
    // the tree has no such folder.
    bool SelectFolder(const QString& folder);
    // The tree's current folder ("" when none).
    QString Dir1Path() const;

    // Initial default data directory.
    QTreeView* Dir1;
    QPushButton* cmdChangeDir;
    QLabel* lblDefaultDirectory;
    // Files of type list.
    QListWidget* lstExtensions;
    QPushButton* cmdSetDefault;
    QPushButton* cmdDelete;
    QPushButton* cmdAdd;
    QLabel* lblDefaultExtension;
    QLabel* lblDesc;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void Dir1_Change();
    void cmdChangeDir_Click();
    void lstExtensions_Click();
    void cmdSetDefault_Click();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdOK_Click();
    // The selected row of the list, or -1.
    ExtensionList Extensions() const;

    AppState& st_;
    platform::Dialogs& dlg_;
    QFileSystemModel* folders_;
    // The data folder as it was when the window opened.
    QString openingDataFolder_;
};

}  // namespace quillon
