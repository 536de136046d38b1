#include "meter/ThdTimer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zarvello {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs this thread's event loop, through which ticks arrive, until the
// condition holds or the timeout passes.
bool pumpUntil(const std::function<bool()>& condition, Clock::duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// An observation window: what must not happen in it is checked afterwards.
void pumpFor(Clock::duration duration)
{
    pumpUntil([] { return false; }, duration);
}

// Records when each tick's handler started, and checks it ran on the timer's
// own thread with the timer as sender.
struct TickLog
{
    std::vector<Clock::time_point> starts;

    [[nodiscard]] TThreadedTimer::TNotifyEvent handler(Clock::duration work = {})
    {
        return [this, work](TThreadedTimer* sender) {
            starts.push_back(Clock::now());
            EXPECT_NE(sender, nullptr);
            if (sender != nullptr) {
                EXPECT_EQ(QThread::currentThread(), sender->thread());
            }
            if (work > Clock::duration{}) {
                std::this_thread::sleep_for(work); // the handler's own workload
            }
        };
    }

    [[nodiscard]] std::size_t count() const { return starts.size(); }

    // The first tick no sooner than one interval after `origin`, every later
    // one no sooner than `gap` after the one before.
    void expectSpacing(Clock::time_point origin, Clock::duration first, Clock::duration gap) const
    {
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const auto previous = i == 0 ? origin : starts[i - 1];
            const auto minimum = i == 0 ? first : gap;
            EXPECT_GE(starts[i] - previous, minimum) << "tick " << i;
        }
    }
};

TEST(ThreadedTimer, TicksEveryFullIntervalOnItsOwnThreadUntilDisabled)
{
    constexpr auto kInterval = 150ms;
    TThreadedTimer timer;
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(kInterval.count());
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 3; }, 10s));
    timer.setEnabled(false);
    const auto ticksAtDisable = log.count();
    pumpFor(3 * kInterval);

    EXPECT_EQ(log.count(), ticksAtDisable) << "no tick after disabling";
    log.expectSpacing(enabledAt, kInterval, kInterval);
}

TEST(ThreadedTimer, DisablingDropsATickAlreadyOnItsWay)
{
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(5);
    timer.setEnabled(true);
    // Without servicing events for several intervals, the worker has handed
    // a tick over that is still waiting in this thread's queue.
    std::this_thread::sleep_for(50ms);
    timer.setEnabled(false);
    pumpFor(100ms);
    EXPECT_EQ(log.count(), 0U);
}

TEST(ThreadedTimer, DisablingFromTheHandlerStopsUntilReenabled)
{
    constexpr auto kInterval = 100ms;
    TThreadedTimer timer;
    std::vector<Clock::time_point> starts;
    timer.setInterval(kInterval.count());
    timer.setOnTimer([&](TThreadedTimer* sender) {
        starts.push_back(Clock::now());
        if (starts.size() == 2) {
            sender->setEnabled(false);
        }
    });
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return starts.size() >= 2; }, 10s));
    EXPECT_FALSE(timer.Enabled());
    pumpFor(3 * kInterval);
    EXPECT_EQ(starts.size(), 2U);

    const auto reenabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return starts.size() >= 3; }, 10s));
    EXPECT_GE(starts[2] - reenabledAt, kInterval) << "a fresh full interval after re-enabling";
}

TEST(ThreadedTimer, IntervalZeroDeliversNothing)
{
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    pumpFor(200ms);
    EXPECT_EQ(log.count(), 0U);
}

TEST(ThreadedTimer, SlowHandlerLengthensThePeriodAndTicksNeverPileUp)
{
    constexpr auto kInterval = 100ms;
    constexpr auto kWork =
        150ms; // longer than the interval: ticks would queue if the worker went on
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler(kWork));
    timer.setInterval(kInterval.count());
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 4; }, 10s));
    timer.setEnabled(false);
    log.expectSpacing(enabledAt, kInterval, kInterval + kWork);
}

TEST(ThreadedTimer, EnablingTwiceDoesNotRestartTheWait)
{
    constexpr auto kInterval = 1000ms;
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(kInterval.count());
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);
    pumpUntil([&] { return log.count() > 0; }, 800ms);
    const auto againAt = Clock::now();
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 1; }, 10s));
    EXPECT_GE(log.starts[0] - enabledAt, kInterval);
    // A restarted wait could not end before againAt + interval; the margin to
    // the expected tick is most of an interval.
    EXPECT_LT(log.starts[0], againAt + kInterval) << "the second enabling restarted the wait";
}

TEST(ThreadedTimer, ChangingTheIntervalDisablesUntilReenabled)
{
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(200);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 1; }, 10s));

    timer.setInterval(200);
    EXPECT_TRUE(timer.Enabled()) << "the same interval is no change";
    timer.setInterval(100);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 100);
    const auto ticksAtChange = log.count();
    pumpFor(400ms);
    EXPECT_EQ(log.count(), ticksAtChange);

    log.starts.clear();
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 2; }, 10s));
    log.expectSpacing(enabledAt, 100ms, 100ms);
}

TEST(ThreadedTimer, KeepsTickingWhenTheHandlerThrows)
{
    TThreadedTimer timer;
    int calls = 0;
    timer.setInterval(20);
    timer.setOnTimer([&](TThreadedTimer*) {
        ++calls;
        throw std::runtime_error("sample failed");
    });
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return calls >= 3; }, 10s));
}

