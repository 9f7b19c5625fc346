#include "ftp/frmFTP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/AppState.h"
#include "app/WindowUtility.h"
#include "files/OpenPipeline.h"
#include "files/TextEditor.h"
#include "ftp/FtpNames.h"
#include "ftp/FtpTransfers.h"
#include "ftp/frmFTPfileExtensions.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "reports/TreeSort.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
namespace ftp_result = platform::ftp_result;

namespace {

const QString kNotConnected = QStringLiteral("Not Connected");
const QString kReconnectQuestion = QStringLiteral("\r\n\r\nDo you want to reconnect to the server?");
const QString kServerClosed =
    QStringLiteral("The server has closed the connection, probably due to your session timing out.");
const QString kConnectionClosed =
    QStringLiteral("The connection has closed, probably due to your session timing out.");

// The leading number of a text as the classic Val reads it: blanks skipped, digits taken.
int LeadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    while (end < t.size() && t[end].isDigit() && end < 9) ++end;
    return end == 0 ? 0 : t.left(end).toInt();
}

}  // namespace

QString ProposeRemoteName(const QString& mainCaption)
{
    QString caption = mainCaption;
    const qsizetype filtered = caption.indexOf(QLatin1String(" - filtered"));
    if (filtered >= 0) caption = caption.left(filtered);
    QString proposal;
    if (!caption.contains(QLatin1String("data pasted from clipboard"))
        && caption != QLatin1String("Quillon")) {
        QChar separator;
        if (caption.contains(QLatin1Char('\\'))) separator = QLatin1Char('\\');
        if (caption.contains(QLatin1Char('/'))) separator = QLatin1Char('/');
        proposal = separator.isNull() ? caption : caption.mid(caption.lastIndexOf(separator) + 1);
    }
    return proposal.isEmpty() ? QStringLiteral("new_file") : proposal;
}

FtpHostPort SplitHostPort(const QString& hostText)
{
    FtpHostPort hp;
    const qsizetype colon = hostText.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        hp.host = hostText;
        return hp;
    }
    hp.host = hostText.left(colon);
    hp.port = LeadingNumber(hostText.mid(colon + 1));
    hp.portGiven = true;
    return hp;
}

QString FormatFileSize(qint64 size, const QLocale& locale)
{
    // "#,###": a zero shows no digit at all.
    return size == 0 ? QString() : locale.toString(size);
}

QString FormatModified(const QDateTime& modified, const QLocale& locale)
{
    if (!modified.isValid()) return QString();
    return modified.toLocalTime().toString(locale.dateFormat(QLocale::ShortFormat)
                                           + QStringLiteral(" hh:mm:ss"));
}

