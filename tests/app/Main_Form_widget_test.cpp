#include "app/Main_Form.h"

#include "app/ScreenDocker.h"
#include "app/TopMost.h"
#include "meter/ThdTimer.h"
#include "support/ScriptedCounterSource.h"
#include "support/Wait.h"
#include "widgets/Colour.h"
#include "widgets/GradProgress.h"
#include "widgets/TrayProgressBar.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace zarvello {
namespace {

// A meter window driven by hand: no timer, settings from a local record.
struct Meter
{
    explicit Meter(ScriptedCounterSource::Script script = {})
        : form(std::make_unique<ScriptedCounterSource>(std::move(script)))
    {
        form.stopSampling();
        form.FormCreate();
        form.setSettingsSource([this] { return settings; },
                               [this] {
                                   settings.In = true;
                                   form.ArrangeForm();
                               });
        form.setMessageBox([this](const QString& text) { messages.push_back(text); });
    }

    TForm_Main form;
    TSettings settings = firstRunSettings();
    std::vector<QString> messages;
};

TEST(MeterArrangement, EveryCombinationTakesItsPresetFromAnyStart)
{
    for (const bool largeFont : {false, true}) {
        for (int bits = 0; bits < 32; ++bits) {
            Meter m;
            // Start from everything on show, so stale controls would be caught.
            m.settings.In = m.settings.Out = m.settings.MaxSpeed = m.settings.Horiz = true;
            m.form.ArrangeForm();
            m.settings.In = (bits & 1) != 0;
            m.settings.Out = (bits & 2) != 0;
            m.settings.MaxSpeed = (bits & 4) != 0;
            m.settings.Horiz = (bits & 8) != 0;
            m.settings.Shrink = (bits & 16) != 0;
            m.settings.LargeFont = largeFont;
            const bool noGroup = (bits & 7) == 0;
            m.form.ArrangeForm();

            const LayoutPreset* preset =
                presetFor({m.settings.In, m.settings.Out, m.settings.MaxSpeed, m.settings.Horiz,
                           m.settings.Shrink});
            ASSERT_NE(preset, nullptr) << bits;
            SCOPED_TRACE(preset->name);
            EXPECT_TRUE(m.settings.In || !noGroup) << "the guard switched In on";
            EXPECT_EQ(m.messages,
                      noGroup ? std::vector<QString>{"You must pick at least one component!"}
                              : std::vector<QString>{});
            EXPECT_EQ(m.form.size(), QSize(preset->width, preset->height));
            EXPECT_EQ(m.form.clientArea()->size(), QSize(preset->width - 6, preset->height - 22));
            for (int c = 0; c < kMeterControls; ++c) {
                const Placement& place = preset->controls[c];
                QWidget* w = m.form.control(static_cast<MeterControl>(c));
                EXPECT_EQ(w->isVisibleTo(&m.form), place.visible) << c;
                if (place.visible) {
                    EXPECT_EQ(w->pos(), QPoint(place.left, place.top)) << c;
                }
            }
            const QSize bar = largeFont ? QSize(150, 14) : QSize(169, 16);
            EXPECT_EQ(m.form.InBar()->size(), bar);
            EXPECT_EQ(m.form.OutBar()->size(), bar);
        }
    }
}

TEST(MeterArrangement, FontsPercentDockingColoursAndTaskBarFollowTheOptions)
{
    Meter m;
    QFont comboFont;
    m.form.setComboFontTarget([&comboFont](const QFont& font) { comboFont = font; });
    const auto pixels = [&](MeterControl c) { return m.form.label(c)->font().pixelSize(); };
    m.settings.LargeFont = m.settings.Percent = true;
    m.settings.Dock = false;
    m.settings.InColor1 = 9;      // clRed
    m.settings.InColor2 = 18;     // clNone
    m.settings.OutColor1 = 25;    // beyond the list: black
    m.settings.OutColor2 = 12;    // clBlue
    m.settings.TrayBakColor = -1; // none: black
    m.settings.TrayForColor = 17; // clWhite
    m.form.ArrangeForm();
    EXPECT_EQ(m.form.label(MeterControl::InSpeed)->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(comboFont.pixelSize(), 8);
    EXPECT_EQ(m.form.TrayProgress()->Font(), comboFont);
    EXPECT_EQ(pixels(MeterControl::InSpeed), pixels(MeterControl::MaxSpeed));
    EXPECT_TRUE(m.form.InBar()->ShowPercent() && m.form.OutBar()->ShowPercent());
    EXPECT_FALSE(m.form.Docker1()->Active());
    EXPECT_EQ(m.form.InBar()->StartColor(), clRed);
    EXPECT_EQ(m.form.InBar()->EndColor(), clNone);
    EXPECT_EQ(m.form.OutBar()->StartColor(), TColor{0});
    EXPECT_EQ(m.form.OutBar()->EndColor(), clBlue);
    EXPECT_EQ(m.form.TrayProgress()->BackColor(), TColor{0});
    EXPECT_EQ(m.form.TrayProgress()->ForeColor(), clWhite);
    EXPECT_FALSE(m.form.taskbarShown());

    m.settings.LargeFont = m.settings.Percent = false;
    m.settings.Dock = m.settings.TaskBar = true;
    m.form.ArrangeForm();
    EXPECT_EQ(pixels(MeterControl::InSpeed), 11);
    EXPECT_EQ(pixels(MeterControl::MaxSpeed), 9) << "the peak keeps the smaller face";
    EXPECT_EQ(comboFont.pixelSize(), 11);
    EXPECT_FALSE(m.form.InBar()->ShowPercent() || m.form.OutBar()->ShowPercent());
    EXPECT_TRUE(m.form.Docker1()->Active());
    EXPECT_TRUE(m.form.taskbarShown());
}

TEST(MeterArrangement, TaskBarEntryFollowsTheOptionWhicheverComesFirstActivationOrLoad)
{
    for (const bool loadFirst : {true, false}) {
        Meter m;
        QEvent activate(QEvent::WindowActivate);
        if (!loadFirst) {
            QCoreApplication::sendEvent(&m.form, &activate);
            EXPECT_FALSE(m.form.taskbarShown()) << "the first activation hides the entry";
        }
        m.settings.TaskBar = true;
        m.form.ArrangeForm();
        QCoreApplication::sendEvent(&m.form, &activate);
        EXPECT_TRUE(m.form.taskbarShown()) << "load first: " << loadFirst;
    }
}

TEST(MeterTick, WritesLabelsBarsAndTrayAndFeedsTheLiveFixedPeak)
{
    Meter m({oneLink(123456789, 1000), std::nullopt, oneLink(123456789 + 96000, 1000 + 3000)});
    const auto text = [&](MeterControl c) { return m.form.label(c)->text(); };
    m.settings.PeakSpeed = 64;
    m.form.Button1Click(); // primes: totals only
    EXPECT_EQ(text(MeterControl::InTotal), QStringLiteral("123,457 KB"));
    EXPECT_EQ(text(MeterControl::InSpeed), QStringLiteral("0.00 Kbs"));
    m.form.Button1Click(); // no sample: nothing changes

    m.form.Button1Click(); // in 96000 → average 32000 of a fixed 64000 peak
    EXPECT_EQ(text(MeterControl::InSpeed), QStringLiteral("32.0 KBs"));
    EXPECT_EQ(text(MeterControl::OutSpeed), QStringLiteral("1.0 KBs"));
    EXPECT_EQ(text(MeterControl::MaxSpeed), QStringLiteral("64 KBs"));
    EXPECT_EQ(m.form.InBar()->MaxValue(), 64000);
    EXPECT_EQ(m.form.InBar()->Position(), 32000);
    EXPECT_EQ(m.form.OutBar()->Position(), 1000);
    EXPECT_EQ(m.form.TrayProgress()->Max(), 64);
    EXPECT_EQ(m.form.TrayProgress()->Position(), 32);
    EXPECT_EQ(m.form.label(MeterControl::InSpeed)->size(),
              m.form.label(MeterControl::InSpeed)->sizeHint())
        << "labels size themselves to their caption";

    m.form.PeakReset1Click();
    EXPECT_EQ(m.form.measurement().peakRate(), 0);
}

TEST(MeterCommands, MinimiseAndRestoreTakeTheOtherWindowsAlong)
{
    Meter m;
    QWidget settings;
    QWidget memory;
    m.form.setCompanionWindows({&settings, &memory});
    m.form.show();
    settings.show();
    m.form.Maximize1Click(); // not minimised: nothing
    EXPECT_TRUE(settings.isVisible());
    m.form.Minimize1Click();
    EXPECT_TRUE(m.form.programMinimized());
    EXPECT_FALSE(settings.isVisible());
    m.form.Minimize1Click(); // already minimised: nothing
    m.form.TrayProgressDblClick();
    EXPECT_FALSE(m.form.programMinimized());
    EXPECT_TRUE(settings.isVisible());
    EXPECT_FALSE(memory.isVisible()) << "only what was open comes back";
}

TEST(MeterCommands, SettingsDropsAlwaysOnTopBeforeShowingTheDialog)
{
    Meter m;
    bool topWhenShown = true;
    m.form.setSettingsWindow([&] { topWhenShown = m.form.Top1()->OnTop(); });
    EXPECT_TRUE(m.form.Top1()->OnTop());
    m.form.Settings1Click();
    EXPECT_FALSE(topWhenShown);
}

TEST(MeterCommands, ARightClickOnALabelOpensTheMenuAndALeftClickDoesNot)
{
    Meter m;
    m.form.show();
    QLabel* label = m.form.label(MeterControl::InSpeed);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_FALSE(m.form.PopupMenu1()->isVisible());
    QTest::mouseClick(label, Qt::RightButton);
    EXPECT_TRUE(m.form.PopupMenu1()->isVisible());
    m.form.PopupMenu1()->hide();
}

TEST(MeterCommands, OnlyTheLeftButtonDragsByTheCaption)
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
}

TEST(MeterCommands, CloseBoxAndMenuCloseEachSaveExactlyOnce)
{
    for (const bool viaMenu : {false, true}) {
        Meter m;
        int saves = 0;
        m.form.setCloseHandler([&] { ++saves; });
        QSignalSpy closed(&m.form, &TForm_Main::closed);
        m.form.show();
        if (viaMenu) {
            const auto actions = m.form.PopupMenu1()->actions();
            const auto closeAction = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
                return a->text() == QStringLiteral("Close");
            });
            ASSERT_NE(closeAction, actions.end());
            (*closeAction)->trigger();
        } else {
            QTest::mouseClick(&m.form, Qt::LeftButton, {}, m.form.closeBoxRect().center());
        }
        EXPECT_EQ(saves, 1) << "via menu: " << viaMenu;
        EXPECT_EQ(closed.count(), 1) << "via menu: " << viaMenu;
        EXPECT_FALSE(m.form.isVisible());
    }
}

