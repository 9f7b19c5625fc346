#include "editing/FindDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "editing/FindDialogRules.h"

namespace quillon {

const QString FindDialog::HistorySection = QStringLiteral("cboFindRecords");

namespace {

QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }
std::string Bytes(const QString& text) { return text.toStdString(); }

// The segment box takes what is typed in upper case; its first item stays "all".
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (input != QLatin1String(AllSegments.data(), static_cast<qsizetype>(AllSegments.size())))
            input = input.toUpper();
        return Acceptable;
    }
};

// The record-find history box refuses "|".
class NoBarValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return input.contains(QLatin1Char('|')) ? Invalid : Acceptable;
    }
};

}  // namespace

QComboBox* EditableBox(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    // Lines enter the lists only through the history rules, never by Enter.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(12);
    box->setMinimumContentsLength(30);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

void LayOutWithButtons(QDialog* dialog, QLayout* boxes, QLayout* options,
                       std::array<QPushButton*, 2>& buttons, const QString& action,
                       const char* actionName)
{
    buttons[0] = new QPushButton(action, dialog);
    buttons[0]->setObjectName(QLatin1String(actionName));
    buttons[0]->setDefault(true);
    buttons[0]->setAutoDefault(true);
    buttons[1] = new QPushButton(QStringLiteral("Cancel"), dialog);
    buttons[1]->setObjectName(QStringLiteral("cmdCancel"));
    buttons[1]->setAutoDefault(false);
    auto* column = new QVBoxLayout;
    column->addWidget(buttons[0]);
    column->addWidget(buttons[1]);
    column->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(boxes);
    left->addLayout(options);
    auto* layout = new QHBoxLayout(dialog);
    layout->addLayout(left, 1);
    layout->addLayout(column);
}

namespace {

QFont PickerFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    return font;
}

std::vector<std::string> Lines(const QComboBox* box)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(box->count()));
    for (int i = 0; i < box->count(); ++i)
        lines.push_back(Bytes(HistoryLine(box, i)));
    return lines;
}

// A record-find or filter history line shows as its find text, so that neither list ever puts
// the field and options into the search text.
void AddHistoryLine(QComboBox* box, const QString& line)
{
    box->addItem(line.section(QLatin1Char('\t'), 0, 0), line);
}

// Puts `lines` in the box's list, its text left as it was.
void SetLines(QComboBox* box, const std::vector<std::string>& lines, bool historyLines)
{
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    for (const std::string& line : lines) {
        if (historyLines)
            AddHistoryLine(box, Text(line));
        else
            box->addItem(Text(line));
    }
    box->setEditText(text);
}

class HistoryKeys : public QObject {
public:
    HistoryKeys(QComboBox* box, QPushButton* button) : QObject(box), button_(button)
    {
        // Typing offers the lines that start with the text in a pop-up list and leaves the text
        // as typed: an inline completion ran a longer line ("ADT" became "ADTX") and Return
        // took its letter case.
        QCompleter* completer = box->completer();
        completer->setCompletionMode(QCompleter::PopupCompletion);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        list_ = completer->popup();
        // Installed after the completer's own filter, so this one sees the list's keys first.
        list_->installEventFilter(this);
        // A line highlighted in the list is put in the box; what was typed is kept for Escape.
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { typed_ = text; });
        edit_ = box->lineEdit();
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
        // When its text loses the focus, a combo box makes the first line that equals the text,
        // letter case ignored, the current one, and reports it as chosen: "ADT" typed over a
        // history line "adt" became "adt", with that line's field and options, as soon as the
        // user clicked Match case or Find Next. Only a line picked from a list is taken.
        QObject::disconnect(box->lineEdit(), SIGNAL(editingFinished()), box,
                            SLOT(_q_editingFinished()));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && watched == list_) {
            // Escape closes the list and leaves the text as typed.
            list_->hide();
            edit_->setText(typed_);
            return true;
        }
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (watched == list_) {
            // A line highlighted in the list is picked by the completer; the box reports it
            // as activated, which brings back its field and options.
            if (list_->currentIndex().isValid())
                return false;
            list_->hide();
        }
        if (button_->isEnabled())
            button_->click();
        return true;
    }

private:
    QPushButton* button_;
    QAbstractItemView* list_;
    QLineEdit* edit_;
    QString typed_;
};

}  // namespace

QString HistoryLine(const QComboBox* box, int index)
{
    const QVariant line = box->itemData(index);
    return line.isValid() ? line.toString() : box->itemText(index);
}

void MakeHistoryBox(QComboBox* box, QPushButton* button)
{
    new HistoryKeys(box, button);
}

FieldPicker::FieldPicker(QWidget* dialog, const DescriptionDictionary& dictionary,
                         const char* segmentBoxName, const char* fieldBoxName)
    : QObject(dialog),
      segmentBox(EditableBox(dialog, segmentBoxName)),
      fieldBox(EditableBox(dialog, fieldBoxName)),
      dictionary_(dictionary)
{
    segmentBox->setFont(PickerFont());
    segmentBox->setValidator(new UpperCaseValidator(segmentBox));
    fieldBox->setFont(PickerFont());
    fieldBox->setMinimumContentsLength(36);
    fieldBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    segmentBox->addItem(Text(std::string(AllSegments)));
    for (const std::string& name : dictionary_.SegmentNames)
        segmentBox->addItem(Text(name));
    connect(segmentBox, &QComboBox::currentTextChanged, this, &FieldPicker::Fill);
    segmentBox->setCurrentIndex(0);
    Fill();
    fieldBox->installEventFilter(this);
    fieldBox->lineEdit()->installEventFilter(this);
}

