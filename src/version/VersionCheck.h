#pragma once

#include "core/AppInfo.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace zarvello {

class TAsyncSocket;
class TForm_Version;

// The version server named at build time (ZARVELLO_VERSION_HOST).
[[nodiscard]] QString versionServerHost();

// Asks the version server, once per run, which version is current, and shows
// the notice when the answer differs from this program's version.
//
// The exchange: connect, send "Zarvello", take what the first data event
// brings (at most kMaxReplyBytes), "<version>:<address without scheme>".
// Every failure is silent and nothing is retried; there is no time-out, and
// the connection is left to the server to close.
class TVersionCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr QLatin1StringView kCurrentVersion = kAppVersion;
    static constexpr QLatin1StringView kProductId = kAppName;
    static constexpr std::uint16_t kVersionPort = 2645;
    // A reply is a few dozen bytes; what a server sends beyond this is never read.
    static constexpr qsizetype kMaxReplyBytes = 4096;

    // notice: where a new version is shown; it must outlive the check.
    explicit TVersionCheck(TForm_Version* notice, const QString& host = versionServerHost(),
                           std::uint16_t port = kVersionPort, QObject* owner = nullptr);

    // Starts the check; only the first call in a run does anything. Call it
    // once the settings have loaded, and not at all when the load stopped.
    void start();
    [[nodiscard]] bool started() const { return started_; }

    // What the error handler does: a 10 ms sleep unless replaced.
    void setPause(std::function<void()> pause) { pause_ = std::move(pause); }

    void Socket1SessionConnected(TAsyncSocket* sender, std::uint16_t error);
    void Socket1DataAvailable(TAsyncSocket* sender, std::uint16_t error);
    void Socket1Error(TAsyncSocket* sender);

    [[nodiscard]] TAsyncSocket* Socket1() const { return socket1_; }
    // The server's reply as received by the first data event.
    [[nodiscard]] const QString& reply() const { return reply_; }
    [[nodiscard]] std::uint32_t dataEventCount() const { return dataEventCount_; }

private:
    TForm_Version* notice_;
    TAsyncSocket* socket1_;
    std::function<void()> pause_;
    QString reply_;
    std::uint32_t dataEventCount_ = 0;
    bool started_ = false;
};

} // namespace zarvello
