#include "app/MeterWindow.h"

#include "app/ScreenDocker.h"
#include "app/StayOnTop.h"
#include "meter/SamplingTimer.h"
#include "support/ScriptedCounterSource.h"
#include "support/Wait.h"
#include "widgets/Colour.h"
#include "widgets/GradientBar.h"
#include "widgets/TrayMeterIcon.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

// A meter window driven by hand: no timer, the window's own options.
struct Meter
{
    explicit Meter(ScriptedCounterSource::Script script = {})
        : form(std::make_unique<ScriptedCounterSource>(std::move(script)))
    {
        form.stopSampling();
        form.FormCreate();
        form.setMessageBox([this](const QString& text) { messages.push_back(text); });
    }
    Settings& model() { return *form.settingsModel(); }
    // Takes `s` whole and arranges, as the load's last arrangement does.
    void arrange(const OptionValues& s)
    {
        model().setValues(s);
        form.ArrangeForm();
    }

    MeterWindow form;
    std::vector<QString> messages;
};

TEST(MeterArrangement, EveryCombinationTakesItsPresetFromAnyStart)
{
    for (int bits = 0; bits < 64; ++bits) {
        const bool largeFont = bits >= 32;
        Meter m;
        OptionValues s = firstRunSettings();
        s.LargeFont = largeFont;
        // Start from everything on show, so stale controls would be caught.
        s.In = s.Out = s.MaxSpeed = s.Horiz = true;
        m.arrange(s);
        std::tie(s.In, s.Out, s.MaxSpeed, s.Horiz, s.Shrink) =
            std::tuple(bits & 1, bits & 2, bits & 4, bits & 8, bits & 16);
        m.arrange(s);
        const OptionValues& now = m.model().values();
        const bool noGroup = (bits & 7) == 0;
        const LayoutPreset* preset =
            presetFor({now.In, now.Out, now.MaxSpeed, now.Horiz, now.Shrink});
        ASSERT_NE(preset, nullptr) << bits;
        SCOPED_TRACE(preset->name);
        EXPECT_TRUE(now.In || !noGroup) << "the guard switched In on";
        EXPECT_EQ(m.messages.size(), noGroup ? 1U : 0U);
        EXPECT_EQ(m.form.size(), QSize(preset->width, preset->height));
        EXPECT_EQ(m.form.clientArea()->size(), QSize(preset->width - 6, preset->height - 22));
        // Whatever preset was chosen shows exactly the groups switched on.
        const auto shown = [&](MeterControl c) { return m.form.control(c)->isVisibleTo(&m.form); };
        EXPECT_EQ(shown(MeterControl::InSpeed), now.In);
        EXPECT_EQ(shown(MeterControl::OutBar), now.Out);
        EXPECT_EQ(shown(MeterControl::MaxSpeed), now.MaxSpeed);
        EXPECT_EQ(shown(MeterControl::OutTotal), now.Out && !now.Shrink);
        for (int c = 0; c < kMeterControls; ++c) {
            const Placement& place = preset->controls[c];
            QWidget* w = m.form.control(static_cast<MeterControl>(c));
            EXPECT_EQ(w->isVisibleTo(&m.form), place.visible) << c;
            EXPECT_TRUE(!place.visible || w->pos() == QPoint(place.left, place.top)) << c;
        }
        const QSize bar = largeFont ? QSize(150, 14) : QSize(169, 16);
        EXPECT_EQ(m.form.InBar()->size(), bar);
        EXPECT_EQ(m.form.OutBar()->size(), bar);
    }
}

