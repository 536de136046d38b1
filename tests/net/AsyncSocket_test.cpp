#include "net/AsyncSocket.h"

#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <QTcpServer>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <tuple>

namespace zarvello {
namespace {

using test::LoopbackServer;

// The socket's events in the order they came.
struct EventLog
{
    EventLog(TAsyncSocket& socket, const QString& host, quint16 port)
    {
        socket.setAddr(host);
        socket.setPort(QString::number(port));
        socket.setOnSessionConnected([this](TAsyncSocket*, std::uint16_t error) {
            events << QString("connected:%1").arg(error);
        });
        socket.setOnSessionClosed([this](TAsyncSocket*, std::uint16_t error) {
            events << QString("closed:%1").arg(error);
        });
        socket.setOnDataAvailable([this](TAsyncSocket*, std::uint16_t) { events << "data"; });
        socket.setOnError([this](TAsyncSocket*) { events << "error"; });
    }
    QStringList events;
};

TEST(AsyncSocket, ConnectsByNameSendsAndReceivesThroughEvents)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.2:example.org");
    TAsyncSocket socket;
    // "localhost" may resolve to ::1 first while the server is on 127.0.0.1 only.
    EventLog log(socket, "localhost", server.port());
    socket.Connect();
    EXPECT_TRUE(log.events.isEmpty()) << "no event before Connect returns";
    EXPECT_EQ(socket.State(), wsDnsLookup);
    ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); })) << "never connected";
    EXPECT_EQ(log.events, QStringList{"connected:0"});
    EXPECT_EQ(socket.State(), wsConnected);

    EXPECT_EQ(socket.SendStr("Zarvello"), 8);
    ASSERT_TRUE(waitUntil([&] { return socket.BytesAvailable() == 15; }));
    EXPECT_EQ(log.events, (QStringList{"connected:0", "data"}));
    EXPECT_EQ(server.received(), "Zarvello");
    EXPECT_EQ(socket.ReceiveStr(), "2.2:example.org");
    EXPECT_EQ(socket.ReceiveStr(), "");
}

TEST(AsyncSocket, EveryAttemptEndsInExactlyItsEventsAfterConnectReturns)
{
    using B = LoopbackServer::Behaviour;
    const QString local = "127.0.0.1";
    // Too long a label for a DNS query, so no query leaves the machine.
    const QString unresolvable = QString(70, u'x') + ".invalid";
    const QString refused = QString::number(test::unusedLoopbackPort());
    const QString refusedEvent = QString("connected:%1").arg(ECONNREFUSED);
    // {what, server, host, port (empty: the server's), protocol, Connect calls, events, state}
    // clang-format off
    const std::vector<std::tuple<const char*, std::optional<B>, QString, QString, QString, int, QStringList, TSocketState>> rows{
        {"refused", std::nullopt, local, refused, "tcp", 1, {refusedEvent}, wsClosed},
        {"connect while busy", B::Silent, local, "", "tcp", 2, {"error", "connected:0"}, wsConnected},
        {"peer closes", B::CloseAtOnce, local, "", "tcp", 1, {"connected:0", "closed:0"}, wsClosed},
        {"unresolvable name", std::nullopt, unresolvable, "2645", "tcp", 1, {"error"}, wsClosed},
        {"port 0", std::nullopt, local, "0", "tcp", 1, {"error"}, wsClosed},
        {"port out of range", std::nullopt, local, "65536", "tcp", 1, {"error"}, wsClosed},
        {"port not a number", std::nullopt, local, "http", "tcp", 1, {"error"}, wsClosed},
        {"protocol other than tcp", std::nullopt, local, "2645", "udp", 1, {"error"}, wsClosed},
    };
    // clang-format on
    for (const auto& [what, behaviour, host, port, proto, connects, events, state] : rows) {
        SCOPED_TRACE(what);
        const auto server = behaviour ? std::make_unique<LoopbackServer>(*behaviour) : nullptr;
        TAsyncSocket socket;
        EventLog log(socket, host, server ? server->port() : 0);
        socket.setPort(port.isEmpty() ? QString::number(server->port()) : port);
        socket.setProto(proto);
        for (int i = 0; i < connects; ++i) {
            socket.Connect();
        }
        EXPECT_TRUE(log.events.isEmpty());
        ASSERT_TRUE(waitUntil([&] { return log.events.size() >= events.size(); }, 20000));
        EXPECT_EQ(log.events, events);
        EXPECT_EQ(socket.State(), state);
        EXPECT_EQ(server ? server->connections() : 1, 1);
    }
}

