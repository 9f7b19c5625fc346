#include "platform/WinsockControl.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <array>
#include <climits>
#include <utility>

namespace quillon::platform {

namespace {

namespace st = winsock_state;
namespace err = winsock_error;

// How long a closed connection may take to send what was queued before it is cut.
constexpr int kLingerMs = 30000;

int ClampToInt(qint64 n)
{
    return static_cast<int>(std::min<qint64>(n, INT_MAX));
}

// A client reaching a dual-stack listener shows as ::ffff:a.b.c.d; callers want a.b.c.d.
QString AddressText(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

int ErrorNumber(QAbstractSocket::SocketError error, const QString& text)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return err::ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return err::ConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return err::HostNotFound;
    case QAbstractSocket::SocketAccessError:
        return err::AccessDenied;
    case QAbstractSocket::SocketResourceError:
        return err::NoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return err::TimedOut;
    case QAbstractSocket::AddressInUseError:
        return err::AddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return err::AddressNotAvailable;
    case QAbstractSocket::NetworkError:
        // Qt folds timeouts, unreachable networks and broken connections into one code.
        if (text.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) {
            return err::TimedOut;
        }
        if (text.contains(QLatin1String("unreachable"), Qt::CaseInsensitive)) {
            return err::NetworkUnreachable;
        }
        return err::ConnectionAborted;
    default:
        return err::SocketFailure;
    }
}

}  // namespace

QString WinsockStateName(int state)
{
    static const std::array<const char*, 10> names = {
        "Closed",        "Open",       "Listening", "Connection pending", "Resolving host",
        "Host resolved", "Connecting", "Connected", "Peer closing",       "Error"};
    if (state < 0 || state >= static_cast<int>(names.size())) {
        return QStringLiteral("Unknown");
    }
    return QString::fromLatin1(names[static_cast<size_t>(state)]);
}

QString WinsockErrorDescription(int number)
{
    switch (number) {
    case err::AccessDenied:
        return QStringLiteral("Permission denied");
    case err::InvalidArgument:
        return QStringLiteral("Invalid argument");
    case err::AddressInUse:
        return QStringLiteral("Address in use");
    case err::AddressNotAvailable:
        return QStringLiteral("Address not available from the local machine");
    case err::NetworkUnreachable:
        return QStringLiteral("Network is unreachable");
    case err::ConnectionAborted:
        return QStringLiteral("Connection is aborted due to timeout or other failure");
    case err::ConnectionReset:
        return QStringLiteral("The connection is reset by remote side");
    case err::NoBufferSpace:
        return QStringLiteral("No buffer space is available");
    case err::TimedOut:
        return QStringLiteral("Connection is timed out");
    case err::ConnectionRefused:
        return QStringLiteral("Connection is forcefully rejected");
    case err::HostNotFound:
        return QStringLiteral("Authoritative answer: Host not found");
    case err::SocketFailure:
        return QStringLiteral("Socket failure");
    case err::WrongState:
        return QStringLiteral(
            "Wrong protocol or connection state for the requested transaction or request");
    case err::InvalidOperation:
        return QStringLiteral("Invalid operation at current state");
    default:
        return {};
    }
}

WinsockControl::WinsockControl(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &WinsockControl::onNewConnection);
    connect(server_, &QTcpServer::acceptError, this, &WinsockControl::onAcceptError);
}

WinsockControl::~WinsockControl()
{
    // The sockets are our children; keep their last signals from reaching a half-gone object.
    server_->disconnect(this);
    if (conn_ != nullptr) {
        conn_->disconnect(this);
    }
    for (auto& [id, socket] : requests_) {
        if (socket) {
            socket->disconnect(this);
        }
    }
}

