#include "sources/frmCernerInterfaces.h"

#include <QDateTime>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Settings.h"
#include "platform/Dialogs.h"

namespace quillon {

namespace {

QString Two(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

double IdKey(const QString& line)
{
    const qsizetype blank = line.indexOf(u' ');
    return LeadingNumber(blank < 0 ? line : line.left(blank));
}

QString NameKey(const QString& line)
{
    return line.mid(line.indexOf(u'-') + 1).trimmed().remove(u' ');
}

}  // namespace

frmCernerInterfaces::frmCernerInterfaces(platform::Dialogs& dialogs, CernerSession& session,
                                         QWidget* parent)
    : QDialog(parent), dlg_(dialogs), session_(session)
{
    setWindowTitle(QStringLiteral("Select Cerner Interface"));
    setObjectName(QStringLiteral("frmCernerInterfaces"));
    lstInterfaceName = new QListWidget(this);
    lstInterfaceName->setObjectName(QStringLiteral("lstInterfaceName"));
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::Monospace);
    lstInterfaceName->setFont(fixed);
    const char* sortCaptions[] = {"Sort by ID", "Sort by Interface Name"};
    for (int i = 0; i < 2; ++i) {
        cmdSortColumn[i] = new QPushButton(QString::fromLatin1(sortCaptions[i]), this);
        cmdSortColumn[i]->setObjectName(QStringLiteral("cmdSortColumn(%1)").arg(i));
        connect(cmdSortColumn[i], &QPushButton::clicked, this, [this, i] { cmdSortColumn_Click(i); });
    }
    fraDateTimeRange = new QGroupBox(QStringLiteral("Date/Time Range"), this);
    const char* optCaptions[] = {"All of today's records", "User specified date/time range:"};
    for (int i = 0; i < 2; ++i) {
        optDateTimeRange[i] = new QRadioButton(QString::fromLatin1(optCaptions[i]), fraDateTimeRange);
        optDateTimeRange[i]->setObjectName(QStringLiteral("optDateTimeRange(%1)").arg(i));
        connect(optDateTimeRange[i], &QRadioButton::clicked, this, [this, i] { optDateTimeRange_Click(i); });
    }
    auto* range = new QGridLayout(fraDateTimeRange);
    range->addWidget(optDateTimeRange[0], 0, 0, 1, 6);
    range->addWidget(optDateTimeRange[1], 1, 0, 1, 6);
    const struct {
        const char* label;
        PartBoxes* boxes;
        const char* name;
        const char* separator;
    } rows[] = {{"Start Date:", &txtStartDate, "txtStartDate", "/"},
                {"Start Time:", &txtStartTime, "txtStartTime", ":"},
                {"End Date:", &txtEndDate, "txtEndDate", "/"},
                {"End Time:", &txtEndTime, "txtEndTime", ":"}};
    int r = 2;
    for (const auto& row : rows) {
        range->addWidget(new QLabel(QString::fromLatin1(row.label), fraDateTimeRange), r, 0);
        for (int i = 0; i < 3; ++i) {
            auto* box = new QLineEdit(fraDateTimeRange);
            box->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(row.name)).arg(i));
            (*row.boxes)[i] = box;
            // Wide enough for the part's digits (four for a year), not the whole row.
            box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
            range->addWidget(box, r, 1 + 2 * i);
            if (i < 2)
                range->addWidget(new QLabel(QString::fromLatin1(row.separator), fraDateTimeRange), r, 2 + 2 * i);
            PartBoxes* boxes = row.boxes;
            connect(box, &QLineEdit::textChanged, this, [this, boxes, i] { PartBox_Change(*boxes, i); });
            box->installEventFilter(this);
        }
        ++r;
    }
    range->setColumnStretch(6, 1);
    const char* commandCaptions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
        cmdCommand[i] = new QPushButton(QString::fromLatin1(commandCaptions[i]), this);
        cmdCommand[i]->setObjectName(QStringLiteral("cmdCommand(%1)").arg(i));
        connect(cmdCommand[i], &QPushButton::clicked, this, [this, i] { cmdCommand_Click(i); });
    }
    cmdCommand[0]->setDefault(true);
    txtSQL = new QLineEdit(this);
    txtSQL->setObjectName(QStringLiteral("txtSQL"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstInterfaceName);
    auto* sorts = new QHBoxLayout;
    for (QPushButton* b : cmdSortColumn)
        sorts->addWidget(b);
    layout->addLayout(sorts);
    layout->addWidget(fraDateTimeRange);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : cmdCommand)
        commands->addWidget(b);
    layout->addLayout(commands);
    layout->addWidget(txtSQL);
    Form_Load();
}

void frmCernerInterfaces::Form_Load()
{
    activated_ = false;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    const QString date[] = {Two(d.month()), Two(d.day()), QString::number(d.year()).rightJustified(4, u'0')};
    const QString time[] = {Two(t.hour()), Two(t.minute()), Two(t.second())};
    for (int i = 0; i < 3; ++i) {
        txtStartDate[i]->setText(date[i]);
        txtEndDate[i]->setText(date[i]);
        txtStartTime[i]->setText(time[i]);
        txtEndTime[i]->setText(time[i]);
    }
    optDateTimeRange[1]->setChecked(true);
    optDateTimeRange_Click(1);
}

bool frmCernerInterfaces::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(e);
}

void frmCernerInterfaces::Form_Activate()
{
    activated_ = true;
}

