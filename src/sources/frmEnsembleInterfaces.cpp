#include "sources/frmEnsembleInterfaces.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::OdbcOutcome;

frmEnsembleInterfaces::frmEnsembleInterfaces(EnsembleState& state, platform::Dialogs& dialogs,
                                             QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs)
{
    setWindowTitle(QStringLiteral("Select Ensemble Interface"));
    setModal(false);
    // Top-most: it stays above the main window while the load waits for it.
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

    Label2 = new QLabel(QStringLiteral("Select an Ensemble DSN:"), this);
    lstDSNs = new QListWidget(this);

    auto* types = new QWidget(this);
    optBusinessServices = new QRadioButton(QStringLiteral("Business Services"), types);
    optBusinessProcesses = new QRadioButton(QStringLiteral("Business Processes"), types);
    optBusinessOperations = new QRadioButton(QStringLiteral("Business Operations"), types);
    auto* typeLayout = new QHBoxLayout(types);
    typeLayout->setContentsMargins(0, 0, 0, 0);
    typeLayout->addWidget(optBusinessServices);
    typeLayout->addWidget(optBusinessProcesses);
    typeLayout->addWidget(optBusinessOperations);

    lstInterfaceName = new QListWidget(this);
    lstInterfaceName->setFont(QFont(QStringLiteral("Courier New")));

    Frame1 = new QGroupBox(QStringLiteral("Date/Time Range"), this);
    optDateTimeRange[0] = new QRadioButton(QStringLiteral("Load all of today's messages"), Frame1);
    optDateTimeRange[1] =
        new QRadioButton(QStringLiteral("Use the following date/time range:"), Frame1);
    dateStartDate = new QDateEdit(Frame1);
    dateStopDate = new QDateEdit(Frame1);
    dateStartTime = new QTimeEdit(Frame1);
    DateStopTime = new QTimeEdit(Frame1);
    for (QDateEdit* d : {dateStartDate, dateStopDate}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    for (QTimeEdit* t : {dateStartTime, DateStopTime})
        t->setDisplayFormat(QStringLiteral("H:mm"));
    auto* range = new QGridLayout(Frame1);
    range->addWidget(optDateTimeRange[0], 0, 0, 1, 4);
    range->addWidget(optDateTimeRange[1], 1, 0, 1, 4);
    range->addWidget(new QLabel(QStringLiteral("Start Date:"), Frame1), 2, 0);
    range->addWidget(dateStartDate, 2, 1);
    range->addWidget(new QLabel(QStringLiteral("Start Time:"), Frame1), 2, 2);
    range->addWidget(dateStartTime, 2, 3);
    range->addWidget(new QLabel(QStringLiteral("End Date:"), Frame1), 3, 0);
    range->addWidget(dateStopDate, 3, 1);
    range->addWidget(new QLabel(QStringLiteral("End Time:"), Frame1), 3, 2);
    range->addWidget(DateStopTime, 3, 3);

    cmdCommand[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdCommand[1] = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCommand[0]->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCommand[0]);
    buttons->addWidget(cmdCommand[1]);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(lstDSNs);
    layout->addWidget(types);
    layout->addWidget(lstInterfaceName, 1);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    resize(460, 520);

    Form_Load();

    connect(lstDSNs, &QListWidget::itemClicked, this, [this] { lstDSNs_Click(); });
    connect(lstDSNs, &QListWidget::itemDoubleClicked, this, [this] { lstDSNs_Click(); });
    connect(optBusinessServices, &QRadioButton::clicked, this, [this] { optBusinessServices_Click(); });
    connect(optBusinessProcesses, &QRadioButton::clicked, this, [this] { optBusinessProcesses_Click(); });
    connect(optBusinessOperations, &QRadioButton::clicked, this,
            [this] { optBusinessOperations_Click(); });
    connect(lstInterfaceName, &QListWidget::itemDoubleClicked, this,
            [this] { lstInterfaceName_DblClick(); });
    for (QDateEdit* d : {dateStartDate, dateStopDate})
        connect(d, &QDateEdit::dateChanged, this, [this] { DatePicker_Change(); });
    for (QTimeEdit* t : {dateStartTime, DateStopTime})
        connect(t, &QTimeEdit::timeChanged, this, [this] { DatePicker_Change(); });
    for (int i = 0; i < 2; ++i)
        connect(cmdCommand[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdCommand_Click(i); });
}

void frmEnsembleInterfaces::Form_Load()
{
    optBusinessServices->setChecked(true);
    st.EnsembleBusinessServices = true;
    st.EnsembleBusinessProcesses = false;
    st.EnsembleBusinessOperations = false;
    optDateTimeRange[1]->setChecked(true);
    // Midnight today to the moment the window opened.
    const QDateTime now = QDateTime::currentDateTime();
    dateStartDate->setDate(now.date());
    dateStartTime->setTime(QTime(0, 0, 0));
    dateStopDate->setDate(now.date());
    DateStopTime->setTime(now.time());
    GetDSNDrivers();
}

void frmEnsembleInterfaces::GetDSNDrivers()
{
    lstDSNs->clear();
    lstDSNs->addItems(platform::DataSourcesWithDriver(kEnsembleDriverText));
}

void frmEnsembleInterfaces::GetInterfaceList()
{
    lstInterfaceName->clear();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QStringList names;
    platform::OdbcError error;
    bool ok;
    {
        const WaitCursor wait;
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        ok = ListEnsembleInterfaces(st.EnsembleDSN, EnsembleTypeOf(st), names, error);
    }
    lstInterfaceName->clear();
    lstInterfaceName->addItems(names);
    if (lstInterfaceName->count() > 0)
        lstInterfaceName->setCurrentRow(0);
    if (ok)
        return;
    if (error.outcome == OdbcOutcome::CannotConnect)
        dlg.MsgBox(EnsembleCannotConnectDsnText(st.EnsembleDSN), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
    else if (error.outcome == OdbcOutcome::LogonRefused)
        dlg.MsgBox(EnsembleLogonRefusedText(st.EnsembleDSN), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
}

void frmEnsembleInterfaces::lstDSNs_Click()
{
    if (QListWidgetItem* item = lstDSNs->currentItem()) {
        st.EnsembleDSN = item->text();
        GetInterfaceList();
    }
}

void frmEnsembleInterfaces::ChooseType(EnsembleBusinessType type)
{
    optBusinessServices->setChecked(type == EnsembleBusinessType::Service);
    optBusinessProcesses->setChecked(type == EnsembleBusinessType::Process);
    optBusinessOperations->setChecked(type == EnsembleBusinessType::Operation);
    st.EnsembleBusinessServices = type == EnsembleBusinessType::Service;
    st.EnsembleBusinessProcesses = type == EnsembleBusinessType::Process;
    st.EnsembleBusinessOperations = type == EnsembleBusinessType::Operation;
    if (lstDSNs->currentItem() && lstDSNs->currentItem()->isSelected())
        GetInterfaceList();
}

void frmEnsembleInterfaces::optBusinessServices_Click() { ChooseType(EnsembleBusinessType::Service); }
void frmEnsembleInterfaces::optBusinessProcesses_Click() { ChooseType(EnsembleBusinessType::Process); }
void frmEnsembleInterfaces::optBusinessOperations_Click()
{
    ChooseType(EnsembleBusinessType::Operation);
}

void frmEnsembleInterfaces::DatePicker_Change()
{
    if (optDateTimeRange[0]->isChecked())
        optDateTimeRange[1]->setChecked(true);
}

void frmEnsembleInterfaces::cmdCommand_Click(int index)
{
    if (index == 0) {
        QListWidgetItem* item = lstInterfaceName->currentItem();
        if (!item || !item->isSelected()) {
            dlg.MsgBox(kEnsembleNoInterfaceText, MsgButtons::OKOnly, MsgIcon::Information,
                       kEnsembleNoInterfaceTitle);
            return;
        }
        st.EnsemblePickerCancelled = false;
    } else {
        st.EnsemblePickerCancelled = true;
    }
    st.EnsemblePickerDone = true;
    emit Done();
}

void frmEnsembleInterfaces::lstInterfaceName_DblClick() { cmdCommand_Click(0); }

QString frmEnsembleInterfaces::InterfaceName() const
{
    const QListWidgetItem* item = lstInterfaceName->currentItem();
    return item ? item->text() : QString();
}

EnsembleBounds frmEnsembleInterfaces::Bounds(const QDate& today) const
{
    if (optDateTimeRange[0]->isChecked())
        return EnsembleTodayBounds(today);
    return {EnsembleTimeBound(dateStartDate->date(), dateStartTime->time()),
            EnsembleTimeBound(dateStopDate->date(), DateStopTime->time())};
}

void frmEnsembleInterfaces::closeEvent(QCloseEvent* event)
{
    cmdCommand_Click(1);
    event->accept();
}

void frmEnsembleInterfaces::reject()
{
    // Escape is Cancel; the loader unloads the window.
    cmdCommand_Click(1);
}

}  // namespace quillon
