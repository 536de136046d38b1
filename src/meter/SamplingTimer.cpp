#include "meter/SamplingTimer.h"

#include <QMetaObject>
#include <QtGlobal>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>

namespace zarvello {
namespace {

// Nice level per value, Idle to Highest; TimeCritical is a policy instead.
constexpr std::array<int, static_cast<std::size_t>(ThreadPriority::TimeCritical)> kNiceLevels{
    19, 10, 5, 0, -5, -10};

// The lowest real-time level already runs ahead of every ordinary thread and
// leaves the levels above it to the system's own threads.
constexpr int kRealTimeLevel = 1;

// The first of equally near levels wins.
ThreadPriority nearestToNice(int nice)
{
    const auto* nearest =
        std::min_element(kNiceLevels.begin(), kNiceLevels.end(),
                         [nice](int a, int b) { return std::abs(a - nice) < std::abs(b - nice); });
    return static_cast<ThreadPriority>(nearest - kNiceLevels.begin());
}

} // namespace

struct SamplingTimer::Shared
{
    // Read by the worker at the start of each wait.
    std::atomic<std::uint16_t> interval{1000};

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex.
    bool paused = true;
    // Ends the worker's current or next wait early, without a tick; set
    // while nobody waits it is kept, and several count as one.
    bool stopRequested = false;
    bool terminating = false;
    bool tickDone = true;
    // Counts changes of enabled_, so a tick whose wait began before a change
    // is recognised as stale and dropped.
    std::uint64_t epoch = 0;
    // The epoch of the tick being handed over.
    std::uint64_t tickEpoch = 0;
    pid_t tid = 0;
};

SamplingTimer::SamplingTimer(QObject* owner) : QObject(owner), shared_(std::make_shared<Shared>())
{
    worker_ = std::thread(&SamplingTimer::runWorker, shared_, this);
    workerHandle_ = worker_.native_handle();
    // The kernel thread id is what per-thread nice levels are set through.
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [this] { return shared_->tid != 0; });
    workerTid_ = shared_->tid;
}

SamplingTimer::~SamplingTimer()
{
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->terminating = true;
    }
    // Wakes the worker wherever it is: paused, waiting out the interval, or
    // waiting for a tick it handed over. That last case is why the worker
    // never waits for this thread alone: this thread is about to wait for it.
    shared_->changed.notify_all();
    worker_.join(); // started by the constructor, so always joinable
    // A tick still queued for this object is discarded with it by QObject.
}

void SamplingTimer::runWorker(const std::shared_ptr<Shared>& shared, SamplingTimer* timer)
{
    std::unique_lock lock(shared->mutex);
    shared->tid = gettid();
    shared->changed.notify_all();
    for (;;) {
        shared->changed.wait(lock, [&] { return !shared->paused || shared->terminating; });
        if (shared->terminating) {
            return;
        }
        const std::uint64_t epoch = shared->epoch;
        // Timed on the steady clock, so setting the wall clock neither
        // shortens nor stretches a wait.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(shared->interval.load());
        const bool stopped = shared->changed.wait_until(
            lock, deadline, [&] { return shared->stopRequested || shared->terminating; });
        if (shared->terminating) {
            return;
        }
        if (stopped) {
            shared->stopRequested = false;
            continue;
        }
        if (shared->epoch != epoch) {
            continue;
        }
        shared->tickDone = false;
        shared->tickEpoch = epoch;
        // The timer outlives this thread (its destructor joins it), and
        // QObject drops the queued call if the timer goes before it runs.
        // The call carries no data: what it needs is in Shared. Posting under
        // the lock that the delivery takes orders the two through our own
        // lock as well, which race detectors can see, unlike Qt's queue.
        QMetaObject::invokeMethod(timer, "deliverTick", Qt::QueuedConnection);
        // Termination is noticed at the top of the loop.
        shared->changed.wait(lock, [&] { return shared->tickDone || shared->terminating; });
    }
}

void SamplingTimer::deliverTick()
{
    // Kept here, as a slot may destroy the timer.
    const std::shared_ptr<Shared> shared = shared_;
    bool current = false;
    {
        const std::lock_guard lock(shared->mutex);
        current = !shared->terminating && shared->epoch == shared->tickEpoch;
    }
    if (current) {
        try {
            Q_EMIT timeout();
        } catch (const std::exception& failure) {
            qWarning("TThreadedTimer: OnTimer failed: %s", failure.what());
        } catch (...) {
            qWarning("TThreadedTimer: OnTimer failed");
        }
    }
    {
        const std::lock_guard lock(shared->mutex);
        shared->tickDone = true;
    }
    shared->changed.notify_all();
}

void SamplingTimer::setEnabled(bool value)
{
    if (value == enabled_) {
        return;
    }
    enabled_ = value;
    if (value && interval() == 0) {
        return;
    }
    {
        const std::lock_guard lock(shared_->mutex);
        // Ends the worker's current or next wait at once, without a tick, so
        // that a fresh full interval starts now.
        shared_->stopRequested |= value;
        ++shared_->epoch;
        shared_->paused = !value;
    }
    shared_->changed.notify_all();
}

std::uint16_t SamplingTimer::interval() const
{
    return shared_->interval.load();
}

void SamplingTimer::setInterval(std::uint16_t value)
{
    if (value == interval()) {
        return;
    }
    setEnabled(false);
    shared_->interval.store(value);
}

ThreadPriority SamplingTimer::threadPriority() const
{
    int policy = 0;
    sched_param param{};
    if (pthread_getschedparam(workerHandle_, &policy, &param) != 0) {
        return ThreadPriority::Normal;
    }
    if (policy == SCHED_FIFO || policy == SCHED_RR) {
        return ThreadPriority::TimeCritical;
    }
    if (policy == SCHED_IDLE) {
        return ThreadPriority::Idle;
    }
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(workerTid_));
    if (nice == -1 && errno != 0) {
        return ThreadPriority::Normal;
    }
    return nearestToNice(nice);
}

void SamplingTimer::setThreadPriority(ThreadPriority value)
{
    if (value > ThreadPriority::TimeCritical) {
        throw std::invalid_argument("TThreadedTimer: no such thread priority");
    }
    // Refusals (EPERM without the privilege to raise priority) are ignored:
    // the thread keeps what it has, and threadPriority() reports that.
    if (value == ThreadPriority::TimeCritical) {
        sched_param param{};
        param.sched_priority = kRealTimeLevel;
        (void)pthread_setschedparam(workerHandle_, SCHED_FIFO, &param);
        return;
    }
    // Nice levels only matter under the ordinary policy. Leaving a real-time
    // one is always allowed, and choosing it again keeps the nice level.
    const sched_param ordinary{};
    (void)pthread_setschedparam(workerHandle_, SCHED_OTHER, &ordinary);
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(workerTid_),
                      kNiceLevels[static_cast<std::size_t>(value)]);
}

} // namespace zarvello
