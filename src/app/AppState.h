#pragma once
// The program's shared state, grouped by concern. main() owns one; each test makes its own.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/AnalysisState.h"
#include "app/DataFolders.h"
#include "editing/FilterRecords.h"
#include "editing/SearchRequest.h"
#include "records/Dictionary.h"
#include "platform/SettingsStore.h"
#include "records/RecordStore.h"
#include "records/UndoRing.h"
#include "tcpip/ServerEngine.h"

namespace quillon {

struct TraceSwitches {
    bool LogTCPIP = false;
    bool LogMessage = false;
    bool LogMessageASCII = false;
    QString LogFilename = QStringLiteral("LOG_%D.txt");
    // What "%N" stands for: the selected TCP/IP configuration while the TCP/IP panel shows,
    // else "" (the file name then says "LOG").
    std::function<QString()> ConfigurationName;
    // Told once when the trace log cannot be written (with the path and the system's reason,
    // empty when there is none), until a write succeeds.
    std::function<void(const QString& path, const QString& reason)> WriteFailed;
    bool WriteFailureReported = false;
};

// The seven administration switches; a switch that is on locks its command.
enum AdminSwitch { AdminFileOpen, AdminFileSave, AdminFtpGet, AdminFtpPut, AdminTcpClient,
                   AdminTcpServer, AdminPrint, AdminSwitchCount };

struct SessionState {
    QString CommandLineFile;
    QString CurrentFileName;
    QString FocusedListName = QStringLiteral("lstRecords");
    QString LockedFieldName;      // the designation the field list is locked on, or ""
    QString TextEditorForViewer;  // empty: the desktop's own choice
    std::array<bool, AdminSwitchCount> AdminSwitches{};
    bool ProgressCancelled = false;
    // The base the envelope window last showed its codes in (0 decimal, 1 octal, 2 hex).
    int16_t EnvelopeDisplayBase = 0;
    // Names this running instance's undo files apart from those of other instances.
    QString InstanceId;
    // What the message window shows next: set just before it is shown.
    QString MsgBoxText;
    QString MsgBoxCaption;
};

// Settings that start-up reads into globals (the display options live in menu check marks).
struct OptionState {
    QString ReportFontName = QStringLiteral("Courier New");
    int16_t ReportFontSize = 10;
    QString LastFileOpenPath;
    QString LastFileSavePath;
    std::array<QString, 10> DefaultExtensions;
    QString DefaultExtension;
    bool DiskUseEnvelope = false;
    bool FtpUseEnvelope = false;
};

// Values the editing, search and filter commands share with the record display.
struct EditingState {
    std::string FilterRepetition;              // "(2)" or "" for the filter-by-field locator
    FilterRequest filter;                      // what the filter dialog asked for last
    std::array<std::string, 6> UndoDelimiters;  // slots 1 to 5, for a delimiter-change undo point
};

// The active view: the designations the field list is narrowed to (none: no view).
struct ViewState {
    std::vector<std::string> ViewFields;
    int32_t ViewFieldCount() const { return static_cast<int32_t>(ViewFields.size()); }
};

// The acknowledgement settings that the server and the client configurations share: whichever
// configuration was loaded last is in force for both roles.
struct AckSettings {
    std::string AckText = "MSA|AA";
    std::string AckBytes = "0b 06 1c 0d";
    int16_t UseAckBytes = 0;  // 0 generated ACK, 1 fixed bytes, 2 user file
    QString UserAckFile;      // set by the server configuration editor
};

// The selected server configuration.
struct ServerState {
    QString ServerConfigName = QStringLiteral("default.server");
    int32_t LocalPort = 3000;
    int16_t ServerStartOfBlockCode = 11;
    int16_t ServerEndOfBlockCode = 13;
    int16_t ServerEndOfDataCode = 28;
    int16_t SendAck = 1;
    QString ServerLogFile;
    // Bytes received and not yet cut into records; kept across connections.
    RecordCutter ReceiveBuffer;
    bool RecordComplete = false;
    // Set while the log-file choice goes through the configuration editor.
    bool SelectLogFileRequest = false;
};

// The selected client configuration and the state of a send run.
struct ClientState {
    QString ClientConfigName = QStringLiteral("default.client");
    QString ClientServerHost = QStringLiteral("localhost");
    QString ClientServerAddress = QStringLiteral("127.0.0.1");
    int32_t ClientServerPort = 3000;
    int16_t ClientStartOfBlockCode = 11;
    int16_t ClientEndOfBlockCode = 13;
    int16_t ClientEndOfDataCode = 28;
    int16_t ClientDelayAfterConnecting = 0;
    int16_t ClientMaxTimeWaitForAck = 10;
    int16_t ClientMaxTriesResend = 10;
    int16_t ClientWaitForAck = 1;
    int16_t ClientNakAction = 0;
    int16_t ClientMaxNakAction = 1;
    int16_t ClientDelayBetweenRecords = 0;
    // Shared with the window while a run is going on.
    bool Sending = false;  // a run is active: commands that change the records wait for its end
    bool AckReceived = false;
    bool TCPIPPaused = false;
    bool StopAsked = false;  // Stop, a lock of the role or a socket error ends the run
    bool ViewReceivedAcks = false;
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
    DescriptionDictionary dictionary;
    UndoRing undo;
    OptionState options;
    platform::SettingsStore settings;
    EditingState editing;
    SearchRequest search;
    AnalysisState analysis;
    ViewState view;
    FtpState ftp;
    AckSettings ack;
    ServerState server;
    ClientState client;
};

}  // namespace quillon
