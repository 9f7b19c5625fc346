// The socket control over real sockets on 127.0.0.1: listening and accepting, data both ways byte
// for byte, the peer closing, a newer client replacing the connected one, client connects and
// the failures callers must be told about. Every wait is bounded.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinsockControl.h"

namespace quillon::test {
namespace {

using W = platform::WinsockControl;
namespace state = platform::winsock_state;
namespace err = platform::winsock_error;

const QString kLoopback = QStringLiteral("127.0.0.1");
const auto kByName = [](const auto& info) { return std::string(info.param.name); };

bool WaitFor(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 10000);
}

bool Gone(const QTcpSocket& s)
{
    return s.state() == QAbstractSocket::UnconnectedState;
}

std::unique_ptr<QTcpSocket> ConnectClient(int port)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    EXPECT_TRUE(WaitFor([&] { return client->state() == QAbstractSocket::ConnectedState; }));
    return client;
}

// Every byte value, 0x00 and 0xFF included, in each run of 256.
std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    }
    return s;
}

// Takes what arrives the way the program does: GetData inside DataArrival.
struct Receiver {
    explicit Receiver(W& w)
    {
        QObject::connect(&w, &W::DataArrival, &guard, [this, &w](int bytesTotal) {
            miscounts += bytesTotal != w.BytesReceived() ? 1 : 0;
            std::string part;
            w.GetData(part);
            bytes += part;
            ++arrivals;
        });
    }
    QObject guard;
    std::string bytes;
    int arrivals = 0;
    int miscounts = 0;
};

std::string ReadUntil(QTcpSocket& peer, size_t size)
{
    std::string got;
    WaitFor([&] { return (got += peer.readAll().toStdString()).size() >= size; });
    return got;
}

// A control listening on 127.0.0.1 whose owner accepts as the program does: close whatever is
// open, then accept, optionally listening again in between.
enum class Owner { Manual, CloseAccept, CloseListenAccept };

struct Listener {
    explicit Listener(Owner owner = Owner::CloseAccept, const QString& address = kLoopback)
    {
        control.setListenAddress(address);
        QObject::connect(&control, &W::ConnectionRequest, &guard, [this, owner](int id) {
            requests.push_back(id);
            if (owner == Owner::Manual) {
                return;
            }
            if (control.State() != state::Closed) {
                control.Close();
            }
            EXPECT_TRUE(owner != Owner::CloseListenAccept || control.Listen());
            EXPECT_TRUE(control.Accept(id));
        });
        EXPECT_TRUE(control.Listen());
    }
    W control;
    QObject guard;
    std::vector<int> requests;
};

// The program listens on every interface, where a client on 127.0.0.1 shows as ::ffff:127.0.0.1.
class WinsockAccept : public ::testing::TestWithParam<QString> {};

TEST_P(WinsockAccept, ListensAndAcceptsIntoTheConnection)
{
    Listener l(Owner::Manual, GetParam());
    EXPECT_EQ(l.control.State(), state::Listening);
    const int port = l.control.LocalPort();
    ASSERT_GT(port, 0);

    auto client = ConnectClient(port);
    ASSERT_TRUE(WaitFor([&] { return l.requests.size() == 1; }));
    EXPECT_EQ(l.control.State(), state::Listening);
    EXPECT_EQ(l.control.PendingRequests(), 1);

    ASSERT_TRUE(l.control.Accept(l.requests[0]));
    EXPECT_EQ(l.control.State(), state::Connected);
    EXPECT_EQ(l.control.RemoteHostIP(), kLoopback);
    EXPECT_EQ(l.control.RemotePort(), client->localPort());
    EXPECT_EQ(l.control.LocalPort(), port);
    EXPECT_EQ(l.control.LocalIP(), kLoopback);
    EXPECT_EQ(l.control.PendingRequests(), 0);
    // The peer's name comes from a reverse lookup that answers later (the hosts file's name).
    EXPECT_TRUE(WaitFor([&] { return !l.control.RemoteHost().isEmpty(); }));
}

INSTANTIATE_TEST_SUITE_P(ListenAddresses, WinsockAccept, ::testing::Values(kLoopback, QString()),
                         [](const auto& i) { return i.param.isEmpty() ? "Any" : "Loopback"; });

// The control connected to a plain Qt socket, as the accepted connection or as a client.
enum class Role { Server, Client };