bool FieldPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut
        && (watched == fieldBox || watched == fieldBox->lineEdit()))
        LeaveFieldBox();
    return QObject::eventFilter(watched, event);
}

void FieldPicker::Fill()
{
    lines_ = FieldPickerLines(dictionary_, Bytes(segmentBox->currentText()));
    const QSignalBlocker block(fieldBox);
    fieldBox->clear();
    for (const std::string& line : lines_)
        fieldBox->addItem(Text(line));
    fieldBox->setEditText(lines_.empty() ? QString() : Text(lines_.front()));
}

void FieldPicker::SetSegment(const QString& segment)
{
    segmentBox->setEditText(segment);  // refills the field box
    const int item = segmentBox->findText(segment);
    if (item >= 0)
        segmentBox->setCurrentIndex(item);
}

void FieldPicker::LeaveFieldBox()
{
    const FieldBoxLeave leave =
        quillon::LeaveFieldBox(Bytes(fieldBox->currentText()), Bytes(segmentBox->currentText()));
    if (leave.segment)
        segmentBox->setEditText(Text(*leave.segment));  // refills the field box
    fieldBox->setEditText(Text(leave.fieldText));
}

void FieldPicker::Show(const RecordFindHistoryChoice& choice)
{
    SetSegment(Text(choice.segmentText));
    fieldBox->setEditText(Text(choice.fieldText));
}

void LoadHistory(QComboBox* box, platform::SettingsStore& settings, const QString& section)
{
    for (int k = 0; k < RecordFindHistoryKeysRead; ++k) {
        const QString line = settings.Get(kSettingsApp, section, QString::number(k));
        if (!line.isEmpty())
            AddHistoryLine(box, line);
    }
}

void SaveHistory(QComboBox* box, const std::string& entry, platform::SettingsStore& settings,
                 const QString& section)
{
    if (!entry.empty()) {
        std::vector<std::string> lines = Lines(box);
        PushHistory(lines, entry, RecordFindHistoryLength);
        SetLines(box, lines, true);
    }
    const platform::SettingsStore::Batch batch(settings);
    for (int k = 0; k < static_cast<int>(RecordFindHistoryLength); ++k)
        settings.Save(kSettingsApp, section, QString::number(k),
                      k < box->count() ? HistoryLine(box, k) : QString());
}

FindDialog::FindDialog(Kind kind_, AppState& state, platform::Dialogs& dialogs)
    : QDialog(nullptr), kind(kind_), st(state), dlg(dialogs)
{
    const bool records = kind == Kind::RecordList;
    setObjectName(records ? QStringLiteral("frmFindInRecordList")
                          : QStringLiteral("frmFindInFieldList"));
    setWindowTitle(QStringLiteral("Find"));
    // Above every other window; the record-list dialog has no close box (Cancel ends it).
    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowStaysOnTopHint;
    if (records)
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    setWindowFlags(flags);
    setModal(false);

    lblLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    cboFindRecords = EditableBox(this, "cboFindRecords");
    cboFindRecords->setValidator(new NoBarValidator(cboFindRecords));
    cboFindFields = EditableBox(this, "cboFindFields");
    lblLabel->setBuddy(records ? cboFindRecords : cboFindFields);

    auto* grid = new QGridLayout;
    grid->addWidget(lblLabel, 0, 0);
    grid->addWidget(cboFindRecords, 0, 1);
    grid->addWidget(cboFindFields, 0, 1);
    if (records) {
        picker_ = new FieldPicker(this, st.dictionary, "cboSegmentFind", "cboFieldFind");
        cboSegmentFind = picker_->segmentBox;
        cboFieldFind = picker_->fieldBox;
        grid->addWidget(new QLabel(QStringLiteral("In Segment:"), this), 1, 0);
        grid->addWidget(cboSegmentFind, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("and Field:"), this), 2, 0);
        grid->addWidget(cboFieldFind, 2, 1);
    }

    fraFrame = new QGroupBox(QStringLiteral("Direction"), this);
    optDirection[0] = new QRadioButton(QStringLiteral("&Up"), fraFrame);
    optDirection[1] = new QRadioButton(QStringLiteral("&Down"), fraFrame);
    optDirection[1]->setChecked(true);
    auto* directions = new QHBoxLayout(fraFrame);
    directions->addWidget(optDirection[0]);
    directions->addWidget(optDirection[1]);
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    chkMatchWholeWordOnly = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    chkMatchWholeWordOnly->setObjectName(QStringLiteral("chkMatchWholeWordOnly"));
    auto* checks = new QVBoxLayout;
    checks->addWidget(chkMatchWholeWordOnly);
    checks->addWidget(chkMatchCase);
    auto* options = new QHBoxLayout;
    options->addLayout(checks);
    options->addWidget(fraFrame);

    LayOutWithButtons(this, grid, options, cmdCommand, QStringLiteral("&Find Next"), "cmdFindNext");

    for (int i = 0; i < 2; ++i)
        connect(cmdCommand[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdCommand_Click(i); });
    MakeHistoryBox(cboFindRecords, cmdCommand[0]);
    MakeHistoryBox(cboFindFields, cmdCommand[0]);

    if (records) {
        connect(cboFindRecords, &QComboBox::activated, this, &FindDialog::cboFindRecords_Click);
        LoadHistory(cboFindRecords, st.settings, HistorySection);
    }
    cboFindRecords->setEditText(QString());
    ShowHistoryBoxFor(std::string(records ? FindTargetRecords : FindTargetFields));
}

