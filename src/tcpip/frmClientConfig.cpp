#include "tcpip/frmClientConfig.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <limits>
#include <tuple>

#include "app/Settings.h"
#include "tcpip/NumberBase.h"
#include "tcpip/PortNumber.h"
#include "tcpip/frmHL7Envelope.h"

namespace quillon {

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

const QString kCaption = QStringLiteral("Configure TCP/IP Client - ");
const QString kFilePattern = QStringLiteral("Client Files (*.client)");
const QString kExtension = QStringLiteral(".client");
const char* const kDefaultAckBytes = "0b 06 1c 0d";

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString FromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString FileNameOf(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')),
                                     path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

// A box's text as a whole number of the target's type, as the file is written: an empty box
// is no number (error 13), nor is anything else that is not decimal digits with an optional
// sign; a number out of range is error 6.
template <typename Target>
int BoxNumber(const QLineEdit* box, Target& target)
{
    const std::string text = Utf8(box->text().trimmed());
    if (text.empty())
        return 13;
    int64_t value = 0;
    const int error = ReadConfigNumber(text, std::numeric_limits<Target>::min(),
                                       std::numeric_limits<Target>::max(), value);
    if (error == 0)
        target = static_cast<Target>(value);
    return error;
}

QString ErrorDescription(int number)
{
    switch (number) {
    case 6: return QStringLiteral("Overflow");
    case 13: return QStringLiteral("Type mismatch");
    case 53: return QStringLiteral("File not found");
    default: return QStringLiteral("Path/File access error");
    }
}

QLabel* WrappedLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

frmClientConfig::frmClientConfig(AppState& state, platform::Dialogs& dialogs,
                                 const QString& configPath, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs)
{
    setObjectName(QStringLiteral("frmConfigureClient"));
    setModal(true);
    filePath_ = configPath.isEmpty() ? st.folders.ClientsFolder + st.client.ClientConfigName
                                     : configPath;
    BuildControls();
    Form_Load();
}

void frmClientConfig::BuildControls()
{
    mnuBar = new QMenuBar(this);
    mnuFile = mnuBar->addMenu(QStringLiteral("&File"));
    mnuFileOpen = mnuFile->addAction(QStringLiteral("Open..."));
    mnuFile->addSeparator();
    mnuFileSave = mnuFile->addAction(QStringLiteral("&Save"));
    mnuFileSaveAs = mnuFile->addAction(QStringLiteral("Save &As..."));
    mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));

    SSTab1 = new QTabWidget(this);

