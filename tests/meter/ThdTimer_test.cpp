#include "meter/ThdTimer.h"

#include "support/Wait.h"

#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zarvello {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a test watches for a tick that must not come: several intervals
// of the timers below.
constexpr int kNoTickWindowMs = 400;

// Records each tick's start and end, how deeply handlers nested, and checks
// the handler runs on the timer's own thread with the timer as sender.
struct TickLog
{
    std::vector<Clock::time_point> starts, ends;
    std::function<void()> work; // the handler's own workload
    int depth = 0, maxDepth = 0;

    TThreadedTimer::TNotifyEvent handler()
    {
        return [this](TThreadedTimer* sender) {
            starts.push_back(Clock::now());
            EXPECT_EQ(QThread::currentThread(), sender->thread());
            maxDepth = std::max(maxDepth, ++depth);
            if (work) {
                work();
            }
            --depth;
            ends.push_back(Clock::now());
        };
    }
    [[nodiscard]] std::size_t count() const { return starts.size(); }
    // No tick sooner than one full interval after `origin` or the end of the one before.
    void expectFullIntervals(Clock::time_point origin, Clock::duration interval) const
    {
        for (std::size_t i = 0; i < starts.size(); ++i) {
            EXPECT_GE(starts[i] - (i == 0 ? origin : ends[i - 1]), interval) << "tick " << i;
        }
    }
    void expectNoTickFor(const char* why) const
    {
        const auto seen = count();
        EXPECT_FALSE(waitUntil([&] { return count() > seen; }, kNoTickWindowMs)) << why;
    }
};

// Acts on each tick the worker hands over, as it is delivered and before the
// timer sees it; `act` returning true swallows the tick.
struct OnHandOver : QObject
{
    std::function<bool()> act;
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::MetaCall && act();
    }
};

TEST(ThreadedTimer, TicksAFullIntervalAfterTheHandlerReturnsAndNeverNests)
{
    constexpr auto kInterval = 100ms;
    constexpr auto kWork = 150ms; // the handler's own work, longer than the interval
    TThreadedTimer timer;
    TickLog log;
    // The work serves events, so a tick handed over meanwhile would nest in
    // here; one handed over but not taken would follow right after it.
    log.work = [&] {
        const auto doneAt = Clock::now() + kWork;
        waitUntil([&] { return Clock::now() >= doneAt; });
    };
    timer.setOnTimer(log.handler());
    timer.setInterval(kInterval.count());
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);

    ASSERT_TRUE(waitUntil([&] { return log.count() >= 3; }));
    timer.setEnabled(false);
    log.expectNoTickFor("after disabling");
    EXPECT_EQ(log.maxDepth, 1);
    log.expectFullIntervals(enabledAt, kInterval);
}

TEST(ThreadedTimer, DisablingDropsATickAlreadyOnItsWayAndReenablingResumes)
{
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(5);
    int handedOver = 0;
    OnHandOver filter;
    filter.act = [&] {
        if (++handedOver == 1) {
            timer.setEnabled(false);
        }
        return false;
    };
    timer.installEventFilter(&filter);
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return handedOver == 1; }));
    EXPECT_EQ(log.count(), 0U);

    timer.setEnabled(true);
    EXPECT_TRUE(waitUntil([&] { return log.count() >= 1; })) << "the worker went on";
}

TEST(ThreadedTimer, DisablingFromTheHandlerStopsUntilReenabled)
{
    constexpr auto kInterval = 100ms;
    TThreadedTimer timer;
    TickLog log;
    log.work = [&] {
        if (log.count() == 2) {
            timer.setEnabled(false);
        }
    };
    timer.setInterval(kInterval.count());
    timer.setOnTimer(log.handler());
    timer.setEnabled(true);

    ASSERT_TRUE(waitUntil([&] { return log.count() >= 2; }));
    EXPECT_FALSE(timer.Enabled());
    log.expectNoTickFor("disabled from the handler");

    const auto reenabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return log.count() >= 3; }));
    EXPECT_GE(log.starts[2] - reenabledAt, kInterval) << "a fresh full interval after re-enabling";
}

