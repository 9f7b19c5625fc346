#pragma once
// Select Ensemble Interface: the InterSystems data sources, the business type, the interfaces
// of the chosen data source and the date/time range. Shown without being modal; OK, Cancel and
// closing set the done flag the loader waits for, and the loader unloads the window itself.
#include <QDialog>
#include <array>

#include "platform/Dialogs.h"
#include "sources/EnsembleSource.h"

class QDateEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace quillon {

class frmEnsembleInterfaces : public QDialog {
    Q_OBJECT
public:
    frmEnsembleInterfaces(EnsembleState& state, platform::Dialogs& dialogs,
                          QWidget* parent = nullptr);

    QLabel* Label2;
    QListWidget* lstDSNs;
    QRadioButton* optBusinessServices;
    QRadioButton* optBusinessProcesses;
    QRadioButton* optBusinessOperations;
    QListWidget* lstInterfaceName;
    QGroupBox* Frame1;
    std::array<QRadioButton*, 2> optDateTimeRange{};  // 0 today, 1 the range below
    QDateEdit* dateStartDate;
    QDateEdit* dateStopDate;
    QTimeEdit* dateStartTime;
    QTimeEdit* DateStopTime;
    std::array<QPushButton*, 2> cmdCommand{};  // 0 OK, 1 Cancel

    void GetDSNDrivers();
    void GetInterfaceList();
    void lstDSNs_Click();
    void optBusinessServices_Click();
    void optBusinessProcesses_Click();
    void optBusinessOperations_Click();
    void DatePicker_Change();
    void cmdCommand_Click(int index);
    void lstInterfaceName_DblClick();

    // The chosen interface: the line at the list's current index ("" when none).
    QString InterfaceName() const;
    // The bounds the choice of range gives, "today" being `today`.
    EnsembleBounds Bounds(const QDate& today) const;

signals:
    // EnsemblePickerDone turned True.
    void Done();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void ChooseType(EnsembleBusinessType type);

    EnsembleState& st;
    platform::Dialogs& dlg;
};

}  // namespace quillon
