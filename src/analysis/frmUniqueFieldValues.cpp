#include "analysis/frmUniqueFieldValues.h"

#include <algorithm>
#include <QAbstractListModel>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/UniqueValues.h"
#include "editing/FindDialog.h"
#include "editing/WindowText.h"
#include "records/FieldDesignations.h"

namespace quillon {

// The list's rows: the lines of the last report, each made into a string only when a row is
// shown, so a million distinct values cost no million strings.
class UniqueValuesModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void SetReport(UniqueValuesReport report)
    {
        beginResetModel();
        report_ = std::move(report);
        endResetModel();
    }
    const UniqueValuesReport& Report() const { return report_; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(report_.LineCount());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
            return {};
        return report_.Line(index.row());
    }

private:
    UniqueValuesReport report_;
};

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

QFont ReportFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// The field box's line for a preset designation: its label as the picker writes it, padded to
// twelve characters, and the description the dictionary has for it.
QString PresetLine(const DescriptionDictionary& dictionary, const std::string& preset)
{
    const std::string key = preset.substr(0, preset.find('('));
    std::string line = AssignValueFieldKey(key);
    line.resize(12, ' ');
    line += dictionary.LookupFieldDescription(key);
    return Text(line);
}

}  // namespace

frmUniqueFieldValues::frmUniqueFieldValues(AppState& state, platform::Dialogs& dialogs,
                                           bool displayEmptyFields, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs), displayEmptyFields_(displayEmptyFields)
{
    setObjectName(QStringLiteral("frmUniqueFieldValues"));
    setWindowTitle(QStringLiteral("Determine All Unique Field Values"));

    fraFrame1 = new QGroupBox(QStringLiteral("Select Field to Report Unique Values"), this);
    picker_ = new FieldPicker(fraFrame1, st.dictionary, "cboSegmentFind", "cboFieldFind");
    cboSegmentFind = picker_->segmentBox;
    cboFieldFind = picker_->fieldBox;
    // This window offers no "all": a report is always about one segment's field.
    cboSegmentFind->removeItem(cboSegmentFind->findText(QStringLiteral("all")));
    lblLabel[0] = new QLabel(QStringLiteral("Field:"), fraFrame1);
    lblLabel[1] = new QLabel(QStringLiteral("Segment:"), fraFrame1);
    auto* pickers = new QGridLayout(fraFrame1);
    pickers->addWidget(lblLabel[1], 0, 0);
    pickers->addWidget(cboSegmentFind, 0, 1);
    pickers->addWidget(lblLabel[0], 1, 0);
    pickers->addWidget(cboFieldFind, 1, 1);

    const QStringList captions = {QStringLiteral("Run Report"), QStringLiteral("Cancel"),
                                  QStringLiteral("Copy to Clipboard")};
    auto* buttons = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        cmdCommand[static_cast<size_t>(i)] = new QPushButton(captions[i], this);
        buttons->addWidget(cmdCommand[static_cast<size_t>(i)]);
        connect(cmdCommand[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdCommand_Click(i); });
    }
    cmdCommand[0]->setDefault(true);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(fraFrame1, 1);
    top->addLayout(buttons);

    const QStringList headings = {QStringLiteral("# Occurances"), QStringLiteral("% of Total"),
                                  QStringLiteral("Unique Value")};
    auto* headingRow = new QWidget(this);
    for (int i = 0; i < 3; ++i) {
        Label1[static_cast<size_t>(i)] = new QLabel(headings[i], headingRow);
        Label1[static_cast<size_t>(i)]->hide();
    }
    headingRow->setMinimumHeight(Label1[0]->sizeHint().height());

    lstUniqueValues = new QListView(this);
    lstUniqueValues->setObjectName(QStringLiteral("lstUniqueValues"));
    lines_ = new UniqueValuesModel(lstUniqueValues);
    lstUniqueValues->setModel(lines_);
    lstUniqueValues->setFont(ReportFont());
    lstUniqueValues->setUniformItemSizes(true);
    lstUniqueValues->setMinimumSize(560, 260);

    stsStatus = new QStatusBar(this);
    stsStatus->setSizeGripEnabled(false);
    stsPanel1 = new QLabel(stsStatus);
    prStatus = new QProgressBar(stsStatus);
    prStatus->setRange(0, 100);
    prStatus->setTextVisible(false);
    stsStatus->addWidget(stsPanel1, 1);
    stsStatus->addWidget(prStatus, 1);
    prStatus->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(headingRow);
    layout->addWidget(lstUniqueValues, 1);
    layout->addWidget(stsStatus);
    PlaceHeadings(7);

    // Form_Load: the preset's segment and field line, else MSH.
    const std::string& preset = st.analysis.UniqueValuesField;
    picker_->SetSegment(preset.empty() ? QStringLiteral("MSH") : Text(preset.substr(0, 3)));
    if (!preset.empty())
        cboFieldFind->setEditText(PresetLine(st.dictionary, preset));
}