TEST(ThreadedTimer, EnablingAgainWhileEnabledDoesNotRestartTheWait)
{
    TThreadedTimer timer, nagger;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(100);
    timer.setEnabled(true);
    // Enabled again every 20 ms: a restarted wait would never end.
    nagger.setInterval(20);
    nagger.setOnTimer([&](TThreadedTimer*) { timer.setEnabled(true); });
    nagger.setEnabled(true);
    EXPECT_TRUE(waitUntil([&] { return log.count() >= 2; }));
}

TEST(ThreadedTimer, ANewIntervalDisablesUntilReenabledAndZeroDeliversNothing)
{
    TThreadedTimer timer;
    TickLog log;
    timer.setOnTimer(log.handler());
    timer.setInterval(200);
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return log.count() >= 1; }));

    timer.setInterval(200);
    EXPECT_TRUE(timer.Enabled()) << "the same interval is no change";
    timer.setInterval(50);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 50);
    log.expectNoTickFor("after the interval changed");

    log = TickLog{};
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return log.count() >= 2; }));
    log.expectFullIntervals(enabledAt, 50ms);

    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    log.expectNoTickFor("interval 0");
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
    EXPECT_TRUE(waitUntil([&] { return calls >= 3; }));
}

TEST(ThreadedTimerLifetime, DestroyedWhileItsWorkerWaitsForAHandedOverTick)
{
    QPointer<TThreadedTimer> timer = new TThreadedTimer;
    TickLog log;
    timer->setOnTimer(log.handler());
    timer->setInterval(5);
    bool swallowed = false;
    OnHandOver filter;
    filter.act = [&] { return swallowed = true; };
    timer->installEventFilter(&filter);
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return swallowed; }));
    delete timer.data(); // joins a worker still waiting for that tick: must not hang
    EXPECT_EQ(log.count(), 0U);
}

TEST(ThreadedTimerLifetime, DestroyedFromItsOwnHandler)
{
    QPointer<TThreadedTimer> timer = new TThreadedTimer;
    int ticks = 0;
    timer->setInterval(5);
    timer->setOnTimer([&](TThreadedTimer* self) {
        if (++ticks == 2) {
            delete self;
        }
    });
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return timer.isNull(); }));
    EXPECT_FALSE(waitUntil([&] { return ticks > 2; }, kNoTickWindowMs));
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

// The nice level each value stands for, tpIdle to tpHighest.
constexpr int kNiceOf[] = {19, 10, 5, 0, -5, -10};

// Whether a thread may take these nice levels one after the other.
bool mayUseNice(const std::vector<int>& levels)
{
    return systemAllows([=] {
        return std::all_of(levels.begin(), levels.end(),
                           [](int nice) { return setpriority(PRIO_PROCESS, gettid(), nice) == 0; });
    });
}

bool mayUseRealTime()
{
    return systemAllows([] {
        sched_param param{};
        param.sched_priority = 1;
        return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    });
}

TEST(ThreadedTimerPriority, EachValueIsAppliedOrRefusedAsTheSystemDecides)
{
    for (int v = tpIdle; v <= tpTimeCritical; ++v) {
        const auto value = static_cast<TThreadPriority>(v);
        const auto mayTake = [&](bool fromIdle) {
            return v == tpTimeCritical ? mayUseRealTime()
                                       : mayUseNice(fromIdle ? std::vector{19, kNiceOf[v]}
                                                             : std::vector{kNiceOf[v]});
        };
        TThreadedTimer timer;
        const auto before = timer.ThreadPriority();
        timer.setThreadPriority(value);
        EXPECT_EQ(timer.ThreadPriority(), mayTake(false) ? value : before) << v;
        // Lowering to idle is always allowed, also from real time; going
        // back up needs the privilege, and the value read tells which.
        timer.setThreadPriority(tpIdle);
        ASSERT_EQ(timer.ThreadPriority(), tpIdle);
        EXPECT_THROW(timer.setThreadPriority(static_cast<TThreadPriority>(7)),
                     std::invalid_argument);
        EXPECT_EQ(timer.ThreadPriority(), tpIdle) << "a bad value changes nothing";
        timer.setThreadPriority(value);
        EXPECT_EQ(timer.ThreadPriority(), mayTake(true) ? value : tpIdle) << v;
    }
}

} // namespace
} // namespace zarvello