// While a control call runs the window takes no commands; the control's event hook keeps the
// window drawn and lets the close box cancel the call.
class frmFTP::BusyCall {
public:
    explicit BusyCall(frmFTP& w) : w_(w)
    {
        if (w_.busy_++ == 0) {
            w_.body_->setEnabled(false);
            w_.menuBar_->setEnabled(false);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    ~BusyCall()
    {
        if (--w_.busy_ == 0) {
            w_.body_->setEnabled(true);
            w_.menuBar_->setEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    }
    BusyCall(const BusyCall&) = delete;
    BusyCall& operator=(const BusyCall&) = delete;

private:
    frmFTP& w_;
};

frmFTP::frmFTP(AppState& state, platform::Dialogs& dialogs, bool& ftpCancelled,
               std::unique_ptr<FtpPasswordStore> passwords, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs), FtpCancelled(ftpCancelled), passwords_(std::move(passwords))
{
    if (!passwords_) passwords_ = std::make_unique<FtpPasswords>(st.settings, nullptr);
    hosts_ = std::make_unique<FtpHosts>(st.settings, *passwords_);
    FileTransfer1.setEventHook([] { QCoreApplication::processEvents(); });

    menuBar_ = new QMenuBar(this);
    mnufile = menuBar_->addMenu(QStringLiteral("File"));
    mnuFileDisconnect = mnufile->addAction(QStringLiteral("Disconnect"));
    mnufile->addSeparator();
    mnuFileViewFileInQuillon = mnufile->addAction(QStringLiteral("View File in Quillon"));
    mnuFileGetFile = mnufile->addAction(QStringLiteral("Get File"));
    mnuViewFileInEditor = mnufile->addAction(QStringLiteral("View File in Editor"));
    mnufile->addSeparator();
    mnuFileRefreshFileList = mnufile->addAction(QStringLiteral("Refresh File List"));
    mnufile->addSeparator();
    mnuFileExit = mnufile->addAction(QStringLiteral("Exit"));
    mnuOptions = menuBar_->addMenu(QStringLiteral("Options"));
    mnuOptionsDefineFileExtensions =
        mnuOptions->addAction(QStringLiteral("Define File Types (extensions)..."));
    mnuOptions->addSeparator();
    mnuOptionsDownloadUsingASCIIMode = mnuOptions->addAction(QStringLiteral("Download Using ASCII Mode"));
    mnuOptionsDownloadUsingBinaryMode =
        mnuOptions->addAction(QStringLiteral("Download Using Binary Mode"));
    mnuOptions->addSeparator();
    mnuOptionsIfFileExists = mnuOptions->addMenu(QStringLiteral("If File Exists [overwrite]"));
    mnuOptionsIfFileExistsOverwrite = mnuOptionsIfFileExists->addAction(QStringLiteral("Overwrite"));
    mnuOptionsIfFileExistsAppend = mnuOptionsIfFileExists->addAction(QStringLiteral("Append"));
    mnuOptions->addSeparator();
    mnuOptionsSetCurrentDirAsDefaultDir =
        mnuOptions->addAction(QStringLiteral("Set Current Directory as Default Directory"));
    for (QAction* a : {mnuOptionsDownloadUsingASCIIMode, mnuOptionsDownloadUsingBinaryMode,
                       mnuOptionsIfFileExistsOverwrite, mnuOptionsIfFileExistsAppend})
        a->setCheckable(true);
    mnuLabelDirectoryPopup = new QMenu(this);
    mnuSetInitialDirectory = mnuLabelDirectoryPopup->addAction(
        QStringLiteral("Set the directory as the Initial Directory for this host"));

    body_ = new QWidget(this);
    fraFTPConnect = new QGroupBox(QStringLiteral("FTP Server "), body_);
    cboHostNames = new QComboBox(fraFTPConnect);
    cboHostNames->setEditable(true);
    cboHostNames->setInsertPolicy(QComboBox::NoInsert);
    txtUserName = new QLineEdit(fraFTPConnect);
    txtPassword = new QLineEdit(fraFTPConnect);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtInitialDirectory = new QLineEdit(fraFTPConnect);
    chkPassive = new QCheckBox(QStringLiteral("Passive FTP syntax"), fraFTPConnect);
    chkUseSSL = new QCheckBox(QStringLiteral("Use SSL"), fraFTPConnect);
    txtSSL = new QLineEdit(fraFTPConnect);
    chkAutoConnectToHost = new QCheckBox(
        QStringLiteral("Auto-Connect to Host (connect when server is selected from list)"), fraFTPConnect);
    chkOverRideAutoConnect = new QCheckBox(
        QStringLiteral("Do not auto-connect even if server is configured to auto-connect"), fraFTPConnect);
    chkDisconnect = new QCheckBox(QStringLiteral("Disconnect after FTPing the file."), fraFTPConnect);
    chkSavePassword = new QCheckBox(QStringLiteral("Save Host Password"), fraFTPConnect);
    cmdConnect = new QPushButton(QStringLiteral("&Connect"), fraFTPConnect);
    cmdCommand[0] = new QPushButton(QStringLiteral("&Save"), fraFTPConnect);
    cmdCommand[1] = new QPushButton(QStringLiteral("Delete"), fraFTPConnect);
    cmdSetInitialDir = new QPushButton(QStringLiteral("Set Dir as Default ->"), fraFTPConnect);
    const FtpLoginControls design;
    chkPassive->setChecked(design.Passive != 0);
    chkAutoConnectToHost->setChecked(design.AutoConnectToHost != 0);
    chkDisconnect->setChecked(design.Disconnect != 0);
    chkSavePassword->setChecked(design.SavePassword != 0);

    auto* login = new QGridLayout(fraFTPConnect);
    int row = 0;
    auto addRow = [&](const char* label, QWidget* w) {
        login->addWidget(new QLabel(QString::fromLatin1(label), fraFTPConnect), row, 0);
        login->addWidget(w, row++, 1, 1, 2);
    };
    addRow("Server Name / IP:", cboHostNames);
    addRow("User Name:", txtUserName);
    addRow("Password:", txtPassword);
    login->addWidget(new QLabel(QStringLiteral("Default Directory:"), fraFTPConnect), row, 0);
    login->addWidget(txtInitialDirectory, row, 1);
    login->addWidget(cmdSetInitialDir, row++, 2);
    for (QWidget* w : std::initializer_list<QWidget*>{chkPassive, chkAutoConnectToHost,
                                                      chkOverRideAutoConnect, chkDisconnect,
                                                      chkSavePassword})
        login->addWidget(w, row++, 0, 1, 3);
    login->addWidget(chkUseSSL, row, 0);
    login->addWidget(txtSSL, row++, 1);
    auto* loginButtons = new QHBoxLayout;
    loginButtons->addWidget(cmdConnect);
    loginButtons->addWidget(cmdCommand[0]);
    loginButtons->addWidget(cmdCommand[1]);
    login->addLayout(loginButtons, row, 0, 1, 3);

    lblDirectory = new QLabel(FtpLoginControls::kNoDirectory, body_);
    lstDirectoryList = new QListWidget(body_);
    lvFileList = new QTreeWidget(body_);
    lvFileList->setRootIsDecorated(false);
    lvFileList->setUniformRowHeights(true);
    lvFileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFileList->header()->setSectionsMovable(true);
    // A tree view keeps its first column in place by default; every column here can move.
    lvFileList->header()->setFirstSectionMovable(true);
    lvFileList->header()->setSectionsClickable(true);
    lvFileList->header()->setStretchLastSection(false);
    cboFilesOfType = new QComboBox(body_);
    cboFilesOfType->setEditable(true);
    cboFilesOfType->setInsertPolicy(QComboBox::NoInsert);
    lblFileName = new QLabel(QStringLiteral("File &Name:"), body_);
    txtFileName = new QLineEdit(body_);
    lblFileName->setBuddy(txtFileName);
    lblFileName->hide();
    txtFileName->hide();

    cmdDisconnect = new QPushButton(QStringLiteral("&Disconnect"), body_);
    cmdGet = new QPushButton(kGetCaption, body_);
    cmdOpen = new QPushButton(QStringLiteral("View as HL7"), body_);
    cmdViewInWP = new QPushButton(QStringLiteral("View in Editor"), body_);
    cmdDelete = new QPushButton(QStringLiteral("Delete"), body_);
    cmdRename = new QPushButton(QStringLiteral("Rename"), body_);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), body_);
    for (QPushButton* b : {cmdConnect, cmdCommand[0], cmdCommand[1], cmdSetInitialDir, cmdDisconnect,
                           cmdGet, cmdOpen, cmdViewInWP, cmdDelete, cmdRename, cmdCancel})
        b->setAutoDefault(false);
    for (QPushButton* b : {cmdDisconnect, cmdGet, cmdOpen, cmdViewInWP, cmdDelete, cmdRename})
        b->setEnabled(false);

    stsStatus = new QStatusBar(this);
    stsStatus->setSizeGripEnabled(false);
    for (size_t i = 1; i <= 3; ++i) {
        stsPanels[i] = new QLabel(stsStatus);
        stsStatus->addWidget(stsPanels[i], i == 1 ? 1 : 0);
    }
    prStatus = new QProgressBar(stsStatus);
    prStatus->setRange(0, 100);
    prStatus->setTextVisible(false);
    prStatus->hide();
    stsStatus->insertWidget(2, prStatus);

    auto* lists = new QGridLayout;
    lists->addWidget(lblDirectory, 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Files of Type:"), body_), 0, 1);
    lists->addWidget(cboFilesOfType, 0, 2);
    lists->addWidget(lstDirectoryList, 1, 0);
    lists->addWidget(lvFileList, 1, 1, 1, 2);
    lists->addWidget(lblFileName, 2, 1);
    lists->addWidget(txtFileName, 2, 2);
    // The folder list takes a third of the width, the file list with its three columns the rest.
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(2, 2);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdDisconnect, cmdGet, cmdOpen, cmdViewInWP, cmdDelete, cmdRename, cmdCancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(lists, 1);
    top->addLayout(buttons);
    auto* bodyLayout = new QVBoxLayout(body_);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(fraFTPConnect);
    bodyLayout->addLayout(top, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar_);
    layout->addWidget(body_, 1);
    layout->addWidget(stsStatus);
    resize(1000, 600);

    connect(&FileTransfer1, &platform::FtpControl::Progress, this, &frmFTP::FileTransfer1_Progress);
    connect(cmdConnect, &QPushButton::clicked, this, &frmFTP::cmdConnect_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &frmFTP::cmdDisconnect_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFTP::cmdCancel_Click);
    connect(cmdGet, &QPushButton::clicked, this, &frmFTP::cmdGet_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmFTP::cmdOpen_Click);
    connect(cmdViewInWP, &QPushButton::clicked, this, &frmFTP::cmdViewInWP_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmFTP::cmdDelete_Click);
    connect(cmdRename, &QPushButton::clicked, this, &frmFTP::cmdRename_Click);
    connect(cmdCommand[0], &QPushButton::clicked, this, [this] { cmdCommand_Click(0); });
    connect(cmdCommand[1], &QPushButton::clicked, this, [this] { cmdCommand_Click(1); });
    connect(cmdSetInitialDir, &QPushButton::clicked, this, &frmFTP::cmdSetInitialDir_Click);
    connect(cboHostNames, &QComboBox::activated, this, [this] { cboHostNames_Click(); });
    connect(cboFilesOfType, &QComboBox::activated, this, [this] { cboFilesOfType_Click(); });
    connect(lstDirectoryList, &QListWidget::itemDoubleClicked, this, [this] { lstDirectoryList_DblClick(); });
    connect(lvFileList, &QTreeWidget::itemClicked, this, [this] { lvFileList_ItemClick(); });
    connect(lvFileList, &QTreeWidget::itemDoubleClicked, this, [this] { lvFileList_DblClick(); });
    connect(lvFileList->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { ColumnClickSort(lvFileList, column); });
    connect(mnufile, &QMenu::aboutToShow, this, &frmFTP::mnufile_Click);
    connect(mnuOptions, &QMenu::aboutToShow, this, &frmFTP::mnuOptions_Click);
    connect(mnuFileDisconnect, &QAction::triggered, this, &frmFTP::cmdDisconnect_Click);
    connect(mnuFileViewFileInQuillon, &QAction::triggered, this, &frmFTP::cmdOpen_Click);
    connect(mnuFileGetFile, &QAction::triggered, this, &frmFTP::cmdGet_Click);
    connect(mnuViewFileInEditor, &QAction::triggered, this, &frmFTP::cmdViewInWP_Click);
    connect(mnuFileRefreshFileList, &QAction::triggered, this, &frmFTP::mnuFileRefreshFileList_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmFTP::Form_Unload);
    connect(mnuOptionsDefineFileExtensions, &QAction::triggered, this,
            &frmFTP::mnuOptionsDefineFileExtensions_Click);
    for (QAction* a : {mnuOptionsDownloadUsingASCIIMode, mnuOptionsDownloadUsingBinaryMode,
                       mnuOptionsIfFileExistsOverwrite, mnuOptionsIfFileExistsAppend})
        connect(a, &QAction::triggered, this, [this, a] { mnuOptionsChoose(a); });
    connect(mnuOptionsSetCurrentDirAsDefaultDir, &QAction::triggered, this,
            &frmFTP::cmdSetInitialDir_Click);
    connect(mnuSetInitialDirectory, &QAction::triggered, this, &frmFTP::mnuSetInitialDirectory_Click);
    cboHostNames->installEventFilter(this);
    txtInitialDirectory->installEventFilter(this);
    txtUserName->installEventFilter(this);
    txtPassword->installEventFilter(this);
    cboFilesOfType->lineEdit()->installEventFilter(this);
    lblDirectory->installEventFilter(this);
    txtFileName->installEventFilter(this);

    // Form_Load.
    LoadFTPHostNames();
    SetStatusText(kNotConnected);
    const FtpTransferOptions options = LoadTransferOptions(st.settings);
    mnuOptionsDownloadUsingBinaryMode->setChecked(options.DownloadUsingBinaryMode);
    mnuOptionsDownloadUsingASCIIMode->setChecked(options.DownloadUsingASCIIMode);
    mnuOptionsIfFileExistsAppend->setChecked(options.IfFileExistsAppend);
    mnuOptionsIfFileExistsOverwrite->setChecked(options.IfFileExistsOverwrite);
    mnuOptionsIfFileExists->setTitle(options.IfFileExistsCaption());
    LoadFTPExtensions();
    QStringList headers;
    FtpColumns current;
    for (const FtpListColumn& c : kFtpColumns) headers << QString::fromLatin1(c.header);
    lvFileList->setHeaderLabels(headers);
    for (int c = 0; c < 3; ++c) {
        const FtpListColumn& column = kFtpColumns[static_cast<size_t>(c)];
        lvFileList->setColumnWidth(c, column.width);
        lvFileList->headerItem()->setTextAlignment(
            c, column.alignRight ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        SetColumnTag(lvFileList, c, QString::fromLatin1(column.tag));
        current[static_cast<size_t>(c)] = {c + 1, static_cast<double>(column.width)};
    }
    const FtpColumns stored = LoadColumnLayout(st.settings, current);
    QHeaderView* header = lvFileList->header();
    for (int c = 0; c < 3; ++c) {
        const FtpColumnLayout& l = stored[static_cast<size_t>(c)];
        header->moveSection(header->visualIndex(c), l.position - 1);
        header->resizeSection(c, static_cast<int>(l.width + 0.5));
    }
    SetCaption(QStringLiteral("FTP Get"));
    CenterForm(this);
}

frmFTP::~frmFTP()
{
    if (!unloaded_) st.ftp.FtpWindowCaption.clear();
}

QString frmFTP::StatusText() const { return stsPanels[1]->text(); }
void frmFTP::SetStatusText(const QString& text) { stsPanels[1]->setText(text); }

void frmFTP::SetCaption(const QString& caption)
{
    setWindowTitle(caption);
    st.ftp.FtpWindowCaption = caption;
}

void frmFTP::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void frmFTP::Form_Activate()
{
    if (windowTitle() != QLatin1String("FTP Put")) return;
    SetCaption(windowTitle() + (st.options.FtpUseEnvelope ? QStringLiteral(" (with envelope characters)")
                                                           : QStringLiteral(" (w/o envelope characters)")));
}

bool frmFTP::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == cboHostNames) cboHostNames_LostFocus();
        else if (watched == txtInitialDirectory) txtInitialDirectory_LostFocus();
    } else if (event->type() == QEvent::FocusIn
               && (watched == txtUserName || watched == txtPassword || watched == txtInitialDirectory)) {
        // Entering a login box selects from the caret to the end: with the caret at the start,
        // the whole text, ready to be typed over.
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, [box] {
            if (!box->hasSelectedText()) box->setSelection(box->cursorPosition(), box->text().size());
        });
    } else if (event->type() == QEvent::KeyPress && watched == cboFilesOfType->lineEdit()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cboFilesOfType_Click();
            return true;  // not the default button's Enter
        }
    } else if (event->type() == QEvent::KeyPress && watched == txtFileName) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int code = key->key() == Qt::Key_Backspace ? 8 : key->text().isEmpty() ? 0 : key->text()[0].unicode();
        if (code != 0) {
            txtFileName_KeyPress(code);
            if (code == 0) return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblDirectory) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            mnuLabelDirectoryPopup->popup(mouse->globalPosition().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void frmFTP::reject()
{
    if (busy_ > 0) {
        // The close box during a control call ends the call; the window stays.
        FileTransfer1.Cancel();
        return;
    }
    Form_Unload();
}

void frmFTP::Form_Unload()
{
    if (unloaded_) return;
    SaveDefaults();
    cmdDisconnect_Click();
    FtpCancelled = true;
    unloaded_ = true;
    st.ftp.FtpWindowCaption.clear();
    QDialog::reject();
}

void frmFTP::cmdCancel_Click()
{
    FtpCancelled = true;
    cmdDisconnect_Click();
    if (!HandOverFile.isEmpty()) QFile::remove(HandOverFile);
    Form_Unload();
}

// ---------------------------------------------------------------------------------------------
// Connection.

void frmFTP::cmdConnect_Click()
{
    const QString hostText = cboHostNames->currentText();
    if (hostText.trimmed().isEmpty()) {
        dlg.MsgBox(QStringLiteral("Please enter a host name or IP address"), MsgButtons::OKOnly,
                   MsgIcon::Information, QStringLiteral("Missing Host Name"));
        cboHostNames->setFocus();
        return;
    }
    SetStatusText(QStringLiteral("Attempting to connect to ") + hostText);
    const FtpHostPort hp = SplitHostPort(hostText);
    FileTransfer1.setHost(hp.host);
    FileTransfer1.setPort(hp.port);
    if (hp.portGiven) FileTransfer1.setPortGiven(true);
    FileTransfer1.setUserName(txtUserName->text());
    FileTransfer1.setPassword(txtPassword->text());
    FileTransfer1.setTimeout(platform::FtpControl::DefaultTimeoutSeconds);
    FileTransfer1.setLoginOnConnect(true);
    FileTransfer1.setPassive(chkPassive->isChecked());
    FileTransfer1.setSecure(chkUseSSL->isChecked());
    FileTransfer1.setSecureNumber(chkUseSSL->isChecked() ? LeadingNumber(txtSSL->text()) : 0);
    int r;
    {
        BusyCall busy(*this);
        r = FileTransfer1.Connect();
    }
    if (r == ftp_result::LoginRefused || r == ftp_result::LoginRefusedOther) {
        SetStatusText(QStringLiteral("Invalid User Name or Password"));
        dlg.MsgBox(QStringLiteral("The User Name or Password was invalid."), MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Unable to Login"));
        txtUserName->selectAll();
        txtUserName->setFocus();
        return;
    }
    if (r != ftp_result::Ok) {
        const QString text = QStringLiteral("Connect Failed.  ") + FileTransfer1.LastErrorText();
        SetStatusText(text);
        dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("FTP Error"));
        return;
    }
    ConnectedHost = hostText;
    SetStatusText(QStringLiteral("Successfully Connected to ") + ConnectedHost);
    SetCaption((PutMode() ? QStringLiteral("FTP Put - ") : QStringLiteral("FTP Get - ")) + ConnectedHost);
    lblDirectory->setText(txtInitialDirectory->text().isEmpty() ? FileTransfer1.CurrentDirectory()
                                                                : txtInitialDirectory->text());
    cmdConnect->setEnabled(false);
    cmdDisconnect->setEnabled(true);
    OpenDirectory();
    if (!PutMode()) {
        lblFileName->hide();
        txtFileName->hide();
        fraFTPConnect->hide();
        lvFileList->setFocus();
    } else {
        lblFileName->show();
        txtFileName->clear();
        txtFileName->show();
        fraFTPConnect->hide();
        txtFileName->setText(ProposeRemoteName(MainWindowCaption));
        txtFileName->selectAll();
        txtFileName->setFocus();
    }
}

void frmFTP::cmdDisconnect_Click()
{
    int r;
    {
        BusyCall busy(*this);
        r = FileTransfer1.Disconnect();
    }
    if (r != ftp_result::Ok) {
        dlg.MsgBox(QStringLiteral("Disconnect error: ") + QString::number(r), MsgButtons::OKOnly,
                   MsgIcon::None, QString());
        return;
    }
    SetStatusText(kNotConnected);
    cmdConnect->setEnabled(true);
    cmdDisconnect->setEnabled(false);
    lstDirectoryList->clear();
    lblDirectory->clear();
    for (QPushButton* b : {cmdOpen, cmdGet, cmdDelete, cmdRename, cmdViewInWP}) b->setEnabled(false);
    cmdOpen->setDefault(false);
    fraFTPConnect->show();
    SetCaption(PutMode() ? QStringLiteral("FTP Put") : QStringLiteral("FTP Get"));
    lvFileList->clear();
}

bool frmFTP::ReconnectIfNecessary()
{
    if (!cmdDisconnect->isEnabled()) return true;
    QString selected;
    if (QTreeWidgetItem* item = lvFileList->currentItem(); item && item->isSelected())
        selected = item->text(0);
    int r;
    {
        BusyCall busy(*this);
        r = FileTransfer1.Connect();
    }
    if (r == ftp_result::Ok) return true;
    return AskReconnect(kServerClosed, selected);
}

bool frmFTP::AskReconnect(const QString& text, const QString& fileToSelect)
{
    const MsgAnswer a = dlg.MsgBox(text + kReconnectQuestion, MsgButtons::YesNo, MsgIcon::Question,
                                   QStringLiteral("Server Disconnected"));
    if (a != MsgAnswer::Yes) {
        cmdCancel_Click();
        return false;
    }
    Reconnect(fileToSelect);
    return cmdDisconnect->isEnabled();
}

void frmFTP::Reconnect(const QString& fileToSelect)
{
    const QString directory = lblDirectory->text();
    const int directoryRow = lstDirectoryList->currentRow();
    cmdConnect->setEnabled(true);
    cmdDisconnect->setEnabled(false);
    ++reconnecting_;
    cmdConnect_Click();
    --reconnecting_;
    if (cmdConnect->isEnabled()) {
        // The server did not take us back: the window shows the login again, not stale lists.
        cmdDisconnect_Click();
        return;
    }
    ChangeDirectory(directory);
    OpenDirectory();
    lstDirectoryList->setCurrentRow(directoryRow);
    for (int i = 0; i < lvFileList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvFileList->topLevelItem(i);
        if (item->text(0) != fileToSelect) {
            item->setSelected(false);
        } else {
            item->setSelected(true);
            lvFileList->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            break;
        }
    }
    lstDirectoryList->setCurrentRow(directoryRow);
}

void frmFTP::SetButtonStatus()
{
    const int n = lvFileList->topLevelItemCount();
    if (!PutMode()) {
        for (QPushButton* b : {cmdGet, cmdOpen, cmdDelete, cmdRename, cmdViewInWP}) b->setEnabled(n > 0);
        cmdOpen->setDefault(n > 0);
        return;
    }
    const bool e = !txtFileName->text().isEmpty() || n > 0;
    cmdGet->setEnabled(e);
    cmdGet->setDefault(e);
    cmdDelete->setEnabled(e);
    cmdRename->setEnabled(e);
    cmdOpen->setEnabled(false);
    cmdViewInWP->setEnabled(false);
    cmdOpen->setDefault(false);
}

void frmFTP::cboHostNames_Click()
{
    LoadUserName(cboHostNames->currentText());
    if (!cmdConnect->isEnabled() && cboHostNames->currentText() != ConnectedHost) cmdDisconnect_Click();
    if (chkAutoConnectToHost->isChecked()) {
        if (!chkOverRideAutoConnect->isChecked() && !txtUserName->text().isEmpty()) cmdConnect_Click();
        return;
    }
    if (txtUserName->text().isEmpty()) txtUserName->setFocus();
    else if (txtPassword->text().isEmpty()) txtPassword->setFocus();
}

void frmFTP::cboHostNames_LostFocus()
{
    const QString text = cboHostNames->currentText();
    for (int i = 0; i < cboHostNames->count(); ++i) {
        if (cboHostNames->itemText(i) == text) {
            LoadUserName(text);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Listing and navigation.

QString frmFTP::CurrentFileName() const
{
    if (lvFileList->topLevelItemCount() == 0) return QString();
    const QTreeWidgetItem* item = lvFileList->currentItem();
    return (item ? item : lvFileList->topLevelItem(0))->text(0);
}

QString frmFTP::RemotePath(const QString& name) const { return RemoteFilePath(lblDirectory->text(), name); }

void frmFTP::ShowControlError(const QString& prefix, int code)
{
    QString text = prefix + QString::number(code);
    if (!FileTransfer1.LastErrorText().isEmpty()) text += QStringLiteral(" - ") + FileTransfer1.LastErrorText();
    dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::None, QString());
}

void frmFTP::OpenDirectory()
{
    if (cmdConnect->isEnabled()) return;
    const QString path = lblDirectory->text().trimmed();
    int r;
    {
        BusyCall busy(*this);
        r = FileTransfer1.OpenListing(path);
    }
    if (platform::IsConnectionLost(r)) {
        if (reconnecting_ == 0) AskReconnect(kServerClosed, QString());
        return;
    }
    if (r != ftp_result::Ok) {
        ShowControlError(QStringLiteral("OpenDirectory error: "), r);
        return;
    }
    const QLocale locale;
    const QString type = cboFilesOfType->currentText();
    lvFileList->setUpdatesEnabled(false);
    lstDirectoryList->clear();
    if (lblDirectory->text() != QLatin1String("/")) lstDirectoryList->addItem(QStringLiteral(".."));
    lvFileList->clear();
    QStringList directories;
    QList<QTreeWidgetItem*> files;
    platform::FtpEntry e;
    while ((r = FileTransfer1.ReadNextEntry(e)) == ftp_result::Ok) {
        if (e.isDirectory) {
            directories << e.name;
        } else if (type == QLatin1String(".*") || e.name.endsWith(type, Qt::CaseSensitive)) {
            auto* item = new QTreeWidgetItem({e.name, FormatFileSize(e.size, locale),
                                              FormatModified(e.modified, locale)});
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            item->setData(0, Qt::UserRole, static_cast<qlonglong>(e.size));
            files << item;
        }
    }
    lstDirectoryList->addItems(directories);
    lvFileList->addTopLevelItems(files);
    lvFileList->setUpdatesEnabled(true);
    FileTransfer1.CloseListing();
    if (r != ftp_result::NoMoreEntries && r != ftp_result::NoMoreEntriesOther) {
        ShowControlError(QStringLiteral("OpenDirectory error: "), r);
        return;
    }
    SetStatusText(QStringLiteral("Directory contains ") + QString::number(files.size())
                  + QStringLiteral(" files."));
    SetButtonStatus();
}

void frmFTP::ChangeDirectory(const QString& path)
{
    int r;
    {
        BusyCall busy(*this);
        r = FileTransfer1.ChangeDirectory(path.trimmed());
    }
    if (r != ftp_result::Ok)
        dlg.MsgBox(QStringLiteral("ChangeDirectory error: ") + QString::number(r), MsgButtons::OKOnly,
                   MsgIcon::None, QString());
    lblDirectory->setText(FileTransfer1.CurrentDirectory());
}

void frmFTP::lstDirectoryList_DblClick()
{
    for (QPushButton* b : {cmdGet, cmdOpen, cmdViewInWP, cmdDelete, cmdRename}) b->setEnabled(false);
    const QListWidgetItem* line = lstDirectoryList->currentItem();
    if (!line) return;
    if (!CheckCommandNames({line->text()})) {
        SetButtonStatus();
        return;
    }
    const QString name = line->text().trimmed();
    // Each round is a reconnection the user asked for; a server that keeps dropping us ends it.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        int r;
        {
            BusyCall busy(*this);
            r = FileTransfer1.ChangeDirectory(RemotePath(name));
        }
        if (r == ftp_result::Ok) break;
        if (platform::IsConnectionLost(r)) {
            const MsgAnswer a = dlg.MsgBox(kConnectionClosed + kReconnectQuestion, MsgButtons::YesNo,
                                           MsgIcon::Question, QStringLiteral("Server Disconnected"));
            if (a != MsgAnswer::Yes) {
                cmdCancel_Click();
                return;
            }
            const QString directory = lblDirectory->text();
            cmdConnect->setEnabled(true);
            cmdDisconnect->setEnabled(false);
            cmdConnect_Click();
            if (cmdConnect->isEnabled()) {
                cmdDisconnect_Click();
                return;
            }
            lblDirectory->setText(directory);
            continue;
        }
        if (r == ftp_result::AccessDenied)
            dlg.MsgBox(QStringLiteral("Access is denied to that file or directory."), MsgButtons::OKOnly,
                       MsgIcon::Information, QStringLiteral("Access Denied"));
        else
            ShowControlError(QStringLiteral("ChangeDirectory error: "), r);
        break;
    }
    lblDirectory->setText(FileTransfer1.CurrentDirectory());
    OpenDirectory();
    lvFileList->setFocus();
    SetButtonStatus();
}

void frmFTP::lvFileList_ItemClick()
{
    if (PutMode()) {
        if (const QTreeWidgetItem* item = lvFileList->currentItem()) txtFileName->setText(item->text(0));
        txtFileName->selectAll();
        txtFileName->setFocus();
    }
    SetButtonStatus();
}

void frmFTP::lvFileList_DblClick()
{
    if (!PutMode()) {
        cmdOpen_Click();
        return;
    }
    if (const QTreeWidgetItem* item = lvFileList->currentItem()) txtFileName->setText(item->text(0));
    txtFileName->selectAll();
    txtFileName->setFocus();
    cmdGet_Click();
}

void frmFTP::cboFilesOfType_Click()
{
    QCoreApplication::processEvents();
    OpenDirectory();
}

// ---------------------------------------------------------------------------------------------
// Remote file operations.

bool frmFTP::CheckRemoteResult(int result, const QString& what)
{
    if (result == ftp_result::Ok) return true;
    QString text;
    const int reply = FileTransfer1.LastReplyCode();
    if (result == ftp_result::ExtendedError && reply >= 300)
        text = QStringLiteral("The server refused to %1 (reply code %2).").arg(what).arg(reply);
    else
        text = QStringLiteral("Could not %1 (error %2).").arg(what).arg(result);
    if (!FileTransfer1.LastErrorText().isEmpty())
        text += QStringLiteral("\r\n\r\n") + FileTransfer1.LastErrorText();
    dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("FTP Error"));
    return false;
}

void frmFTP::cmdDelete_Click()
{
    if (lvFileList->topLevelItemCount() == 0) {
        dlg.MsgBox(QStringLiteral("Please select a file first."), MsgButtons::OKOnly, MsgIcon::Information,
                   QStringLiteral("No File Selected"));
        return;
    }
    const QString name = CurrentFileName();
    if (!CheckCommandNames({name})) return;
    if (dlg.MsgBox(QStringLiteral("Are you sure that you want to delete\r\n") + name + QStringLiteral(" ?"),
                   MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("OK to Delete File"))
        != MsgAnswer::Yes)
        return;
    const QString path = RemotePath(name);
    auto run = [&] {
        BusyCall busy(*this);
        return FileTransfer1.Delete(path);
    };
    int r = run();
    if (platform::IsConnectionLost(r)) {
        if (!AskReconnect(kServerClosed, name)) return;
        r = run();
    }
    CheckRemoteResult(r, QStringLiteral("delete ") + name);
    OpenDirectory();
    if (PutMode()) cmdGet->setEnabled(false);
}

void frmFTP::cmdRename_Click()
{
    if (lvFileList->topLevelItemCount() == 0) {
        dlg.MsgBox(QStringLiteral("Please select a file first."), MsgButtons::OKOnly, MsgIcon::Information,
                   QStringLiteral("No File Selected"));
        return;
    }
    const QString oldName = CurrentFileName();
    if (!CheckCommandNames({oldName})) return;
    const std::optional<QString> answer =
        dlg.InputBox(QStringLiteral("Enter the new filename:"), QStringLiteral("Rename File"), oldName);
    QString newName = answer.value_or(QString()).trimmed();
    if (newName.isEmpty()) return;
    newName.replace(QLatin1Char(' '), QLatin1Char('_'));
    if (!CheckCommandNames({newName})) return;
    auto run = [&] {
        BusyCall busy(*this);
        return FileTransfer1.Rename(RemotePath(oldName), RemotePath(newName));
    };
    int r = run();
    if (platform::IsConnectionLost(r)) {
        if (!AskReconnect(kServerClosed, oldName)) return;
        r = run();
    }
    CheckRemoteResult(r, QStringLiteral("rename %1 to %2").arg(oldName, newName));
    OpenDirectory();
    if (PutMode()) cmdGet->setEnabled(false);
}

// ---------------------------------------------------------------------------------------------
// Transfers.

QStringList frmFTP::SelectedFiles() const
{
    QStringList names;
    for (int i = 0; i < lvFileList->topLevelItemCount(); ++i)
        if (const QTreeWidgetItem* item = lvFileList->topLevelItem(i); item->isSelected()) names << item->text(0);
    return names;
}

void frmFTP::NoFileSelected()
{
    dlg.MsgBox(QStringLiteral("Please select a file first."), MsgButtons::OKOnly, MsgIcon::Information,
               QStringLiteral("No File Selected"));
}

void frmFTP::ShowProgressBar(int panel)
{
    QLabel* label = stsPanels[static_cast<size_t>(panel)];
    SavedPanelText = label->text();
    label->hide();
    prStatus->setRange(0, 100);
    prStatus->setValue(0);
    prStatus->show();
}

qint64 frmFTP::ListedSize(const QString& name) const
{
    const auto found = lvFileList->findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? 0 : found[0]->data(0, Qt::UserRole).toLongLong();
}

void frmFTP::HideProgressBar(int panel)
{
    prStatus->hide();
    QLabel* label = stsPanels[static_cast<size_t>(panel)];
    label->setText(SavedPanelText);
    label->show();
}

void frmFTP::FileTransfer1_Progress(qint64 first, qint64 second, qint64 /*third*/, int percent)
{
    if (second > 0) {
        prStatus->setValue(std::clamp(percent, 0, 100));
    } else if (expectedSize_ > 0) {
        // ASCII downloads start without a size from the server: the listing's size stands in.
        prStatus->setValue(static_cast<int>(std::min<qint64>(100, first * 100 / expectedSize_)));
    }
}

bool frmFTP::CheckCommandNames(const QStringList& names)
{
    for (const QString& name : names) {
        if (!platform::HoldsLineBreak(name)) continue;
        static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
        const QString shown = QString(name).replace(lineBreak, QStringLiteral("<line break>"));
        dlg.MsgBox(QStringLiteral("The name \"%1\" on the server holds a line break, which cannot be sent in an "
                                  "FTP command.  Please rename it on the server by other means.")
                       .arg(shown),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Invalid File Name"));
        return false;
    }
    return true;
}

bool frmFTP::CheckLocalName(const QString& folder, const QString& name, QString* path)
{
    const std::optional<QString> local = LocalDownloadPath(folder, name);
    if (local) {
        *path = *local;
        return true;
    }
    dlg.MsgBox(QStringLiteral("The remote file name \"%1\" cannot be used as the name of a local file. "
                              "Please rename it on the server first.")
                   .arg(name),
               MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Invalid File Name"));
    return false;
}

int frmFTP::Download(const QStringList& files, const std::function<Target(int, const QString&)>& local,
                     bool binaryForCompressed, qint64* total, QString* failed)
{
    const bool ascii = mnuOptionsDownloadUsingASCIIMode->isChecked();
    int r = ftp_result::Ok;
    *total = 0;
    for (int i = 0; i < files.size(); ++i) {
        const QString& name = files[i];
        const Target target = local(i, name);
        stsPanels[3]->setText(name);
        ShowProgressBar(2);
        expectedSize_ = ListedSize(name);
        FileTransfer1.setLocalAppend(target.append);
        FileTransfer1.setTransferType(DownloadTransferType(name, ascii, binaryForCompressed));
        {
            BusyCall busy(*this);
            r = FileTransfer1.Get(target.path, RemotePath(name));
        }
        HideProgressBar(2);
        *total += FileTransfer1.BytesTransferred();
        if (r != ftp_result::Ok) {
            *failed = name;
            break;
        }
    }
    stsPanels[3]->clear();
    return r;
}

void frmFTP::ShowTransferFailure(const QString& title, const QString& name, int result, const QString& partial)
{
    QString text = QStringLiteral("The file %1 could not be transferred (error %2).").arg(name).arg(result);
    if (!FileTransfer1.LastErrorText().isEmpty()) text += QStringLiteral("\r\n\r\n") + FileTransfer1.LastErrorText();
    if (!partial.isEmpty()) text += QStringLiteral("\r\n\r\n") + partial;
    dlg.MsgBox(text, MsgButtons::OKOnly, MsgIcon::Exclamation, title);
}

void frmFTP::ShowComplete(const QString& title, bool ascii, qint64 bytes, double seconds)
{
    dlg.MsgBox(TransferCompleteText(ascii, bytes, seconds), MsgButtons::OKOnly, MsgIcon::Information, title);
}

void frmFTP::cmdGet_Click()
{
    if (PutMode()) PutFile();
    else GetMode();
}

void frmFTP::GetMode()
{
    FtpCancelled = false;
    const QStringList files = SelectedFiles();
    if (files.isEmpty()) {
        NoFileSelected();
        return;
    }
    if (!CheckCommandNames(files)) return;
    const QString current = CurrentFileName();
    const QString name = files.contains(current) ? current : files.front();
    const bool appendChosen = mnuOptionsIfFileExistsAppend->isChecked();
    const QString valid = MakeValidFileName(name);
    if (valid != name)
        dlg.MsgBox(QStringLiteral("The filename ") + name
                       + QStringLiteral(" contains characters which are not compatible with Windows.  ")
                       + QStringLiteral("They will be changed to hyphens.  You may change them to another "
                                        "character if you wish."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("Illegal Windows Character in Filename"));
    // Each round after the first follows a reconnection the user asked for.
    for (;;) {
        platform::FileDialogRequest request;
        request.save = true;
        request.title = appendChosen ? QStringLiteral("Append FTP'd File To ...") : QStringLiteral("Save FTP'd File To ...");
        request.folder = st.options.LastFileSavePath;
        request.fileName = valid;
        request.patterns = {QStringLiteral("All Files (*.*)"), QStringLiteral("Text Files (*.txt)"),
                            QStringLiteral("Data Files (*.dat)"), QStringLiteral("HL7 Files (*.hl7)")};
        request.selectedPattern = 2;
        // Appending adds to the chosen file: nothing there is replaced.
        request.confirmOverwrite = !appendChosen;
        const QStringList chosen = dlg.FileDialog(request);
        QCoreApplication::processEvents();
        if (chosen.isEmpty()) return;
        const QString target = chosen.front();
        st.options.LastFileSavePath = QFileInfo(target).absolutePath() + QLatin1Char('/');

        QElapsedTimer timer;
        timer.start();
        qint64 total = 0;
        QString failed;
        const int r = Download(
            files, [&](int i, const QString&) { return Target{target, i > 0 || appendChosen}; }, true, &total,
            &failed);
        if (r == ftp_result::Ok) {
            ShowComplete(QStringLiteral("FTP Get Complete"), FileTransfer1.TransferType() == platform::ftp_type::Ascii,
                         files.size() == 1 ? FileTransfer1.BytesTransferred() : total,
                         static_cast<double>(timer.nsecsElapsed()) / 1e9);
            return;
        }
        if (platform::IsConnectionLost(r)) {
            if (!AskReconnect(kServerClosed, name)) return;
            continue;
        }
        const qsizetype done = files.indexOf(failed);
        ShowTransferFailure(QStringLiteral("FTP Get Failed"), failed, r,
                            done > 0 || appendChosen
                                ? QStringLiteral("%1 holds only what was transferred before it.").arg(target)
                                : QString());
        return;
    }
}

void frmFTP::PutFile()
{
    FtpCancelled = false;
    QString remote = txtFileName->text().trimmed();
    if (remote.isEmpty()) remote = CurrentFileName();
    if (remote.isEmpty()) {
        NoFileSelected();
        return;
    }
    if (!CheckCommandNames({remote})) return;
    const QString local = st.folders.TempFolder + QStringLiteral("ftp.dat");
    const QString question = QStringLiteral("OK to put file \"") + remote + QLatin1Char('"')
                             + (st.options.FtpUseEnvelope ? QStringLiteral(" with envelope characters around records.")
                                                          : QStringLiteral(" without envelope characters around records."));
    if (dlg.MsgBox(question, MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("OK to Put File?")) != MsgAnswer::Yes)
        return;
    const bool ascii = mnuOptionsDownloadUsingASCIIMode->isChecked();
    FileTransfer1.setTransferType(ascii ? platform::ftp_type::Ascii : platform::ftp_type::Binary);
    FileTransfer1.setLocalAppend(mnuOptionsIfFileExistsAppend->isChecked());
    for (;;) {
        stsPanels[3]->setText(remote);
        ShowProgressBar(2);
        expectedSize_ = 0;
        QElapsedTimer timer;
        timer.start();
        int r;
        {
            BusyCall busy(*this);
            r = FileTransfer1.Put(local, RemotePath(remote));
        }
        HideProgressBar(2);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        if (r == ftp_result::Ok) {
            const qint64 bytes = FileTransfer1.BytesTransferred();
            OpenDirectory();
            ShowComplete(QStringLiteral("FTP Put Complete"), ascii, bytes, seconds);
            break;
        }
        if (platform::IsConnectionLost(r)) {
            if (!AskReconnect(kServerClosed, remote)) {
                stsPanels[3]->clear();
                return;
            }
            continue;
        }
        dlg.MsgBox(QStringLiteral("Upload Failed\r\n") + FileTransfer1.LastErrorText()
                       + QStringLiteral(" or because of permissions."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("FTP Put Failed"));
        break;
    }
    stsPanels[3]->clear();
}

void frmFTP::cmdOpen_Click()
{
    const QStringList files = SelectedFiles();
    if (files.isEmpty()) {
        NoFileSelected();
        return;
    }
    FtpCancelled = false;
    if (!CheckCommandNames(files)) return;
    const QString& folder = st.folders.Files2LoadFolder;
    HandOverFile = folder + QStringLiteral("ftp.dat");
    // A folder written with square brackets (DISK1:[USER.HL7]) gives one hand-over file, the
    // selected files one after the other; elsewhere each file keeps its own name, so that the
    // main window knows compressed ones by their extension.
    const bool bracketed = IsBracketedFolder(lblDirectory->text());
    QStringList locals;
    for (const QString& name : files) {
        QString path;
        if (!bracketed && !CheckLocalName(folder, name, &path)) return;
        locals << path;
    }
    for (;;) {
        // What an earlier attempt left would be loaded with these files.
        EmptyFolder(folder);
        qint64 total = 0;
        QString failed;
        const int r = Download(
            files,
            [&](int i, const QString&) {
                return bracketed ? Target{HandOverFile, i > 0} : Target{locals[i], false};
            },
            true, &total, &failed);
        if (r == ftp_result::Ok) break;
        if (platform::IsConnectionLost(r)) {
            if (!AskReconnect(kServerClosed, failed)) return;
            continue;
        }
        EmptyFolder(folder);
        ShowTransferFailure(QStringLiteral("FTP Get Failed"), failed, r);
        return;
    }
    st.ftp.FtpSourceDescription = FtpSourceText(ConnectedHost, lblDirectory->text(), files);
    if (chkDisconnect->isChecked()) cmdDisconnect_Click();
    // Hidden, not closed: the main window goes on to load what arrived.
    hide();
}

void frmFTP::cmdViewInWP_Click()
{
    if (lvFileList->topLevelItemCount() == 0) {
        NoFileSelected();
        return;
    }
    FtpCancelled = false;
    const QString name = CurrentFileName();
    if (!CheckCommandNames({name})) return;
    QString local;
    if (!CheckLocalName(st.folders.TempFolder, name, &local)) return;
    for (;;) {
        stsPanels[3]->setText(name);
        ShowProgressBar(2);
        expectedSize_ = ListedSize(name);
        FileTransfer1.setLocalAppend(false);
        FileTransfer1.setTransferType(platform::ftp_type::Ascii);
        int r;
        {
            BusyCall busy(*this);
            r = FileTransfer1.Get(local, RemotePath(name));
        }
        HideProgressBar(2);
        stsPanels[3]->clear();
        if (r == ftp_result::Ok) break;
        if (platform::IsConnectionLost(r)) {
            if (!AskReconnect(kServerClosed, name)) return;
            continue;
        }
        // A file that did not arrive is not opened: the viewer would show an old copy or nothing.
        ShowTransferFailure(QStringLiteral("FTP Get Failed"), name, r);
        return;
    }
    static platform::SystemDesktop systemDesktop;
    const QString& editor = st.session.TextEditorForViewer;
    const PlainFileOpening opening = OpenPlainFile(desktop ? *desktop : systemDesktop, editor, local);
    if (opening.ok) return;
    const QString viewer = editor.isEmpty()
                               ? QStringLiteral("the Windows selected viewer for files like ") + local
                               : editor;
    dlg.MsgBox(QStringLiteral("Could not find the viewer selected: ") + viewer
                   + QStringLiteral("\r\n\r\nPlease either reinstall the viewer or select a different viewer in the ")
                   + QStringLiteral("[Select Text Editor For Viewing] menu option."),
               MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Can't Find Viewer"));
}

// ---------------------------------------------------------------------------------------------
// Saved hosts.

FtpLoginControls frmFTP::LoginControls() const
{
    FtpLoginControls c;
    c.HostText = cboHostNames->currentText();
    for (int i = 0; i < cboHostNames->count(); ++i) c.HostList << cboHostNames->itemText(i);
    c.UserName = txtUserName->text();
    c.Password = txtPassword->text();
    c.InitialDirectory = txtInitialDirectory->text();
    c.Passive = chkPassive->isChecked() ? 1 : 0;
    c.Disconnect = chkDisconnect->isChecked() ? 1 : 0;
    c.AutoConnectToHost = chkAutoConnectToHost->isChecked() ? 1 : 0;
    c.SavePassword = chkSavePassword->isChecked() ? 1 : 0;
    c.Directory = lblDirectory->text();
    return c;
}

void frmFTP::SetLoginControls(const FtpLoginControls& c)
{
    QStringList current;
    for (int i = 0; i < cboHostNames->count(); ++i) current << cboHostNames->itemText(i);
    if (current != c.HostList) {
        cboHostNames->clear();
        cboHostNames->addItems(c.HostList);
    }
    cboHostNames->setEditText(c.HostText);
    txtUserName->setText(c.UserName);
    txtPassword->setText(c.Password);
    txtInitialDirectory->setText(c.InitialDirectory);
    chkPassive->setChecked(c.Passive != 0);
    chkDisconnect->setChecked(c.Disconnect != 0);
    chkAutoConnectToHost->setChecked(c.AutoConnectToHost != 0);
    chkSavePassword->setChecked(c.SavePassword != 0);
}

void frmFTP::LoadFTPHostNames()
{
    FtpLoginControls c = LoginControls();
    hosts_->LoadFTPHostNames(c);
    SetLoginControls(c);
}

void frmFTP::LoadUserName(const QString& host)
{
    FtpLoginControls c = LoginControls();
    hosts_->LoadUserName(c, host);
    SetLoginControls(c);
}

void frmFTP::cmdCommand_Click(int index)
{
    FtpLoginControls c = LoginControls();
    hosts_->cmdCommand_Click(c, index, dlg);
    SetLoginControls(c);
}

void frmFTP::cmdSetInitialDir_Click()
{
    FtpLoginControls c = LoginControls();
    hosts_->cmdSetInitialDir_Click(c);
    SetLoginControls(c);
}

void frmFTP::mnuSetInitialDirectory_Click()
{
    FtpLoginControls c = LoginControls();
    hosts_->mnuSetInitialDirectory_Click(c);
    SetLoginControls(c);
}

void frmFTP::txtInitialDirectory_LostFocus() { hosts_->txtInitialDirectory_LostFocus(LoginControls()); }

// ---------------------------------------------------------------------------------------------
// Menus and options.

void frmFTP::mnufile_Click()
{
    mnuFileDisconnect->setEnabled(cmdDisconnect->isEnabled());
    mnuFileRefreshFileList->setEnabled(cmdDisconnect->isEnabled());
    mnuFileGetFile->setEnabled(cmdGet->isEnabled());
    mnuFileViewFileInQuillon->setEnabled(cmdOpen->isEnabled());
    mnuViewFileInEditor->setEnabled(cmdViewInWP->isEnabled());
}

void frmFTP::mnuOptions_Click() { mnuOptionsSetCurrentDirAsDefaultDir->setEnabled(!cmdConnect->isEnabled()); }

void frmFTP::mnuFileRefreshFileList_Click()
{
    if (!ReconnectIfNecessary()) return;
    OpenDirectory();
}

FtpTransferOptions frmFTP::TransferOptions() const
{
    FtpTransferOptions o;
    o.DownloadUsingBinaryMode = mnuOptionsDownloadUsingBinaryMode->isChecked();
    o.DownloadUsingASCIIMode = mnuOptionsDownloadUsingASCIIMode->isChecked();
    o.IfFileExistsAppend = mnuOptionsIfFileExistsAppend->isChecked();
    o.IfFileExistsOverwrite = mnuOptionsIfFileExistsOverwrite->isChecked();
    return o;
}

void frmFTP::mnuOptionsChoose(QAction* item)
{
    FtpTransferOptions o = TransferOptions();
    if (item == mnuOptionsDownloadUsingASCIIMode) o.ChooseASCIIMode();
    else if (item == mnuOptionsDownloadUsingBinaryMode) o.ChooseBinaryMode();
    else if (item == mnuOptionsIfFileExistsAppend) o.ChooseAppend();
    else if (item == mnuOptionsIfFileExistsOverwrite) o.ChooseOverwrite();
    mnuOptionsDownloadUsingBinaryMode->setChecked(o.DownloadUsingBinaryMode);
    mnuOptionsDownloadUsingASCIIMode->setChecked(o.DownloadUsingASCIIMode);
    mnuOptionsIfFileExistsAppend->setChecked(o.IfFileExistsAppend);
    mnuOptionsIfFileExistsOverwrite->setChecked(o.IfFileExistsOverwrite);
    mnuOptionsIfFileExists->setTitle(o.IfFileExistsCaption());
}

void frmFTP::mnuOptionsDefineFileExtensions_Click()
{
    if (showFileTypesDialog) {
        showFileTypesDialog();
    } else {
        frmFTPfileExtensions dialog(FileTypes, st.settings, dlg, this);
        dialog.exec();
    }
    LoadFTPExtensions();
    cboFilesOfType_Click();
}

void frmFTP::txtFileName_KeyPress(int& keyAscii)
{
    const QString name = txtFileName->text().trimmed();
    if (keyAscii == ' ' && name.isEmpty()) {
        keyAscii = 0;
        return;
    }
    if (!PutMode()) return;
    if (keyAscii == 8 && name.size() == 1) {
        for (QPushButton* b : {cmdOpen, cmdGet, cmdDelete, cmdRename, cmdViewInWP}) b->setEnabled(false);
        cmdOpen->setDefault(false);
    } else if (!name.isEmpty() || (keyAscii >= '0' && keyAscii <= 'z')) {
        for (QPushButton* b : {cmdOpen, cmdDelete, cmdRename, cmdViewInWP}) b->setEnabled(false);
        cmdGet->setEnabled(true);
        cmdGet->setDefault(true);
        cmdOpen->setDefault(false);
    } else {
        cmdGet->setEnabled(true);
        cmdOpen->setDefault(false);
    }
}

void frmFTP::LoadFTPExtensions()
{
    const QStringList entries = quillon::LoadFTPExtensions(st.settings, FileTypes);
    cboFilesOfType->clear();
    cboFilesOfType->addItems(entries);
    cboFilesOfType->setEditText(FileTypes.FtpDefaultExtension);
}

void frmFTP::SaveDefaults()
{
    FtpColumns columns;
    const QHeaderView* header = lvFileList->header();
    for (int c = 0; c < 3; ++c)
        columns[static_cast<size_t>(c)] = {header->visualIndex(c) + 1,
                                           static_cast<double>(header->sectionSize(c))};
    quillon::SaveDefaults(st.settings, columns, TransferOptions());
}

}  // namespace quillon
