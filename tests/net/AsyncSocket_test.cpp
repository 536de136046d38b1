#include "net/AsyncSocket.h"

#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>

namespace zarvello {
namespace {

using test::LoopbackServer;

// The socket's events in the order they came.
struct EventLog
{
    explicit EventLog(TAsyncSocket& socket)
    {
        socket.setOnSessionConnected([this](TAsyncSocket*, std::uint16_t error) {
            events << QStringLiteral("connected:%1").arg(error);
        });
        socket.setOnSessionClosed([this](TAsyncSocket*, std::uint16_t error) {
            events << QStringLiteral("closed:%1").arg(error);
        });
        socket.setOnDataAvailable(
            [this](TAsyncSocket*, std::uint16_t) { events << QStringLiteral("data"); });
        socket.setOnError([this](TAsyncSocket*) { events << QStringLiteral("error"); });
    }
    QStringList events;
};

void aimAt(TAsyncSocket& socket, const QString& host, quint16 port)
{
    socket.setAddr(host);
    socket.setPort(QString::number(port));
}

TEST(AsyncSocket, ConnectsByNameSendsAndReceivesThroughEvents)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.2:example.org");
    TAsyncSocket socket;
    EventLog log(socket);
    // "localhost" may resolve to ::1 first while the server is on 127.0.0.1 only.
    aimAt(socket, QStringLiteral("localhost"), server.port());

    socket.Connect();
    EXPECT_TRUE(log.events.isEmpty()) << "no event before Connect returns";
    EXPECT_EQ(socket.State(), wsDnsLookup);

    ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); })) << "never connected";
    EXPECT_EQ(log.events, QStringList{"connected:0"});
    EXPECT_EQ(socket.State(), wsConnected);

    EXPECT_EQ(socket.SendStr("Zarvello"), 8);
    ASSERT_TRUE(waitUntil([&] { return log.events.size() == 2; }));
    EXPECT_EQ(log.events.last(), "data");
    EXPECT_EQ(server.received(), "Zarvello");
    ASSERT_TRUE(waitUntil([&] { return socket.BytesAvailable() == 15; }));
    EXPECT_EQ(socket.ReceiveStr(), "2.2:example.org");
    EXPECT_EQ(socket.ReceiveStr(), "") << "nothing left to read";
}

TEST(AsyncSocket, RefusedAttemptEndsTheSessionAndALaterSendFails)
{
    TAsyncSocket socket;
    EventLog log(socket);
    aimAt(socket, QStringLiteral("127.0.0.1"), test::unusedLoopbackPort());

    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); }));
    EXPECT_EQ(log.events, QStringList{QStringLiteral("connected:%1").arg(ECONNREFUSED)});
    EXPECT_EQ(socket.State(), wsClosed);

    EXPECT_EQ(socket.SendStr("Zarvello"), -1);
    EXPECT_EQ(log.events.last(), "error") << "a failed send raises OnError at once";
}

TEST(AsyncSocket, FailuresBeforeConnectingRaiseOnlyOnError)
{
    struct Case
    {
        const char* what;
        QString host;
        QString port;
        QString proto;
    };
    // The long label cannot be put into a DNS query, so no query leaves the machine.
    const QString unresolvable = QString(70, u'x') + QStringLiteral(".invalid");
    const Case cases[] = {
        {"unresolvable name", unresolvable, "2645", "tcp"},
        {"port 0", "127.0.0.1", "0", "tcp"},
        {"port out of range", "127.0.0.1", "65536", "tcp"},
        {"port not a number", "127.0.0.1", "http", "tcp"},
        {"protocol other than tcp", "127.0.0.1", "2645", "udp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TAsyncSocket socket;
        EventLog log(socket);
        socket.setAddr(c.host);
        socket.setPort(c.port);
        socket.setProto(c.proto);

        socket.Connect();
        EXPECT_TRUE(log.events.isEmpty()) << "no event before Connect returns";
        ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); }, 20000));
        EXPECT_EQ(log.events, QStringList{"error"});
        EXPECT_EQ(socket.State(), wsClosed);
    }
}

