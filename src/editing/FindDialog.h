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
#include "editing/FindDialogRules.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLayout;
class QPushButton;
class QRadioButton;

namespace quillon {

// An editable box whose list changes only through the dialog's own rules, never by Enter.
QComboBox* EditableBox(QWidget* parent, const char* name);
// The dialog's boxes above its options on the left, the action button (the default, Enter) and
// Cancel in a column on the right.
void LayOutWithButtons(QDialog* dialog, QLayout* boxes, QLayout* options,
                       std::array<QPushButton*, 2>& buttons, const QString& action,
                       const char* actionName);

// The segment and field boxes that the search dialogs share. The segment box offers "all" and
// the dictionary's segments and takes typed letters in upper case; a new segment refills the
// field box with that segment's picker lines and shows the first; leaving the field box
// normalises its text and follows a segment typed into it. Both boxes use Courier New.
class FieldPicker : public QObject {
public:
    FieldPicker(QWidget* dialog, const DescriptionDictionary& dictionary,
                const char* segmentBoxName, const char* fieldBoxName);

    QComboBox* const segmentBox;
    QComboBox* const fieldBox;
    // The field box's lines, as built for the segment shown.
    const std::vector<std::string>& Lines() const { return lines_; }

    void SetSegment(const QString& segment);
    // The field box's LostFocus.
    void LeaveFieldBox();
    // A history line chosen: its segment and field into the boxes.
    void Show(const RecordFindHistoryChoice& choice);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill();
    const DescriptionDictionary& dictionary_;
    std::vector<std::string> lines_;
};

// A settings-backed search history box: keys "0" to "9" read, in key order, empty ones left out.
// Each line is kept whole as its item's data; the box shows only its find text.
void LoadHistory(QComboBox* box, platform::SettingsStore& settings, const QString& section);
// The whole history line of item `index`.
QString HistoryLine(const QComboBox* box, int index);
// Makes `box` a history box whose text stays as typed: typing offers the lines that start with
// it, letter case ignored, in a pop-up list. Return picks the line highlighted there (the box
// reports it as activated); otherwise it presses `button`, the dialog's default, with the text
// as typed. Leaving the box picks no line either.
void MakeHistoryBox(QComboBox* box, QPushButton* button);
// Puts `entry` (none when empty) at the top of the box's list, five lines kept, and writes keys
// "0" to "4" from the list (an empty string where it has no line). The box's text stays.
void SaveHistory(QComboBox* box, const std::string& entry, platform::SettingsStore& settings,
                 const QString& section);

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

private:
    void Cancel();
    void FindNext();
    void cboFieldFind_LostFocus();
    void cboFindRecords_Click(int index);
    void PushRecordHistory();
    void PushFieldHistory();

    AppState& st;
    platform::Dialogs& dlg;
    FieldPicker* picker_ = nullptr;  // Find in Record List only
};

}  // namespace quillon
