#include "app/FiguresPanel.h"
#include "app/MeterFrame.h"
#include "app/MeterWindow.h"
#include "app/ScreenDocker.h"
#include "app/StayOnTop.h"
#include "meter/SamplingTimer.h"
#include "settings/SettingsDialog.h"
#include "support/ScriptedCounterSource.h"
#include "widgets/Colour.h"
#include "widgets/GradientBar.h"
#include "widgets/TrayMeterIcon.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace zarvello {
namespace {

// Every visible text of `root` that does not fit its place: a button's text
// wider than the room its style leaves beside the indicator or inside the
// frame, a group's title wider than the group, a label reaching into a
// control to its right on the same rows or past its parent's edge.
QStringList misfits(const QWidget& root)
{
    QStringList out;
    auto check = [&out](const QWidget* w, const QString& text, int room) {
        const int need = w->fontMetrics().horizontalAdvance(text);
        if (need > room) {
            out << QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(need).arg(room);
        }
    };
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&root)) {
            continue;
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(w);
            option.text = button->text();
            const auto element = qobject_cast<const QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                 : qobject_cast<const QRadioButton*>(w)
                                     ? QStyle::SE_RadioButtonContents
                                     : QStyle::SE_PushButtonContents;
            check(w, option.text, w->style()->subElementRect(element, &option, w).width());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
            check(w, group->title(), group->width() - 16);
        } else if (const auto* label = qobject_cast<const QLabel*>(w)) {
            const QRect at = label->geometry();
            int right = label->parentWidget()->width();
            for (const QWidget* other :
                 label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QRect g = other->geometry();
                if (other != w && other->isVisibleTo(&root) && g.left() >= at.left() &&
                    g.top() < at.bottom() && g.bottom() > at.top()) {
                    right = std::min(right, g.left());
                }
            }
            check(w, label->text(), right - at.left());
        }
    }
    return out;
}

TEST(TextFit, EveryDialogTextFitsItsControl)
{
    Settings model;
    SettingsDialog dialog(model);
    dialog.show();
    EXPECT_EQ(misfits(dialog).join("; ").toStdString(), "");
}

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

// Every layout in both font sets, with the widest figures the meter is made for.
TEST(MeterArrangement, EveryCombinationTakesItsPresetFromAnyStartAndFitsTheWidestFigures)
{
    const std::pair<MeterControl, QString> widest[] = {{MeterControl::InTotal, "9,999,999 KB"},
                                                       {MeterControl::OutTotal, "9,999,999 KB"},
                                                       {MeterControl::InSpeed, "99,999.9 KBs"},
                                                       {MeterControl::OutSpeed, "99,999.9 KBs"},
                                                       {MeterControl::MaxSpeed, "99999 KBs"}};
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
        m.form.show();
        for (const auto& [control, text] : widest) {
            m.figures.label(control)->setText(text);
            m.figures.label(control)->adjustSize();
        }
        EXPECT_EQ(misfits(m.form).join("; ").toStdString(), "");
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
    for (const Option box : {Option::Percent, Option::Dock, Option::TaskBar, Option::Horiz}) {
        m.model().set(box, box == Option::Percent ? 0 : 1);
    }
    EXPECT_FALSE(m.figures.inBar()->isTextVisible() || m.figures.outBar()->isTextVisible());
    EXPECT_TRUE(m.form.docker()->isActive() && m.form.isTaskbarShown());
    const LayoutPreset* horizontal = presetFor({true, true, true, true, false});
    EXPECT_EQ(m.form.size(), QSize(horizontal->width, horizontal->height));
    m.model().set(Option::InColor1, 12);
    EXPECT_EQ(m.figures.inBar()->startColour(), clRed);
    m.model().set(Option::SmallFont, 1);
    EXPECT_EQ(m.figures.inBar()->startColour(), clBlue);
    EXPECT_EQ(pixels(MeterControl::InSpeed), 11);
    EXPECT_EQ(pixels(MeterControl::MaxSpeed), 9) << "the peak keeps the smaller face";
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

// The submenu lists what is there as it opens; a tick or untick rewrites the
// option, and the next tick primes with the new links' sums, the rates kept.
TEST(MeterInterfaces, TheSubmenuChoosesTheLinksAndAChangePrimesAgain)
{
    auto source = std::make_unique<ScriptedCounterSource>(
        ScriptedCounterSource::Script{Links{{1, 5000, 0, true}, {2, 1000, 0, true}},
                                      Links{{1, 9000, 0, true}, {2, 4000, 0, true}},
                                      Links{{1, 9000, 0, true}, {2, 7000, 0, true}}});
    source->names.assign({{2, "eth0", false, false}, {1, "lo", true, true}}); // the kernel's order
    MeterWindow form(std::move(source));
    form.stopSampling();
    const auto figures = [&panel = *form.figures()] {
        return panel.label(MeterControl::InSpeed)->text() + ", " +
               panel.label(MeterControl::InTotal)->text();
    };
    form.onSamplingTick();
    form.onSamplingTick(); // 7000 in: 2333 a second
    EXPECT_EQ(figures(), "2.3 KBs, 13 KB");
    form.settingsModel()->setInterfaces("eth0");
    form.onSamplingTick();
    EXPECT_EQ(figures(), "2.3 KBs, 7 KB") << "primes: the rate stays, the total is eth0's";
    form.settingsModel()->setInterfaces("eth0,gone,w*,!x");
    const auto entries = [&] {
        Q_EMIT form.interfacesMenu()->aboutToShow();
        QStringList out;
        for (const QAction* a : form.interfacesMenu()->actions()) {
            out << a->text() + (a->isChecked() ? "+" : "") + (a->isEnabled() ? "" : "~");
        }
        return out.join(", ");
    };
    EXPECT_EQ(entries(), "All interfaces, , eth0 (down)+, lo (loopback), gone+~");
    form.interfacesMenu()->actions()[3]->trigger();
    EXPECT_EQ(form.settingsModel()->interfaces(), "eth0,lo,gone");
    form.interfacesMenu()->actions()[0]->trigger();
    EXPECT_EQ(entries(), "All interfaces+, , eth0 (down)+, lo (loopback)+");
    form.interfacesMenu()->actions()[3]->trigger();
    EXPECT_EQ(entries(), "All interfaces, , eth0 (down)+, lo (loopback)");
    form.interfacesMenu()->actions()[2]->trigger();
    EXPECT_EQ(form.settingsModel()->interfaces(), "!*") << "nothing";
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 2; }));

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
                           frame.pixel(r - 1, 1), frame.pixel(r - 1, b - 2)}),
              (std::vector{light, light, shadow, shadow, shadow, dark, dark, dark}));
    // The close box keeps clear of the caption's end, which shows the last band.
    const QRect box = MeterFrame::closeBoxRect(size);
    EXPECT_EQ(frame.pixel(box.topLeft()), light);
    EXPECT_EQ(frame.pixelColor(caption.right(), box.center().y()), to);
}

