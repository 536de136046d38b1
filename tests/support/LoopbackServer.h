#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace zarvello::test {

// A TCP server on 127.0.0.1, on a port the system picks, playing a version server the way a
// test asks it to. Everything happens on the test's thread while it pumps events.
struct LoopbackServer : QObject
{
    // Answers once the 8-byte request is in, then closes the connection if asked to.
    explicit LoopbackServer(QByteArray reply = {}, bool closeAfterReply = false)
    {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [=, this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                socket->setParent(this);
                last = socket;
                ++connections;
                connect(socket, &QTcpSocket::readyRead, this, [=, this] {
                    const bool waiting = received.size() < 8;
                    received += socket->readAll();
                    if (waiting && received.size() >= 8) {
                        socket->write(reply);
                        if (closeAfterReply) {
                            socket->disconnectFromHost();
                        }
                    }
                });
            }
        });
    }
    [[nodiscard]] quint16 port() const { return server.serverPort(); }

    QTcpServer server;
    int connections = 0;
    QByteArray received;       // what the clients sent
    QPointer<QTcpSocket> last; // the server's end of the latest connection, while it is open
};

} // namespace zarvello::test
