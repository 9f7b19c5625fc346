#pragma once
// The window "Export Report": the report window's table to a delimited or fixed-width file,
// opened modally by the report window's "Export". The choices of the two tabs and the options
// are remembered in the settings section ExportReports; the column formats are not.
#include <QDialog>
#include <array>
#include <vector>

#include "reports/ReportExport.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quillon {

class frmReport;

class frmExportReport : public QDialog {
    Q_OBJECT
public:
    // Reads the settings and the report's columns (Form_Load).
    explicit frmExportReport(frmReport& report);

    QTabWidget* ssTabExport;
    QLineEdit* txtSeparator;
    QRadioButton* optAllQuotes;
    QRadioButton* optDelimQuotes;
    QListWidget* lstFieldWidths;
    QLabel* lblFieldName;
    QLineEdit* txtFieldWidth;
    std::array<QRadioButton*, 2> optLeftJustify{};
    QCheckBox* chkZeroFill;
    QPushButton* cmdSaveChange;
    QRadioButton* optExportAll;
    QRadioButton* optExportSelected;
    QCheckBox* chkExportColumnHeader;
    QCheckBox* chkUseFieldDescriptions;
    QPushButton* cmdExport;
    QPushButton* cmdCancel;

    // The report as it is now, and its columns' display order.
    ExportTable ReportTable() const;
    std::vector<int> DisplayOrder() const;

public slots:
    void lstFieldWidths_Click();
    void optLeftJustify_Click(int index);
    void cmdSaveChange_Click();
    void cmdExport_Click();
    // The box refusing a separator the exported records cannot hold as one byte.
    void RefuseSeparator(const QString& character);
    void cmdCancel_Click();
    // Every way the window closes stores the settings (Form_Unload).
    void done(int result) override;

private:
    void Form_Load();
    void SaveSettings();
    // Checks or unchecks one option of an exclusive pair; unchecking may leave neither chosen.
    static void SetOption(QRadioButton* option, bool on);
    std::string Description(const std::string& heading) const;

    frmReport& report_;
    QButtonGroup* quotes_;
    QButtonGroup* rows_;
    QButtonGroup* justify_;
};

}  // namespace quillon