void FindDialog::ShowHistoryBoxFor(const std::string& target)
{
    const bool records = target == FindTargetRecords;
    if (!records && target != FindTargetFields)
        return;
    cboFindRecords->setVisible(records);
    cboFindRecords->setEnabled(records);
    cboFindFields->setVisible(!records);
    cboFindFields->setEnabled(!records);
    lblLabel->setBuddy(records ? cboFindRecords : cboFindFields);
}

bool FindDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        ShowHistoryBoxFor(st.search.FindTarget);
    return QDialog::event(event);
}

void FindDialog::cboFieldFind_LostFocus()
{
    picker_->LeaveFieldBox();
}

void FindDialog::PushRecordHistory()
{
    const QString findText = cboFindRecords->currentText();
    SaveHistory(cboFindRecords,
                findText.isEmpty()
                    ? std::string()
                    : RecordFindHistoryEntry(Bytes(findText), Bytes(cboSegmentFind->currentText()),
                                             Bytes(cboFieldFind->currentText()),
                                             chkMatchWholeWordOnly->isChecked(),
                                             chkMatchCase->isChecked()),
                st.settings, HistorySection);
}

void FindDialog::PushFieldHistory()
{
    const QString findText = cboFindFields->currentText();
    if (findText.isEmpty())
        return;
    std::vector<std::string> lines = Lines(cboFindFields);
    PushHistory(lines, Bytes(findText), 0);
    SetLines(cboFindFields, lines, false);
}

void FindDialog::cboFindRecords_Click(int index)
{
    const RecordFindHistoryChoice choice =
        SplitRecordFindHistoryLine(Bytes(HistoryLine(cboFindRecords, index)));
    picker_->Show(choice);
    chkMatchWholeWordOnly->setChecked(choice.wholeWord);
    chkMatchCase->setChecked(choice.matchCase);
    cboFindRecords->setEditText(Text(choice.findText));
}

void FindDialog::cmdCommand_Click(int index)
{
    if (kind == Kind::RecordList) {
        cboFieldFind_LostFocus();
        cboFieldFind->setEditText(cboFieldFind->currentText().toUpper());
    }
    if (index == 0)
        FindNext();
    else
        Cancel();
}

void FindDialog::FindNext()
{
    SearchRequest& request = st.search;
    const bool recordsTarget = request.FindTarget != FindTargetFields;
    if (kind == Kind::RecordList && recordsTarget) {
        request.FindText = Bytes(cboFindRecords->currentText());  // typed text: UTF-8
        PushRecordHistory();
    } else {
        request.FindText = Bytes(cboFindFields->currentText());
        PushFieldHistory();
    }
    if (kind == Kind::RecordList) {
        const std::optional<std::string> field =
            CheckedFindFieldName(Bytes(cboFieldFind->currentText()), picker_->Lines());
        if (!field) {
            dlg.MsgBox(Text(BadFieldNameMessage(Bytes(cboSegmentFind->currentText()))),
                       platform::MsgButtons::OKOnly, platform::MsgIcon::Exclamation,
                       Text(std::string(BadFieldNameTitle)));
            return;
        }
        request.FindFieldName = *field;
    }
    request.MatchWholeWordOnly = chkMatchWholeWordOnly->isChecked();
    request.MatchCase = chkMatchCase->isChecked();
    request.SearchUp = optDirection[0]->isChecked();
    request.SearchDown = optDirection[1]->isChecked();
    request.SearchDialogDone = true;
    emit Done();
}

void FindDialog::Cancel()
{
    SearchRequest& request = st.search;
    request.FindText.clear();
    request.MatchWholeWordOnly = false;
    request.MatchCase = false;
    request.SearchUp = false;
    request.SearchDown = false;
    request.SearchDialogDone = true;
    emit Done();
}

void FindDialog::reject()
{
    // Esc is Cancel; the main window hides the dialog.
    Cancel();
}

void FindDialog::closeEvent(QCloseEvent* event)
{
    // The field-list dialog refuses to close and cancels; the record-list dialog has no close
    // box and closes only when the program takes it down.
    if (kind == Kind::FieldList || event->spontaneous()) {
        event->ignore();
        Cancel();
        return;
    }
    Cancel();
    event->accept();
}

}  // namespace quillon
