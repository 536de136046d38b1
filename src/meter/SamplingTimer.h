#pragma once

#include <QObject>

#include <pthread.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <thread>

namespace zarvello {

// Scheduling of the timer's worker thread. All but the last are nice levels
// (19, 10, 5, 0, -5, -10 from Idle to Highest); TimeCritical is the real-time
// FIFO policy.
// clang-format off
enum class ThreadPriority : std::uint8_t {
    Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical
};
// clang-format on

// A timer whose waiting is done by a worker thread of its own, so its period
// does not depend on how busy the user-interface thread is, while timeout()
// is always emitted on the thread the timer lives in. The worker waits one
// interval and hands the tick over; the next interval starts when timeout()'s
// slots have returned, so the period is the interval plus their time and
// ticks never overlap or pile up behind a busy user-interface thread. Each
// tick wakes the worker once. Connect directly (a queued slot would run after
// the next interval began).
//
// All members are to be called on the thread the timer lives in. A slot that
// throws is reported on stderr and the timer keeps ticking.
class SamplingTimer : public QObject
{
    Q_OBJECT

public:
    explicit SamplingTimer(QObject* owner = nullptr);
    ~SamplingTimer() override;

    // Enabling starts a fresh wait: the first tick comes one full interval
    // later. Enabling with an interval of 0 delivers nothing. Once disabled
    // (also from within the handler) no further tick runs, including one
    // already on its way.
    [[nodiscard]] bool isEnabled() const { return enabled_; }
    void setEnabled(bool value);

    // Milliseconds, 1000 by default. A change disables the timer.
    [[nodiscard]] std::uint16_t interval() const;
    void setInterval(std::uint16_t value);

    // Read from and written to the worker thread itself. A change the system
    // refuses (raising priority without the privilege) leaves the thread as
    // it was; reading maps the thread's actual setting to the nearest value.
    // The worker starts with the scheduling of the thread creating the timer.
    // A value outside the enumeration throws std::invalid_argument.
    [[nodiscard]] ThreadPriority threadPriority() const;
    void setThreadPriority(ThreadPriority value);

Q_SIGNALS:
    void timeout();

private:
    struct Shared;

    static void runWorker(const std::shared_ptr<Shared>& shared, SamplingTimer* timer);
    // Emits timeout() for the tick the worker handed over, unless enabling has
    // changed since its wait (of `epoch`) began; then starts the next wait.
    void deliverTick(std::uint64_t epoch);

    // Shared with the worker and with the tick being delivered, which may
    // outlive this object when the handler destroys the timer.
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    pthread_t workerHandle_{};
    pid_t workerTid_ = 0;
    bool enabled_ = false;
};

} // namespace zarvello