    // The server.
    auto* serverTab = new QWidget(SSTab1);
    txtImClient_ServerHostname = new QLineEdit(serverTab);
    txtIP = new QLineEdit(serverTab);
    txtImClient_ServerPort = new QLineEdit(serverTab);
    txtImClient_ServerPort->setValidator(
        new DigitsValidator(std::numeric_limits<int32_t>::max(), this));
    {
        auto* grid = new QGridLayout;
        grid->addWidget(new QLabel(QStringLiteral("Server's Hostname"), serverTab), 0, 0);
        grid->addWidget(txtImClient_ServerHostname, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("or IP Address:"), serverTab), 1, 0);
        grid->addWidget(txtIP, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("Server's Port Number:"), serverTab), 2, 0);
        grid->addWidget(txtImClient_ServerPort, 2, 1);
        auto* layout = new QVBoxLayout(serverTab);
        layout->addWidget(WrappedLabel(
            QStringLiteral("Quillon needs to know the IP address of the server (the computer "
                           "waiting to receive data) and the number of the port on which the "
                           "server is listening. "),
            serverTab));
        layout->addWidget(WrappedLabel(
            QStringLiteral("You can also specify an alphanumeric host name, but the host name "
                           "and its IP address must be added in your Windows hosts file or in "
                           "your DNS server."),
            serverTab));
        layout->addLayout(grid);
        layout->addStretch();
    }
    SSTab1->addTab(serverTab, QStringLiteral("Server"));

    // The envelope.
    auto* envelopeTab = new QWidget(SSTab1);
    codeValidator_ = new CharCodeValidator(this);
    txtStartOfBlockChar = new QLineEdit(envelopeTab);
    txtEndOfBlockChar = new QLineEdit(envelopeTab);
    txtEndOfDataChar = new QLineEdit(envelopeTab);
    fraBase = new QGroupBox(QStringLiteral("Base to Use"), envelopeTab);
    optBase[BaseDecimal] = new QRadioButton(QStringLiteral("Decimal"), fraBase);
    optBase[BaseOctal] = new QRadioButton(QStringLiteral("Octal"), fraBase);
    optBase[BaseHexadecimal] = new QRadioButton(QStringLiteral("HEX"), fraBase);
    {
        auto* baseLayout = new QVBoxLayout(fraBase);
        for (QRadioButton* option : optBase)
            baseLayout->addWidget(option);
        auto* grid = new QGridLayout;
        const std::array<std::pair<QString, QLineEdit*>, 3> rows = {{
            {QStringLiteral("Start of block character:"), txtStartOfBlockChar},
            {QStringLiteral("End of block character:"), txtEndOfBlockChar},
            {QStringLiteral("End of data character:"), txtEndOfDataChar},
        }};
        for (int i = 0; i < 3; ++i) {
            grid->addWidget(new QLabel(rows[i].first, envelopeTab), i, 0);
            grid->addWidget(rows[i].second, i, 1);
            rows[i].second->setValidator(codeValidator_);
            rows[i].second->setMaximumWidth(60);
        }
        auto* row = new QHBoxLayout;
        row->addLayout(grid);
        row->addWidget(fraBase);
        auto* layout = new QVBoxLayout(envelopeTab);
        layout->addWidget(WrappedLabel(
            QStringLiteral("This section describes what the record being sent to the server "
                           "looks like."),
            envelopeTab));
        layout->addLayout(row);
        layout->addStretch();
    }
    SSTab1->addTab(envelopeTab, QStringLiteral("Envelope"));

    // Limits.
    auto* limitsTab = new QWidget(SSTab1);
    txtDelayAfterConnecting = new QLineEdit(limitsTab);
    txtMaxTimeWaitForACK = new QLineEdit(limitsTab);
    txtMaxTriesResend = new QLineEdit(limitsTab);
    txtDelayBetweenRecords = new QLineEdit(limitsTab);
    {
        auto* validator = new DigitsValidator(std::numeric_limits<int16_t>::max(), this);
        auto* grid = new QGridLayout;
        const std::array<std::tuple<QString, QLineEdit*, QString>, 4> rows = {{
            {QStringLiteral("Delay after connecting before sending to server:"),
             txtDelayAfterConnecting, QStringLiteral("seconds")},
            {QStringLiteral("Amount of time to wait without getting an ACK:"),
             txtMaxTimeWaitForACK, QStringLiteral("seconds")},
            {QStringLiteral("Number of times to try resending message:"), txtMaxTriesResend,
             QStringLiteral("tries")},
            {QStringLiteral("Number of seconds between sending messages:"),
             txtDelayBetweenRecords, QStringLiteral("seconds")},
        }};
        for (int i = 0; i < 4; ++i) {
            const auto& [label, box, unit] = rows[i];
            grid->addWidget(new QLabel(label, limitsTab), i, 0);
            grid->addWidget(box, i, 1);
            grid->addWidget(new QLabel(unit, limitsTab), i, 2);
            box->setValidator(validator);
            box->setMaximumWidth(60);
        }
        auto* layout = new QVBoxLayout(limitsTab);
        layout->addWidget(WrappedLabel(
            QStringLiteral("This section specifies various limits on communications parameters."),
            limitsTab));
        layout->addLayout(grid);
        layout->addStretch();
    }
    SSTab1->addTab(limitsTab, QStringLiteral("Limits"));

    // Acknowledgements.
    auto* ackTab = new QWidget(SSTab1);
    chkWaitForACK = new QCheckBox(
        QStringLiteral("Wait for an acknowledgement (ACK) before sending next record."), ackTab);
    optACKtype[0] = new QRadioButton(QStringLiteral("Wait for MSH based ACK:"), ackTab);
    optACKtype[1] = new QRadioButton(QStringLiteral("Wait for Simple ACK:"), ackTab);
    txtACK = new QLineEdit(ackTab);
    txtSimpleACK = new QLineEdit(ackTab);
    for (QPushButton*& button : cmdReset) {
        button = new QPushButton(QStringLiteral("Reset Value"), ackTab);
        button->setAutoDefault(false);
    }
    {
        auto* grid = new QGridLayout;
        grid->addWidget(optACKtype[0], 0, 0);
        grid->addWidget(txtACK, 0, 1);
        grid->addWidget(cmdReset[0], 0, 2);
        grid->addWidget(optACKtype[1], 1, 0);
        grid->addWidget(txtSimpleACK, 1, 1);
        grid->addWidget(cmdReset[1], 1, 2);
        auto* layout = new QVBoxLayout(ackTab);
        layout->addWidget(WrappedLabel(
            QStringLiteral("Most servers will send an acknowledgement back to Quillon for each "
                           "record that has been sent."),
            ackTab));
        layout->addWidget(chkWaitForACK);
        layout->addLayout(grid);
        layout->addStretch();
    }
    SSTab1->addTab(ackTab, QStringLiteral("ACKs"));

    // Negative acknowledgements.
    auto* nakTab = new QWidget(SSTab1);
    fraNAKrcvd = new QGroupBox(QStringLiteral("If a NAK is Received ..."), nakTab);
    optNAKrcvd[0] = new QRadioButton(QStringLiteral("Resend the record."), fraNAKrcvd);
    optNAKrcvd[1] = new QRadioButton(
        QStringLiteral("Reset the connection then resend the record."), fraNAKrcvd);
    optNAKrcvd[2] = new QRadioButton(QStringLiteral("Skip the record."), fraNAKrcvd);
    fraMaxNAKrcvd = new QGroupBox(QStringLiteral("If a NAK is Received Times..."), nakTab);
    optMaxNAKrcvd[0] = new QRadioButton(
        QStringLiteral("Reset the connection then resend the record."), fraMaxNAKrcvd);
    optMaxNAKrcvd[1] = new QRadioButton(QStringLiteral("Skip the record."), fraMaxNAKrcvd);
    optMaxNAKrcvd[2] = new QRadioButton(
        QStringLiteral("Close the connection and stop trying to send any records."),
        fraMaxNAKrcvd);
    {
        auto* nakLayout = new QVBoxLayout(fraNAKrcvd);
        for (QRadioButton* option : optNAKrcvd)
            nakLayout->addWidget(option);
        auto* maxLayout = new QVBoxLayout(fraMaxNAKrcvd);
        for (QRadioButton* option : optMaxNAKrcvd)
            maxLayout->addWidget(option);
        auto* layout = new QVBoxLayout(nakTab);
        layout->addWidget(WrappedLabel(
            QStringLiteral("If you are have ACKs enabled, this section describes what action "
                           "takes place when a \"Negative ACK\", or NAK, is received from the "
                           "server after a record has been sent."),
            nakTab));
        layout->addWidget(fraNAKrcvd);
        layout->addWidget(fraMaxNAKrcvd);
        layout->addStretch();
    }
    SSTab1->addTab(nakTab, QStringLiteral("NAKs"));

    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdSave->setDefault(true);
    cmdCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(mnuBar);
    layout->addWidget(SSTab1);
    layout->addLayout(buttons);

    // Option buttons: each set is one choice; QButtonGroup lets a load clear a whole set.
    baseGroup_ = new QButtonGroup(this);
    ackTypeGroup_ = new QButtonGroup(this);
    nakGroup_ = new QButtonGroup(this);
    maxNakGroup_ = new QButtonGroup(this);
    auto connectOptions = [this](QButtonGroup* group, auto& options,
                                 void (frmClientConfig::*click)(int)) {
        for (int i = 0; i < static_cast<int>(options.size()); ++i) {
            group->addButton(options[static_cast<size_t>(i)], i);
            // Arrow keys move the choice within a set as clicks do.
            connect(options[static_cast<size_t>(i)], &QRadioButton::toggled, this,
                    [this, click, i](bool on) {
                        if (on)
                            (this->*click)(i);
                    });
        }
    };
    connectOptions(baseGroup_, optBase, &frmClientConfig::optBase_Click);
    connectOptions(ackTypeGroup_, optACKtype, &frmClientConfig::optACKtype_Click);
    connectOptions(nakGroup_, optNAKrcvd, &frmClientConfig::optNAKrcvd_Click);
    connectOptions(maxNakGroup_, optMaxNAKrcvd, &frmClientConfig::optMaxNAKrcvd_Click);

    for (QLineEdit* box : {txtImClient_ServerHostname, txtIP, txtImClient_ServerPort,
                           txtStartOfBlockChar, txtEndOfBlockChar, txtEndOfDataChar,
                           txtDelayAfterConnecting, txtMaxTimeWaitForACK, txtMaxTriesResend,
                           txtDelayBetweenRecords, txtACK}) {
        selectOnFocus_.push_back(box);
        connect(box, &QLineEdit::textChanged, this, &frmClientConfig::SetChanged);
    }
    // The simple ACK marks the configuration changed as well, so its edits are not lost.
    connect(txtSimpleACK, &QLineEdit::textChanged, this, &frmClientConfig::SetChanged);
    connect(chkWaitForACK, &QCheckBox::clicked, this, &frmClientConfig::chkWaitForACK_Click);

    lostFocus_ = {
        {txtImClient_ServerHostname, &frmClientConfig::txtImClient_ServerHostname_LostFocus},
        {txtIP, &frmClientConfig::txtIP_LostFocus},
        {txtImClient_ServerPort, &frmClientConfig::txtImClient_ServerPort_LostFocus},
        {txtStartOfBlockChar, &frmClientConfig::txtStartOfBlockChar_LostFocus},
        {txtEndOfBlockChar, &frmClientConfig::txtEndOfBlockChar_LostFocus},
        {txtEndOfDataChar, &frmClientConfig::txtEndOfDataChar_LostFocus},
        {txtDelayAfterConnecting, &frmClientConfig::txtDelayAfterConnecting_LostFocus},
        {txtMaxTimeWaitForACK, &frmClientConfig::txtMaxTimeWaitForACK_LostFocus},
        {txtMaxTriesResend, &frmClientConfig::txtMaxTriesResend_LostFocus},
        {txtDelayBetweenRecords, &frmClientConfig::txtDelayBetweenRecords_LostFocus},
        {txtACK, &frmClientConfig::txtACK_LostFocus},
        {chkWaitForACK, &frmClientConfig::chkWaitForACK_LostFocus},
    };
    for (const auto& [widget, handler] : lostFocus_)
        widget->installEventFilter(this);

    for (int i = 0; i < 2; ++i)
        connect(cmdReset[i], &QPushButton::clicked, this, [this, i] { cmdReset_Click(i); });
    connect(mnuFile, &QMenu::aboutToShow, this, &frmClientConfig::mnuFile_Click);
    connect(mnuFileOpen, &QAction::triggered, this, &frmClientConfig::mnuFileOpen_Click);
    connect(mnuFileSave, &QAction::triggered, this, &frmClientConfig::mnuFileSave_Click);
    connect(mnuFileSaveAs, &QAction::triggered, this, &frmClientConfig::mnuFileSaveAs_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmClientConfig::mnuFileExit_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmClientConfig::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmClientConfig::cmdCancel_Click);
}

