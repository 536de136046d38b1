#include "meter/SamplingTimer.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace zarvello {
namespace {

using Clock = std::chrono::steady_clock;

// Records when each tick started and ended; `work` runs inside the handler.
struct TickLog
{
    std::vector<Clock::time_point> starts, ends;
    std::function<void()> work = [] {};

    explicit TickLog(SamplingTimer& timer)
    {
        QObject::connect(&timer, &SamplingTimer::timeout, &timer, [this, &timer] {
            EXPECT_EQ(QThread::currentThread(), timer.thread());
            starts.push_back(Clock::now());
            work();
            ends.push_back(Clock::now());
        });
    }
    [[nodiscard]] std::size_t count() const { return starts.size(); }
    // Watches for several intervals of the timers below for a tick that must not come.
    [[nodiscard]] bool noTickFor() const
    {
        const auto seen = count();
        return !QTest::qWaitFor([&] { return count() > seen; }, 400);
    }
};

// Acts on each tick the worker hands over, before the timer sees it; `act`
// returning true swallows the tick.
struct OnHandOver : QObject
{
    std::function<bool()> act;
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::MetaCall && act();
    }
};

QStringList threadIds()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// How often the thread went to sleep (its voluntary context switches).
long sleeps(const QString& tid)
{
    QFile status(QStringLiteral("/proc/self/task/%1/status").arg(tid));
    const auto found = QRegularExpression(QStringLiteral("\\nvoluntary_ctxt_switches:\\s*(\\d+)"))
                           .match(status.open(QIODevice::ReadOnly) ? status.readAll() : "");
    return found.captured(1).toLong();
}

TEST(SamplingTimer, ASlowHandlerIsNeverOverlappedAndEachTickWaitsAFullInterval)
{
    constexpr int kInterval = 100;
    const QStringList before = threadIds();
    SamplingTimer timer;
    QStringList worker = threadIds();
    worker.removeIf([&](const QString& tid) { return before.contains(tid); });
    ASSERT_EQ(worker.size(), 1);
    TickLog log(timer);
    // The first handler serves events for two intervals, so a tick handed over
    // meanwhile would start in there; one handed over but not taken would follow right after it.
    log.work = [&] {
        if (log.count() == 1) {
            const QDeadlineTimer busy(2 * kInterval);
            while (!busy.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            }
            EXPECT_EQ(log.count(), 1U) << "a tick overlapped the handler";
        }
    };
    timer.setInterval(kInterval);
    const long sleptBefore = sleeps(worker[0]);
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.count() >= 3; }));
    timer.setEnabled(false);
    // One wake-up per tick, whatever the handler does (one more for luck with the lock).
    EXPECT_LE(sleeps(worker[0]) - sleptBefore, static_cast<long>(log.count()) + 1);
    for (std::size_t i = 0; i < log.count(); ++i) {
        EXPECT_GE(log.starts[i] - (i == 0 ? enabledAt : log.ends[i - 1]),
                  std::chrono::milliseconds(kInterval))
            << "tick " << i;
    }
}

TEST(SamplingTimer, DisablingDropsATickOnItsWayAndDestructionDoesNotWaitForOne)
{
    QPointer<SamplingTimer> timer = new SamplingTimer;
    TickLog log(*timer);
    timer->setInterval(5);
    int handedOver = 0;
    OnHandOver filter;
    filter.act = [&] {
        if (++handedOver == 1) {
            timer->setEnabled(false);
        }
        return handedOver > 2; // from the third on, swallowed
    };
    timer->installEventFilter(&filter);
    timer->setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return handedOver == 1; }));
    EXPECT_EQ(log.count(), 0U);
    timer->setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return handedOver == 3; })) << "the worker went on";
    EXPECT_EQ(log.count(), 1U);
    delete timer.data(); // joins a worker still waiting for the swallowed tick: must not hang
}

TEST(SamplingTimer, StopsWhenDisabledFromItsHandlerOrByANewIntervalAndSurvivesAThrow)
{
    SamplingTimer timer, nagger;
    TickLog log(timer);
    log.work = [&] {
        timer.setEnabled(log.count() != 2); // enabling while enabled changes nothing
        throw std::runtime_error("sample failed");
    };
    timer.setInterval(100);
    timer.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.count() >= 2; })) << "a throw stopped the timer";
    EXPECT_TRUE(!timer.isEnabled() && log.noTickFor()) << "disabled from the handler";
    // Enabled again every 20 ms: a restarted wait would never end.
    nagger.setInterval(20);
    QObject::connect(&nagger, &SamplingTimer::timeout, [&] { timer.setEnabled(true); });
    nagger.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.count() >= 3; }));
    nagger.setEnabled(false);
    timer.setInterval(50);
    EXPECT_TRUE(!timer.isEnabled() && timer.interval() == 50 && log.noTickFor()) << "new interval";
    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.isEnabled() && log.noTickFor()) << "interval 0";
}

TEST(SamplingTimer, LoweringToIdleIsAlwaysAppliedAndAnUnknownPriorityRefused)
{
    SamplingTimer timer;
    timer.setThreadPriority(ThreadPriority::TimeCritical); // refused without the privilege
    timer.setThreadPriority(ThreadPriority::Idle);
    EXPECT_EQ(timer.threadPriority(), ThreadPriority::Idle);
    EXPECT_THROW(timer.setThreadPriority(static_cast<ThreadPriority>(7)), std::invalid_argument);
}

} // namespace
} // namespace zarvello
