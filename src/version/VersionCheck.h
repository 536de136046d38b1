#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QTcpSocket;

namespace zarvello {

class VersionNotice;

// The version server named at build time (ZARVELLO_VERSION_HOST).
[[nodiscard]] QString versionServerHost();

// Asks the version server, once per run, which version is current, and shows
// the notice when the answer differs from this program's version.
//
// The exchange: connect, send "Zarvello", take what the first data event
// brings (at most kMaxReplyBytes), "<version>:<address without scheme>".
// Every failure is silent and nothing is retried; there is no time-out, and
// the connection is left to the server to close. When the program ends the
// connection is reset, not shut down gracefully.
class VersionCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr QLatin1StringView kCurrentVersion{"2.1"};
    static constexpr QLatin1StringView kProductId{"Zarvello"};
    static constexpr std::uint16_t kVersionPort = 2645;
    // A reply is a few dozen bytes; what a server sends beyond this is never read.
    static constexpr qsizetype kMaxReplyBytes = 4096;

    // notice: where a new version is shown; it must outlive the check.
    explicit VersionCheck(VersionNotice* notice, const QString& host = versionServerHost(),
                          std::uint16_t port = kVersionPort, QObject* owner = nullptr);

    // Starts the check; only the first call in a run does anything. Call it
    // once the settings have loaded, and not at all when the load stopped.
    // Returns before the name is resolved.
    void start();

    static constexpr unsigned long kFailurePauseMs = 10;

    // What a failure does: a kFailurePauseMs sleep unless replaced.
    void setPause(std::function<void()> pause) { pause_ = std::move(pause); }

    // Data events seen so far; only the first one is read.
    [[nodiscard]] std::uint32_t dataEventCount() const { return dataEventCount_; }

private:
    void connected();
    void dataArrived();
    void failed(QAbstractSocket::SocketError error);

    VersionNotice* notice_;
    QTcpSocket* socket_;
    QString host_;
    std::uint16_t port_;
    std::function<void()> pause_;
    std::uint32_t dataEventCount_ = 0;
    bool started_ = false;
};

} // namespace zarvello