void frmClientConfig::Form_Load()
{
    int number = 0;
    QString description;
    if (ShowClientConfiguration(filePath_, &number, &description))
        return;
    // Nothing readable: the defaults, under the name asked for, so the user can save them.
    DisplayValues(ClientConfig{});
    SetCaption(filePath_);
    changed_ = false;
    dlg.MsgBox(QStringLiteral("Unanticipated error in frmConfigureClient:Form_Load: ")
                   + QString::number(number) + QLatin1Char(' ') + description
                   + QStringLiteral("Please contact Tech Support"),
               MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Error"));
}

bool frmClientConfig::ShowClientConfiguration(const QString& path, int* errorNumber,
                                              QString* errorDescription)
{
    const ClientConfigParse parsed =
        ReadClientConfigFile(IsOlderWindows() ? GetShortPath(path) : path);
    if (errorNumber)
        *errorNumber = parsed.errorNumber;
    if (errorDescription)
        *errorDescription = parsed.errorDescription;
    if (!parsed.ok())
        return false;
    SetCaption(path);
    DisplayValues(parsed.config);
    changed_ = false;
    return true;
}

void frmClientConfig::DisplayValues(const ClientConfig& config)
{
    loading_ = true;
    values_ = config;
    const ClientConfig& c = values_;
    txtImClient_ServerHostname->setText(c.ServerHost);
    txtImClient_ServerPort->setText(QString::number(c.ServerPort));
    txtStartOfBlockChar->setText(QString::number(c.StartOfBlockCode));
    txtEndOfBlockChar->setText(QString::number(c.EndOfBlockCode));
    txtEndOfDataChar->setText(QString::number(c.EndOfDataCode));
    txtDelayAfterConnecting->setText(QString::number(c.DelayAfterConnecting));
    txtMaxTimeWaitForACK->setText(QString::number(c.MaxTimeWaitForAck));
    txtMaxTriesResend->setText(QString::number(c.MaxTriesResend));
    txtDelayBetweenRecords->setText(QString::number(c.DelayBetweenRecords));
    txtACK->setText(FromUtf8(c.AckText));
    txtSimpleACK->setText(FromUtf8(c.AckBytes));
    txtIP->setText(c.ServerAddress);

    // The base text's number picks the option; any other value shows the codes in decimal.
    codeValidator_->base = BaseDecimal;
    const double base = LeadingNumber(FromUtf8(c.DisplayBase));
    SelectOption(baseGroup_, base == 0 || base == 1 || base == 2 ? static_cast<int>(base) : -1);

    chkWaitForACK->setChecked(c.WaitForAck != 0);
    SelectOption(ackTypeGroup_, c.UseAckBytes);
    SelectOption(nakGroup_, c.NakAction);
    SelectOption(maxNakGroup_, c.MaxNakAction);
    loading_ = false;
}

void frmClientConfig::SetCaption(const QString& path)
{
    setWindowTitle(kCaption + FileNameOf(path));
}

// Clears the set, then checks the option `index` (which runs its click); none for an index
// outside the set.
void frmClientConfig::SelectOption(QButtonGroup* group, int index)
{
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        const QSignalBlocker quiet(button);
        button->setChecked(false);
    }
    group->setExclusive(true);
    if (QAbstractButton* button = group->button(index))
        button->setChecked(true);
}

