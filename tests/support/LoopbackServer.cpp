#include "support/LoopbackServer.h"

#include <stdexcept>

namespace zarvello::test {

LoopbackServer::LoopbackServer(Behaviour behaviour, QByteArray reply, qsizetype requestSize)
    : behaviour_(behaviour), reply_(std::move(reply)), requestSize_(requestSize)
{
    if (!server_.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("loopback server cannot listen: " +
                                 server_.errorString().toStdString());
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
        replied_ = false;
        peer_ = socket;
        if (behaviour_ == Behaviour::CloseAtOnce) {
            socket->close();
            continue;
        }
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 bytes) {
            if (socket == peer_) {
                written_ += bytes;
            }
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket != peer_) {
                return;
            }
            received_ += socket->readAll();
            if (behaviour_ == Behaviour::ReplyToRequest && !replied_ &&
                received_.size() >= requestSize_) {
                replied_ = true;
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
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace zarvello::test