// A 180 × 63 window on a 1280 × 800 screen whose panel takes the bottom 24 pixels.
constexpr Rect kWorkArea{0, 0, 1280, 776};
constexpr int kW = 180;
constexpr int kH = 63;

Rect at(int left, int top)
{
    return {left, top, left + kW, top + kH};
}

TEST(ScreenDocker, SnapStepPullsEdgesWithinTheDistanceFlush)
{
    // {what, proposed, area, dockable edges, expected, docked to}
    const std::tuple<const char*, Rect, Rect, ScreenEdges, Rect, ScreenEdges> rows[] = {
        // clang-format off
        {"left at -10", at(-10, 300), kWorkArea, kAllEdges, at(0, 300), ScreenEdge::Left},
        {"left at 10", at(10, 300), kWorkArea, kAllEdges, at(0, 300), ScreenEdge::Left},
        {"left at 11", at(11, 300), kWorkArea, kAllEdges, at(11, 300), {}},
        {"right", at(1280 - kW + 9, 300), kWorkArea, kAllEdges, at(1280 - kW, 300), ScreenEdge::Right},
        {"bottom meets the panel", at(400, 776 - kH - 10), kWorkArea, kAllEdges, at(400, 776 - kH), ScreenEdge::Bottom},
        {"corner", at(-4, 4), kWorkArea, kAllEdges, at(0, 0), ScreenEdge::Left | ScreenEdge::Top},
        {"edge not dockable", at(5, 300), kWorkArea, kAllEdges & ~ScreenEdges(ScreenEdge::Left), at(5, 300), {}},
        // An area about as wide as the window: left snaps first, then right wins.
        {"right wins over left", at(3, 300), Rect{0, 0, kW + 8, 776}, kAllEdges, at(8, 300), ScreenEdge::Left | ScreenEdge::Right},
        // clang-format on
    };
    for (auto [what, r, area, edges, expected, docked] : rows) {
        SCOPED_TRACE(what);
        EXPECT_EQ(snapToEdges(r, area, kW, kH, 10, edges), docked);
        EXPECT_EQ(r, expected);
    }
}

TEST(ScreenDocker, SnapsItsOwnWindowWhileActiveAndIsOnePerWindow)
{
    QWidget window;
    window.resize(kW, kH);
    auto* docker = new ScreenDocker(&window);
    QSignalSpy docked(docker, &ScreenDocker::docked);
    EXPECT_EQ(docker->moving(at(-6, 7)), at(0, 0));
    EXPECT_EQ(docked.count(), 2);
    EXPECT_EQ(docked.first().first().value<ScreenEdge>(), ScreenEdge::Left);
    docker->setActive(false);
    EXPECT_EQ(docker->moving(at(-6, 7)), at(-6, 7));
    EXPECT_THROW(ScreenDocker{&window}, std::logic_error);
    QWidget child(&window);
    EXPECT_THROW(ScreenDocker{&child}, std::logic_error);
}

} // namespace
} // namespace zarvello