int16_t frmClientConfig::CodeBase() const
{
    return codeValidator_->base;
}

void frmClientConfig::ShowCodes()
{
    txtStartOfBlockChar->setText(CharCodeText(values_.StartOfBlockCode, CodeBase()));
    txtEndOfBlockChar->setText(CharCodeText(values_.EndOfBlockCode, CodeBase()));
    txtEndOfDataChar->setText(CharCodeText(values_.EndOfDataCode, CodeBase()));
}

void frmClientConfig::SetChanged()
{
    changed_ = true;
}

void frmClientConfig::optBase_Click(int index)
{
    if (index < BaseDecimal || index > BaseHexadecimal)
        return;
    // A code being typed counts in the base it was typed in (a load brings its own codes).
    if (!loading_)
        CommitFocusedBox();
    values_.DisplayBase = std::to_string(index);
    codeValidator_->base = static_cast<int16_t>(index);
    ShowCodes();
    const QSignalBlocker quiet(optBase[static_cast<size_t>(index)]);
    optBase[static_cast<size_t>(index)]->setChecked(true);
    changed_ = true;
}

void frmClientConfig::optACKtype_Click(int index)
{
    values_.UseAckBytes = static_cast<int16_t>(index);
    changed_ = true;
}

void frmClientConfig::optNAKrcvd_Click(int index)
{
    values_.NakAction = static_cast<int16_t>(index);
    changed_ = true;
}

