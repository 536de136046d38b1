#include "net/AsyncSocket.h"

#include <QMetaObject>
#include <QTcpSocket>

#include <sys/socket.h>

#include <cerrno>

namespace zarvello {
namespace {

// The reason of a failure as an errno value, 0 for an orderly end.
std::uint16_t toErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::UnknownSocketError:
        return 0;
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::HostNotFoundError:
        return EHOSTUNREACH;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return EMFILE;
    case QAbstractSocket::AddressInUseError:
        return EADDRINUSE;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EAFNOSUPPORT;
    default:
        return EIO;
    }
}

} // namespace

TAsyncSocket::TAsyncSocket(QObject* owner) : QObject(owner), socket_(new QTcpSocket(this))
{
    // QTcpSocket's signals are turned into events posted to our own queue,
    // tagged with the attempt they belong to: handlers then never run inside
    // QTcpSocket's code (so they may destroy us), and what a closed attempt
    // left in the queue cannot be taken for news of a newer one.
    const auto later = [this](void (TAsyncSocket::*step)()) {
        return [this, step] {
            QMetaObject::invokeMethod(
                this,
                [this, step, attempt = attempt_] {
                    if (attempt == attempt_) {
                        (this->*step)();
                    }
                },
                Qt::QueuedConnection);
        };
    };
    connect(socket_, &QAbstractSocket::hostFound, this, later(&TAsyncSocket::socketHostFound));
    connect(socket_, &QAbstractSocket::connected, this, later(&TAsyncSocket::socketConnected));
    connect(socket_, &QAbstractSocket::disconnected, this,
            later(&TAsyncSocket::socketDisconnected));
    connect(socket_, &QIODevice::readyRead, this, later(&TAsyncSocket::socketReadyRead));
    connect(socket_, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                QMetaObject::invokeMethod(
                    this,
                    [this, error, text = socket_->errorString(), attempt = attempt_] {
                        if (attempt == attempt_) {
                            lastError_ = error;
                            lastErrorText_ = text;
                            socketError();
                        }
                    },
                    Qt::QueuedConnection);
            });
}

TAsyncSocket::~TAsyncSocket()
{
    socket_->disconnect(this);
    if (socket_->state() != QAbstractSocket::UnconnectedState) {
        applyLinger();
        socket_->abort();
    }
}

void TAsyncSocket::setReadBufferSize(qint64 value)
{
    readBufferSize_ = value < 0 ? 0 : value;
    socket_->setReadBufferSize(readBufferSize_);
}

void TAsyncSocket::Connect()
{
    if (state_ != wsClosed) {
        // Reported like every other failure of Connect: after it has returned.
        QMetaObject::invokeMethod(
            this, [this] { raiseError(QStringLiteral("Connect while not closed")); },
            Qt::QueuedConnection);
        return;
    }
    state_ = wsDnsLookup;
    lastError_ = QAbstractSocket::UnknownSocketError;
    const std::uint64_t attempt = ++attempt_;
    QMetaObject::invokeMethod(
        this,
        [this, attempt] {
            if (attempt == attempt_) {
                startConnecting();
            }
        },
        Qt::QueuedConnection);
}

void TAsyncSocket::startConnecting()
{
    bool portOk = false;
    const quint16 port = port_.trimmed().toUShort(&portOk);
    if (proto_.compare(u"tcp", Qt::CaseInsensitive) != 0) {
        state_ = wsClosed;
        raiseError(QStringLiteral("Unsupported protocol: %1").arg(proto_));
        return;
    }
    if (!portOk || port == 0) {
        state_ = wsClosed;
        raiseError(QStringLiteral("Invalid port: %1").arg(port_));
        return;
    }
    socket_->setReadBufferSize(readBufferSize_);
    // QTcpSocket resolves the name on a worker thread and tries each address
    // it yields in turn, so "localhost" reaches a server on either ::1 or 127.0.0.1.
    socket_->connectToHost(addr_, port);
}