TEST(MeterArrangement, FontsPercentDockingColoursAndTaskBarFollowTheOptionsAndTheirChanges)
{
    Meter m;
    const auto pixels = [&](MeterControl c) { return m.form.label(c)->font().pixelSize(); };
    OptionValues s = firstRunSettings();
    s.LargeFont = s.Percent = true;
    s.SmallFont = s.Dock = false;
    s.InColor1 = 9;      // clRed
    s.InColor2 = 18;     // clNone, the last in the list
    s.OutColor1 = 19;    // beyond the list: black
    s.TrayBakColor = -1; // none: black
    m.arrange(s);
    EXPECT_EQ((std::vector{m.form.InBar()->StartColor(), m.form.InBar()->EndColor(),
                           m.form.OutBar()->StartColor(), m.form.TrayProgress()->BackColor()}),
              (std::vector{clRed, clNone, Colour{0}, Colour{0}}));

    // Boxes and a font choice re-arrange at once, "Enabled" switches the tray
    // icon; a colour waits for the next arrangement.
    for (const Option box : {Option::Percent, Option::Dock, Option::TaskBar}) {
        m.model().set(box, box == Option::Percent ? 0 : 1);
    }
    EXPECT_FALSE(m.form.InBar()->ShowPercent() || m.form.OutBar()->ShowPercent());
    EXPECT_TRUE(m.form.Docker1()->Active() && m.form.taskbarShown());
    m.model().set(Option::InColor1, 12);
    EXPECT_EQ(m.form.InBar()->StartColor(), clRed);
    m.model().set(Option::SmallFont, 1);
    EXPECT_EQ(m.form.InBar()->StartColor(), clBlue);
    EXPECT_EQ(pixels(MeterControl::InSpeed), 11);
    EXPECT_EQ(pixels(MeterControl::MaxSpeed), 9) << "the peak keeps the smaller face";
    m.model().set(Option::Horiz, 1);
    const LayoutPreset* horizontal = presetFor({true, true, true, true, false});
    EXPECT_EQ(m.form.size(), QSize(horizontal->width, horizontal->height));
    m.model().set(Option::TrayIcon, 0);
    EXPECT_FALSE(m.form.TrayProgress()->Active());
    // The last of the three groups to go meets the guard.
    for (const Option group : {Option::In, Option::Out, Option::MaxSpeed}) {
        m.model().set(group, 0);
    }
    EXPECT_EQ(m.messages, std::vector<QString>{"You must pick at least one component!"});
    EXPECT_TRUE(m.model().flag(Option::In) && m.form.InBar()->isVisibleTo(&m.form));
}

TEST(MeterTick, WritesLabelsAndBarsFromTheLiveFixedPeak)
{
    Meter m({oneLink(123456789, 1000), std::nullopt, oneLink(123456789 + 96000, 1000 + 3000)});
    const auto text = [&](MeterControl c) { return m.form.label(c)->text(); };
    m.model().set(Option::PeakSpeed, 64);
    m.form.Button1Click(); // primes: totals only
    EXPECT_EQ(text(MeterControl::InTotal), QStringLiteral("123,457 KB"));
    m.form.Button1Click(); // no sample: nothing changes
    m.form.Button1Click(); // in 96000 → average 32000 of a fixed 64000 peak
    EXPECT_EQ((QStringList{text(MeterControl::InSpeed), text(MeterControl::OutSpeed),
                           text(MeterControl::MaxSpeed)}),
              (QStringList{"32.0 KBs", "1.0 KBs", "64 KBs"}));
    EXPECT_EQ(m.form.InBar()->Position(), 32000);
}

TEST(MeterCommands, SettingsDropsAlwaysOnTopAndALabelOrTheCaptionOpensTheMenu)
{
    Meter m;
    m.form.show();
    bool topWhenShown = true;
    QObject::connect(&m.form, &MeterWindow::settingsRequested,
                     [&] { topWhenShown = m.form.Top1()->OnTop(); });
    EXPECT_TRUE(m.form.Top1()->OnTop());
    m.form.Settings1Click();
    EXPECT_FALSE(topWhenShown) << "always on top is dropped before the dialog shows";

    QLabel* label = m.form.label(MeterControl::InSpeed);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_FALSE(m.form.PopupMenu1()->isVisible());
    QTest::mousePress(label, Qt::RightButton);
    EXPECT_FALSE(m.form.PopupMenu1()->isVisible()) << "the menu waits for the release";
    QTest::mouseRelease(label, Qt::RightButton);
    EXPECT_TRUE(m.form.PopupMenu1()->isVisible());
    m.form.PopupMenu1()->hide();
    QTest::mouseClick(&m.form, Qt::RightButton, {}, m.form.captionRect().center());
    EXPECT_TRUE(m.form.PopupMenu1()->isVisible()) << "the caption's menu";
    m.form.PopupMenu1()->hide();
}

