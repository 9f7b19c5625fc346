#include "tcpip/frmHL7Envelope.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

#include "app/Settings.h"
#include "tcpip/NumberBase.h"

namespace quillon {

namespace {

constexpr std::array<int16_t, 3> kDefaultCodes = {11, 13, 28};

int16_t CodeOf(char c)
{
    return static_cast<unsigned char>(c);
}

char CharOf(int16_t code)
{
    return static_cast<char>(static_cast<unsigned char>(code));
}

bool IsDigitOf(QChar c, int16_t base)
{
    switch (base) {
    case BaseOctal:
        return c >= u'0' && c <= u'7';
    case BaseHexadecimal:
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
    default:
        return c >= u'0' && c <= u'9';
    }
}

}  // namespace

QValidator::State CharCodeValidator::validate(QString& input, int&) const
{
    if (base == BaseHexadecimal)
        input = input.toUpper();
    if (input.isEmpty())
        return Intermediate;
    for (const QChar c : input) {
        if (!IsDigitOf(c, base))
            return Invalid;
    }
    return ParseCharCode(input, base) ? Acceptable : Invalid;
}

frmHL7Envelope::frmHL7Envelope(AppState& state, int16_t& displayBase, QWidget* parent)
    : QDialog(parent), st(state), DisplayBase(displayBase)
{
    setWindowTitle(QStringLiteral("HL7 Record Envelope"));
    validator_ = new CharCodeValidator(this);

    lblStartOfBlockChar = new QLabel(QStringLiteral("Start of block character:"), this);
    lblEndOfBlockChar = new QLabel(QStringLiteral("End of block character:"), this);
    lblEndOfDataChar = new QLabel(QStringLiteral("End of data character:"), this);
    txtStartOfBlockChar = new QLineEdit(this);
    txtEndOfBlockChar = new QLineEdit(this);
    txtEndOfDataChar = new QLineEdit(this);
    boxes_ = {txtStartOfBlockChar, txtEndOfBlockChar, txtEndOfDataChar};

    fraBase = new QGroupBox(QStringLiteral("Base to Use"), this);
    optBase[Decimal] = new QRadioButton(QStringLiteral("Decimal"), fraBase);
    optBase[Octal] = new QRadioButton(QStringLiteral("Octal"), fraBase);
    optBase[Hexadecimal] = new QRadioButton(QStringLiteral("HEX"), fraBase);

    cmdDefaults = new QPushButton(QStringLiteral("Defaults"), this);
    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdSave->setDefault(true);
    cmdDefaults->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    lblWarning = new QLabel(
        QStringLiteral("You are strongly urged not to change the default envelope characters "
                       "unless you know exactly what you are doing.  Changing them can make "
                       "records that you save to disk unreadable."),
        this);
    lblWarning->setWordWrap(true);

    auto* baseLayout = new QVBoxLayout(fraBase);
    for (QRadioButton* option : optBase)
        baseLayout->addWidget(option);

    auto* charLayout = new QGridLayout;
    const std::array<QLabel*, 3> labels = {lblStartOfBlockChar, lblEndOfBlockChar,
                                           lblEndOfDataChar};
    for (int i = 0; i < 3; ++i) {
        charLayout->addWidget(labels[i], i, 0);
        charLayout->addWidget(boxes_[i], i, 1);
        labels[i]->setBuddy(boxes_[i]);
        boxes_[i]->setMaximumWidth(60);
    }
    auto* upper = new QHBoxLayout;
    upper->addLayout(charLayout);
    upper->addWidget(fraBase);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefaults);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper);
    layout->addWidget(lblWarning);
    layout->addLayout(buttons);

    for (QLineEdit* box : boxes_) {
        box->setValidator(validator_);
        box->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i) {
        // Arrow keys move the choice within the frame as clicks do.
        connect(optBase[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optBase_Click(i);
        });
    }
    connect(cmdDefaults, &QPushButton::clicked, this, &frmHL7Envelope::cmdDefaults_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmHL7Envelope::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmHL7Envelope::cmdCancel_Click);

    Form_Load();
}