TEST(MeterWindow, CaptionShadesFromWindowTextToTheCaptionColour)
{
    Meter m;
    const QImage frame = m.form.renderFrame();
    const QRect caption = m.form.captionRect();
    const QPalette pal = m.form.palette();
    const QColor from = toQColor(clWindowText, pal);
    const QColor to = toQColor(clActiveCaption, pal);
    ASSERT_NE(from, to);
    // The top row is clear of the caption text; the last band is under the close box.
    EXPECT_EQ(frame.pixelColor(caption.topLeft()), from);
    const int lastOpenBand = caption.left() + caption.width() * 18 / 20;
    const QColor nearEnd = frame.pixelColor(lastOpenBand, caption.top());
    EXPECT_LT(std::abs(nearEnd.red() - to.red()) + std::abs(nearEnd.blue() - to.blue()),
              std::abs(from.red() - to.red()) + std::abs(from.blue() - to.blue()));
}

TEST(MeterSampling, TheTimerDrivesTheTickAndNoTickRunsOnceSamplingStops)
{
    constexpr int kFastInterval = 20; // ms, instead of a second, to keep the test short
    auto source = std::make_unique<ScriptedCounterSource>();
    auto* counters = source.get();
    TForm_Main form(std::move(source));
    form.FormCreate();
    QPointer<TThreadedTimer> timer = form.ThreadedTimer1();
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->Enabled()) << "sampling starts with the window";
    timer->setInterval(kFastInterval);
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counters->calls() >= 2; }));

    form.stopSampling();
    EXPECT_TRUE(timer.isNull()) << "the timer, and any tick on its way, is gone";
    const int seen = counters->calls();
    // A timer of the same interval ticking three times proves that the
    // stopped one would have ticked meanwhile.
    TThreadedTimer pacer;
    int paces = 0;
    pacer.setInterval(kFastInterval);
    pacer.setOnTimer([&](TThreadedTimer*) { ++paces; });
    pacer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return paces >= 3; }));
    EXPECT_EQ(counters->calls(), seen);
}

} // namespace
} // namespace zarvello
