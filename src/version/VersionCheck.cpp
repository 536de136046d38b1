#include "version/VersionCheck.h"

#include "core/Piece.h"
#include "version/VersionNotice.h"
#include "widgets/LinkLabel.h"

#include <QLabel>
#include <QTcpSocket>
#include <QThread>

#include <sys/socket.h>

#include <limits>

namespace zarvello {
namespace {

// The reply is shown as it came: control characters as their visible
// pictures (a line end would otherwise break the label), never as markup.
QString visibleText(QString text)
{
    for (QChar& c : text) {
        if (c.category() != QChar::Other_Control) {
            continue;
        }
        if (c.unicode() < 0x20) {
            c = QChar(static_cast<char16_t>(0x2400 + c.unicode()));
        } else if (c.unicode() == 0x7F) {
            c = QChar(u'\u2421');
        } else {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

} // namespace

QString versionServerHost()
{
    return QStringLiteral(ZARVELLO_VERSION_HOST);
}

VersionCheck::VersionCheck(VersionNotice* notice, const QString& host, std::uint16_t port,
                           QObject* owner)
    : QObject(owner), notice_(notice), socket_(new QTcpSocket(this)), host_(host), port_(port),
      pause_([] { QThread::msleep(kFailurePauseMs); })
{
    // Whatever the server sends beyond the reply stays with it.
    socket_->setReadBufferSize(kMaxReplyBytes);
    connect(socket_, &QAbstractSocket::connected, this, &VersionCheck::connected);
    connect(socket_, &QIODevice::readyRead, this, &VersionCheck::dataArrived);
    connect(socket_, &QAbstractSocket::errorOccurred, this, &VersionCheck::failed);
}

void VersionCheck::start()
{
    if (started_) {
        return;
    }
    started_ = true;
    // The name is resolved on a worker thread, and each address it yields is
    // tried in turn, so "localhost" reaches a server on either ::1 or 127.0.0.1.
    socket_->connectToHost(host_, port_);
}

void VersionCheck::connected()
{
    // Closing, at the latest when the program ends, resets the connection
    // instead of shutting it down gracefully. A refusal leaves the system's
    // usual close, which is no reason to give up the check.
    const linger reset{1, 0};
    (void)::setsockopt(static_cast<int>(socket_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                       sizeof reset);
    socket_->write(kProductId.data(), kProductId.size());
}

void VersionCheck::dataArrived()
{
    // Only the first data event counts. Held at its maximum, the count can
    // never wrap round to 1 again.
    if (dataEventCount_ != std::numeric_limits<std::uint32_t>::max()) {
        ++dataEventCount_;
    }
    if (dataEventCount_ != 1) {
        return;
    }
    // Bytes as they are: Latin-1 maps every byte to one character and never fails.
    const QString reply = QString::fromLatin1(socket_->read(kMaxReplyBytes));

    const QString version = piece(reply, u":", 1);
    QLabel* label = notice_->versionLabel();
    label->setText(visibleText(version));
    label->adjustSize();
    notice_->downloadLink()->setUrl(piece(reply, u":", 2));

    // Any other text, older or empty versions included, is news.
    if (version != kCurrentVersion) {
        notice_->show();
    }
}

void VersionCheck::failed(QAbstractSocket::SocketError error)
{
    // The server ending the session is no failure. A failed connect counts
    // once: the product identifier is never sent into it.
    if (error != QAbstractSocket::RemoteHostClosedError) {
        pause_();
    }
}

} // namespace zarvello
