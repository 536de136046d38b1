#include "app/FiguresPanel.h"
#include "app/MeterFrame.h"
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
        QObject::connect(&form, &MeterWindow::messageRequested,
                         [this](const QString& text) { messages.push_back(text); });
    }
    Settings& model() { return *form.settingsModel(); }
    // Takes `s` whole and arranges, as the load's last arrangement does.
    void arrange(const OptionValues& s)
    {
        model().setValues(s);
        form.arrange();
    }

    MeterWindow form;
    FiguresPanel& figures = *form.figures();
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
        EXPECT_EQ(m.figures.size(), QSize(preset->width - 6, preset->height - 22));
        // Whatever preset was chosen shows exactly the groups switched on.
        const auto shown = [&](MeterControl c) {
            return m.figures.control(c)->isVisibleTo(&m.form);
        };
        EXPECT_EQ(shown(MeterControl::InSpeed), now.In);
        EXPECT_EQ(shown(MeterControl::OutBar), now.Out);
        EXPECT_EQ(shown(MeterControl::MaxSpeed), now.MaxSpeed);
        EXPECT_EQ(shown(MeterControl::OutTotal), now.Out && !now.Shrink);
        for (int c = 0; c < kMeterControls; ++c) {
            const Placement& place = preset->controls[c];
            QWidget* w = m.figures.control(static_cast<MeterControl>(c));
            EXPECT_EQ(w->isVisibleTo(&m.form), place.visible) << c;
            EXPECT_TRUE(!place.visible || w->pos() == QPoint(place.left, place.top)) << c;
        }
        const QSize bar = largeFont ? QSize(150, 14) : QSize(169, 16);
        EXPECT_EQ(m.figures.inBar()->size(), bar);
        EXPECT_EQ(m.figures.outBar()->size(), bar);
    }
}

TEST(MeterArrangement, FontsPercentDockingColoursAndTaskBarFollowTheOptionsAndTheirChanges)
{
    Meter m;
    const auto pixels = [&](MeterControl c) { return m.figures.label(c)->font().pixelSize(); };
    OptionValues s = firstRunSettings();
    s.LargeFont = s.Percent = true;
    s.SmallFont = s.Dock = false;
    s.InColor1 = 9;      // clRed
    s.InColor2 = 18;     // clNone, the last in the list
    s.OutColor1 = 19;    // beyond the list: black
    s.TrayBakColor = -1; // none: black
    m.arrange(s);
    EXPECT_EQ((std::vector{m.figures.inBar()->startColour(), m.figures.inBar()->endColour(),
                           m.figures.outBar()->startColour(), m.form.trayIcon()->backColour()}),
              (std::vector{clRed, clNone, Colour{0}, Colour{0}}));

    // Boxes and a font choice re-arrange at once, "Enabled" switches the tray
    // icon; a colour waits for the next arrangement.
    for (const Option box : {Option::Percent, Option::Dock, Option::TaskBar}) {
        m.model().set(box, box == Option::Percent ? 0 : 1);
    }
    EXPECT_FALSE(m.figures.inBar()->isTextVisible() || m.figures.outBar()->isTextVisible());
    EXPECT_TRUE(m.form.docker()->isActive() && m.form.isTaskbarShown());
    m.model().set(Option::InColor1, 12);
    EXPECT_EQ(m.figures.inBar()->startColour(), clRed);
    m.model().set(Option::SmallFont, 1);
    EXPECT_EQ(m.figures.inBar()->startColour(), clBlue);
    EXPECT_EQ(pixels(MeterControl::InSpeed), 11);
    EXPECT_EQ(pixels(MeterControl::MaxSpeed), 9) << "the peak keeps the smaller face";
    m.model().set(Option::Horiz, 1);
    const LayoutPreset* horizontal = presetFor({true, true, true, true, false});
    EXPECT_EQ(m.form.size(), QSize(horizontal->width, horizontal->height));
    m.model().set(Option::TrayIcon, 0);
    EXPECT_FALSE(m.form.trayIcon()->isActive());
    // The last of the three groups to go meets the guard.
    for (const Option group : {Option::In, Option::Out, Option::MaxSpeed}) {
        m.model().set(group, 0);
    }
    EXPECT_EQ(m.messages, std::vector<QString>{"You must pick at least one component!"});
    EXPECT_TRUE(m.model().flag(Option::In) && m.figures.inBar()->isVisibleTo(&m.form));
}

TEST(MeterTick, WritesLabelsAndBarsFromTheLiveFixedPeak)
{
    Meter m({oneLink(123456789, 1000), std::nullopt, oneLink(123456789 + 96000, 1000 + 3000)});
    const auto text = [&](MeterControl c) { return m.figures.label(c)->text(); };
    m.model().set(Option::PeakSpeed, 64);
    m.form.onSamplingTick(); // primes: totals only
    EXPECT_EQ(text(MeterControl::InTotal), QStringLiteral("123,457 KB"));
    m.form.onSamplingTick(); // no sample: nothing changes
    m.form.onSamplingTick(); // in 96000 → average 32000 of a fixed 64000 peak
    EXPECT_EQ((QStringList{text(MeterControl::InSpeed), text(MeterControl::OutSpeed),
                           text(MeterControl::MaxSpeed)}),
              (QStringList{"32.0 KBs", "1.0 KBs", "64 KBs"}));
    EXPECT_EQ(m.figures.inBar()->position(), 32000);
}

