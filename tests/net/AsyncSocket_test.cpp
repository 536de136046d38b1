#include "net/AsyncSocket.h"

#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

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
    EventLog(TAsyncSocket& socket, const QString& host, const QString& port)
    {
        socket.setAddr(host);
        socket.setPort(port);
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

TEST(AsyncSocket, EveryAttemptEndsInExactlyItsEventsAfterConnectReturns)
{
    using B = LoopbackServer::Behaviour;
    const QString local = "127.0.0.1";
    const QString refused = QString::number(LoopbackServer().port()); // closed again at once
    // {what, server, host, port (empty: the server's), protocol, Connect calls, events, state}
    // clang-format off
    const std::vector<std::tuple<const char*, std::optional<B>, QString, QString, QString, int, QStringList, TSocketState>> rows{
        {"refused", std::nullopt, local, refused, "tcp", 1, {QString("connected:%1").arg(ECONNREFUSED)}, wsClosed},
        {"connect while busy", B::Silent, local, "", "tcp", 2, {"error", "connected:0"}, wsConnected},
        {"peer closes", B::CloseAtOnce, local, "", "tcp", 1, {"connected:0", "closed:0"}, wsClosed},
        // Too long a label for a DNS query, so no query leaves the machine.
        {"unresolvable name", std::nullopt, QString(70, u'x') + ".invalid", "2645", "tcp", 1, {"error"}, wsClosed},
        {"port 0", std::nullopt, local, "0", "tcp", 1, {"error"}, wsClosed},
        {"protocol other than tcp", std::nullopt, local, "2645", "udp", 1, {"error"}, wsClosed},
    };
    // clang-format on
    for (const auto& [what, behaviour, host, port, proto, connects, events, state] : rows) {
        SCOPED_TRACE(what);
        const auto server = behaviour ? std::make_unique<LoopbackServer>(*behaviour) : nullptr;
        TAsyncSocket socket;
        EventLog log(socket, host, port.isEmpty() ? QString::number(server->port()) : port);
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

TEST(AsyncSocket, ConnectsByNameAndReceivesAllDataWhileHoldingAtMostTheReadBuffer)
{
    const QByteArray payload = QByteArray("abcdefghijklmnopqrstuvw").repeated(2850);
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, payload);
    TAsyncSocket socket;
    // "localhost" may resolve to ::1 first while the server is on 127.0.0.1 only.
    EventLog log(socket, "localhost", QString::number(server.port()));
    socket.setReadBufferSize(4096);
    QByteArray got;
    qint64 mostHeld = 0;
    socket.setOnDataAvailable([&](TAsyncSocket* sender, std::uint16_t) {
        mostHeld = std::max(mostHeld, sender->BytesAvailable());
        got += sender->ReceiveStr(1000); // less than is waiting: the rest must come again
    });
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); })) << "never connected";
    EXPECT_EQ(socket.SendStr("Zarvello"), 8);
    ASSERT_TRUE(waitUntil([&] { return got.size() >= payload.size(); }, 20000)) << got.size();
    EXPECT_EQ(server.received(), "Zarvello");
    EXPECT_EQ(got, payload);
    EXPECT_LE(mostHeld, 4096);
    socket.Close();
    EXPECT_EQ(socket.State(), wsClosed);
    ASSERT_TRUE(waitUntil([&] { return server.ended() == 1; })) << "the connection is ended";
    EXPECT_EQ(log.events, QStringList{"connected:0"}) << "closing raises no event";
}

} // namespace
} // namespace zarvello