struct Link {
    explicit Link(Role role)
    {
        if (role == Role::Server) {
            listener = std::make_unique<Listener>();
            client = ConnectClient(listener->control.LocalPort());
            EXPECT_TRUE(WaitFor([&] { return control().State() == state::Connected; }));
            peer = client.get();
            return;
        }
        own = std::make_unique<W>();
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QSignalSpy connected(own.get(), &W::Connected);
        EXPECT_TRUE(own->Connect(kLoopback, server.serverPort()));
        EXPECT_TRUE(
            WaitFor([&] { return connected.count() == 1 && server.hasPendingConnections(); }));
        EXPECT_EQ(own->State(), state::Connected);
        EXPECT_EQ(own->RemoteHostIP(), kLoopback);
        EXPECT_EQ(own->RemotePort(), server.serverPort());
        peer = server.nextPendingConnection();
    }
    W& control() { return listener ? listener->control : *own; }

    std::unique_ptr<Listener> listener;
    std::unique_ptr<W> own;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> client;
    QTcpSocket* peer = nullptr;
};

struct TransferCase {
    const char* name;
    Role role;
    size_t size;
    size_t chunk;
    bool lockstep;  // each chunk must arrive before the next is written
};

class WinsockTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(WinsockTransfer, BytesArriveExactlyBothWays)
{
    const TransferCase& c = GetParam();
    const std::string bytes = Pattern(c.size);
    Link link(c.role);
    ASSERT_NE(link.peer, nullptr);
    W& control = link.control();

    Receiver in(control);
    for (size_t at = 0; at < bytes.size(); at += c.chunk) {
        const std::string part = bytes.substr(at, c.chunk);
        link.peer->write(part.data(), static_cast<qint64>(part.size()));
        link.peer->flush();
        if (c.lockstep) {
            ASSERT_TRUE(WaitFor([&] { return in.bytes.size() == at + part.size(); })) << at;
        }
    }
    ASSERT_TRUE(WaitFor([&] { return in.bytes.size() >= bytes.size(); }));
    EXPECT_TRUE(in.bytes == bytes);
    EXPECT_EQ(in.miscounts, 0);
    if (c.lockstep) {
        EXPECT_EQ(static_cast<size_t>(in.arrivals), (bytes.size() + c.chunk - 1) / c.chunk);
    }

    QSignalSpy complete(&control, &W::SendComplete);
    QSignalSpy progress(&control, &W::SendProgress);
    for (size_t at = 0; at < bytes.size(); at += c.chunk) {
        ASSERT_TRUE(control.SendData(bytes.substr(at, c.chunk)));
    }
    EXPECT_TRUE(ReadUntil(*link.peer, bytes.size()) == bytes);
    ASSERT_TRUE(WaitFor([&] { return complete.count() > 0; }));
    ASSERT_GT(progress.count(), 0);
    EXPECT_EQ(progress.last().at(1).toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    RolesAndPayloads, WinsockTransfer,
    ::testing::Values(TransferCase{"ServerAllBytes", Role::Server, 512, 512, false},
                      TransferCase{"ServerSmallChunks", Role::Server, 1400, 7, true},
                      TransferCase{"ServerTwoMegabytes", Role::Server, 2 << 20, 65536, false},
                      TransferCase{"ClientAllBytes", Role::Client, 512, 512, false},
                      TransferCase{"ClientSmallChunks", Role::Client, 1400, 7, true},
                      TransferCase{"ClientTwoMegabytes", Role::Client, 2 << 20, 65536, false}),
    kByName);

class WinsockPeerClose : public ::testing::TestWithParam<Role> {};

TEST_P(WinsockPeerClose, DataFirstThenCloseEventAndPeerClosingState)
{
    Link link(GetParam());
    W& control = link.control();
    Receiver in(control);
    size_t receivedAtClose = 0;
    QObject::connect(&control, &W::PeerClosed, &in.guard,
                     [&] { receivedAtClose = in.bytes.size() + 1; });

    link.peer->write("last words\r");
    link.peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return receivedAtClose != 0; }));
    EXPECT_EQ(in.bytes, "last words\r");
    EXPECT_EQ(receivedAtClose, in.bytes.size() + 1);
    EXPECT_EQ(control.State(), state::PeerClosing);
    EXPECT_FALSE(control.SendData(std::string("late")));
    EXPECT_EQ(control.LastError(), err::WrongState);

    control.Close();
    EXPECT_EQ(control.State(), state::Closed);
    if (GetParam() == Role::Server) {  // the program listens again and serves the next client
        ASSERT_TRUE(control.Listen());
        auto next = ConnectClient(control.LocalPort());
        EXPECT_TRUE(WaitFor([&] { return control.State() == state::Connected; }));
        EXPECT_EQ(control.RemotePort(), next->localPort());
    }
}

