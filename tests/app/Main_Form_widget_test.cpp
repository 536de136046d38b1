#include "app/Main_Form.h"

#include "meter/ThdTimer.h"
#include "support/ScriptedCounterSource.h"
#include "support/Wait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(MainForm, StartsBelowTheScreenWithSamplingRunning)
{
    TForm_Main form(std::make_unique<ScriptedCounterSource>());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillon Zarvello v2.1"));
    EXPECT_EQ(form.pos(), QPoint(614, 5000));
    ASSERT_NE(form.ThreadedTimer1(), nullptr);
    EXPECT_TRUE(form.ThreadedTimer1()->Enabled());
    EXPECT_EQ(form.ThreadedTimer1()->Interval(), 1000);
}

TEST(MainForm, TheTimerDrivesTheTickUntilSamplingStops)
{
    auto source = std::make_unique<ScriptedCounterSource>();
    auto* counters = source.get();
    TForm_Main form(std::move(source));
    form.FormCreate();
    QSignalSpy ticks(&form, &TForm_Main::ticked);
    ASSERT_TRUE(waitUntil([&] { return ticks.count() >= 1; }, 5000));
    EXPECT_GE(counters->calls(), 1);

    form.stopSampling();
    EXPECT_EQ(form.ThreadedTimer1(), nullptr);
    const int seen = counters->calls();
    // Longer than an interval: nothing may tick once sampling has stopped.
    EXPECT_FALSE(waitUntil([&] { return counters->calls() > seen; }, 1500));
}

TEST(MainForm, TickFeedsTheStatisticsWithTheLiveFixedPeak)
{
    auto source = std::make_unique<ScriptedCounterSource>(ScriptedCounterSource::Script{
        oneLink(1000, 0), std::nullopt, oneLink(4000, 0), oneLink(5000, 0)});
    TForm_Main form(std::move(source));
    form.stopSampling(); // drive the tick by hand
    form.FormCreate();
    int peakSpeed = 0;
    form.setSettingsSource(
        [&] {
            TSettings s = firstRunSettings();
            s.PeakSpeed = peakSpeed;
            return s;
        },
        [] {});
    form.Button1Click(); // primes
    form.Button1Click(); // no sample: nothing changes
    form.Button1Click();
    EXPECT_EQ(form.measurement().peakRate(), 3000);
    peakSpeed = 64;
    form.Button1Click();
    EXPECT_EQ(form.measurement().peakRate(), 64000);
    form.PeakReset1Click();
    EXPECT_EQ(form.measurement().peakRate(), 0);
}

TEST(MainForm, CloseCommandClosesLikeTheCloseBox)
{
    TForm_Main form(std::make_unique<ScriptedCounterSource>());
    QSignalSpy closed(&form, &TForm_Main::closed);
    form.show();
    form.Close1Click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

TEST(MainForm, FirstActivationOnlyOnce)
{
    TForm_Main form(std::make_unique<ScriptedCounterSource>());
    form.FormCreate();
    EXPECT_TRUE(form.firstActivation());
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&form, &activate);
    EXPECT_FALSE(form.firstActivation());
}

} // namespace
} // namespace zarvello