void TAsyncSocket::socketHostFound()
{
    if (state_ == wsDnsLookup) {
        state_ = wsConnecting;
    }
}

void TAsyncSocket::socketConnected()
{
    if (state_ != wsDnsLookup && state_ != wsConnecting) {
        return;
    }
    state_ = wsConnected;
    applyLinger();
    raiseSessionConnected(0);
}

void TAsyncSocket::socketDisconnected()
{
    if (state_ != wsConnected) {
        return;
    }
    state_ = wsClosed;
    raiseSessionClosed(toErrorCode(lastError_));
}

void TAsyncSocket::socketReadyRead()
{
    // Queued notices may outnumber the data: only report bytes that are really waiting.
    if (state_ == wsConnected && socket_->bytesAvailable() > 0) {
        const TDataAvailableEvent handler = onDataAvailable_;
        if (handler) {
            handler(this, 0);
        }
    }
}

void TAsyncSocket::socketError()
{
    switch (state_) {
    case wsDnsLookup:
        state_ = wsClosed;
        raiseError(lastErrorText_);
        break;
    case wsConnecting:
        state_ = wsClosed;
        raiseSessionConnected(errorCode());
        break;
    case wsConnected:
        // The peer ending the session is no failure; the disconnection reports it.
        if (lastError_ != QAbstractSocket::RemoteHostClosedError) {
            raiseError(lastErrorText_);
        }
        break;
    case wsClosed:
        break;
    }
}

qint64 TAsyncSocket::SendStr(const QByteArray& data)
{
    if (state_ != wsConnected) {
        raiseError(QStringLiteral("Send while not connected"));
        return -1;
    }
    return socket_->write(data);
}

QByteArray TAsyncSocket::ReceiveStr(qint64 maxBytes)
{
    QByteArray data = maxBytes < 0 ? socket_->readAll() : socket_->read(maxBytes);
    // A read that leaves bytes behind earns another data event, as no new
    // arrival may come to announce them. A handler that never reads gets none.
    if (state_ == wsConnected && socket_->bytesAvailable() > 0 && !dataEventPosted_) {
        dataEventPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this, attempt = attempt_] {
                dataEventPosted_ = false;
                if (attempt == attempt_) {
                    socketReadyRead();
                }
            },
            Qt::QueuedConnection);
    }
    return data;
}

qint64 TAsyncSocket::BytesAvailable() const
{
    return socket_->bytesAvailable();
}

void TAsyncSocket::Close()
{
    ++attempt_;
    state_ = wsClosed;
    if (socket_->state() == QAbstractSocket::UnconnectedState) {
        return;
    }
    // Hand what is queued to the system first; whether it still goes out
    // or is dropped with a reset is the linger setting's business.
    socket_->flush();
    applyLinger();
    socket_->abort();
}

void TAsyncSocket::applyLinger()
{
    const qintptr fd = socket_->socketDescriptor();
    if (fd < 0) {
        return;
    }
    const linger value{lingerOnOff_ ? 1 : 0, lingerTimeout_};
    // A refusal leaves the system's default close, which is no reason to fail the session.
    (void)::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

std::uint16_t TAsyncSocket::errorCode() const
{
    const std::uint16_t code = toErrorCode(lastError_);
    return code != 0 ? code : static_cast<std::uint16_t>(EIO);
}

void TAsyncSocket::raiseError(const QString& text)
{
    lastErrorText_ = text;
    const TNotifyEvent handler = onError_;
    if (handler) {
        handler(this);
    }
}

void TAsyncSocket::raiseSessionConnected(std::uint16_t error)
{
    const TSessionEvent handler = onSessionConnected_;
    if (handler) {
        handler(this, error);
    }
}

void TAsyncSocket::raiseSessionClosed(std::uint16_t error)
{
    const TSessionEvent handler = onSessionClosed_;
    if (handler) {
        handler(this, error);
    }
}

} // namespace zarvello
