#pragma once
// The FTP client control of the FTP window, over libcurl's easy interface. One control holds at
// most one logged-in connection. Every call blocks until the server has answered; while it runs,
// the event hook lets the caller run window events and transfers emit Progress. Results are
// whole numbers, 0 meaning success; the codes below are the ones the window tests by value.
//
// libcurl keeps no current directory and reconnects on its own: the control tracks the remote
// directory itself (every command goes out with an absolute path) and reports a connection the
// server dropped once as ConnectionLost, so the window can offer to reconnect.
#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace quillon::platform {

namespace ftp_result {
inline constexpr int Ok = 0;
inline constexpr int AccessDenied = 10013;       // change of directory refused by the server
inline constexpr int ConnectionAborted = 10053;  // lost (the window tests it like 12207)
inline constexpr int TimedOut = 12002;           // the server did not answer in time
inline constexpr int NameNotResolved = 12007;    // unknown host
inline constexpr int Cancelled = 12017;          // Cancel() during a call
inline constexpr int Busy = 12019;               // a call made while another one runs
inline constexpr int CannotConnect = 12029;      // nothing listens there, or TLS failed
inline constexpr int ExtendedError = 12003;      // the server refused; see LastReplyCode
inline constexpr int NotConnected = 12111;       // an operation before Connect
inline constexpr int ConnectionLost = 12207;     // the server closed the connection
inline constexpr int LoginRefused = 12222;       // user name or password refused (530)
inline constexpr int LoginRefusedOther = 12223;  // login refused for another reason
inline constexpr int ConnectionClosed = 12256;   // lost (the window tests it like 12207)
inline constexpr int NoMoreEntries = 12263;      // the listing is read to its end
inline constexpr int NoMoreEntriesOther = 12269; // (also "no more entries" for callers)
inline constexpr int LocalFileError = 12260;     // the local file could not be opened or written
inline constexpr int InvalidName = 123;           // a name holding a line break: nothing was sent
}  // namespace ftp_result

// True for the three results that mean the connection is gone.
inline bool IsConnectionLost(int result)
{
    return result == ftp_result::ConnectionLost || result == ftp_result::ConnectionAborted ||
           result == ftp_result::ConnectionClosed;
}

// True for a name holding a CR or LF. Sent in a command, the break would end that command and
// start another one with the rest of the name: the control refuses such names before sending.
inline bool HoldsLineBreak(const QString& name)
{
    return name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'));
}

namespace ftp_type {
inline constexpr int Ascii = 0;
inline constexpr int Binary = 2;
}  // namespace ftp_type

// One line of a remote directory listing.
struct FtpEntry {
    QString name;
    int64_t size = 0;
    // UTC; invalid when the server sent no time. LIST lines carry no zone: their times are
    // taken as UTC, which is what Unix servers show by default.
    QDateTime modified;
    bool isDirectory = false;
};

// The listing parsers, open for tests: MLSD lines ("type=file;size=3;modify=...; name"), Unix
// LIST lines ("-rw-r--r-- 1 u g 3 Dec  8 09:05 name") and DOS LIST lines
// ("12-08-26  09:05AM  <DIR>  name"). False for a line that is none of them (totals, ".", "..").
bool ParseMlsdLine(const QString& line, FtpEntry& entry);
bool ParseListLine(const QString& line, FtpEntry& entry, const QDate& today = QDate::currentDate());
// The entries of a whole listing (MLSD or LIST lines) as the server sent it. Lines end with CR
// LF, or with LF alone where most lines do; a bare CR or LF is part of a name, kept whole
// rather than cut into pieces that could name other files. Empty lines are passed over. A name
// listed twice (a piece of a name that held the line end) is listed once.
std::vector<FtpEntry> ParseListing(const QByteArray& data, bool mlsd,
                                   const QDate& today = QDate::currentDate());

