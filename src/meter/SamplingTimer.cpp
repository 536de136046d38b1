#include "meter/SamplingTimer.h"

#include <QMetaObject>
#include <QtGlobal>

#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>

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
    Shared()
        : timer(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
          wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        if (timer < 0 || wake < 0) {
            throw std::system_error(errno, std::generic_category(), "TThreadedTimer");
        }
    }
    ~Shared()
    {
        close(timer);
        close(wake);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    // Starts a full interval's wait now (0: none). On the monotonic clock, so
    // setting the wall clock neither shortens nor stretches a wait. Arming
    // again discards an expiry not yet read. Called under the mutex.
    void arm(std::uint16_t ms) const
    {
        itimerspec expiry{};
        expiry.it_value.tv_sec = ms / 1000;
        expiry.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000;
        (void)timerfd_settime(timer, 0, &expiry, nullptr);
    }

    // Read by the thread arming the next wait.
    std::atomic<std::uint16_t> interval{1000};
    // The worker sleeps on these two alone, so a tick wakes it once: the
    // timer expires at the end of a wait, the wake-up ends the worker.
    const int timer;
    const int wake;

    std::mutex mutex;
    std::condition_variable started;
    // Guarded by mutex.
    bool terminating = false;
    // Counts changes of enabled_: a tick from a wait that began before a
    // change is recognised as stale and dropped.
    std::uint64_t epoch = 0;
    pid_t tid = 0;
};

SamplingTimer::SamplingTimer(QObject* owner) : QObject(owner), shared_(std::make_shared<Shared>())
{
    worker_ = std::thread(&SamplingTimer::runWorker, shared_, this);
    workerHandle_ = worker_.native_handle();
    // The kernel thread id is what per-thread nice levels are set through.
    std::unique_lock lock(shared_->mutex);
    shared_->started.wait(lock, [this] { return shared_->tid != 0; });
    workerTid_ = shared_->tid;
}

SamplingTimer::~SamplingTimer()
{
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->terminating = true;
    }
    const std::uint64_t one = 1;
    (void)write(shared_->wake, &one, sizeof one);
    worker_.join(); // started by the constructor, so always joinable
    // A tick still queued for this object is discarded with it by QObject.
}

void SamplingTimer::runWorker(const std::shared_ptr<Shared>& shared, SamplingTimer* timer)
{
    {
        const std::lock_guard lock(shared->mutex);
        shared->tid = gettid();
    }
    shared->started.notify_all();
    std::array<pollfd, 2> sleepOn{{{shared->timer, POLLIN, 0}, {shared->wake, POLLIN, 0}}};
    for (;;) {
        (void)poll(sleepOn.data(), sleepOn.size(), -1); // an interruption just looks again
        const std::lock_guard lock(shared->mutex);
        if (shared->terminating) {
            return;
        }
        // Read under the lock that arming takes: a wait started again since
        // the expiry has nothing to read, so its tick never comes early.
        std::uint64_t expiries = 0;
        if (read(shared->timer, &expiries, sizeof expiries) != sizeof expiries) {
            continue;
        }
        // The timer outlives this thread (its destructor joins it), and
        // QObject drops the queued call if the timer goes before it runs.
        // Posting under the lock that the delivery takes orders the two
        // through our own lock as well, which race detectors can see.
        const std::uint64_t epoch = shared->epoch;
        QMetaObject::invokeMethod(
            timer, [timer, epoch] { timer->deliverTick(epoch); }, Qt::QueuedConnection);
    }
}

void SamplingTimer::deliverTick(std::uint64_t epoch)
{
    // Kept here, as a slot may destroy the timer.
    const std::shared_ptr<Shared> shared = shared_;
    const auto current = [&] {
        const std::lock_guard lock(shared->mutex);
        return !shared->terminating && shared->epoch == epoch;
    };
    if (!current()) {
        return;
    }
    try {
        Q_EMIT timeout();
    } catch (const std::exception& failure) {
        qWarning("TThreadedTimer: OnTimer failed: %s", failure.what());
    } catch (...) {
        qWarning("TThreadedTimer: OnTimer failed");
    }
    // The next wait starts once the handler is done, unless it disabled or
    // restarted the timer, or ended it.
    const std::lock_guard lock(shared->mutex);
    if (!shared->terminating && shared->epoch == epoch) {
        shared->arm(shared->interval.load());
    }
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
    const std::lock_guard lock(shared_->mutex);
    ++shared_->epoch;
    shared_->arm(value ? interval() : 0);
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
