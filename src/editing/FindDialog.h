#pragma once
// The two find dialogs: Find in Record List (with the segment and field pickers and the
// record-find history kept in the settings) and Find in Field List. Neither searches: "Find Next"
// writes the search request and raises SearchDialogDone; the main window runs the search and
// leaves the dialog open for the next press. Both stay above the other windows.
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillon {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { RecordList, FieldList };
    FindDialog(Kind kind, AppState& state, platform::Dialogs& dialogs);

    const Kind kind;
    QLabel* lblLabel;
    QComboBox* cboFindRecords;
    QComboBox* cboFindFields;
    // The pickers; null in Find in Field List.
    QComboBox* cboSegmentFind = nullptr;
    QComboBox* cboFieldFind = nullptr;
    QGroupBox* fraFrame;
    std::array<QRadioButton*, 2> optDirection{};  // 0 Up, 1 Down
    QCheckBox* chkMatchCase;
    QCheckBox* chkMatchWholeWordOnly;
    std::array<QPushButton*, 2> cmdCommand{};  // 0 Find Next, 1 Cancel

    // 0 Find Next, 1 Cancel.
    void cmdCommand_Click(int index);
    // Shows the history box of `FindTarget` (records or fields) and hides the other.
    void ShowHistoryBoxFor(const std::string& target);
    // The settings section of the record-find history.
    static const QString HistorySection;

signals:
    // SearchDialogDone became true: a request (or, with an empty FindText, a cancellation).
    void Done();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Cancel();
    void FindNext();
    void FillFieldBox();
    void cboFieldFind_LostFocus();
    void cboFindRecords_Click(int index);
    void LoadRecordHistory();
    void PushRecordHistory();
    void PushFieldHistory();

    AppState& st;
    platform::Dialogs& dlg;
    std::vector<std::string> fieldLines_;  // the field box's lines, as built
};

}  // namespace quillon
