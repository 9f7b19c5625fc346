#pragma once
// The modal Filter Records dialog: a search text anywhere in a record or in one field of a
// segment, or the presence of a segment, and whether the records that match stay or go. Apply
// writes the filter request (and the match flags of the search request) and the history; the
// main window's filter commands run the filter once the dialog has closed. There is no Close
// command: the dialog is left through Apply (with a valid request) or Cancel.
#include <QDialog>
#include <array>

#include "app/AppState.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace quillon {

class FieldPicker;

class frmFilterRecords : public QDialog {
    Q_OBJECT
public:
    frmFilterRecords(AppState& state, platform::Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* chkSegment;
    QGroupBox* Frame1;
    std::array<QRadioButton*, 2> optInclude{};  // 0 keep, 1 delete
    QComboBox* cboFilterRecords;
    QComboBox* cboSegmentFilter;
    QComboBox* cboFieldFilter;
    QCheckBox* chkMatchWholeWordOnly;
    QCheckBox* chkMatchCase;
    QPushButton* cmdApplyFilter;
    QPushButton* cmdCancel;

    void cmdApplyFilter_Click();
    void cmdCancel_Click();
    void chkSegment_Click();
    void optInclude_Click(int index);
    // A history line chosen (or typed with its tabs): its parts into the boxes.
    void cboFilterRecords_Click(const QString& line);
    void cboFieldFilter_LostFocus();
    // Shows the segment and refills the field box with its fields.
    void SetSegment(const QString& segment);

    static const QString HistorySection;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppState& st;
    platform::Dialogs& dlg;
    FieldPicker* picker_;
};

}  // namespace quillon