INSTANTIATE_TEST_SUITE_P(Roles, WinsockPeerClose, ::testing::Values(Role::Server, Role::Client),
                         [](const auto& i) {
                             return i.param == Role::Server ? "Server" : "Client";
                         });

class WinsockReplace : public ::testing::TestWithParam<Owner> {};

TEST_P(WinsockReplace, NewerClientIsServedAndTheListenerGoesOn)
{
    Listener l(GetParam());
    Receiver in(l.control);
    auto current = ConnectClient(l.control.LocalPort());
    ASSERT_TRUE(WaitFor([&] { return l.control.State() == state::Connected; }));

    for (int round = 0; round < 2; ++round) {
        const size_t before = l.requests.size();
        auto next = ConnectClient(l.control.LocalPort());
        ASSERT_TRUE(WaitFor([&] { return l.requests.size() == before + 1; })) << round;
        EXPECT_EQ(l.control.State(), state::Connected);
        EXPECT_EQ(l.control.RemotePort(), next->localPort());
        EXPECT_TRUE(WaitFor([&] { return Gone(*current); }));

        in.bytes.clear();
        next->write(QByteArray("from the newer one\0!", 20));
        ASSERT_TRUE(WaitFor([&] { return in.bytes.size() >= 20; }));
        EXPECT_EQ(in.bytes, std::string("from the newer one\0!", 20));
        current = std::move(next);
    }
}

INSTANTIATE_TEST_SUITE_P(OwnerSequences, WinsockReplace,
                         ::testing::Values(Owner::CloseAccept, Owner::CloseListenAccept),
                         [](const auto& i) {
                             return i.param == Owner::CloseAccept ? "CloseAccept"
                                                                  : "CloseListenAccept";
                         });

TEST(WinsockServer, ClientLeavingBeforeAcceptIsDroppedAndServingGoesOn)
{
    auto l = std::make_unique<Listener>(Owner::Manual);
    auto gone = ConnectClient(l->control.LocalPort());
    ASSERT_TRUE(WaitFor([&] { return l->requests.size() == 1; }));
    gone->abort();
    ASSERT_TRUE(WaitFor([&] { return l->control.PendingRequests() == 0; }));
    EXPECT_FALSE(l->control.Accept(l->requests[0]));
    EXPECT_EQ(l->control.LastError(), err::InvalidArgument);
    EXPECT_EQ(l->control.State(), state::Listening);

    auto kept = ConnectClient(l->control.LocalPort());
    ASSERT_TRUE(WaitFor([&] { return l->requests.size() == 2; }));
    ASSERT_TRUE(l->control.Accept(l->requests[1]));
    auto waiting = ConnectClient(l->control.LocalPort());  // reported, never accepted
    ASSERT_TRUE(WaitFor([&] { return l->requests.size() == 3; }));
    l.reset();  // going away with a connection and a waiting request
    EXPECT_TRUE(WaitFor([&] { return Gone(*kept) && Gone(*waiting); }));
}

TEST(WinsockServer, CloseStopsListeningAndDropsWaitingRequests)
{
    Listener l(Owner::Manual);
    const int port = l.control.LocalPort();
    auto waiting = ConnectClient(port);
    ASSERT_TRUE(WaitFor([&] { return l.requests.size() == 1; }));

    l.control.Close();
    EXPECT_EQ(l.control.State(), state::Closed);
    EXPECT_TRUE(WaitFor([&] { return Gone(*waiting); }));
    EXPECT_EQ(l.control.PendingRequests(), 0);

    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    EXPECT_TRUE(
        WaitFor([&] { return refused.error() == QAbstractSocket::ConnectionRefusedError; }));
    EXPECT_EQ(l.requests.size(), 1u);
}

