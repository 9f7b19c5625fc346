#pragma once
// The replace dialogs and the assign-value dialog. Each is non-modal and stays above the other
// windows; none replaces anything itself: its action button checks the texts (no delimiter),
// writes the search request and raises SearchDialogDone, and the waiting main-window command
// runs the replacement.
#include <QDialog>
#include <array>

#include "app/AppState.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillon {

class FieldPicker;

class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    // RecordList: frmReplaceInRecordList, with the pickers. SegmentOrFieldList: frmReplace,
    // plain text only. AssignValue: frmAssignValueToField, the value and the pickers.
    enum class Kind { RecordList, SegmentOrFieldList, AssignValue };
    ReplaceDialog(Kind kind, AppState& state, platform::Dialogs& dialogs);

    const Kind kind;
    QLineEdit* txtFind = nullptr;  // none in the assign-value dialog
    QLineEdit* txtReplace;
    QComboBox* cboSegmentReplace = nullptr;  // none in frmReplace
    QComboBox* cboFieldReplace = nullptr;
    QCheckBox* chkMatchCase = nullptr;  // none in the assign-value dialog
    QCheckBox* chkMatchWholeWordOnly = nullptr;
    QGroupBox* fraFrame;
    std::array<QRadioButton*, 2> optScope{};   // 0 All Records, 1 This Record / Selected Records
    std::array<QPushButton*, 2> cmdCommand{};  // 0 Replace All / Assign Value, 1 Cancel

    void cmdCommand_Click(int index);
    // The box the command puts the focus in while it waits.
    QLineEdit* FirstBox() const { return txtFind ? txtFind : txtReplace; }

signals:
    // SearchDialogDone became true: a request, or with an empty FindText a cancellation.
    void Done();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Submit();
    void Cancel();

    AppState& st;
    platform::Dialogs& dlg;
    FieldPicker* picker_ = nullptr;
};

}  // namespace quillon
