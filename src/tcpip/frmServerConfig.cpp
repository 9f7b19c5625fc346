#include "tcpip/frmServerConfig.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "app/Settings.h"
#include "files/OpenPipeline.h"
#include "platform/WinsockControl.h"
#include "tcpip/NumberBase.h"
#include "tcpip/PortNumber.h"
#include "tcpip/ServerConfig.h"
#include "tcpip/frmHL7Envelope.h"
#include "editing/WindowText.h"

namespace quillon {

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

constexpr int32_t kDefaultPort = 3000;
const QString kCaption = QStringLiteral("Configure TCP/IP Server - ");

// The port a box's text stands for: its leading number, rounded.
int32_t PortOf(const QString& text)
{
    const double value = std::nearbyint(LeadingNumber(text));
    return static_cast<int32_t>(std::clamp<double>(value, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

// Text up to and including the last folder separator of either kind; "" when there is none.
QString FolderPart(const QString& path)
{
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.left(slash + 1);
}

QString NamePart(const QString& path)
{
    return path.mid(FolderPart(path).size());
}

QString Latin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Leaves every button of a group unchecked, which auto-exclusive buttons do not allow by
// clicks: the next selection then always runs its handler.
template <size_t N>
void ClearOptions(const std::array<QRadioButton*, N>& options)
{
    for (QRadioButton* option : options) {
        const QSignalBlocker quiet(option);
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

}  // namespace

frmServerConfig::frmServerConfig(AppState& state, platform::Dialogs& dialogs,
                                 const QString& configPath, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs)
{
    codeValidator_ = new CharCodeValidator(this);

    menuBar = new QMenuBar(this);
    mnuFile = menuBar->addMenu(QStringLiteral("&File"));
    mnuFileOpen = mnuFile->addAction(QStringLiteral("&Open"));
    mnuFileSaveAs = mnuFile->addAction(QStringLiteral("Save &As..."));
    mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));

    SSTab1 = new QTabWidget(this);

    // Port and address.
    auto* portTab = new QWidget;
    lblServerPortExplanation = new QLabel(
        QStringLiteral("If another computer is going to send you records, they must know your "
                       "IP address and the port that you (the server) are listening on.  Your IP "
                       "address is shown below - it can not be changed by this program.  You "
                       "must specify the port that you are going to be listening on."),
        portTab);
    lblServerPortExplanation->setWordWrap(true);
    lblServerPort = new QLabel(QStringLiteral("Server's Port Number:"), portTab);
    txtImServer_ServerPort = new QLineEdit(portTab);
    txtImServer_ServerPort->setValidator(new DigitsValidator(kHighestPort, this));
    txtImServer_ServerPort->setMaximumWidth(80);
    lblServerPort->setBuddy(txtImServer_ServerPort);
    lblMyIPaddrCaption = new QLabel(QStringLiteral("This computer's IP address:"), portTab);
    lblMyIPaddr = new QLabel(portTab);
    lblMyIPaddr->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* portGrid = new QGridLayout;
    portGrid->addWidget(lblServerPort, 0, 0);
    portGrid->addWidget(txtImServer_ServerPort, 0, 1);
    portGrid->addWidget(lblMyIPaddrCaption, 1, 0);
    portGrid->addWidget(lblMyIPaddr, 1, 1);
    portGrid->setColumnStretch(2, 1);
    auto* portLayout = new QVBoxLayout(portTab);
    portLayout->addWidget(lblServerPortExplanation);
    portLayout->addLayout(portGrid);
    portLayout->addStretch();

    // Envelope codes and ACKs.
    auto* envelopeTab = new QWidget;
    lblEnvelopeExplanation = new QLabel(
        QStringLiteral("This section describes what the record being sent to the server looks "
                       "like.  The record, naturally, is an HL7 record, but you can specify what "
                       "character identifies the beginning of the block, what character "
                       "identifies the end of the data, and what character identifies the end of "
                       "the block.  Typically, the block starts with an ASCII 11, the HL7 record "
                       "ends with an ASCII 28, and the block terminates with an ASCII 13."),
        envelopeTab);
    lblEnvelopeExplanation->setWordWrap(true);
    lblStartOfBlockChar = new QLabel(QStringLiteral("Start of block character:"), envelopeTab);
    lblEndOfBlockChar = new QLabel(QStringLiteral("End of block character:"), envelopeTab);
    lblEndOfDataChar = new QLabel(QStringLiteral("End of data character:"), envelopeTab);
    txtStartOfBlockChar = new QLineEdit(envelopeTab);
    txtEndOfBlockChar = new QLineEdit(envelopeTab);
    txtEndOfDataChar = new QLineEdit(envelopeTab);
    codeBoxes_ = {txtStartOfBlockChar, txtEndOfBlockChar, txtEndOfDataChar};
    fraBase = new QGroupBox(QStringLiteral("Base to Use"), envelopeTab);
    optBase[Decimal] = new QRadioButton(QStringLiteral("Decimal"), fraBase);
    optBase[Octal] = new QRadioButton(QStringLiteral("Octal"), fraBase);
    optBase[Hexadecimal] = new QRadioButton(QStringLiteral("HEX"), fraBase);
    auto* baseLayout = new QVBoxLayout(fraBase);
    for (QRadioButton* option : optBase)
        baseLayout->addWidget(option);
    auto* codeGrid = new QGridLayout;
    const std::array<QLabel*, 3> codeLabels = {lblStartOfBlockChar, lblEndOfBlockChar,
                                               lblEndOfDataChar};
    for (int i = 0; i < 3; ++i) {
        codeGrid->addWidget(codeLabels[i], i, 0);
        codeGrid->addWidget(codeBoxes_[i], i, 1);
        codeLabels[i]->setBuddy(codeBoxes_[i]);
        codeBoxes_[i]->setMaximumWidth(60);
        codeBoxes_[i]->setValidator(codeValidator_);
    }
    auto* codesRow = new QHBoxLayout;
    codesRow->addLayout(codeGrid);
    codesRow->addWidget(fraBase);
    codesRow->addStretch();

    fraACKs = new QGroupBox(QStringLiteral("ACKs"), envelopeTab);
    chkSendACK = new QCheckBox(QStringLiteral("Send an ACK after each received record."), fraACKs);
    optACKtype[MshAck] = new QRadioButton(QStringLiteral("Send MSH based ACK:"), fraACKs);
    optACKtype[SimpleAck] = new QRadioButton(QStringLiteral("Send Simple ACK:"), fraACKs);
    optACKtype[FileAck] = new QRadioButton(QStringLiteral("Send ACK from file:"), fraACKs);
    txtACK = new QLineEdit(fraACKs);
    txtSimpleACK = new QLineEdit(fraACKs);
    cmdReset[0] = new QPushButton(QStringLiteral("Reset Value"), fraACKs);
    cmdReset[1] = new QPushButton(QStringLiteral("Reset Value"), fraACKs);
    lblACKfilename = new QLabel(fraACKs);
    lblACKfilename->setFrameShape(QFrame::StyledPanel);
    cmdGetFilename = new QPushButton(QStringLiteral("Select File"), fraACKs);
    auto* ackGrid = new QGridLayout(fraACKs);
    ackGrid->addWidget(chkSendACK, 0, 0, 1, 3);
    ackGrid->addWidget(optACKtype[MshAck], 1, 0);
    ackGrid->addWidget(txtACK, 1, 1);
    ackGrid->addWidget(cmdReset[0], 1, 2);
    ackGrid->addWidget(optACKtype[SimpleAck], 2, 0);
    ackGrid->addWidget(txtSimpleACK, 2, 1);
    ackGrid->addWidget(cmdReset[1], 2, 2);
    ackGrid->addWidget(optACKtype[FileAck], 3, 0);
    ackGrid->addWidget(lblACKfilename, 3, 1);
    ackGrid->addWidget(cmdGetFilename, 3, 2);
    ackGrid->setColumnStretch(1, 1);

    auto* envelopeLayout = new QVBoxLayout(envelopeTab);
    envelopeLayout->addWidget(lblEnvelopeExplanation);
    envelopeLayout->addLayout(codesRow);
    envelopeLayout->addWidget(fraACKs);
    envelopeLayout->addStretch();

    // Log file.
    auto* logTab = new QWidget;
    lblLogFileExplanation = new QLabel(
        QStringLiteral("When the \"Log Incoming Records to Disk\" option is checked, all incoming "
                       "records will be logged to the disk file selected below."),
        logTab);
    lblLogFileExplanation->setWordWrap(true);
    lblLogFileNameCaption = new QLabel(QStringLiteral("Filename:"), logTab);
    lblLogFileName = new QLabel(logTab);
    lblLogFileName->setFrameShape(QFrame::StyledPanel);
    cmdSelectLogFilename = new QPushButton(QStringLiteral("Select Filename"), logTab);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(lblLogFileNameCaption);
    logRow->addWidget(lblLogFileName, 1);
    auto* logButtonRow = new QHBoxLayout;
    logButtonRow->addStretch();
    logButtonRow->addWidget(cmdSelectLogFilename);
    auto* logLayout = new QVBoxLayout(logTab);
    logLayout->addWidget(lblLogFileExplanation);
    logLayout->addLayout(logRow);
    logLayout->addLayout(logButtonRow);
    logLayout->addStretch();

    SSTab1->addTab(portTab, QStringLiteral("Server Port"));
    SSTab1->addTab(envelopeTab, QStringLiteral("Record Envelope and ACKs"));
    SSTab1->addTab(logTab, QStringLiteral("Log File"));

    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdSave->setDefault(true);
    for (QPushButton* button :
         {cmdCancel, cmdReset[0], cmdReset[1], cmdGetFilename, cmdSelectLogFilename})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(SSTab1);
    layout->addLayout(buttons);

    // Connections.
    connect(mnuFile, &QMenu::aboutToShow, this, &frmServerConfig::CommitFocusedBox);
    connect(mnuFileOpen, &QAction::triggered, this, &frmServerConfig::mnuFileOpen_Click);
    connect(mnuFileSaveAs, &QAction::triggered, this, &frmServerConfig::mnuFileSaveAs_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmServerConfig::mnuFileExit_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmServerConfig::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmServerConfig::cmdCancel_Click);
    for (int i = 0; i < 3; ++i) {
        // Arrow keys move the choice within a frame as clicks do.
        connect(optBase[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optBase_Click(i);
        });
        connect(optACKtype[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optACKtype_Click(i);
        });
    }
    for (int i = 0; i < 2; ++i)
        connect(cmdReset[i], &QPushButton::clicked, this, [this, i] { cmdReset_Click(i); });
    connect(cmdGetFilename, &QPushButton::clicked, this, &frmServerConfig::cmdGetFilename_Click);
    connect(cmdSelectLogFilename, &QPushButton::clicked, this,
            &frmServerConfig::cmdSelectLogFilename_Click);
    for (QLineEdit* box :
         {txtImServer_ServerPort, txtStartOfBlockChar, txtEndOfBlockChar, txtEndOfDataChar}) {
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this] { ServerConfigChanged = true; });
    }

    LoadServerConfiguration(configPath);
    if (st.server.SelectLogFileRequest) {
        SSTab1->setCurrentIndex(LogFileTab);
        st.server.SelectLogFileRequest = false;
    } else {
        SSTab1->setCurrentIndex(PortTab);
    }
}

void frmServerConfig::LoadServerConfiguration(const QString& path)
{
    path_ = path;
    const ServerConfigParse parsed =
        ReadServerConfigFile(IsOlderWindows() ? GetShortPath(path) : path);
    // Items the file did not give keep their defaults.
    const ServerConfig& c = parsed.config;
    if (parsed.itemsRead >= ItemLogFile)
        st.server.ServerLogFile = c.LogFile;
    if (parsed.ok())
        st.ack.UserAckFile = c.UserAckFile;
    else
        dlg.MsgBox(QStringLiteral("Unanticipated error %1 - %2 in "
                                  "frmConfigureServer:LoadServerConfiguration. Please contact "
                                  "Tech Support.")
                       .arg(parsed.errorNumber)
                       .arg(parsed.errorDescription),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Error"));

    port_ = c.LocalPort;
    codes_ = {c.StartOfBlockCode, c.EndOfBlockCode, c.EndOfDataCode};
    ackType_ = c.UseAckBytes;

    lblLogFileName->setText(st.server.ServerLogFile);
    lblACKfilename->setText(st.ack.UserAckFile);
    ShowCaption(path);
    // The server is idle while its configuration is edited: its socket would report the
    // address a fresh control reports.
    lblMyIPaddr->setText(platform::WinsockControl().LocalIP());

    txtImServer_ServerPort->setText(QString::number(port_));
    base_ = Decimal;
    ShowCodes();
    chkSendACK->setChecked(c.SendAck != 0);
    ClearOptions(optACKtype);
    if (ackType_ >= MshAck && ackType_ <= FileAck)
        optACKtype[ackType_]->setChecked(true);
    else
        optACKtype_Click(ackType_);
    txtACK->setText(Latin1(c.AckText));
    txtSimpleACK->setText(Latin1(c.AckBytes));

    // Only 1 and 2 name another base; anything else shows in decimal.
    ClearOptions(optBase);
    const int16_t base =
        c.DisplayBase == Octal || c.DisplayBase == Hexadecimal ? c.DisplayBase : int16_t{Decimal};
    optBase[base]->setChecked(true);
    ServerConfigChanged = false;
}

void frmServerConfig::ShowCaption(const QString& path)
{
    setWindowTitle(kCaption + NamePart(path));
}

void frmServerConfig::ShowCodes()
{
    codeValidator_->base = base_;
    for (int i = 0; i < 3; ++i)
        codeBoxes_[i]->setText(CharCodeText(codes_[i], base_));
}

void frmServerConfig::ParseCodeBox(CodeBox box)
{
    if (const std::optional<int16_t> code = ParseCharCode(codeBoxes_[box]->text(), base_)) {
        codes_[box] = *code;
        return;
    }
    // Only text put in past the key filter gets here.
    codeBoxes_[box]->setText(CharCodeText(codes_[box], base_));
    QApplication::beep();
}

void frmServerConfig::CommitFocusedBox()
{
    QWidget* focused = focusWidget();
    if (focused == txtImServer_ServerPort)
        txtImServer_ServerPort_LostFocus();
    for (int i = 0; i < 3; ++i) {
        if (focused == codeBoxes_[i])
            ParseCodeBox(static_cast<CodeBox>(i));
    }
}

void frmServerConfig::optBase_Click(int index)
{
    if (index < Decimal || index > Hexadecimal)
        return;
    CommitFocusedBox();
    base_ = static_cast<int16_t>(index);
    ShowCodes();
    ServerConfigChanged = true;
    const QSignalBlocker quiet(optBase[index]);
    optBase[index]->setChecked(true);
}

void frmServerConfig::optACKtype_Click(int index)
{
    ackType_ = static_cast<int16_t>(index);
    const bool fromFile = index == FileAck;
    cmdGetFilename->setEnabled(fromFile);
    lblACKfilename->setEnabled(fromFile);
}

void frmServerConfig::cmdReset_Click(int index)
{
    if (index == 0)
        txtACK->setText(QStringLiteral("MSA") + Latin1(st.delimiters.FieldSeparator)
                        + QStringLiteral("AA"));
    else
        txtSimpleACK->setText(QStringLiteral("0b 06 1c 0d"));
}

void frmServerConfig::txtImServer_ServerPort_LostFocus()
{
    if (txtImServer_ServerPort->text().trimmed().isEmpty())
        txtImServer_ServerPort->setText(QString::number(kDefaultPort));
    port_ = PortOf(txtImServer_ServerPort->text());
}

void frmServerConfig::txtStartOfBlockChar_LostFocus()
{
    ParseCodeBox(StartOfBlock);
}

void frmServerConfig::txtEndOfBlockChar_LostFocus()
{
    ParseCodeBox(EndOfBlock);
}

void frmServerConfig::txtEndOfDataChar_LostFocus()
{
    ParseCodeBox(EndOfData);
}

void frmServerConfig::cmdGetFilename_Click()
{
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Select Filename for ACK");
    const QString folder = FolderPart(lblLogFileName->text());
    request.folder = folder.isEmpty() ? st.folders.DataRoot : folder;
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;
    st.ack.UserAckFile = chosen.front();
    lblACKfilename->setText(st.ack.UserAckFile);
}

void frmServerConfig::cmdSelectLogFilename_Click()
{
    const FileTypeList types =
        BuildFileTypeList(st.options.DefaultExtensions, st.options.DefaultExtension);
    platform::FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Log Records to Disk")
                    + (st.options.DiskUseEnvelope ? QStringLiteral(" (with envelope characters)")
                                                  : QStringLiteral(" (w/o envelope characters)"));
    request.patterns = types.patterns;
    request.selectedPattern = types.selected;
    const QString folder = FolderPart(st.server.ServerLogFile);
    request.folder = folder.isEmpty() ? st.folders.DataFolder : folder;
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;
    st.server.ServerLogFile = chosen.front();
    lblLogFileName->setText(st.server.ServerLogFile);
}

void frmServerConfig::mnuFileOpen_Click()
{
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Open Server File");
    request.folder = st.folders.ServersFolder;
    request.patterns = {QStringLiteral("Server Config Files (*.server)")};
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;
    LoadServerConfiguration(chosen.front());
}

void frmServerConfig::mnuFileSaveAs_Click()
{
    CommitFocusedBox();
    platform::FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Save Server Configuration");
    request.folder = st.folders.ServersFolder + st.server.ServerConfigName;
    request.patterns = {QStringLiteral("Server Files (*.server)")};
    const QStringList chosen = dlg.FileDialog(request);
    if (chosen.isEmpty())
        return;
    QString chosenPath = chosen.front();
    if (!NamePart(chosenPath).contains(QLatin1Char('.')))
        chosenPath += QStringLiteral(".server");
    const QString name = NamePart(chosenPath);
    // A new configuration always goes into the servers folder, where the panel lists them.
    const QString target =
        QFileInfo(chosenPath).isFile() ? chosenPath : st.folders.ServersFolder + name;

    ServerConfig c;
    c.LocalPort = PortOf(txtImServer_ServerPort->text());
    c.DisplayBase = base_;
    c.StartOfBlockCode = codes_[StartOfBlock];
    c.EndOfBlockCode = codes_[EndOfBlock];
    c.EndOfDataCode = codes_[EndOfData];
    c.SendAck = chkSendACK->isChecked() ? 1 : 0;
    c.AckText = Bytes(txtACK->text());
    c.AckBytes = Bytes(txtSimpleACK->text());
    c.UseAckBytes = ackType_;
    c.LogFile = st.server.ServerLogFile;
    c.UserAckFile = st.ack.UserAckFile;
    if (!WriteServerConfigFile(target, FormatServerConfigLine(c))) {
        dlg.MsgBox(QStringLiteral("Unanticipated error 75 - Path/File access error in "
                                  "frmConfigureServer:mnuFileSaveAs. Please contact Tech "
                                  "Support."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Error"));
        return;
    }
    port_ = c.LocalPort;
    path_ = target;
    savedPath_ = target;
    ServerConfigChanged = false;
    st.server.ServerConfigName = name;
    ShowCaption(name);
}

void frmServerConfig::mnuFileExit_Click()
{
    if (ServerConfigChanged
        && dlg.MsgBox(QStringLiteral("This server configuration was changed but not saved.  Do "
                                     "you want to save it before exiting?"),
                      MsgButtons::YesNo, MsgIcon::Exclamation,
                      QStringLiteral("Server Configuration Not Saved"))
               == MsgAnswer::Yes)
        mnuFileSaveAs_Click();
    Finish();
}

void frmServerConfig::cmdSave_Click()
{
    CommitFocusedBox();
    mnuFileSaveAs_Click();
    mnuFileExit_Click();
}

void frmServerConfig::cmdCancel_Click()
{
    mnuFileExit_Click();
}

void frmServerConfig::reject()
{
    if (!finishing_)
        mnuFileExit_Click();
}

void frmServerConfig::Finish()
{
    finishing_ = true;
    done(savedPath_.isEmpty() ? Rejected : Accepted);
    finishing_ = false;
}

bool frmServerConfig::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::FocusIn) {
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
    } else if (box != nullptr && event->type() == QEvent::FocusOut) {
        if (box == txtImServer_ServerPort)
            txtImServer_ServerPort_LostFocus();
        else if (box == txtStartOfBlockChar)
            txtStartOfBlockChar_LostFocus();
        else if (box == txtEndOfBlockChar)
            txtEndOfBlockChar_LostFocus();
        else if (box == txtEndOfDataChar)
            txtEndOfDataChar_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
