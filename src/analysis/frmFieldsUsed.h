#pragma once
// The modal result window of Determine What Fields Are Used: the collected lines, with the
// description column, the repetition lines and all but the last line of each segment hidden
// at will, and a copy of the list to the clipboard. It never changes the lines it was given.
#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace quillon {

struct FieldsUsedSwitches {
    bool displayDescriptions = true;
    bool displayRepeatingFields = true;
    bool lastFieldOnly = false;
};

// The list the window shows for `lines` under the three check boxes.
std::vector<std::string> FieldsUsedDisplayLines(const std::vector<std::string>& lines,
                                                const FieldsUsedSwitches& switches);

class frmFieldsUsed : public QDialog {
    Q_OBJECT
public:
    frmFieldsUsed(const std::vector<std::string>& fieldsUsed, QWidget* parent = nullptr);

    QListWidget* lstFieldsUsed;
    QCheckBox* chkDisplayDesc;
    QCheckBox* chkDisplayRepeatingFields;
    QCheckBox* chkLastField;
    QPushButton* cmdCopy;
    QPushButton* cmdOK;

    // Rebuilds the list from the lines under the three check boxes.
    void DisplayData();
    void chkDisplayDesc_Click();
    void chkDisplayRepeatingFields_Click();
    void chkLastField_Click();
    void cmdCopy_Click();
    void cmdOK_Click();

private:
    const std::vector<std::string>& FieldsUsed;
};

}  // namespace quillon