bool frmCernerInterfaces::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            box->selectAll();
    return QDialog::eventFilter(watched, e);
}

void frmCernerInterfaces::optDateTimeRange_Click(int index)
{
    for (PartBoxes* boxes : {&txtStartDate, &txtStartTime, &txtEndDate, &txtEndTime})
        for (QLineEdit* box : *boxes)
            box->setEnabled(index == 1);
}

void frmCernerInterfaces::PartBox_Change(PartBoxes& boxes, int index)
{
    if (!activated_)
        return;
    const bool date = &boxes == &txtStartDate || &boxes == &txtEndDate;
    const double value = LeadingNumber(boxes[index]->text());
    // A part is complete once no further digit could make it valid.
    static constexpr double dateLimits[] = {2, 4, 2000};
    static constexpr double timeLimits[] = {3, 6, 6};
    const double limit = date ? dateLimits[index] : timeLimits[index];
    const bool moves = index == 0 && date ? value > 1 : value >= limit;
    if (!moves)
        return;
    QWidget* next = nullptr;
    if (index < 2)
        next = boxes[index + 1];
    else if (&boxes == &txtStartDate)
        next = txtStartTime[0];
    else if (&boxes == &txtEndDate)
        next = txtEndTime[0];
    else if (&boxes == &txtStartTime)
        next = txtEndDate[0];
    else
        next = cmdCommand[0];
    next->setFocus();
}

void frmCernerInterfaces::Sort(bool byName, bool ascending)
{
    const int n = lstInterfaceName->count();
    if (n < 2)
        return;
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines << lstInterfaceName->item(i)->text();
    // A stable sort orders exactly as the exchange sort of equal keys kept in place would, in
    // n log n.
    std::stable_sort(lines.begin(), lines.end(), [&](const QString& a, const QString& b) {
        if (byName) {
            const QString ka = NameKey(a), kb = NameKey(b);
            return ascending ? ka < kb : kb < ka;
        }
        const double ka = IdKey(a), kb = IdKey(b);
        return ascending ? ka < kb : kb < ka;
    });
    for (int i = 0; i < n; ++i)
        lstInterfaceName->item(i)->setText(lines[i]);
}

void frmCernerInterfaces::cmdSortColumn_Click(int index)
{
    const bool byName = index == 1;
    if (byName ? !sortedByName_ : !sortedById_) {
        sortedByName_ = byName;
        sortedById_ = !byName;
        ascending_ = false;
    }
    ascending_ = !ascending_;
    Sort(byName, ascending_);
}

void frmCernerInterfaces::cmdCommand_Click(int index)
{
    if (index == 1) {
        reject();
        return;
    }
    if (optDateTimeRange[1]->isChecked()) {
        const auto fail = [&](const char* text, PartBoxes& boxes) {
            dlg_.MsgBox(QString::fromLatin1(text), platform::MsgButtons::OKOnly, platform::MsgIcon::None,
                        QString());
            boxes[0]->setFocus();
        };
        const auto dateOk = [](const PartBoxes& b) {
            return cerner::DateOfParts(b[0]->text(), b[1]->text(), b[2]->text()).isValid();
        };
        const auto timeOk = [](const PartBoxes& b) {
            return cerner::TimeOfParts(b[0]->text(), b[1]->text(), b[2]->text()).has_value();
        };
        if (!dateOk(txtStartDate))
            return fail("The start date is not a valid date.", txtStartDate);
        if (!dateOk(txtEndDate))
            return fail("The end date is not a valid date.", txtEndDate);
        if (!timeOk(txtStartTime))
            return fail("The start time is not a valid time.", txtStartTime);
        if (!timeOk(txtEndTime))
            return fail("The end time is not a valid time.", txtEndTime);
    }
    const QListWidgetItem* line = lstInterfaceName->currentItem();
    if (!line || !line->isSelected()) {
        dlg_.MsgBox(QStringLiteral("You have not selected an interface."), platform::MsgButtons::OKOnly,
                    platform::MsgIcon::Information, QStringLiteral("No Interface Selected"));
        return;
    }
    session_.PickerDone = true;
    session_.PickerCancelled = false;
}

void frmCernerInterfaces::reject()
{
    // Cancel, Escape and the close box: the loader unloads the window.
    session_.PickerDone = true;
    session_.PickerCancelled = true;
}

frmCernerInterfaces::Range frmCernerInterfaces::ChosenRange() const
{
    Range r;
    if (optDateTimeRange[0]->isChecked()) {
        r.startDate = r.endDate = QDate::currentDate();
        r.startTime = {0, 0, 0};
        r.endTime = {23, 59, 59};
        return r;
    }
    r.startDate = cerner::DateOfParts(txtStartDate[0]->text(), txtStartDate[1]->text(), txtStartDate[2]->text());
    r.endDate = cerner::DateOfParts(txtEndDate[0]->text(), txtEndDate[1]->text(), txtEndDate[2]->text());
    r.startTime = cerner::TimeOfParts(txtStartTime[0]->text(), txtStartTime[1]->text(), txtStartTime[2]->text())
                      .value_or(std::array<int, 3>{});
    r.endTime = cerner::TimeOfParts(txtEndTime[0]->text(), txtEndTime[1]->text(), txtEndTime[2]->text())
                    .value_or(std::array<int, 3>{});
    return r;
}

}  // namespace quillon