void frmUniqueFieldValues::PlaceHeadings(int countWidth)
{
    // The headings stand over the columns of the lines: the count, the share after "  (", the
    // value's opening quote; a heading wider than its column pushes the next one right.
    const QFontMetrics metrics = lstUniqueValues->fontMetrics();  // the font the list really got
    const int cw = metrics.horizontalAdvance(QLatin1Char('0'));
    const int left = lstUniqueValues->frameWidth() + 2;
    const std::array<int, 3> columns = {0, countWidth + 2, countWidth + 16};
    int freeFrom = 0;
    for (size_t i = 0; i < 3; ++i) {
        Label1[i]->adjustSize();
        const int x = std::max(left + columns[i] * cw, freeFrom);
        Label1[i]->move(x, 0);
        freeFrom = x + Label1[i]->width() + cw;
    }
}

void frmUniqueFieldValues::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Form_Activate: a preset report runs once per opening, as soon as the window shows.
    if (!st.analysis.UniqueValuesField.empty() && lines_->rowCount() == 0 && !running_)
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && lines_->rowCount() == 0 && !running_)
                cmdCommand_Click(0);
        });
}

void frmUniqueFieldValues::done(int result)
{
    // Closing during a run stops it; the run's loop returns once the window's events are done.
    closing_ = true;
    prStatus->hide();
    st.analysis.UniqueValuesField.clear();
    QDialog::done(result);
}

void frmUniqueFieldValues::cmdCommand_Click(int index)
{
    picker_->LeaveFieldBox();
    switch (index) {
    case 0:
        RunReport();
        break;
    case 1:
        reject();
        break;
    case 2:
        CopyToClipboard();
        break;
    default:
        break;
    }
}

void frmUniqueFieldValues::RunReport()
{
    if (running_) {
        // Pressed again during a run: that run stops and starts over with the boxes as they are.
        restart_ = true;
        return;
    }
    closing_ = false;
    running_ = true;
    do {
        restart_ = false;
        RunOnce();
    } while (restart_ && !closing_);
    running_ = false;
}

bool frmUniqueFieldValues::RunOnce()
{
    lines_->SetReport({});
    std::string designation = CleanUniqueValuesDesignation(cboFieldFind->currentText().toLatin1().toStdString());
    if (cboFieldFind->currentText().isEmpty()) {
        dlg.MsgBox(QStringLiteral("Please select a segment then a field."), MsgButtons::OKOnly,
                   MsgIcon::Information, QStringLiteral("No Field Selected"));
        return false;
    }
    const WaitCursor wait;
    if (!st.analysis.UniqueValuesField.empty())
        designation = st.analysis.UniqueValuesField;

    prStatus->setValue(0);
    prStatus->show();
    stsPanel1->setText(QStringLiteral("Scanning Records"));
    for (QLabel* heading : Label1)
        heading->hide();
    QApplication::processEvents();

    // FilterRepetition is read once: the window is modal, so nothing can change it meanwhile.
    const std::string repetition = st.editing.FilterRepetition;
    const FieldValueRules rules{st.delimiters, st.envelope.EndOfBlockChar, displayEmptyFields_,
                                repetition};
    UniqueValuesResult result = CountUniqueValues(
        st.records, designation, rules,
        [this](UniqueValuesPhase phase, int32_t record, int32_t recordCount) {
            if (phase == UniqueValuesPhase::Sorting) {
                stsPanel1->setText(QStringLiteral("Sorting Results"));
                prStatus->setValue(0);
            } else if (recordCount > 0) {
                prStatus->setValue(static_cast<int>(int64_t{record} * 100 / recordCount));
            }
            QApplication::processEvents();
            return !restart_ && !closing_;
        });
    if (result.cancelled) {
        prStatus->hide();
        stsPanel1->clear();
        return false;
    }

    const QLocale locale = QLocale::system();
    lines_->SetReport(
        UniqueValuesReport(std::move(result), locale.groupSeparator(), locale.decimalPoint()));
    stsPanel1->setText(UniqueValuesSummary(lines_->Report().Result()));
    PlaceHeadings(lines_->Report().CountWidth());
    for (QLabel* heading : Label1)
        heading->show();
    prStatus->hide();
    return true;
}

void frmUniqueFieldValues::CopyToClipboard()
{
    // The clipboard is emptied first, so an empty list leaves it empty rather than as it was.
    QApplication::clipboard()->setText(lines_->Report().Text());
}

}  // namespace quillon
