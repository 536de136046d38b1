#pragma once

#include <QTcpServer>
#include <QTcpSocket>

#include <stdexcept>

namespace zarvello::test {

// A TCP server on 127.0.0.1, on a port the system picks, playing a version server the way a
// test asks it to. Everything happens on the test's thread while it pumps events.
class LoopbackServer : public QObject
{
public:
    enum class Behaviour {
        ReplyToRequest, // answers once the 8-byte request is in
        Silent,         // accepts and reads, never answers
        CloseAtOnce,    // closes each connection as soon as it is accepted
    };

    explicit LoopbackServer(Behaviour behaviour = Behaviour::ReplyToRequest, QByteArray reply = {})
    {
        if (!server_.listen(QHostAddress::LocalHost, 0)) {
            throw std::runtime_error("loopback server cannot listen");
        }
        connect(&server_, &QTcpServer::newConnection, this, [=, this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                ++connections_;
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++ended_; });
                connect(socket, &QTcpSocket::readyRead, this, [=, this] {
                    const bool waiting = received_.size() < 8;
                    received_ += socket->readAll();
                    if (behaviour == Behaviour::ReplyToRequest && waiting &&
                        received_.size() >= 8) {
                        socket->write(reply);
                    }
                });
                if (behaviour == Behaviour::CloseAtOnce) {
                    socket->close();
                }
            }
        });
    }

    [[nodiscard]] quint16 port() const { return server_.serverPort(); }
    [[nodiscard]] int connections() const { return connections_; }
    // Connections the client has ended.
    [[nodiscard]] int ended() const { return ended_; }
    // What the clients sent.
    [[nodiscard]] const QByteArray& received() const { return received_; }

private:
    QTcpServer server_;
    int connections_ = 0;
    int ended_ = 0;
    QByteArray received_;
};

} // namespace zarvello::test