TEST(MeterCommands, OnlyTheLeftButtonDragsByTheCaptionAndEitherCloseSavesOnce)
{
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        Meter m;
        m.form.Docker1()->setActive(false);
        m.form.move(300, 300);
        m.form.show();
        const QPoint grip = m.form.captionRect().center() - QPoint(20, 0);
        QTest::mousePress(&m.form, button, {}, grip);
        QTest::mouseMove(&m.form, grip + QPoint(40, 25));
        QTest::mouseRelease(&m.form, button, {}, grip + QPoint(40, 25));
        EXPECT_EQ(m.form.pos(), button == Qt::LeftButton ? QPoint(340, 325) : QPoint(300, 300))
            << "button " << button;
    }
    // Both ways to close, the close box and the menu's Close, save exactly once.
    for (const bool closeBox : {true, false}) {
        Meter m;
        QSignalSpy saves(&m.form, &MeterWindow::closing);
        QSignalSpy closed(&m.form, &MeterWindow::closed);
        m.form.show();
        if (closeBox) {
            QTest::mouseClick(&m.form, Qt::LeftButton, {}, m.form.closeBoxRect().center());
        } else {
            m.form.PopupMenu1()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        }
        EXPECT_EQ(saves.count(), 1) << "close box " << closeBox;
        EXPECT_EQ(closed.count(), 1) << "close box " << closeBox;
    }
}

TEST(MeterSampling, TheTimerDrivesTheTickAndNoTickRunsOnceSamplingStops)
{
    constexpr int kFastInterval = 20; // ms, instead of a second, to keep the test short
    MeterWindow form(std::make_unique<ScriptedCounterSource>());
    form.FormCreate();
    QPointer<SamplingTimer> timer = form.ThreadedTimer1();
    ASSERT_TRUE(timer && timer->isEnabled()) << "sampling starts with the window";
    QSignalSpy ticks(&form, &MeterWindow::ticked);
    timer->setInterval(kFastInterval); // a new interval stops the timer
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return ticks.count() >= 2; }));

    form.stopSampling();
    EXPECT_TRUE(timer.isNull()) << "the timer, and any tick on its way, is gone";
    const auto seen = ticks.count();
    // A timer of the same interval ticking three times proves that the
    // stopped one would have ticked meanwhile.
    SamplingTimer pacer;
    int paces = 0;
    pacer.setInterval(kFastInterval);
    QObject::connect(&pacer, &SamplingTimer::timeout, &pacer, [&] { ++paces; });
    pacer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return paces >= 3; }));
    EXPECT_EQ(ticks.count(), seen);
}

TEST(MeterWindow, FrameIsRaisedAndTheCaptionShadesInTwentyBands)
{
    Meter m;
    const QImage frame = m.form.renderFrame();
    const QRect caption = m.form.captionRect();
    const QPalette pal = m.form.palette();
    const QColor from = toQColor(clWindowText, pal), to = toQColor(clActiveCaption, pal);
    // The top row is clear of the caption text; the last two bands are under the close box.
    for (int band = 0; band < 18; ++band) {
        const auto at = [&](int a, int b) { return a + (b - a) * band / 19; };
        EXPECT_EQ(frame.pixelColor(caption.left() + caption.width() * band / 20, caption.top()),
                  QColor(at(from.red(), to.red()), at(from.green(), to.green()),
                         at(from.blue(), to.blue())))
            << band;
    }
    const int r = frame.width() - 1, b = frame.height() - 1;
    const QRgb light = pal.color(QPalette::Light).rgb(), shadow = pal.color(QPalette::Shadow).rgb(),
               dark = pal.color(QPalette::Dark).rgb();
    EXPECT_EQ((std::vector{frame.pixel(0, 0), frame.pixel(0, b - 1), frame.pixel(r, b),
                           frame.pixel(r, b - 1), frame.pixel(1, b - 1), frame.pixel(r - 1, 1)}),
              (std::vector{light, light, shadow, shadow, dark, dark}));
}

} // namespace
} // namespace zarvello
