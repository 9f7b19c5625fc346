#include "editing/frmReplaceInRecordList.h"

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

#include "app/Settings.h"
#include "editing/FindDialog.h"
#include "editing/FindDialogRules.h"
#include "editing/ReplaceRecords.h"
#include "editing/WindowText.h"

namespace quillon {

namespace {

}  // namespace

ReplaceDialog::ReplaceDialog(Kind kind_, AppState& state, platform::Dialogs& dialogs)
    : QDialog(nullptr), kind(kind_), st(state), dlg(dialogs)
{
    const bool assign = kind == Kind::AssignValue;
    const bool pickers = kind != Kind::SegmentOrFieldList;
    setObjectName(assign                       ? QStringLiteral("frmAssignValueToField")
                  : kind == Kind::RecordList   ? QStringLiteral("frmReplaceInRecordList")
                                               : QStringLiteral("frmReplace"));
    setWindowTitle(assign ? QStringLiteral("Assign Value to Field") : QStringLiteral("Replace"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    setModal(false);

    auto* grid = new QGridLayout;
    int row = 0;
    if (!assign) {
        txtFind = new QLineEdit(this);
        txtFind->setObjectName(QStringLiteral("txtFind"));
        auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
        label->setBuddy(txtFind);
        grid->addWidget(label, row, 0);
        grid->addWidget(txtFind, row++, 1);
    }
    txtReplace = new QLineEdit(this);
    txtReplace->setObjectName(QStringLiteral("txtReplace"));
    auto* replaceLabel = new QLabel(
        assign ? QStringLiteral("Put this Value:") : QStringLiteral("Replace w&ith:"), this);
    replaceLabel->setBuddy(txtReplace);
    grid->addWidget(replaceLabel, row, 0);
    grid->addWidget(txtReplace, row++, 1);
    if (pickers) {
        picker_ = new FieldPicker(this, st.dictionary, "cboSegmentReplace", "cboFieldReplace");
        // The replace and assign dialogs leave the field box's text as it is when it loses
        // the focus.
        picker_->fieldBox->removeEventFilter(picker_);
        picker_->fieldBox->lineEdit()->removeEventFilter(picker_);
        cboSegmentReplace = picker_->segmentBox;
        cboFieldReplace = picker_->fieldBox;
        grid->addWidget(new QLabel(QStringLiteral("In Segment:"), this), row, 0);
        grid->addWidget(cboSegmentReplace, row++, 1);
        grid->addWidget(new QLabel(QStringLiteral("and Field:"), this), row, 0);
        grid->addWidget(cboFieldReplace, row++, 1);
    }

    auto* options = new QHBoxLayout;
    if (!assign) {
        chkMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
        chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
        chkMatchWholeWordOnly = new QCheckBox(QStringLiteral("Match &whole word only"), this);
        chkMatchWholeWordOnly->setObjectName(QStringLiteral("chkMatchWholeWordOnly"));
        auto* checks = new QVBoxLayout;
        checks->addWidget(chkMatchWholeWordOnly);
        checks->addWidget(chkMatchCase);
        options->addLayout(checks);
    }
    fraFrame = new QGroupBox(QStringLiteral("Scope"), this);
    optScope[0] = new QRadioButton(QStringLiteral("All Records"), fraFrame);
    optScope[1] = new QRadioButton(
        assign ? QStringLiteral("Selected Records") : QStringLiteral("This Record"), fraFrame);
    optScope[assign ? 1 : 0]->setChecked(true);
    auto* scope = new QVBoxLayout(fraFrame);
    scope->addWidget(optScope[0]);
    scope->addWidget(optScope[1]);
    options->addWidget(fraFrame);

    LayOutWithButtons(this, grid, options, cmdCommand,
                      assign ? QStringLiteral("Assign Value") : QStringLiteral("Replace &All"),
                      "cmdAction");

    for (int i = 0; i < 2; ++i)
        connect(cmdCommand[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdCommand_Click(i); });
}

void ReplaceDialog::cmdCommand_Click(int index)
{
    if (index == 0)
        Submit();
    else
        Cancel();
}

void ReplaceDialog::Submit()
{
    // The delimiters are single bytes: the texts are looked at one character a byte.
    const std::string findText = txtFind ? Typed(txtFind->text()) : std::string(AnythingFindText);
    const std::string replaceText = Typed(txtReplace->text());
    if (const std::optional<DelimiterRefusal> refusal = RefuseDelimiters(
            st.delimiters.AllDelimiters, txtFind ? Bytes(txtFind->text()) : findText,
            Bytes(txtReplace->text()), txtFind != nullptr)) {
        dlg.MsgBox(Text(refusal->message), platform::MsgButtons::OKOnly,
                   platform::MsgIcon::Exclamation, kSettingsApp);
        QLineEdit* box = refusal->inFindText && txtFind ? txtFind : txtReplace;
        box->setFocus();
        box->selectAll();
        return;
    }
    SearchRequest& request = st.search;
    if (cboFieldReplace)
        request.ReplaceFieldName = ReplaceFieldNameFrom(Bytes(cboFieldReplace->currentText()));
    request.FindText = findText;
    request.ReplaceText = replaceText;
    request.MatchWholeWordOnly = chkMatchWholeWordOnly && chkMatchWholeWordOnly->isChecked();
    // Assigning compares "[*ANYTHING*]" exactly.
    request.MatchCase = !chkMatchCase || chkMatchCase->isChecked();
    request.ScopeAllRecords = optScope[0]->isChecked();
    request.ScopeSelectedRecords = optScope[1]->isChecked();
    request.SearchDialogDone = true;
    emit Done();
}

void ReplaceDialog::Cancel()
{
    SearchRequest& request = st.search;
    request.FindText.clear();
    request.ReplaceText.clear();
    request.MatchWholeWordOnly = false;
    request.MatchCase = false;
    request.ScopeAllRecords = optScope[0]->isChecked();
    request.ScopeSelectedRecords = optScope[1]->isChecked();
    request.SearchDialogDone = true;
    emit Done();
}

void ReplaceDialog::reject()
{
    // Esc is Cancel; the command closes the dialog.
    Cancel();
}

void ReplaceDialog::closeEvent(QCloseEvent* event)
{
    Cancel();
    event->accept();
}

}  // namespace quillon
