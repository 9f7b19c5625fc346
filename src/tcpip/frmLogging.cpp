#include "tcpip/frmLogging.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "app/TraceLog.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

frmLogging::frmLogging(AppState& state, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), st(state), dlg(dialogs)
{
    setWindowTitle(QStringLiteral("Logging Levels and Maintenance"));

    fraLevels = new QGroupBox(QStringLiteral("Logging Levels"), this);
    chkDebugFlags[FlagTCPIP] = new QCheckBox(
        QStringLiteral("TCP/IP (TCPIP) - log all activity related to TCP/IP activity."), fraLevels);
    chkDebugFlags[FlagMessage] = new QCheckBox(
        QStringLiteral("MESSAGE (MSG) - log each record as it is received, read, or pasted."),
        fraLevels);
    chkDebugFlags[FlagMessageASCII] = new QCheckBox(
        QStringLiteral("ASCII MESSAGE (ASCII) - log each record as it is received, read, or "
                       "pasted and display the ASCII values for each character in the record."),
        fraLevels);
    auto* levelsLayout = new QVBoxLayout(fraLevels);
    for (QCheckBox* box : chkDebugFlags)
        levelsLayout->addWidget(box);

    fraLogFileName = new QGroupBox(QStringLiteral("Log File Name"), this);
    lblLogFilenameCaption = new QLabel(QStringLiteral("Log File Name:"), fraLogFileName);
    txtLogFilename = new QLineEdit(fraLogFileName);
    lblLogFilenameCaption->setBuddy(txtLogFilename);
    // The log writer fills in %N and %D only.
    lblPlaceholders = new QLabel(QStringLiteral("%D = yyyy-mm-dd"), fraLogFileName);
    lblKey = new QLabel(QStringLiteral("Key: %N - name of current client or server configuration "
                                       "(will be \"LOG\" if not doing client/server); "),
                        fraLogFileName);
    lblKey->setWordWrap(true);
    lblLogFileName = new QLabel(fraLogFileName);
    lblLogFileName->setWordWrap(true);
    cmdDeleteLog = new QPushButton(QStringLiteral("Delete Log"), fraLogFileName);
    cmdDeleteLog->setAutoDefault(false);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblLogFilenameCaption);
    nameRow->addWidget(txtLogFilename, 1);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(lblLogFileName, 1);
    folderRow->addWidget(cmdDeleteLog);
    auto* nameLayout = new QVBoxLayout(fraLogFileName);
    nameLayout->addLayout(nameRow);
    nameLayout->addWidget(lblPlaceholders);
    nameLayout->addWidget(lblKey);
    nameLayout->addLayout(folderRow);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdOK->setDefault(true);
    cmdCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraLevels);
    layout->addWidget(fraLogFileName);
    layout->addLayout(buttons);

    for (int i = 0; i < 3; ++i)
        connect(chkDebugFlags[i], &QCheckBox::toggled, this, [this, i] { chkDebugFlags_Click(i); });
    connect(cmdDeleteLog, &QPushButton::clicked, this, &frmLogging::cmdDeleteLog_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogging::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogging::cmdCancel_Click);

    Form_Load();
}

bool frmLogging::IsAcceptablePattern(const QString& pattern)
{
    return !pattern.isEmpty() && !pattern.contains(QLatin1Char('/')) &&
           !pattern.contains(QLatin1Char('\\')) && !pattern.contains(QLatin1String("..")) &&
           !pattern.contains(QChar(u'\0'));
}

void frmLogging::Form_Load()
{
    chkDebugFlags[FlagTCPIP]->setChecked(st.trace.LogTCPIP);
    chkDebugFlags[FlagMessage]->setChecked(st.trace.LogMessage);
    chkDebugFlags[FlagMessageASCII]->setChecked(st.trace.LogMessageASCII);

    const QString pattern = Settings(st.settings).LogFilename();
    txtLogFilename->setText(pattern);
    st.trace.LogFilename = pattern;

    FlushTraceWrites(st);
    const QString path = CurrentLogFilePath(st);
    cmdDeleteLog->setEnabled(!path.isEmpty() && QFileInfo::exists(path));
    lblLogFileName->setText(QStringLiteral("The log file is stored in ") + st.folders.LogsFolder);
}

void frmLogging::chkDebugFlags_Click(int index)
{
    // A record is logged either plain or with its character codes, not both.
    if (index == FlagMessage && chkDebugFlags[FlagMessage]->isChecked())
        chkDebugFlags[FlagMessageASCII]->setChecked(false);
    else if (index == FlagMessageASCII && chkDebugFlags[FlagMessageASCII]->isChecked())
        chkDebugFlags[FlagMessage]->setChecked(false);
}

void frmLogging::cmdDeleteLog_Click()
{
    // The file of the pattern in force, not of the one being typed.
    FlushTraceWrites(st);
    const QString path = CurrentLogFilePath(st);
    if (!path.isEmpty() && QFileInfo::exists(path) && !QFile::remove(path)) {
        dlg.MsgBox(QStringLiteral("The log file '%1' could not be deleted.").arg(path),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Log Not Deleted"));
        return;
    }
    // A file that vanished since the window opened is as good as deleted.
    cmdDeleteLog->setEnabled(false);
    dlg.MsgBox(QStringLiteral("The log has been deleted."), MsgButtons::OKOnly,
               MsgIcon::Information, QStringLiteral("Log Deleted"));
}

void frmLogging::cmdOK_Click()
{
    const QString pattern = txtLogFilename->text();
    if (!IsAcceptablePattern(pattern)) {
        dlg.MsgBox(QStringLiteral("The log file name must not be empty and must not contain "
                                  "\"/\", \"\\\" or \"..\": the log is always kept in ") +
                       st.folders.LogsFolder + QStringLiteral(". Please enter a file name."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation,
                   QStringLiteral("Invalid Log File Name"));
        txtLogFilename->setFocus();
        txtLogFilename->selectAll();
        return;
    }

    st.trace.LogTCPIP = chkDebugFlags[FlagTCPIP]->isChecked();
    st.trace.LogMessage = chkDebugFlags[FlagMessage]->isChecked();
    st.trace.LogMessageASCII = chkDebugFlags[FlagMessageASCII]->isChecked();
    st.trace.LogFilename = pattern;

    Settings settings(st.settings);
    settings.SetLogTCPIP(st.trace.LogTCPIP);
    settings.SetLogMessage(st.trace.LogMessage);
    settings.SetLogMessageASCII(st.trace.LogMessageASCII);
    settings.SetLogFilename(pattern);
    accept();
}

void frmLogging::cmdCancel_Click()
{
    reject();
}

}  // namespace quillon
