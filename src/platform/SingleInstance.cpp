#include "platform/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace zarvello {

constexpr char kActivate[] = "activate\n"; // constexpr: private to this file

SingleInstance::SingleInstance(const QString& name, const QString& directory, QObject* parent)
    : QObject(parent), socketPath_(directory + u'/' + name + QStringLiteral(".socket")),
      lock_(directory + u'/' + name + QStringLiteral(".lock"))
{
    // Only a dead owner makes a lock stale, never its age: a copy may run for months.
    lock_.setStaleLockTime(0);
    if (!lock_.tryLock(0)) {
        first_ = lock_.error() != QLockFile::LockFailedError;
    }
}

// The server closes itself as it goes.
SingleInstance::~SingleInstance() = default;

void SingleInstance::listen()
{
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left here belongs to a crashed copy.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        qWarning("zarvello: cannot listen on %s: %s", qPrintable(socketPath_),
                 qPrintable(server_->errorString()));
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine(64) == kActivate) {
                    Q_EMIT activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::activateRunningCopy(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kActivate);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return sent;
}

} // namespace zarvello
