#pragma once
// Determine All Unique Field Values: the segment and field pickers, the report of every distinct
// value of the chosen field with its count and share, and its copy to the clipboard.
#include <QDialog>
#include <QStringList>
#include <array>

#include "app/AppState.h"
#include "platform/Dialogs.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QListView;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace quillon {

class FieldPicker;
class UniqueValuesModel;

class frmUniqueFieldValues : public QDialog {
    Q_OBJECT
public:
    // `displayEmptyFields`: the main window's Display Empty Fields check mark.
    frmUniqueFieldValues(AppState& state, platform::Dialogs& dialogs, bool displayEmptyFields,
                         QWidget* parent = nullptr);

    QGroupBox* fraFrame1;
    std::array<QLabel*, 2> lblLabel{};  // 0 "Field:", 1 "Segment:"
    QComboBox* cboSegmentFind;
    QComboBox* cboFieldFind;
    std::array<QPushButton*, 3> cmdCommand{};  // 0 Run Report, 1 Cancel, 2 Copy to Clipboard
    std::array<QLabel*, 3> Label1{};           // the column headings
    QListView* lstUniqueValues;  // the report's lines, made for the rows shown
    QStatusBar* stsStatus;
    QLabel* stsPanel1;
    QProgressBar* prStatus;

    void cmdCommand_Click(int index);
    bool Running() const { return running_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void RunReport();
    // One run; false when it was stopped.
    bool RunOnce();
    void CopyToClipboard();
    void PlaceHeadings(int countWidth);

    AppState& st;
    platform::Dialogs& dlg;
    const bool displayEmptyFields_;
    FieldPicker* picker_;
    UniqueValuesModel* lines_;
    bool running_ = false;
    bool restart_ = false;  // Run Report pressed during a run: that run stops and a new one starts
    bool closing_ = false;
};

}  // namespace quillon
