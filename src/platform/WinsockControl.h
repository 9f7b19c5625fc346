#pragma once
// A TCP socket control with the Winsock control's states, properties, methods and events, over
// QTcpServer and QTcpSocket. One control is either a listener that turns into the connection it
// accepts, or a client that connects. Everything runs on the caller's thread, driven by the event
// loop; no method waits. Methods that fail return false and leave the reason in LastError and
// LastErrorDescription; failures found later on the wire are reported by the Error event.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <map>
#include <string>

class QHostInfo;
class QTcpServer;
class QTcpSocket;

namespace quillon::platform {

// The control's states, as State() answers them. 1 and 3 are never entered: a reported request
// leaves the control listening until it is accepted.
namespace winsock_state {
inline constexpr int Closed = 0;
inline constexpr int Open = 1;
inline constexpr int Listening = 2;
inline constexpr int ConnectionPending = 3;
inline constexpr int ResolvingHost = 4;
inline constexpr int HostResolved = 5;
inline constexpr int Connecting = 6;
inline constexpr int Connected = 7;
inline constexpr int PeerClosing = 8;  // the peer closed; Close() brings the control back to 0
inline constexpr int Error = 9;        // after an Error event; Close() brings it back to 0
}  // namespace winsock_state

// Error numbers, as Winsock numbers them.
namespace winsock_error {
inline constexpr int AccessDenied = 10013;
inline constexpr int InvalidArgument = 10022;
inline constexpr int AddressInUse = 10048;
inline constexpr int AddressNotAvailable = 10049;
inline constexpr int NetworkUnreachable = 10051;
inline constexpr int ConnectionAborted = 10053;
inline constexpr int ConnectionReset = 10054;
inline constexpr int NoBufferSpace = 10055;
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int HostNotFound = 11001;
inline constexpr int SocketFailure = 10004;     // anything the socket layer does not name
inline constexpr int WrongState = 40006;        // sending while not connected
inline constexpr int InvalidOperation = 40020;  // a method called in a state that forbids it
}  // namespace winsock_error

// The name the TCP/IP panel shows for a state; "Unknown" outside 0 to 9.
QString WinsockStateName(int state);
// The description that goes with an error number; empty for numbers not listed above.
QString WinsockErrorDescription(int number);

class WinsockControl : public QObject {
    Q_OBJECT
public:
    static constexpr int TcpProtocol = 0;

    explicit WinsockControl(QObject* parent = nullptr);
    ~WinsockControl() override;

    int State() const { return state_; }
    int Protocol() const { return TcpProtocol; }  // TCP only

    // The port Listen binds; 0 lets the system choose, and Listen then stores the chosen one.
    int LocalPort() const { return localPort_; }
    void setLocalPort(int port) { localPort_ = port; }
    // The address Listen binds; empty (the default) listens on every interface.
    QString ListenAddress() const { return listenAddress_; }
    void setListenAddress(const QString& address) { listenAddress_ = address; }
    // This end's address: the connection's own address while connected, otherwise the bound
    // listen address or this machine's first non-loopback IPv4 address.
    QString LocalIP() const;
    QString LocalHostName() const;

    // The peer. Connect uses RemoteHost and RemotePort; an accepted connection sets RemoteHostIP
    // and RemotePort at once and RemoteHost when the reverse lookup of the address answers.
    QString RemoteHost() const { return remoteHost_; }
    void setRemoteHost(const QString& host) { remoteHost_ = host; }
    QString RemoteHostIP() const { return remoteHostIP_; }
    int RemotePort() const { return remotePort_; }
    void setRemotePort(int port) { remotePort_ = port; }

    // Bytes received and not yet taken by GetData.
    int BytesReceived() const;
    // Connection requests reported and neither accepted nor gone.
    int PendingRequests() const { return static_cast<int>(requests_.size()); }

    int LastError() const { return lastError_; }
    QString LastErrorDescription() const { return lastErrorDescription_; }

    // Listens on ListenAddress:LocalPort; only from state 0. A port in use fails with 10048.
    bool Listen();
    // Takes a reported connection request from state 0 or 2; the control becomes that
    // connection (state 7) and its listener keeps reporting new requests, so the owner can Close
    // and Accept a newer client. Requests reported before a Close() stay acceptable until the
    // event loop runs again, which lets an owner Close then Accept inside its handler.
    bool Accept(int requestId);
    // Connects to RemoteHost:RemotePort (or the given ones, which are stored); only from state 0.
    // The outcome comes as the Connected or the Error event.
    bool Connect();
    bool Connect(const QString& host, int port);
    // Queues bytes exactly as given; only while connected (else 40006).
    bool SendData(const QByteArray& data);
    bool SendData(const std::string& data);
    // Takes every byte waiting.
    void GetData(std::string& data);
    // Takes the bytes waiting, at most `maxBytes` of them; the rest stays for the next call.
    void GetData(std::string& data, qint64 maxBytes);
    QByteArray GetData();
    // Back to state 0: the connection is closed after what was sent has gone out, listening
    // stops, requests not accepted are dropped. Never emits the Close event.
    void Close();

    // The events. Close and Connect are methods here, so their events are PeerClosed and Connected.
signals:
    void ConnectionRequest(int requestId);
    void DataArrival(int bytesTotal);
    void PeerClosed();  // the Close event: the peer closed the connection (state 8)
    void Error(int number, const QString& description);  // state 9
    void Connected();                                    // the Connect event of a client
    void SendProgress(int bytesSent, int bytesRemaining);
    void SendComplete();

private slots:
    void onPeerNameFound(const QHostInfo& info);

private:
    void onNewConnection();
    void onAcceptError();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void onBytesWritten(qint64 bytes);
    void finishClose();
    void attach(QTcpSocket* socket);
    void releaseConnection();
    void dropRequests();
    void dropRequest(int requestId);
    bool fail(int number, const QString& description = {});

    QTcpServer* server_;
    QTcpSocket* conn_ = nullptr;
    std::map<int, QPointer<QTcpSocket>> requests_;  // reported, not yet accepted
    int nextRequestId_ = 1;
    bool listenerClosing_ = false;  // Close() was called; the listener stops at the next turn
    QHostAddress listenedOn_;
    uint64_t connGeneration_ = 0;  // tells queued work which connection it was meant for
    qint64 bytesSent_ = 0;
    bool sendAtOnce_ = false;  // an accepted connection writes each send at once
    int lookupId_ = -1;  // reverse lookup of an accepted peer's address

    int state_ = winsock_state::Closed;
    int localPort_ = 0;
    QString listenAddress_;
    QString remoteHost_;
    QString remoteHostIP_;
    int remotePort_ = 0;
    int lastError_ = 0;
    QString lastErrorDescription_;
};

}  // namespace quillon::platform
