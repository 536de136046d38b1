#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace zarvello::test {

// A TCP server on 127.0.0.1, on a port the system picks, playing a version server the way a
// test asks it to. Everything happens on the test's thread while it pumps events.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    enum class Behaviour {
        ReplyToRequest, // answers once the request (requestSize bytes) is in
        Silent,         // accepts and reads, never answers
        CloseAtOnce,    // closes each connection as soon as it is accepted
    };
    explicit LoopbackServer(Behaviour behaviour = Behaviour::ReplyToRequest, QByteArray reply = {},
                            qsizetype requestSize = 8);

    [[nodiscard]] quint16 port() const { return server_.serverPort(); }
    [[nodiscard]] int connections() const { return connections_; }
    // What the latest connection sent, and how much of its replies the system has taken.
    [[nodiscard]] const QByteArray& received() const { return received_; }
    [[nodiscard]] qint64 written() const { return written_; }
    // Sends more on the latest connection.
    void send(const QByteArray& data);

private:
    void accept();

    QTcpServer server_;
    Behaviour behaviour_;
    QByteArray reply_;
    qsizetype requestSize_;
    int connections_ = 0;
    QByteArray received_;
    qint64 written_ = 0;
    QPointer<QTcpSocket> peer_;
};

// A loopback port nobody listens on (taken from the system and given back).
[[nodiscard]] quint16 unusedLoopbackPort();

} // namespace zarvello::test
