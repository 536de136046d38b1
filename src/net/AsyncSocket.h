#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QTcpSocket;

namespace zarvello {

enum TSocketState : std::uint8_t {
    wsClosed,     // nothing going on; a new Connect may start
    wsDnsLookup,  // Connect has been called, the host name is being resolved
    wsConnecting, // resolved, the connection attempt is under way
    wsConnected,  // data may be sent and received
};

// A TCP client whose events all arrive through the event loop of the thread
// it lives in; nothing ever blocks that thread, name resolution included.
//
// Order of events: Connect returns before any event. A failure to resolve the
// host (or bad settings) raises OnError only. Otherwise OnSessionConnected
// follows once the attempt has ended, with Error 0 on success or the reason
// (an errno value) on failure. While connected, OnDataAvailable reports
// waiting bytes and OnSessionClosed the end of the connection. Every failure
// of an operation raises OnError instead of throwing.
//
// Handlers may destroy the socket.
class TAsyncSocket : public QObject
{
    Q_OBJECT
public:
    using TSessionEvent = std::function<void(TAsyncSocket* sender, std::uint16_t error)>;
    using TDataAvailableEvent = std::function<void(TAsyncSocket* sender, std::uint16_t error)>;
    using TNotifyEvent = std::function<void(TAsyncSocket* sender)>;

    explicit TAsyncSocket(QObject* owner = nullptr);
    ~TAsyncSocket() override;

    TAsyncSocket(const TAsyncSocket&) = delete;
    TAsyncSocket& operator=(const TAsyncSocket&) = delete;

    // Host name or numeric address of the server.
    [[nodiscard]] const QString& Addr() const { return addr_; }
    void setAddr(const QString& value) { addr_ = value; }
    // Port number as text, "1" to "65535".
    [[nodiscard]] const QString& Port() const { return port_; }
    void setPort(const QString& value) { port_ = value; }
    // Only "tcp" is supported; anything else makes Connect fail.
    [[nodiscard]] const QString& Proto() const { return proto_; }
    void setProto(const QString& value) { proto_ = value; }

    // SO_LINGER, applied once connected. On with a time-out of 0, closing
    // resets the connection and drops whatever is still unsent.
    [[nodiscard]] bool LingerOnOff() const { return lingerOnOff_; }
    void setLingerOnOff(bool value) { lingerOnOff_ = value; }
    [[nodiscard]] std::uint16_t LingerTimeout() const { return lingerTimeout_; }
    void setLingerTimeout(std::uint16_t value) { lingerTimeout_ = value; }

    // Received bytes held before the socket stops taking data off the
    // connection (the peer is then slowed down by TCP itself); 0 = no limit.
    [[nodiscard]] qint64 ReadBufferSize() const { return readBufferSize_; }
    void setReadBufferSize(qint64 value);

    [[nodiscard]] TSocketState State() const { return state_; }

    // Starts resolving Addr and then connecting to it; returns at once.
    void Connect();
    // Queues the bytes for sending. Returns how many were queued, or -1 (and
    // raises OnError) when not connected.
    qint64 SendStr(const QByteArray& data);
    // Takes up to maxBytes of the received bytes not yet read (all of them
    // when maxBytes is negative); empty when none are waiting. Bytes left
    // behind are announced by another OnDataAvailable.
    QByteArray ReceiveStr(qint64 maxBytes = -1);
    [[nodiscard]] qint64 BytesAvailable() const;
    // Ends the connection (or the attempt). Raises no event.
    void Close();

    void setOnSessionConnected(TSessionEvent handler) { onSessionConnected_ = std::move(handler); }
    void setOnSessionClosed(TSessionEvent handler) { onSessionClosed_ = std::move(handler); }
    void setOnDataAvailable(TDataAvailableEvent handler) { onDataAvailable_ = std::move(handler); }
    void setOnError(TNotifyEvent handler) { onError_ = std::move(handler); }

    // Why the last failure happened, in words; for diagnostics only.
    [[nodiscard]] const QString& LastErrorText() const { return lastErrorText_; }

private:
    void startConnecting();
    void socketHostFound();
    void socketConnected();
    void socketDisconnected();
    void socketReadyRead();
    void socketError();
    void applyLinger();
    void raiseError(const QString& text);
    void raiseSessionConnected(std::uint16_t error);
    void raiseSessionClosed(std::uint16_t error);
    [[nodiscard]] std::uint16_t errorCode() const;

    QTcpSocket* socket_;
    QString addr_;
    QString port_;
    QString proto_ = QStringLiteral("tcp");
    bool lingerOnOff_ = false;
    std::uint16_t lingerTimeout_ = 0;
    qint64 readBufferSize_ = 0;
    TSocketState state_ = wsClosed;
    QAbstractSocket::SocketError lastError_ = QAbstractSocket::UnknownSocketError;
    // Bumped by Connect and Close, so a deferred start of an older attempt is dropped.
    std::uint64_t attempt_ = 0;
    bool dataEventPosted_ = false;
    QString lastErrorText_;
    TSessionEvent onSessionConnected_;
    TSessionEvent onSessionClosed_;
    TDataAvailableEvent onDataAvailable_;
    TNotifyEvent onError_;
};

} // namespace zarvello