QString frmHL7Envelope::CodeText(int16_t code, int16_t base)
{
    return CharCodeText(code, base);
}

std::optional<int16_t> frmHL7Envelope::ParseCode(const QString& text, int16_t base)
{
    return ParseCharCode(text, base);
}

void frmHL7Envelope::Form_Load()
{
    const Settings settings(st.settings);
    codes_ = {CodeOf(settings.StartOfBlockChar()), CodeOf(settings.EndOfBlockChar()),
              CodeOf(settings.EndOfDataChar())};
    int16_t base = DisplayBase;
    if (base < Decimal || base > Hexadecimal)
        base = Decimal;
    DisplayBase = Decimal;
    ShowCodes();
    // No button of a new window is checked, so this always runs the change of base.
    optBase[base]->setChecked(true);
}

void frmHL7Envelope::ShowCodes()
{
    validator_->base = DisplayBase;
    for (int i = 0; i < 3; ++i)
        boxes_[i]->setText(CodeText(codes_[i], DisplayBase));
}

void frmHL7Envelope::ParseBox(Box box)
{
    if (const std::optional<int16_t> code = ParseCode(boxes_[box]->text(), DisplayBase)) {
        codes_[box] = *code;
        return;
    }
    boxes_[box]->setText(CodeText(codes_[box], DisplayBase));
    QApplication::beep();
}

void frmHL7Envelope::ParseFocusedBox()
{
    for (int i = 0; i < 3; ++i) {
        if (focusWidget() == boxes_[i])
            ParseBox(static_cast<Box>(i));
    }
}

void frmHL7Envelope::optBase_Click(int index)
{
    if (index < Decimal || index > Hexadecimal)
        return;
    ParseFocusedBox();
    DisplayBase = static_cast<int16_t>(index);
    ShowCodes();
    const QSignalBlocker quiet(optBase[index]);
    optBase[index]->setChecked(true);
}

void frmHL7Envelope::txtStartOfBlockChar_LostFocus()
{
    ParseBox(StartOfBlock);
}

void frmHL7Envelope::txtEndOfBlockChar_LostFocus()
{
    ParseBox(EndOfBlock);
}

void frmHL7Envelope::txtEndOfDataChar_LostFocus()
{
    ParseBox(EndOfData);
}

void frmHL7Envelope::cmdDefaults_Click()
{
    codes_ = kDefaultCodes;
    ShowCodes();
}

void frmHL7Envelope::cmdSave_Click()
{
    // Enter saves what the box being edited holds.
    ParseFocusedBox();
    Settings settings(st.settings);
    settings.SetStartOfBlockChar(CharOf(codes_[StartOfBlock]));
    settings.SetEndOfBlockChar(CharOf(codes_[EndOfBlock]));
    settings.SetEndOfDataChar(CharOf(codes_[EndOfData]));
    st.envelope.StartOfBlockChar = CharOf(codes_[StartOfBlock]);
    st.envelope.EndOfBlockChar = CharOf(codes_[EndOfBlock]);
    st.envelope.EndOfDataChar = CharOf(codes_[EndOfData]);
    accept();
}

void frmHL7Envelope::cmdCancel_Click()
{
    reject();
}

bool frmHL7Envelope::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 3; ++i) {
        if (watched != boxes_[i])
            continue;
        if (event->type() == QEvent::FocusIn) {
            // After the click that gave the focus has placed the cursor.
            QTimer::singleShot(0, boxes_[i], &QLineEdit::selectAll);
        } else if (event->type() == QEvent::FocusOut) {
            static constexpr std::array handlers = {&frmHL7Envelope::txtStartOfBlockChar_LostFocus,
                                                    &frmHL7Envelope::txtEndOfBlockChar_LostFocus,
                                                    &frmHL7Envelope::txtEndOfDataChar_LostFocus};
            (this->*handlers[i])();
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
