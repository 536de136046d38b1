#pragma once

#include <QObject>

#include <pthread.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace zarvello {

// Scheduling of the timer's worker thread. The five middle values are nice
// levels (19, 10, 5, 0, -5, -10 from tpIdle to tpHighest); tpTimeCritical is
// the real-time FIFO policy.
enum ThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// A timer whose waiting is done by a worker thread of its own, so its period
// does not depend on how busy the user-interface thread is, while OnTimer
// always runs on the thread the timer lives in. The worker waits one
// Interval, hands the tick over and waits until the handler has returned, so
// the period is Interval plus the handler's time and ticks never overlap or
// pile up behind a busy user-interface thread.
//
// All members are to be called on the thread the timer lives in. A handler
// that throws is reported on stderr and the timer keeps ticking.
class SamplingTimer : public QObject
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(SamplingTimer* sender)>;

    explicit SamplingTimer(QObject* owner = nullptr);
    ~SamplingTimer() override;

    SamplingTimer(const SamplingTimer&) = delete;
    SamplingTimer& operator=(const SamplingTimer&) = delete;

    // Enabling starts a fresh wait: the first tick comes one full Interval
    // later. Enabling with an Interval of 0 delivers nothing. Once disabled
    // (also from within the handler) no further tick runs, including one
    // already on its way.
    [[nodiscard]] bool Enabled() const { return enabled_; }
    void setEnabled(bool value);

    // Milliseconds, 1000 by default. A change disables the timer.
    [[nodiscard]] std::uint16_t Interval() const;
    void setInterval(std::uint16_t value);

    [[nodiscard]] const TNotifyEvent& OnTimer() const { return onTimer_; }
    void setOnTimer(TNotifyEvent handler);

    // Read from and written to the worker thread itself. A change the system
    // refuses (raising priority without the privilege) leaves the thread as
    // it was; reading maps the thread's actual setting to the nearest value.
    // The worker starts with the scheduling of the thread creating the timer.
    // A value outside the enumeration throws std::invalid_argument.
    [[nodiscard]] ThreadPriority threadPriority() const;
    void setThreadPriority(ThreadPriority value);

private:
    struct Shared;

    static void runWorker(const std::shared_ptr<Shared>& shared, SamplingTimer* timer);
    // Runs OnTimer for the tick the worker handed over, unless Enabled has
    // changed since its wait began; then lets the worker go on.
    Q_INVOKABLE void deliverTick();

    // Shared with the worker and with the tick being delivered, which may
    // outlive this object when the handler destroys the timer.
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    pthread_t workerHandle_{};
    pid_t workerTid_ = 0;
    bool enabled_ = false;
    TNotifyEvent onTimer_;
};

} // namespace zarvello