TEST(ThreadedTimerLifetime, DestroyingWhileATickIsHandedOverNeitherHangsNorRunsIt)
{
    enum Way { kFromEventLoop, kWithOwnerUnserviced, kFromHandler, kFromNestedLoopInHandler };
    std::mt19937 random(20240611); // fixed: a failure can be replayed
    int iterationsWithTicks = 0;

    for (int i = 0; i < 200; ++i) {
        const auto way = static_cast<Way>(i % 4);
        auto owner = std::make_unique<QObject>();
        QPointer<TThreadedTimer> timer = new TThreadedTimer(owner.get());
        bool destroying = false;
        int lateTicks = 0;
        int ticks = 0;
        const auto delay = std::chrono::milliseconds(random() % 12);

        timer->setInterval(static_cast<std::uint16_t>(1 + random() % 3));
        timer->setOnTimer([&](TThreadedTimer* self) {
            if (destroying) {
                ++lateTicks;
            }
            ++ticks;
            if (way == kFromHandler && ticks == 2) {
                destroying = true;
                delete self;
            } else if (way == kFromNestedLoopInHandler) {
                // The destruction queued below may run in here.
                pumpFor(std::chrono::milliseconds(random() % 4));
            }
        });
        if (way == kFromEventLoop || way == kFromNestedLoopInHandler) {
            QTimer::singleShot(delay, owner.get(), [&] {
                destroying = true;
                delete timer.data();
            });
        }
        timer->setEnabled(true);

        if (way == kWithOwnerUnserviced) {
            // Ticks are handed over but this thread does not take them:
            // the worker is most likely blocked on one when the owner goes.
            std::this_thread::sleep_for(delay);
            destroying = true;
            owner.reset();
        }
        ASSERT_TRUE(pumpUntil([&] { return timer.isNull(); }, 10s)) << "iteration " << i;
        pumpFor(5ms); // anything still queued for the timer would run now
        EXPECT_EQ(lateTicks, 0) << "iteration " << i << ", way " << way;
        if (ticks > 0) {
            ++iterationsWithTicks;
        }
    }
    // Guards the test itself: the destructions did meet running timers.
    EXPECT_GT(iterationsWithTicks, 50);
}

// Whether the system lets a thread of this process change its own scheduling
// this way; a scratch thread starts from the same inherited setting as a new
// timer's worker.
bool systemAllows(const std::function<bool()>& change)
{
    bool allowed = false;
    std::thread scratch([&] { allowed = change(); });
    scratch.join();
    return allowed;
}

bool mayUseNice(int nice)
{
    return systemAllows([nice] { return setpriority(PRIO_PROCESS, gettid(), nice) == 0; });
}

bool mayUseRealTime()
{
    return systemAllows([] {
        sched_param param{};
        param.sched_priority = 1;
        return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    });
}

bool mayGoFromNiceToNice(int from, int to)
{
    return systemAllows([from, to] {
        return setpriority(PRIO_PROCESS, gettid(), from) == 0 &&
               setpriority(PRIO_PROCESS, gettid(), to) == 0;
    });
}

TEST(ThreadedTimerPriority, EachValueIsAppliedOrRefusedAsTheSystemDecides)
{
    struct Case
    {
        TThreadPriority value;
        bool allowed;
    };
    for (const Case c : {Case{tpIdle, mayUseNice(19)}, Case{tpLowest, mayUseNice(10)},
                         Case{tpLower, mayUseNice(5)}, Case{tpNormal, mayUseNice(0)},
                         Case{tpHigher, mayUseNice(-5)}, Case{tpHighest, mayUseNice(-10)},
                         Case{tpTimeCritical, mayUseRealTime()}}) {
        TThreadedTimer timer;
        const auto before = timer.ThreadPriority();
        timer.setThreadPriority(c.value);
        EXPECT_EQ(timer.ThreadPriority(), c.allowed ? c.value : before)
            << "value " << int{c.value} << (c.allowed ? " allowed" : " refused");
    }
}

TEST(ThreadedTimerPriority, ReadsWhatTheThreadReallyHas)
{
    errno = 0;
    if (getpriority(PRIO_PROCESS, 0) != 0 || errno != 0) {
        GTEST_SKIP() << "this test process runs niced";
    }
    TThreadedTimer timer;
    EXPECT_EQ(timer.ThreadPriority(), tpNormal);

    // Lowering is always allowed; going back up needs privilege, and without
    // it the thread, and so the value read, stays at idle.
    timer.setThreadPriority(tpIdle);
    ASSERT_EQ(timer.ThreadPriority(), tpIdle);
    EXPECT_THROW(timer.setThreadPriority(static_cast<TThreadPriority>(7)), std::invalid_argument);
    EXPECT_EQ(timer.ThreadPriority(), tpIdle) << "a bad value changes nothing";
    timer.setThreadPriority(tpNormal);
    EXPECT_EQ(timer.ThreadPriority(), mayGoFromNiceToNice(19, 0) ? tpNormal : tpIdle);

    if (mayUseRealTime()) {
        timer.setThreadPriority(tpTimeCritical);
        EXPECT_EQ(timer.ThreadPriority(), tpTimeCritical);
        timer.setThreadPriority(tpIdle); // leaving real time is always allowed
        EXPECT_EQ(timer.ThreadPriority(), tpIdle);
    }
}

} // namespace
} // namespace zarvello