TEST(MeterCommands, SettingsDropsAlwaysOnTopAndALabelOrTheCaptionOpensTheMenu)
{
    Meter m;
    m.form.show();
    bool topWhenShown = true;
    QObject::connect(&m.form, &MeterWindow::settingsRequested,
                     [&] { topWhenShown = m.form.stayOnTop()->isOnTop(); });
    EXPECT_TRUE(m.form.stayOnTop()->isOnTop());
    m.form.showSettings();
    EXPECT_FALSE(topWhenShown) << "always on top is dropped before the dialog shows";

    QLabel* label = m.figures.label(MeterControl::InSpeed);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_FALSE(m.form.popupMenu()->isVisible());
    QTest::mousePress(label, Qt::RightButton);
    EXPECT_FALSE(m.form.popupMenu()->isVisible()) << "the menu waits for the release";
    QTest::mouseRelease(label, Qt::RightButton);
    EXPECT_TRUE(m.form.popupMenu()->isVisible());
    m.form.popupMenu()->hide();
    QTest::mouseClick(&m.form, Qt::RightButton, {},
                      MeterFrame::captionRect(m.form.size()).center());
    EXPECT_TRUE(m.form.popupMenu()->isVisible()) << "the caption's menu";
    m.form.popupMenu()->hide();
}

TEST(MeterCommands, OnlyTheLeftButtonDragsByTheCaptionAndEitherCloseSavesOnce)
{
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        Meter m;
        m.form.docker()->setActive(false);
        m.form.move(300, 300);
        m.form.show();
        const QPoint grip = MeterFrame::captionRect(m.form.size()).center() - QPoint(20, 0);
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
            QTest::mouseClick(&m.form, Qt::LeftButton, {},
                              MeterFrame::closeBoxRect(m.form.size()).center());
        } else {
            m.form.popupMenu()->findChild<QAction*>(QStringLiteral("close"))->trigger();
        }
        EXPECT_EQ(saves.count(), 1) << "close box " << closeBox;
        EXPECT_EQ(closed.count(), 1) << "close box " << closeBox;
    }
}

TEST(MeterSampling, TheTimerDrivesTheTickUntilSamplingStops)
{
    constexpr int kFastInterval = 20; // ms, instead of a second, to keep the test short
    MeterWindow form(std::make_unique<ScriptedCounterSource>());
    QPointer<SamplingTimer> timer = form.samplingTimer();
    ASSERT_TRUE(timer && timer->isEnabled()) << "sampling starts with the window";
    QSignalSpy ticks(&form, &MeterWindow::ticked);
    timer->setInterval(kFastInterval); // a new interval stops the timer
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return ticks.count() >= 2; }));

    form.stopSampling();
    // Deleting the timer joins its thread and drops any tick on its way.
    EXPECT_TRUE(timer.isNull());
}

TEST(MeterFrame, IsRaisedAtTheScreensPixelsAndTheCaptionShadesInTwentyBands)
{
    const QSize size(180, 63);
    const QPalette pal;
    EXPECT_EQ(MeterFrame::render(size, 2, pal).size(), size * 2) << "a doubled screen's pixels";
    const QImage frame = MeterFrame::render(size, 1, pal);
    const QRect caption = MeterFrame::captionRect(size);
    const QColor from = toQColor(clWindowText, pal), to = toQColor(clActiveCaption, pal);
    // The top row is clear of the caption text; the last two bands are under the close box.
    for (int band = 0; band < 18; ++band) {
        const auto at = [&](int a, int b) { return a + (b - a) * band / 19; };
        EXPECT_EQ(frame.pixelColor(caption.left() + caption.width() * band / 20, caption.top()),
                  QColor(at(from.red(), to.red()), at(from.green(), to.green()),
                         at(from.blue(), to.blue())))
            << band;
    }
    const int r = size.width() - 1, b = size.height() - 1;
    const QRgb light = pal.color(QPalette::Light).rgb(), shadow = pal.color(QPalette::Shadow).rgb(),
               dark = pal.color(QPalette::Dark).rgb();
    EXPECT_EQ((std::vector{frame.pixel(0, 0), frame.pixel(0, b - 1), frame.pixel(r, b),
                           frame.pixel(r, b - 1), frame.pixel(r - 1, b), frame.pixel(1, b - 1),
                           frame.pixel(r - 1, 1)}),
              (std::vector{light, light, shadow, shadow, shadow, dark, dark}));
    // The close box keeps clear of the caption's end, which shows the last band.
    const QRect box = MeterFrame::closeBoxRect(size);
    EXPECT_EQ(frame.pixel(box.topLeft()), light);
    EXPECT_EQ(frame.pixelColor(caption.right(), box.center().y()), to);
}

} // namespace
} // namespace zarvello