class FtpControl : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultPort = 21;
    static constexpr int DefaultTimeoutSeconds = 30;

    explicit FtpControl(QObject* parent = nullptr);
    ~FtpControl() override;

    // Connection properties, read by the next Connect.
    QString Host() const { return host_; }
    void setHost(const QString& host) { host_ = host; }
    int Port() const { return port_; }
    void setPort(int port) { port_ = port; }
    bool PortGiven() const { return portGiven_; }  // set by the window when the host named a port
    void setPortGiven(bool given) { portGiven_ = given; }
    QString UserName() const { return user_; }
    void setUserName(const QString& user) { user_ = user; }
    QString Password() const { return password_; }
    void setPassword(const QString& password) { password_ = password; }
    int Timeout() const { return timeoutSeconds_; }  // seconds for connecting and each reply
    void setTimeout(int seconds) { timeoutSeconds_ = seconds; }
    bool LoginOnConnect() const { return loginOnConnect_; }  // the window sets it; Connect logs in
    void setLoginOnConnect(bool login) { loginOnConnect_ = login; }
    bool Passive() const { return passive_; }  // false: active mode (PORT)
    void setPassive(bool passive) { passive_ = passive; }
    bool Secure() const { return secure_; }  // TLS required on control and data connections
    void setSecure(bool secure) { secure_ = secure; }
    int SecureNumber() const { return secureNumber_; }  // 0 when not secure
    void setSecureNumber(int number) { secureNumber_ = number; }

    // Logs in and reads the start directory: 0, LoginRefused, or another failure. On a live
    // connection it only probes: 0 alive, ConnectionLost when the server has closed it.
    int Connect();
    bool Connected() const { return connected_; }
    int Disconnect();  // 0, also when not connected
    QString LastErrorText() const { return lastErrorText_; }
    // The server's reply code to the last command (e.g. 550 for a refused rename); 0 before any.
    int LastReplyCode() const { return lastReplyCode_; }

    // The tracked remote directory, as the server reports it ("/" at the root).
    QString CurrentDirectory() const { return currentDirectory_; }
    // Absolute, relative or ".."; the server resolves it. 0, AccessDenied (refused or missing),
    // or a lost-connection code.
    int ChangeDirectory(const QString& path);

    // Fetches the whole listing of `path` (empty: the current directory) at once.
    int OpenListing(const QString& path);
    // 0 with the next entry; NoMoreEntries at the end (also without an open listing).
    int ReadNextEntry(FtpEntry& entry);
    void CloseListing();

    int TransferType() const { return transferType_; }  // ftp_type::Ascii or Binary
    void setTransferType(int type) { transferType_ = type; }
    // Get appends to an existing local file instead of replacing it.
    bool LocalAppend() const { return localAppend_; }
    void setLocalAppend(bool append) { localAppend_ = append; }

    // Remote paths are absolute or relative to CurrentDirectory(). A failed Get leaves the
    // local file as it was (absent, or its old content).
    int Get(const QString& localPath, const QString& remotePath);
    int Put(const QString& localPath, const QString& remotePath);
    int64_t BytesTransferred() const { return bytesTransferred_; }  // of the last Get or Put
    // Bytes per second of the transfer under way (or the last one).
    int64_t TransferRate() const { return transferRate_; }

    // 0, or ExtendedError with LastReplyCode() >= 300 when the server refused; a refusal keeps
    // the connection.
    int Delete(const QString& name);
    int Rename(const QString& oldName, const QString& newName);

    // Called at most every ~50 ms while a call blocks, so the caller can run window events.
    void setEventHook(std::function<void()> hook) { eventHook_ = std::move(hook); }
    // Ends the call under way (from the event hook or a Progress handler) with Cancelled.
    void Cancel() { cancelRequested_ = true; }
    bool Busy() const { return busy_; }

signals:
    // During Get and Put, at most every ~50 ms and once at the end: bytes moved, bytes in all
    // (0 when unknown), bytes per second, percentage 0 to 100.
    void Progress(qint64 done, qint64 total, qint64 rate, int percent);

private:
    struct Request;
    int Perform(Request& request);
    int Begin();
    int CheckAlive();
    int Lost(const QString& text);
    QString AbsolutePath(const QString& path) const;
    QByteArray Url(const QString& absolutePath, bool directory) const;
    void ApplyConnectionOptions();
    void ResetHandle();
    int Fail(int code, const QString& text);
    int RefuseName();
    friend struct FtpCurlCallbacks;

    void* curl_ = nullptr;   // CURL*
    void* multi_ = nullptr;  // CURLM*, which runs the transfers and keeps the connection
    QString host_;
    int port_ = DefaultPort;
    bool portGiven_ = false;
    QString user_;
    QString password_;
    int timeoutSeconds_ = DefaultTimeoutSeconds;
    bool loginOnConnect_ = true;
    bool passive_ = true;
    bool secure_ = false;
    int secureNumber_ = 0;

    bool connected_ = false;
    bool socketMayBeGone_ = false;  // libcurl may have closed its connection after a failure
    bool listingByList_ = false;    // the server refused MLSD: list with LIST
    QString currentDirectory_;
    QString lastErrorText_;
    int lastReplyCode_ = 0;

    std::vector<FtpEntry> listing_;
    size_t listingNext_ = 0;

    int transferType_ = ftp_type::Binary;
    bool localAppend_ = false;
    int64_t bytesTransferred_ = 0;
    int64_t transferRate_ = 0;

    std::function<void()> eventHook_;
    bool cancelRequested_ = false;
    bool busy_ = false;
};

}  // namespace quillon::platform