// Keeps the accepted connection as a bare descriptor, to see exactly how the client ended it.
struct RawServer : QTcpServer
{
    ~RawServer() override
    {
        if (fd) {
            ::close(*fd);
        }
    }
    void incomingConnection(qintptr descriptor) override { fd = static_cast<int>(descriptor); }
    std::optional<int> fd;
};

TEST(AsyncSocket, ClosingResetsTheConnectionOnlyWithLingerZero)
{
    for (const bool lingerOn : {true, false}) {
        SCOPED_TRACE(lingerOn ? "linger on, 0 s" : "linger off");
        RawServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        TAsyncSocket socket;
        EventLog log(socket, "127.0.0.1", server.serverPort());
        socket.setLingerOnOff(lingerOn);
        socket.setLingerTimeout(0);
        socket.Connect();
        ASSERT_TRUE(waitUntil([&] { return server.fd && !log.events.isEmpty(); }));
        socket.Close();
        EXPECT_EQ(socket.State(), wsClosed);
        ssize_t got = 0;
        int error = 0;
        ASSERT_TRUE(waitUntil([&] {
            char byte = 0;
            got = ::recv(*server.fd, &byte, 1, MSG_DONTWAIT);
            error = errno;
            return got >= 0 || (error != EAGAIN && error != EWOULDBLOCK);
        }));
        // A reset, or an orderly end of stream.
        const std::pair<ssize_t, int> reset(-1, ECONNRESET);
        const std::pair<ssize_t, int> endOfStream(0, 0);
        EXPECT_EQ(std::pair(got, got < 0 ? error : 0), lingerOn ? reset : endOfStream);
        EXPECT_EQ(log.events, QStringList{"connected:0"}) << "closing raises no event";
    }
}

TEST(AsyncSocket, ReadBufferSizeBoundsWhatIsHeldWithoutLosingData)
{
    QByteArray payload(64 * 1024, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<char>('a' + i % 23);
    }
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, payload, 1);
    TAsyncSocket socket;
    EventLog log(socket, "127.0.0.1", server.port());
    socket.setReadBufferSize(4096);
    QByteArray got;
    qint64 mostHeld = 0;
    socket.setOnSessionConnected([](TAsyncSocket* sender, std::uint16_t) { sender->SendStr("?"); });
    socket.setOnDataAvailable([&](TAsyncSocket* sender, std::uint16_t) {
        mostHeld = std::max(mostHeld, sender->BytesAvailable());
        got += sender->ReceiveStr(1000); // less than is waiting: the rest must come again
    });
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return got.size() >= payload.size(); }, 20000)) << got.size();
    EXPECT_EQ(got, payload);
    EXPECT_LE(mostHeld, 4096);
}

TEST(AsyncSocket, HandlersMayDestroyTheSocket)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.2:x", 1);
    for (const bool inDataEvent : {false, true}) {
        SCOPED_TRACE(inDataEvent ? "in OnDataAvailable" : "in OnSessionConnected");
        auto socket = std::make_unique<TAsyncSocket>();
        EventLog log(*socket, "127.0.0.1", server.port());
        socket->setOnSessionConnected([&](TAsyncSocket* sender, std::uint16_t) {
            inDataEvent ? (void)sender->SendStr("?") : socket.reset();
        });
        socket->setOnDataAvailable([&](TAsyncSocket*, std::uint16_t) { socket.reset(); });
        socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return socket == nullptr; }));
    }
    auto socket = std::make_unique<TAsyncSocket>();
    socket->setOnError([&](TAsyncSocket*) { socket.reset(); });
    EXPECT_EQ(socket->SendStr("?"), -1);
    EXPECT_EQ(socket, nullptr) << "in OnError raised by SendStr";
    // Whatever the destroyed sockets left queued must come to nothing.
    ASSERT_TRUE(waitUntil([&] { return server.connections() == 2; }));
    QCoreApplication::processEvents();
}

} // namespace
} // namespace zarvello