QString WinsockControl::LocalIP() const
{
    if (conn_ != nullptr && conn_->state() == QAbstractSocket::ConnectedState) {
        return AddressText(conn_->localAddress());
    }
    const QHostAddress bound(listenAddress_);
    if (!bound.isNull() && bound != QHostAddress::Any && bound != QHostAddress::AnyIPv4
        && bound != QHostAddress::AnyIPv6) {
        return AddressText(bound);
    }
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) {
            return a.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

QString WinsockControl::LocalHostName() const
{
    return QHostInfo::localHostName();
}

int WinsockControl::BytesReceived() const
{
    return conn_ != nullptr ? ClampToInt(conn_->bytesAvailable()) : 0;
}

bool WinsockControl::fail(int number, const QString& description)
{
    lastError_ = number;
    lastErrorDescription_ = description.isEmpty() ? WinsockErrorDescription(number) : description;
    return false;
}

bool WinsockControl::Listen()
{
    if (state_ != st::Closed) {
        return fail(err::InvalidOperation);
    }
    const QHostAddress address =
        listenAddress_.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(listenAddress_);
    if (address.isNull()) {
        return fail(err::AddressNotAvailable);
    }
    if (localPort_ < 0 || localPort_ > 65535) {
        return fail(err::InvalidArgument);
    }
    if (server_->isListening()) {
        // Close() then Listen() on the same place within one handler keeps the listener, so the
        // requests it already reported can still be accepted.
        if (listenerClosing_ && address == listenedOn_ && localPort_ == server_->serverPort()) {
            listenerClosing_ = false;
            state_ = st::Listening;
            return true;
        }
        server_->close();
        dropRequests();
    }
    listenerClosing_ = false;
    if (!server_->listen(address, static_cast<quint16>(localPort_))) {
        const int number = ErrorNumber(server_->serverError(), server_->errorString());
        return fail(number, number == err::SocketFailure ? server_->errorString() : QString());
    }
    listenedOn_ = address;
    localPort_ = server_->serverPort();
    state_ = st::Listening;
    return true;
}

void WinsockControl::onNewConnection()
{
    std::vector<int> fresh;
    while (server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        if (socket == nullptr) {
            break;
        }
        if (listenerClosing_) {  // arrived after Close(): as good as refused
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const int id = nextRequestId_++;
        socket->setParent(this);
        requests_[id] = socket;
        // A client that leaves before it is accepted just disappears.
        connect(socket, &QAbstractSocket::disconnected, this, [this, id] { dropRequest(id); });
        fresh.push_back(id);
    }
    for (const int id : fresh) {
        // A handler may Close() (stop) or accept an earlier request; report only what still waits.
        if (listenerClosing_) {
            break;
        }
        if (requests_.count(id) != 0) {
            emit ConnectionRequest(id);
        }
    }
}

void WinsockControl::onAcceptError()
{
    const int number = ErrorNumber(server_->serverError(), server_->errorString());
    lastError_ = number;
    lastErrorDescription_ =
        number == err::SocketFailure ? server_->errorString() : WinsockErrorDescription(number);
    emit Error(lastError_, lastErrorDescription_);
}

void WinsockControl::dropRequest(int requestId)
{
    const auto it = requests_.find(requestId);
    if (it == requests_.end()) {
        return;
    }
    QPointer<QTcpSocket> socket = it->second;
    requests_.erase(it);
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void WinsockControl::dropRequests()
{
    while (!requests_.empty()) {
        dropRequest(requests_.begin()->first);
    }
}

bool WinsockControl::Accept(int requestId)
{
    if (state_ != st::Closed && state_ != st::Listening) {
        return fail(err::InvalidOperation);
    }
    const auto it = requests_.find(requestId);
    if (it == requests_.end() || !it->second) {
        if (it != requests_.end()) {
            requests_.erase(it);
        }
        return fail(err::InvalidArgument);
    }
    QTcpSocket* socket = it->second;
    requests_.erase(it);
    socket->disconnect(this);
    listenerClosing_ = false;  // the listener keeps reporting while the connection lasts
    // Replies are small and go out one at a time; waiting to join them costs a round trip.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    attach(socket);
    sendAtOnce_ = true;

    remoteHost_.clear();
    remoteHostIP_ = AddressText(socket->peerAddress());
    remotePort_ = socket->peerPort();
    state_ = st::Connected;

    const uint64_t generation = connGeneration_;
    lookupId_ = QHostInfo::lookupHost(remoteHostIP_, this, SLOT(onPeerNameFound(QHostInfo)));
    // Bytes (or a close) that came before Accept produced no event for us; report them now,
    // after the caller's handler has returned.
    const bool hasData = socket->bytesAvailable() > 0;
    const bool gone = socket->state() != QAbstractSocket::ConnectedState;
    if (hasData || gone) {
        QTimer::singleShot(0, this, [this, generation, hasData, gone] {
            if (generation != connGeneration_) {
                return;
            }
            if (hasData) {
                onReadyRead();
            }
            if (gone && generation == connGeneration_) {
                onDisconnected();
            }
        });
    }
    return true;
}

bool WinsockControl::Connect(const QString& host, int port)
{
    remoteHost_ = host;
    remotePort_ = port;
    return Connect();
}

bool WinsockControl::Connect()
{
    if (state_ != st::Closed) {
        return fail(err::InvalidOperation);
    }
    if (remoteHost_.trimmed().isEmpty() || remotePort_ <= 0 || remotePort_ > 65535) {
        return fail(err::InvalidArgument);
    }
    auto* socket = new QTcpSocket(this);
    attach(socket);
    remoteHostIP_.clear();
    connect(socket, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState s) {
        if (s == QAbstractSocket::HostLookupState) {
            state_ = st::ResolvingHost;
        } else if (s == QAbstractSocket::ConnectingState) {
            state_ = st::Connecting;
        }
    });
    connect(socket, &QAbstractSocket::hostFound, this, [this] { state_ = st::HostResolved; });
    connect(socket, &QAbstractSocket::connected, this, [this] {
        remoteHostIP_ = AddressText(conn_->peerAddress());
        state_ = st::Connected;
        emit Connected();
    });
    state_ = st::ResolvingHost;
    socket->connectToHost(remoteHost_, static_cast<quint16>(remotePort_));
    return true;
}

void WinsockControl::attach(QTcpSocket* socket)
{
    conn_ = socket;
    sendAtOnce_ = false;
    ++connGeneration_;
    bytesSent_ = 0;
    connect(socket, &QIODevice::readyRead, this, &WinsockControl::onReadyRead);
    connect(socket, &QAbstractSocket::disconnected, this, &WinsockControl::onDisconnected);
    connect(socket, &QAbstractSocket::errorOccurred, this, &WinsockControl::onSocketError);
    connect(socket, &QIODevice::bytesWritten, this, &WinsockControl::onBytesWritten);
}

void WinsockControl::onReadyRead()
{
    if (conn_ != nullptr && conn_->bytesAvailable() > 0) {
        emit DataArrival(ClampToInt(conn_->bytesAvailable()));
    }
}

void WinsockControl::onDisconnected()
{
    // Our own Close() detaches first, so this is always the peer (or the network) closing.
    if (state_ == st::Connected) {
        state_ = st::PeerClosing;
        emit PeerClosed();
    }
}

void WinsockControl::onSocketError()
{
    if (conn_ == nullptr) {
        return;
    }
    const QAbstractSocket::SocketError error = conn_->error();
    // A peer that closes or resets shows as this code; the disconnect that follows is the
    // Close event, as an orderly close would be.
    if (error == QAbstractSocket::RemoteHostClosedError && state_ == st::Connected) {
        return;
    }
    if (state_ == st::Error || state_ == st::PeerClosing || state_ == st::Closed) {
        return;
    }
    const int number = ErrorNumber(error, conn_->errorString());
    lastError_ = number;
    lastErrorDescription_ =
        number == err::SocketFailure ? conn_->errorString() : WinsockErrorDescription(number);
    state_ = st::Error;
    emit Error(lastError_, lastErrorDescription_);
}

void WinsockControl::onBytesWritten(qint64 bytes)
{
    if (conn_ == nullptr) {
        return;
    }
    const uint64_t generation = connGeneration_;
    bytesSent_ += bytes;
    const qint64 remaining = conn_->bytesToWrite();
    emit SendProgress(ClampToInt(bytesSent_), ClampToInt(remaining));
    if (remaining == 0 && generation == connGeneration_) {
        bytesSent_ = 0;
        emit SendComplete();
    }
}

bool WinsockControl::SendData(const QByteArray& data)
{
    if (state_ != st::Connected || conn_ == nullptr) {
        return fail(err::WrongState);
    }
    if (data.isEmpty()) {
        return true;
    }
    if (conn_->write(data) != data.size()) {
        const int number = ErrorNumber(conn_->error(), conn_->errorString());
        return fail(number, number == err::SocketFailure ? conn_->errorString() : QString());
    }
    // An accepted connection's reply leaves now rather than at the next turn of the event loop:
    // the peer is waiting for it before it sends on.
    if (sendAtOnce_) {
        conn_->flush();
    }
    return true;
}

bool WinsockControl::SendData(const std::string& data)
{
    return SendData(QByteArray(data.data(), static_cast<qsizetype>(data.size())));
}

QByteArray WinsockControl::GetData()
{
    return conn_ != nullptr ? conn_->readAll() : QByteArray();
}

void WinsockControl::GetData(std::string& data)
{
    const QByteArray bytes = GetData();
    data.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WinsockControl::GetData(std::string& data, qint64 maxBytes)
{
    const QByteArray bytes = conn_ != nullptr ? conn_->read(maxBytes) : QByteArray();
    data.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Qt 6.4 leaks the functor of a lookup that is aborted or outlives its receiver; a slot named by
// its signature does not.
void WinsockControl::onPeerNameFound(const QHostInfo& info)
{
    if (info.lookupId() != lookupId_) {
        return;
    }
    lookupId_ = -1;
    if (info.error() == QHostInfo::NoError && info.hostName() != remoteHostIP_) {
        remoteHost_ = info.hostName();
    }
}

void WinsockControl::releaseConnection()
{
    if (conn_ == nullptr) {
        return;
    }
    QTcpSocket* socket = std::exchange(conn_, nullptr);
    ++connGeneration_;
    lookupId_ = -1;  // a late answer is for a connection that is gone
    bytesSent_ = 0;
    socket->disconnect(this);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Let what was sent (an acknowledgement, say) reach the peer before the socket goes.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
}

void WinsockControl::Close()
{
    releaseConnection();
    if (server_->isListening()) {
        // Stop at the next turn of the event loop, so that a handler can still Close, then
        // Listen or Accept a request it was just told about.
        listenerClosing_ = true;
        QMetaObject::invokeMethod(this, &WinsockControl::finishClose, Qt::QueuedConnection);
    } else {
        dropRequests();
    }
    state_ = st::Closed;
}

void WinsockControl::finishClose()
{
    if (!listenerClosing_) {
        return;
    }
    listenerClosing_ = false;
    server_->close();
    dropRequests();
}

}  // namespace quillon::platform
