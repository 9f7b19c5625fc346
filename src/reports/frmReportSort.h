#pragma once
// "Sort Report": the report's rows sorted on up to three of its columns, chosen from the
// columns in their displayed order, each ascending or descending. Rows equal on every chosen
// key keep their order.
#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace quillon {

class DescriptionDictionary;

class frmSortReport : public QDialog {
    Q_OBJECT
public:
    frmSortReport(QTreeWidget* reportList, const DescriptionDictionary& dictionary,
                  QWidget* parent = nullptr);

    // Keys 1 to 3 are boxes 0 to 2. "Ascending" of the keys is optSortOrder 0, 3 and 4,
    // "Decending" 1, 2 and 5.
    QGroupBox* Frame1[3];
    QComboBox* cboFieldList[3];
    QRadioButton* optSortOrder[6];
    QPushButton* cmdButtons[2];  // OK, Cancel

    void Form_Load();
    // 0 sorts and closes; 1 closes.
    void cmdButtons_Click(int index);

private:
    QTreeWidget* lvReportList;
    const DescriptionDictionary& dictionary_;
};

}  // namespace quillon
