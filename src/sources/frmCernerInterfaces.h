#pragma once
// "Select Cerner Interface": the interface and the time range of a Cerner load. Shown without
// being modal; OK, Cancel and closing set the session's picker flags and leave the window for
// the loader, which reads the choice from the controls and then deletes the window.
#include <QDialog>
#include <array>

#include "sources/CernerSource.h"

class QFrame;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace quillon {

namespace platform {
class Dialogs;
}

class frmCernerInterfaces : public QDialog {
    Q_OBJECT
public:
    frmCernerInterfaces(platform::Dialogs& dialogs, CernerSession& session, QWidget* parent = nullptr);

    using PartBoxes = std::array<QLineEdit*, 3>;

    QListWidget* lstInterfaceName;
    std::array<QPushButton*, 2> cmdSortColumn{};     // "Sort by ID", "Sort by Interface Name"
    QGroupBox* fraDateTimeRange;
    std::array<QRadioButton*, 2> optDateTimeRange{};  // today, user range
    PartBoxes txtStartDate{}, txtStartTime{}, txtEndDate{}, txtEndTime{};
    std::array<QPushButton*, 2> cmdCommand{};        // "OK", "Cancel"
    QLineEdit* txtSQL;

    void Form_Activate();
    void optDateTimeRange_Click(int index);
    void cmdSortColumn_Click(int index);
    void cmdCommand_Click(int index);
    void PartBox_Change(PartBoxes& boxes, int index);

    // The range chosen: start and end as dates and times of day.
    struct Range {
        QDate startDate, endDate;
        std::array<int, 3> startTime{}, endTime{};
    };
    // For "All of today's records" today from 00:00:00 to 23:59:59, else the part boxes.
    Range ChosenRange() const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

private:
    void Form_Load();
    void Sort(bool byName, bool ascending);

    platform::Dialogs& dlg_;
    CernerSession& session_;
    bool activated_ = false;
    bool ascending_ = false;
    bool sortedById_ = false;
    bool sortedByName_ = false;
};

}  // namespace quillon