TEST(WinsockServer, CloseAfterSendingDeliversEverythingFirst)
{
    Link link(Role::Server);
    const std::string big = Pattern(4 << 20);
    ASSERT_TRUE(link.control().SendData(big));
    link.control().Close();
    EXPECT_EQ(link.control().State(), state::Closed);
    EXPECT_TRUE(ReadUntil(*link.peer, big.size()) == big);
    EXPECT_TRUE(WaitFor([&] { return Gone(*link.peer); }));
}

TEST(WinsockClient, ConnectToClosedPortReportsRefused)
{
    int closedPort = 0;
    {
        QTcpServer probe;  // a port bound a moment ago is unlikely to be taken again at once
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    W control;
    QSignalSpy errors(&control, &W::Error);
    QSignalSpy connected(&control, &W::Connected);
    ASSERT_TRUE(control.Connect(kLoopback, closedPort));
    ASSERT_TRUE(WaitFor([&] { return errors.count() == 1; }));
    EXPECT_EQ(errors.at(0).at(0).toInt(), err::ConnectionRefused);
    EXPECT_FALSE(errors.at(0).at(1).toString().isEmpty());
    EXPECT_EQ(control.State(), state::Error);
    EXPECT_EQ(connected.count(), 0);
    control.Close();
    EXPECT_EQ(control.State(), state::Closed);
}

struct InUseCase {
    const char* name;
    QHostAddress blocker;
    QString listenAddress;
};

class WinsockPortInUse : public ::testing::TestWithParam<InUseCase> {};

TEST_P(WinsockPortInUse, ListenFailsWith10048AndWorksOnceFree)
{
    auto blocker = std::make_unique<QTcpServer>();
    ASSERT_TRUE(blocker->listen(GetParam().blocker, 0));
    W control;
    QSignalSpy errors(&control, &W::Error);
    control.setListenAddress(GetParam().listenAddress);
    control.setLocalPort(blocker->serverPort());
    EXPECT_FALSE(control.Listen());
    EXPECT_EQ(control.LastError(), err::AddressInUse);
    EXPECT_FALSE(control.LastErrorDescription().isEmpty());
    EXPECT_EQ(control.State(), state::Closed);
    EXPECT_EQ(errors.count(), 0);

    blocker.reset();
    EXPECT_TRUE(control.Listen());
    EXPECT_EQ(control.State(), state::Listening);
}

INSTANTIATE_TEST_SUITE_P(
    Binds, WinsockPortInUse,
    ::testing::Values(InUseCase{"SameAddress", QHostAddress::LocalHost, kLoopback},
                      InUseCase{"LoopbackHeldAnyWanted", QHostAddress::LocalHost, QString()},
                      InUseCase{"AnyHeldLoopbackWanted", QHostAddress::AnyIPv4, kLoopback}),
    kByName);

struct MisuseCase {
    const char* name;
    bool listening;
    std::function<bool(W&)> call;
    int error;
};

class WinsockMisuse : public ::testing::TestWithParam<MisuseCase> {};

TEST_P(WinsockMisuse, RefusedWithTheReasonAndTheStateKept)
{
    W control;
    control.setListenAddress(kLoopback);
    ASSERT_TRUE(!GetParam().listening || control.Listen());
    const int before = control.State();
    EXPECT_FALSE(GetParam().call(control));
    EXPECT_EQ(control.LastError(), GetParam().error);
    EXPECT_EQ(control.State(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, WinsockMisuse,
    ::testing::Values(
        MisuseCase{"SendWhileClosed", false, [](W& w) { return w.SendData(QByteArray("x")); },
                   err::WrongState},
        MisuseCase{"ListenTwice", true, [](W& w) { return w.Listen(); }, err::InvalidOperation},
        MisuseCase{"ConnectWhileListening", true, [](W& w) { return w.Connect(kLoopback, 1); },
                   err::InvalidOperation},
        MisuseCase{"AcceptUnknownRequest", true, [](W& w) { return w.Accept(77); },
                   err::InvalidArgument},
        MisuseCase{"ConnectWithoutHost", false, [](W& w) { return w.Connect(QString(), 2575); },
                   err::InvalidArgument},
        MisuseCase{"ListenOnNoAddress", false,
                   [](W& w) {
                       w.setListenAddress(QStringLiteral("not-an-address"));
                       return w.Listen();
                   },
                   err::AddressNotAvailable}),
    kByName);

}  // namespace
}  // namespace quillon::test