void frmClientConfig::optMaxNAKrcvd_Click(int index)
{
    values_.MaxNakAction = static_cast<int16_t>(index);
    changed_ = true;
}

void frmClientConfig::chkWaitForACK_Click()
{
    // Taken at once as well as on leaving: a click need not move the focus.
    chkWaitForACK_LostFocus();
    changed_ = true;
}

void frmClientConfig::cmdReset_Click(int index)
{
    if (index == 0)
        txtACK->setText(QStringLiteral("MSA") + FromUtf8(st.delimiters.FieldSeparator)
                        + QStringLiteral("AA"));
    else if (index == 1)
        txtSimpleACK->setText(QString::fromLatin1(kDefaultAckBytes));
}

void frmClientConfig::txtImClient_ServerHostname_LostFocus()
{
    values_.ServerHost = txtImClient_ServerHostname->text();
}

void frmClientConfig::txtIP_LostFocus()
{
    values_.ServerAddress = txtIP->text();
}

void frmClientConfig::txtImClient_ServerPort_LostFocus()
{
    if (txtImClient_ServerPort->text().trimmed().isEmpty())
        txtImClient_ServerPort->setText(QStringLiteral("3000"));
    BoxNumber(txtImClient_ServerPort, values_.ServerPort);
}

void frmClientConfig::ParseCodeBox(QLineEdit* box, int16_t& code)
{
    // An emptied box is no code (not NUL); the box shows its code again, as for a text that
    // gives no code from 0 to 255.
    const QString text = box->text().trimmed();
    const std::optional<int16_t> parsed =
        text.isEmpty() ? std::nullopt : ParseCharCode(text, CodeBase());
    if (parsed) {
        code = *parsed;
        return;
    }
    box->setText(CharCodeText(code, CodeBase()));
    QApplication::beep();
}

