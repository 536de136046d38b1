#pragma once

#include <QPointer>
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
        ReplyAndClose,  // answers the request, then closes the connection
    };

    explicit LoopbackServer(Behaviour behaviour = Behaviour::ReplyToRequest, QByteArray reply = {})
    {
        if (!server_.listen(QHostAddress::LocalHost, 0)) {
            throw std::runtime_error("loopback server cannot listen");
        }
        connect(&server_, &QTcpServer::newConnection, this, [=, this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                last_ = socket;
                ++connections_;
                connect(socket, &QTcpSocket::readyRead, this, [=, this] {
                    const bool waiting = received_.size() < 8;
                    received_ += socket->readAll();
                    if (waiting && received_.size() >= 8) {
                        socket->write(reply);
                        if (behaviour == Behaviour::ReplyAndClose) {
                            socket->disconnectFromHost();
                        }
                    }
                });
            }
        });
    }

    [[nodiscard]] quint16 port() const { return server_.serverPort(); }
    [[nodiscard]] int connections() const { return connections_; }
    // What the clients sent.
    [[nodiscard]] const QByteArray& received() const { return received_; }
    // The server's end of the latest connection, while it is open.
    [[nodiscard]] QTcpSocket* last() const { return last_; }

private:
    QTcpServer server_;
    int connections_ = 0;
    QByteArray received_;
    QPointer<QTcpSocket> last_;
};

} // namespace zarvello::test
