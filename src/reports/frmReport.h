#pragma once
// The report window "Report Writer": the built table in a list whose columns the user can drag
// into another order, with Cut, Copy and Select All. Shown modally by the report builder.
#include <functional>
#include <QDialog>
#include <QTreeWidget>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace quillon {
namespace platform {
class Dialogs;
class SettingsStore;
}  // namespace platform

class DescriptionDictionary;
class ReportTable;

// A cell of a UTF-8 record that is not plain ASCII keeps its bytes in this role (export writes
// them as they are); column 0 of a row read from a UTF-8 record holds true in the other.
inline constexpr int CellBytesRole = Qt::UserRole + 72;
inline constexpr int Utf8RowRole = Qt::UserRole + 73;

// The bytes a cell stands for: those it keeps, else its text one byte a Latin-1 character.
std::string CellBytes(const QTreeWidgetItem* item, int column);

class frmReport : public QDialog {
    Q_OBJECT
public:
    explicit frmReport(QWidget* parent = nullptr);

    // One column per designation, one row per table row; replaces what the list held.
    void Fill(const ReportTable& table);
    // The columns' designations in the order they are shown (a definition saves them so).
    std::vector<std::string> DisplayedDesignations() const;
    // Every column as wide as the wider of its header and its widest cell.
    void AutoSizeColumns();
    // Header line and selected rows as the fixed-width text Copy puts on the clipboard.
    QString SelectedRowsText() const;

    QTreeWidget* lvReportList;
    // Gives the sort dialog's column lists their descriptions; none when null.
    const DescriptionDictionary* dictionary = nullptr;
    // Saves the report's columns, in their displayed order, as a definition (set by the main
    // window).
    std::function<void(const std::vector<std::string>& designations)> saveDefinition;
    // What printing and export need of the main window, set by it before the report shows.
    platform::Dialogs* dialogs = nullptr;
    platform::SettingsStore* settings = nullptr;
    QWidget* mainWindow = nullptr;  // shows the hourglass while an export writes
    QString mainCaption;            // gives the printed pages their title
    QString lastFileSavePath;       // the export's save dialog starts here
    QString reportFontName = QStringLiteral("Courier New");
    int reportFontSize = 10;

    QMenu* mnuFile;
    QAction* mnuFileSaveDefinition;
    QAction* mnuFilePrint;
    QAction* mnuFileExit;
    QMenu* mnuEdit;
    QAction* mnuFileCut;
    QAction* mnuCopyToClipboard;
    QAction* mnuEditSelectAll;
    QAction* mnuSort;
    QAction* mnuExport;

public slots:
    void mnuCopyToClipboard_Click();
    void mnuFileCut_Click();
    void mnuEditSelectAll_Click();
    void mnuFileExit_Click();
    // Column sort: the header click and the Sort menu (the sort of a column and the sort dialog
    // are hooked in here).
    void lvReportList_ColumnClick(int column);
    void mnuSort_Click();
    void mnuFileSaveDefinition_Click();
    // Printing (reports/frmReport_Print.cpp) and export (reports/frmExportReport.cpp).
    void mnuFilePrint_Click();
    void mnuExport_Click();

protected:
    bool event(QEvent* e) override;
};

}  // namespace quillon