void frmClientConfig::txtStartOfBlockChar_LostFocus()
{
    ParseCodeBox(txtStartOfBlockChar, values_.StartOfBlockCode);
}

void frmClientConfig::txtEndOfBlockChar_LostFocus()
{
    ParseCodeBox(txtEndOfBlockChar, values_.EndOfBlockCode);
}

void frmClientConfig::txtEndOfDataChar_LostFocus()
{
    ParseCodeBox(txtEndOfDataChar, values_.EndOfDataCode);
}

// A text that is no number keeps the old value; Save As, which reads the box, reports it.
void frmClientConfig::ParseNumberBox(QLineEdit* box, int16_t& value)
{
    BoxNumber(box, value);
}

void frmClientConfig::txtDelayAfterConnecting_LostFocus()
{
    ParseNumberBox(txtDelayAfterConnecting, values_.DelayAfterConnecting);
}

void frmClientConfig::txtMaxTimeWaitForACK_LostFocus()
{
    ParseNumberBox(txtMaxTimeWaitForACK, values_.MaxTimeWaitForAck);
}

void frmClientConfig::txtMaxTriesResend_LostFocus()
{
    ParseNumberBox(txtMaxTriesResend, values_.MaxTriesResend);
}

void frmClientConfig::txtDelayBetweenRecords_LostFocus()
{
    ParseNumberBox(txtDelayBetweenRecords, values_.DelayBetweenRecords);
}

void frmClientConfig::txtACK_LostFocus()
{
    values_.AckText = Utf8(txtACK->text());
}

void frmClientConfig::chkWaitForACK_LostFocus()
{
    values_.WaitForAck = chkWaitForACK->isChecked() ? 1 : 0;
}

void frmClientConfig::CommitFocusedBox()
{
    const QWidget* focused = focusWidget();
    for (const auto& [widget, handler] : lostFocus_) {
        if (widget == focused)
            (this->*handler)();
    }
}

void frmClientConfig::mnuFile_Click()
{
    CommitFocusedBox();
}

