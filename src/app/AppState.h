#pragma once
// The program's shared state, grouped by concern. main() owns one; each test makes its own.
#include <QString>
#include <array>
#include <cstdint>

#include "app/DataFolders.h"
#include "records/RecordStore.h"

namespace quillon {

struct TraceSwitches {
    bool LogTCPIP = false;
    bool LogMessage = false;
    bool LogMessageASCII = false;
    QString LogFilename = QStringLiteral("LOG_%D.txt");
};

// The seven administration switches; a switch that is on locks its command.
enum AdminSwitch { AdminFileOpen, AdminFileSave, AdminFtpGet, AdminFtpPut, AdminTcpClient,
                   AdminTcpServer, AdminPrint, AdminSwitchCount };

struct SessionState {
    QString CommandLineFile;
    QString CurrentFileName;
    QString FocusedListName = QStringLiteral("lstRecords");
    QString TextEditorForViewer;  // empty: the desktop's own choice
    std::array<bool, AdminSwitchCount> AdminSwitches{};
    int32_t UndoLevel = 0;
    bool ProgressCancelled = false;
};

// What the rest of the program sees of the FTP side.
struct FtpState {
    QString FtpWindowCaption;  // caption of the FTP window while it is open, else empty
    QString FtpSourceDescription;
};

struct AppState {
    RecordStore records;
    Delimiters delimiters;
    EnvelopeChars envelope;
    DataFolders folders;
    TraceSwitches trace;
    SessionState session;
    FtpState ftp;
};

}  // namespace quillon
