#pragma once
// The logging window: what the trace log records (TCP/IP activity, each record, each record
// with its character codes) and the name pattern of its file in LogsFolder; it also deletes
// today's log file.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "app/AppState.h"
#include "platform/Dialogs.h"

namespace quillon {

class frmLogging : public QDialog {
    Q_OBJECT
public:
    enum Flag { FlagTCPIP = 0, FlagMessage = 1, FlagMessageASCII = 2 };

    frmLogging(AppState& state, platform::Dialogs& dialogs, QWidget* parent = nullptr);

    // Whether `pattern` names a file inside the logs folder: not empty, no folder separators,
    // no "..", no NUL.
    static bool IsAcceptablePattern(const QString& pattern);

    QGroupBox* fraLevels;
    std::array<QCheckBox*, 3> chkDebugFlags{};
    QGroupBox* fraLogFileName;
    QLabel* lblLogFilenameCaption;
    QLineEdit* txtLogFilename;
    QLabel* lblPlaceholders;
    QLabel* lblKey;
    QLabel* lblLogFileName;
    QPushButton* cmdDeleteLog;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

public slots:
    void chkDebugFlags_Click(int index);
    void cmdDeleteLog_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void Form_Load();

    AppState& st;
    platform::Dialogs& dlg;
};

}  // namespace quillon
