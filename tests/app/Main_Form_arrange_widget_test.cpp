#include "app/Layout.h"
#include "app/Main_Form.h"
#include "app/ScreenDocker.h"
#include "app/TopMost.h"
#include "meter/ThdTimer.h"
#include "support/ScriptedCounterSource.h"
#include "widgets/GradProgress.h"
#include "widgets/TrayProgressBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

// A meter window driven by hand: no timer, settings from a local record.
struct Meter
{
    Meter() : form(std::make_unique<ScriptedCounterSource>())
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

constexpr std::array kAllControls{MeterControl::InLabel,       MeterControl::InTotal,
                                  MeterControl::InSpeed,       MeterControl::InBar,
                                  MeterControl::OutLabel,      MeterControl::OutTotal,
                                  MeterControl::OutSpeed,      MeterControl::OutBar,
                                  MeterControl::MaxSpeedLabel, MeterControl::MaxSpeed};

TEST(MeterArrangement, EveryCombinationTakesItsPresetFromAnyStart)
{
    for (const bool largeFont : {false, true}) {
        for (int bits = 0; bits < 32; ++bits) {
            Meter m;
            // Start from everything on show, so stale controls would be caught.
            m.settings.In = m.settings.Out = m.settings.MaxSpeed = true;
            m.settings.Horiz = true;
            m.form.ArrangeForm();

            m.settings.In = (bits & 1) != 0;
            m.settings.Out = (bits & 2) != 0;
            m.settings.MaxSpeed = (bits & 4) != 0;
            m.settings.Horiz = (bits & 8) != 0;
            m.settings.Shrink = (bits & 16) != 0;
            m.settings.LargeFont = largeFont;
            const bool noGroup = !m.settings.In && !m.settings.Out && !m.settings.MaxSpeed;
            m.form.ArrangeForm();

            OptionCombination expected{m.settings.In, m.settings.Out, m.settings.MaxSpeed,
                                       m.settings.Horiz, m.settings.Shrink};
            const LayoutPreset* preset = presetFor(expected);
            ASSERT_NE(preset, nullptr) << bits;
            EXPECT_EQ(m.form.size(), QSize(preset->width, preset->height)) << preset->name;
            EXPECT_EQ(m.form.clientArea()->size(), QSize(preset->width - 6, preset->height - 22));
            for (const MeterControl c : kAllControls) {
                const Placement& place = (*preset)[c];
                QWidget* w = m.form.control(c);
                EXPECT_EQ(w->isVisibleTo(&m.form), place.visible) << preset->name << int(c);
                if (place.visible) {
                    EXPECT_EQ(w->pos(), QPoint(place.left, place.top)) << preset->name << int(c);
                }
            }
            EXPECT_EQ(m.messages.size(), noGroup ? 1u : 0u) << bits;
            const QSize bar = largeFont ? QSize(150, 14) : QSize(169, 16);
            EXPECT_EQ(m.form.InBar()->size(), bar);
            EXPECT_EQ(m.form.OutBar()->size(), bar);
        }
    }
}

TEST(MeterArrangement, GuardSwitchesInOnThenTellsTheUser)
{
    Meter m;
    m.settings.In = m.settings.Out = m.settings.MaxSpeed = false;
    m.settings.Horiz = true;
    m.settings.Shrink = true;
    m.form.ArrangeForm();
    EXPECT_TRUE(m.settings.In);
    EXPECT_TRUE(m.settings.Horiz && m.settings.Shrink) << "Horiz and Shrink stay as they were";
    ASSERT_EQ(m.messages.size(), 1u);
    EXPECT_EQ(m.messages[0], QStringLiteral("You must pick at least one component!"));
    EXPECT_EQ(m.form.size(), QSize(240, 40));
}

TEST(MeterArrangement, FontsPercentDockingColoursAndTray)
{
    Meter m;
    m.settings.LargeFont = true;
    m.settings.Percent = true;
    m.settings.Dock = false;
    m.settings.InColor1 = 9;      // clRed
    m.settings.InColor2 = 18;     // clNone
    m.settings.OutColor1 = 25;    // beyond the list: black
    m.settings.TrayBakColor = -1; // none: black
    m.settings.TrayForColor = 17; // clWhite
    QFont comboFont;
    m.form.setComboFontTarget([&comboFont](const QFont& font) { comboFont = font; });
    m.form.ArrangeForm();
    EXPECT_EQ(comboFont.family(), QStringLiteral("Arial"));
    EXPECT_EQ(comboFont.pixelSize(), 8);
    EXPECT_EQ(m.form.label(MeterControl::InSpeed)->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(m.form.label(MeterControl::InSpeed)->font().pixelSize(), 9);
    EXPECT_EQ(m.form.label(MeterControl::MaxSpeed)->font().pixelSize(), 9);
    EXPECT_EQ(m.form.TrayProgress()->Font().pixelSize(), 8);
    EXPECT_TRUE(m.form.InBar()->ShowPercent() && m.form.OutBar()->ShowPercent());
    EXPECT_FALSE(m.form.Docker1()->Active());
    EXPECT_EQ(m.form.InBar()->StartColor(), clRed);
    EXPECT_EQ(m.form.InBar()->EndColor(), clNone);
    EXPECT_EQ(m.form.OutBar()->StartColor(), TColor{0});
    EXPECT_EQ(m.form.TrayProgress()->BackColor(), TColor{0});
    EXPECT_EQ(m.form.TrayProgress()->ForeColor(), clWhite);

    m.settings.LargeFont = false;
    m.settings.Percent = false;
    m.form.ArrangeForm();
    EXPECT_EQ(m.form.label(MeterControl::InSpeed)->font().pixelSize(), 11);
    EXPECT_EQ(m.form.label(MeterControl::MaxSpeed)->font().pixelSize(), 9);
    EXPECT_EQ(m.form.TrayProgress()->Font().pixelSize(), 11);
    EXPECT_EQ(comboFont.pixelSize(), 11);
    EXPECT_FALSE(m.form.InBar()->ShowPercent() || m.form.OutBar()->ShowPercent());
    EXPECT_FALSE(m.form.taskbarShown());
    m.settings.TaskBar = true;
    m.form.ArrangeForm();
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

TEST(MeterFigures, TickWritesLabelsBarsAndTray)
{
    auto source = std::make_unique<ScriptedCounterSource>(ScriptedCounterSource::Script{
        oneLink(123456789, 1000), oneLink(123456789 + 96000, 1000 + 3000)});
    Meter m;
    TForm_Main form(std::move(source));
    form.stopSampling();
    form.FormCreate();
    TSettings s = firstRunSettings();
    s.PeakSpeed = 64;
    form.setOwnSettings(s);

    form.Button1Click(); // primes: totals only
    EXPECT_EQ(form.label(MeterControl::InTotal)->text(), QStringLiteral("123,457 KB"));
    EXPECT_EQ(form.label(MeterControl::InSpeed)->text(), QStringLiteral("0.00 Kbs"));
    EXPECT_EQ(form.label(MeterControl::MaxSpeed)->text(), QStringLiteral("0 Kbs"));

    form.Button1Click(); // in 96000 → average 32000 of a fixed 64000 peak
    EXPECT_EQ(form.label(MeterControl::InSpeed)->text(), QStringLiteral("32.0 KBs"));
    EXPECT_EQ(form.label(MeterControl::OutSpeed)->text(), QStringLiteral("1.0 KBs"));
    EXPECT_EQ(form.label(MeterControl::MaxSpeed)->text(), QStringLiteral("64 KBs"));
    EXPECT_EQ(form.InBar()->MaxValue(), 64000);
    EXPECT_EQ(form.InBar()->Position(), 32000);
    EXPECT_EQ(form.OutBar()->Position(), 1000);
    EXPECT_EQ(form.TrayProgress()->Max(), 64);
    EXPECT_EQ(form.TrayProgress()->Position(), 32);
    EXPECT_EQ(form.label(MeterControl::InSpeed)->size(),
              form.label(MeterControl::InSpeed)->sizeHint())
        << "labels size themselves to their caption";
}

TEST(MeterCommands, PopupMenuHasSixItemsInOrder)
{
    Meter m;
    QStringList captions;
    for (const QAction* action : m.form.PopupMenu1()->actions()) {
        captions << action->text();
    }
    EXPECT_EQ(captions,
              (QStringList{"About", "Settings", "Peak Reset", "Maximize", "Minimize", "Close"}));
    EXPECT_EQ(m.form.TrayProgress()->PopupMenu(), m.form.PopupMenu1());
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

} // namespace
} // namespace zarvello
