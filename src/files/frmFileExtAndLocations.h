#pragma once
// The File Extensions and Locations window: the file patterns of the open and save dialogs,
// the pattern they preselect, and the data folder for the rest of this run.
#include <QDialog>

#include "app/AppState.h"
#include "platform/Dialogs.h"

namespace quillon {

class frmFileExtAndLocations : public QDialog {
    Q_OBJECT
public:
    frmFileExtAndLocations(AppState& st, platform::Dialogs& dlg, QWidget* parent = nullptr);

private:
    AppState& st_;
    platform::Dialogs& dlg_;
};

}  // namespace quillon