void frmClientConfig::mnuFileOpen_Click()
{
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Open Client File");
    request.folder = st.folders.ClientsFolder;
    request.patterns = {kFilePattern};
    const QStringList files = dlg.FileDialog(request);
    if (files.isEmpty())
        return;
    int number = 0;
    QString description;
    if (!ShowClientConfiguration(files.front(), &number, &description)) {
        dlg.MsgBox(QStringLiteral("Unanticipated error in frmConfigureClient:mnuFileOpen: ")
                       + QString::number(number) + QLatin1Char(' ') + description
                       + QStringLiteral("Please contact Tech Support"),
                   MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Error"));
        return;
    }
    filePath_ = files.front();
}

void frmClientConfig::mnuFileSave_Click()
{
    mnuFileSaveAs_Click();
}

void frmClientConfig::mnuFileSaveAs_Click()
{
    CommitFocusedBox();
    // A port no connection can be made to is refused before a name is asked for.
    portRefused_ = false;
    if (int32_t port = 0; BoxNumber(txtImClient_ServerPort, port) == 0
                          && (port < 1 || port > kHighestPort)) {
        portRefused_ = true;
        dlg.MsgBox(PortOutOfRangeText(port, 1), MsgButtons::OKOnly, MsgIcon::Exclamation,
                   kInvalidPortTitle);
        SSTab1->setCurrentIndex(0);
        txtImClient_ServerPort->setFocus();
        return;
    }
    platform::FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Save Client Configuration");
    // A file path names the file the dialog proposes, in the folder it opens on.
    request.folder = st.folders.ClientsFolder + st.client.ClientConfigName;
    request.patterns = {kFilePattern};
    const QStringList files = dlg.FileDialog(request);
    if (files.isEmpty())
        return;
    QString chosen = files.front();
    if (!chosen.endsWith(kExtension, Qt::CaseInsensitive))
        chosen += kExtension;

    auto fail = [this](int number) {
        dlg.MsgBox(QStringLiteral("Unanticipated error ") + QString::number(number)
                       + QStringLiteral(" - ") + ErrorDescription(number)
                       + QStringLiteral(" in frmConfigureClient:mnuFileSaveAs. Please contact "
                                        "Tech Support."),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
    };
    ClientConfig out = values_;
    out.ServerHost = txtImClient_ServerHostname->text();
    out.ServerAddress = txtIP->text();
    out.AckText = Utf8(txtACK->text());
    out.AckBytes = Utf8(txtSimpleACK->text());
    for (const int error : {BoxNumber(txtImClient_ServerPort, out.ServerPort),
                            BoxNumber(txtDelayAfterConnecting, out.DelayAfterConnecting),
                            BoxNumber(txtMaxTimeWaitForACK, out.MaxTimeWaitForAck),
                            BoxNumber(txtMaxTriesResend, out.MaxTriesResend),
                            BoxNumber(txtDelayBetweenRecords, out.DelayBetweenRecords)}) {
        if (error != 0) {
            fail(error);
            return;
        }
    }

    // A new name always lands in the clients folder, where the panel lists configurations.
    const QString target = QFileInfo(chosen).isFile()
                               ? chosen
                               : st.folders.ClientsFolder + FileNameOf(chosen);
    if (!WriteClientConfigFile(IsOlderWindows() ? GetShortPath(target) : target,
                               FormatClientConfigLine(out))) {
        fail(75);
        return;
    }
    values_ = out;
    filePath_ = target;
    changed_ = false;
    savedPath_ = target;
    st.client.ClientConfigName = FileNameOf(target);
    SetCaption(target);
}

void frmClientConfig::mnuFileExit_Click()
{
    if (changed_) {
        const MsgAnswer answer = dlg.MsgBox(
            QStringLiteral("This client configuration was changed but not saved.  Do you want "
                           "to save it before exiting?"),
            MsgButtons::YesNo, MsgIcon::Exclamation,
            QStringLiteral("Server Configuration Not Saved"));
        if (answer == MsgAnswer::Yes) {
            mnuFileSaveAs_Click();
            if (portRefused_)
                return;
        }
    }
    Unload();
}

void frmClientConfig::cmdSave_Click()
{
    mnuFile_Click();
    mnuFileSaveAs_Click();
    if (portRefused_)
        return;
    mnuFileExit_Click();
}

void frmClientConfig::cmdCancel_Click()
{
    mnuFileExit_Click();
}

void frmClientConfig::Unload()
{
    unloading_ = true;
    done(Saved() ? Accepted : Rejected);
}

void frmClientConfig::reject()
{
    if (unloading_) {
        QDialog::reject();
        return;
    }
    mnuFileExit_Click();
}

bool frmClientConfig::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        for (QLineEdit* box : selectOnFocus_) {
            // After the click that gave the focus has placed the cursor.
            if (watched == box)
                QTimer::singleShot(0, box, &QLineEdit::selectAll);
        }
    } else if (event->type() == QEvent::FocusOut) {
        for (const auto& [widget, handler] : lostFocus_) {
            if (watched == widget)
                (this->*handler)();
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
