#include "editing/frmFilterRecords.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editing/FindDialog.h"
#include "editing/FindDialogRules.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

const QString frmFilterRecords::HistorySection = QStringLiteral("cboFilterRecords");

namespace {

std::string Utf8Bytes(const QString& text)
{
    return text.toStdString();
}

}  // namespace

frmFilterRecords::frmFilterRecords(AppState& state, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs)
{
    setObjectName(QStringLiteral("frmFilterRecords"));
    setWindowTitle(QStringLiteral("Filter Records"));
    // No close box: the dialog is left through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    chkSegment = new QCheckBox(
        QStringLiteral("Keep/Delete Records that contain this segment in the message."), this);
    chkSegment->setObjectName(QStringLiteral("chkSegment"));
    Frame1 = new QGroupBox(QStringLiteral("Search Criteria"), this);
    optInclude[0] =
        new QRadioButton(QStringLiteral("Keep records that contain the following ..."), Frame1);
    optInclude[1] =
        new QRadioButton(QStringLiteral("Delete records that contain the following ..."), Frame1);
    optInclude[0]->setChecked(true);
    cboFilterRecords = EditableBox(Frame1, "cboFilterRecords");
    picker_ = new FieldPicker(Frame1, st.dictionary, "cboSegmentFilter", "cboFieldFilter");
    cboSegmentFilter = picker_->segmentBox;
    cboFieldFilter = picker_->fieldBox;
    chkMatchWholeWordOnly = new QCheckBox(QStringLiteral("Match &whole word only"), Frame1);
    chkMatchWholeWordOnly->setObjectName(QStringLiteral("chkMatchWholeWordOnly"));
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"), Frame1);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Search Text:"), Frame1), 0, 0);
    grid->addWidget(cboFilterRecords, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Segment:"), Frame1), 1, 0);
    grid->addWidget(cboSegmentFilter, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Field:"), Frame1), 2, 0);
    grid->addWidget(cboFieldFilter, 2, 1);
    auto* frame = new QVBoxLayout(Frame1);
    frame->addWidget(optInclude[0]);
    frame->addWidget(optInclude[1]);
    frame->addLayout(grid);
    frame->addWidget(chkMatchWholeWordOnly);
    frame->addWidget(chkMatchCase);

    cmdApplyFilter = new QPushButton(QStringLiteral("&Apply Filter"), this);
    cmdApplyFilter->setObjectName(QStringLiteral("cmdApplyFilter"));
    cmdApplyFilter->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdApplyFilter);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(chkSegment);
    left->addWidget(Frame1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(cmdApplyFilter, &QPushButton::clicked, this, &frmFilterRecords::cmdApplyFilter_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFilterRecords::cmdCancel_Click);
    connect(chkSegment, &QCheckBox::toggled, this, &frmFilterRecords::chkSegment_Click);
    for (int i = 0; i < 2; ++i)
        connect(optInclude[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { optInclude_Click(i); });
    connect(cboFilterRecords, &QComboBox::activated, this,
            [this](int index) { cboFilterRecords_Click(HistoryLine(cboFilterRecords, index)); });
    MakeHistoryBox(cboFilterRecords, cmdApplyFilter);
    cboFilterRecords->lineEdit()->installEventFilter(this);

    st.editing.filter.FilterKeepMatches = true;
    st.editing.filter.FilterOnText = true;
    LoadHistory(cboFilterRecords, st.settings, HistorySection);
    cboFilterRecords->setEditText(QString());
}

bool frmFilterRecords::eventFilter(QObject* watched, QEvent* event)
{
    // A history line typed or pasted whole is split like a chosen one.
    if (event->type() == QEvent::FocusOut && watched == cboFilterRecords->lineEdit()
        && cboFilterRecords->currentText().contains(QLatin1Char('\t')))
        cboFilterRecords_Click(cboFilterRecords->currentText());
    return QDialog::eventFilter(watched, event);
}

void frmFilterRecords::optInclude_Click(int index)
{
    st.editing.filter.FilterKeepMatches = index == 0;
}

void frmFilterRecords::chkSegment_Click()
{
    const bool text = !chkSegment->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{cboFilterRecords, cboFieldFilter,
                                                      chkMatchWholeWordOnly, chkMatchCase})
        w->setEnabled(text);
    st.editing.filter.FilterOnText = text;
}

void frmFilterRecords::SetSegment(const QString& segment)
{
    picker_->SetSegment(segment);
}

void frmFilterRecords::cboFieldFilter_LostFocus()
{
    picker_->LeaveFieldBox();
}

void frmFilterRecords::cboFilterRecords_Click(const QString& line)
{
    const RecordFindHistoryChoice choice = SplitRecordFindHistoryLine(Utf8Bytes(line));
    picker_->Show(choice);
    chkMatchWholeWordOnly->setChecked(choice.wholeWord);
    chkMatchCase->setChecked(choice.matchCase);
    cboFilterRecords->setEditText(Text(choice.findText));
}

void frmFilterRecords::cmdApplyFilter_Click()
{
    FilterRequest& request = st.editing.filter;
    cboFieldFilter_LostFocus();
    const std::string segment = Utf8Bytes(cboSegmentFilter->currentText());
    if (!request.FilterOnText && AsciiUpper(segment) == "ALL") {
        dlg.MsgBox(Text(AllAsPresenceSegmentMessage), MsgButtons::OKOnly, MsgIcon::Information,
                   Text(InvalidSegmentNameTitle));
        return;
    }
    cboFieldFilter->setEditText(cboFieldFilter->currentText().toUpper());
    const std::string field = Utf8Bytes(cboFieldFilter->currentText());
    // The field is checked against the segment's fields only for the text test; the presence
    // test reads the segment box alone.
    if (request.FilterOnText && !CheckedFindFieldName(field, picker_->Lines())) {
        dlg.MsgBox(Text(BadFieldNameMessage(segment)), MsgButtons::OKOnly, MsgIcon::Exclamation,
                   Text(BadFieldNameTitle));
        request.FilterText = std::string(CancelTheFilter);
        return;
    }
    const QString text = cboFilterRecords->currentText();
    request.FilterText = Typed(text);
    request.FilterFieldName = PickerLabelPart(field);
    request.FilterSegment = AsciiUpper(segment);
    st.search.MatchWholeWordOnly = chkMatchWholeWordOnly->isChecked();
    st.search.MatchCase = chkMatchCase->isChecked();
    SaveHistory(cboFilterRecords,
                text.isEmpty() ? std::string()
                               : RecordFindHistoryEntry(Utf8Bytes(text), segment, field,
                                                        chkMatchWholeWordOnly->isChecked(),
                                                        chkMatchCase->isChecked()),
                st.settings, HistorySection);
    accept();
}

void frmFilterRecords::cmdCancel_Click()
{
    st.editing.filter.FilterText = std::string(CancelTheFilter);
    QDialog::reject();
}

void frmFilterRecords::reject()
{
    // Esc is Cancel.
    cmdCancel_Click();
}

void frmFilterRecords::closeEvent(QCloseEvent* event)
{
    // Only the program closes the window this way (there is no close box): as Cancel.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    st.editing.filter.FilterText = std::string(CancelTheFilter);
    QDialog::closeEvent(event);
}

}  // namespace quillon
