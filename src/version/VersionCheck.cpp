#include "version/VersionCheck.h"

#include "core/Piece.h"
#include "net/AsyncSocket.h"
#include "version/Version_Form.h"
#include "widgets/URLLabel.h"

#include <QLabel>
#include <QThread>

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

TVersionCheck::TVersionCheck(TForm_Version* notice, const QString& host, std::uint16_t port,
                             QObject* owner)
    : QObject(owner), notice_(notice), socket1_(new TAsyncSocket(this)),
      pause_([] { QThread::msleep(10); })
{
    socket1_->setAddr(host);
    socket1_->setPort(QString::number(port));
    socket1_->setProto(QStringLiteral("tcp"));
    // Closing resets the connection instead of a graceful shutdown.
    socket1_->setLingerOnOff(true);
    socket1_->setLingerTimeout(0);
    // Whatever the server sends beyond the reply stays with it.
    socket1_->setReadBufferSize(kMaxReplyBytes);
    socket1_->setOnSessionConnected([this](TAsyncSocket* sender, std::uint16_t error) {
        Socket1SessionConnected(sender, error);
    });
    socket1_->setOnDataAvailable(
        [this](TAsyncSocket* sender, std::uint16_t error) { Socket1DataAvailable(sender, error); });
    socket1_->setOnError([this](TAsyncSocket* sender) { Socket1Error(sender); });
}

void TVersionCheck::start()
{
    if (started_) {
        return;
    }
    started_ = true;
    socket1_->Connect();
}

void TVersionCheck::Socket1SessionConnected(TAsyncSocket* /*sender*/, std::uint16_t /*error*/)
{
    // Sent whatever the outcome: after a failed attempt the send fails and
    // ends in the error handler.
    socket1_->SendStr(QByteArray(kProductId.data(), kProductId.size()));
}

void TVersionCheck::Socket1DataAvailable(TAsyncSocket* /*sender*/, std::uint16_t /*error*/)
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
    reply_ = QString::fromLatin1(socket1_->ReceiveStr(kMaxReplyBytes));

    const QString version = Piece(reply_, u":", 1);
    QLabel* ver = notice_->Ver();
    ver->setText(visibleText(version));
    ver->adjustSize();
    notice_->URLLabel1()->setURL(Piece(reply_, u":", 2));

    // Any other text, older or empty versions included, is news.
    if (version != kCurrentVersion) {
        notice_->show();
    }
}

void TVersionCheck::Socket1Error(TAsyncSocket* /*sender*/)
{
    pause_();
}

} // namespace zarvello