TEST(AsyncSocket, ConnectWhileBusyFailsWithoutDisturbingTheAttempt)
{
    LoopbackServer server(LoopbackServer::Behaviour::Silent);
    TAsyncSocket socket;
    EventLog log(socket);
    aimAt(socket, QStringLiteral("127.0.0.1"), server.port());

    socket.Connect();
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return log.events.size() == 2; }));
    EXPECT_TRUE(log.events.contains("error"));
    EXPECT_TRUE(log.events.contains("connected:0"));
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(server.connections(), 1);
}

TEST(AsyncSocket, PeerClosingEndsTheSessionWithoutAnError)
{
    LoopbackServer server(LoopbackServer::Behaviour::CloseAtOnce);
    TAsyncSocket socket;
    EventLog log(socket);
    aimAt(socket, QStringLiteral("127.0.0.1"), server.port());

    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return log.events.size() >= 2; }));
    EXPECT_EQ(log.events, (QStringList{"connected:0", "closed:0"}));
    EXPECT_EQ(socket.State(), wsClosed);
}

// Keeps accepted connections as bare descriptors, so the test sees exactly
// how the client ended the connection.
class RawServer : public QTcpServer
{
public:
    ~RawServer() override
    {
        if (fd) {
            ::close(*fd);
        }
    }
    std::optional<int> fd;

protected:
    void incomingConnection(qintptr descriptor) override { fd = static_cast<int>(descriptor); }
};

TEST(AsyncSocket, ClosingResetsTheConnectionOnlyWithLingerZero)
{
    struct Case
    {
        bool lingerOn;
        bool reset;
    };
    for (const Case c : {Case{true, true}, Case{false, false}}) {
        SCOPED_TRACE(c.lingerOn ? "linger on, 0 s" : "linger off");
        RawServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        TAsyncSocket socket;
        EventLog log(socket);
        socket.setLingerOnOff(c.lingerOn);
        socket.setLingerTimeout(0);
        aimAt(socket, QStringLiteral("127.0.0.1"), server.serverPort());

        socket.Connect();
        ASSERT_TRUE(waitUntil([&] { return server.fd.has_value() && !log.events.isEmpty(); }));
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
        if (c.reset) {
            EXPECT_EQ(got, -1);
            EXPECT_EQ(error, ECONNRESET);
        } else {
            EXPECT_EQ(got, 0) << "an orderly end of stream";
        }
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
    socket.setReadBufferSize(4096);
    aimAt(socket, QStringLiteral("127.0.0.1"), server.port());
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
    {
        SCOPED_TRACE("in OnSessionConnected");
        auto socket = std::make_unique<TAsyncSocket>();
        aimAt(*socket, QStringLiteral("127.0.0.1"), server.port());
        socket->setOnSessionConnected([&](TAsyncSocket*, std::uint16_t) { socket.reset(); });
        socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return socket == nullptr; }));
    }
    {
        SCOPED_TRACE("in OnDataAvailable");
        auto socket = std::make_unique<TAsyncSocket>();
        aimAt(*socket, QStringLiteral("127.0.0.1"), server.port());
        socket->setOnSessionConnected(
            [](TAsyncSocket* sender, std::uint16_t) { sender->SendStr("?"); });
        socket->setOnDataAvailable([&](TAsyncSocket*, std::uint16_t) { socket.reset(); });
        socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return socket == nullptr; }));
    }
    {
        SCOPED_TRACE("in OnError raised by SendStr");
        auto socket = std::make_unique<TAsyncSocket>();
        socket->setOnError([&](TAsyncSocket*) { socket.reset(); });
        EXPECT_EQ(socket->SendStr("?"), -1);
        EXPECT_EQ(socket, nullptr);
    }
    // Whatever the destroyed sockets left queued must come to nothing.
    ASSERT_TRUE(waitUntil([&] { return server.connections() == 2; }));
    QCoreApplication::processEvents();
}

} // namespace
} // namespace zarvello
