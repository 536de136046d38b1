#include "support/LoopbackServer.h"

#include <stdexcept>

namespace zarvello::test {

LoopbackServer::LoopbackServer(Behaviour behaviour, QByteArray reply, qsizetype requestSize)
    : behaviour_(behaviour), reply_(std::move(reply)), requestSize_(requestSize)
{
    if (!server_.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("loopback server cannot listen");
    }
    connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::accept);
}

void LoopbackServer::accept()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        ++connections_;
        received_.clear();
        written_ = 0;
        peer_ = socket;
        if (behaviour_ == Behaviour::CloseAtOnce) {
            socket->close();
            continue;
        }
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this](qint64 bytes) { written_ += bytes; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const bool waiting = received_.size() < requestSize_;
            received_ += socket->readAll();
            if (behaviour_ == Behaviour::ReplyToRequest && waiting &&
                received_.size() >= requestSize_) {
                socket->write(reply_);
            }
        });
    }
}

void LoopbackServer::send(const QByteArray& data)
{
    if (peer_ != nullptr) {
        peer_->write(data);
    }
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("no free loopback port");
    }
    return probe.serverPort(); // closed as the probe goes
}

} // namespace zarvello::test
