#include "settings/Setting_Form.h"

#include "widgets/ColorCombo.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

struct Dialog
{
    Dialog() { dialog.Timer1->stop(); }

    SettingsModel model;
    TForm_Settings dialog{model};
    QSignalSpy arranges{&dialog, &TForm_Settings::arrangeRequested};
    QSignalSpy peakResets{&dialog, &TForm_Settings::peakResetRequested};
};

TEST(SettingsDialog, ShowsTheModelAndEditsIt)
{
    Dialog d;
    TForm_Settings& dialog = d.dialog;
    // The form's defaults: only "Enabled" ticked, no radio chosen, no colour, a 0 peak.
    EXPECT_TRUE(dialog.TrayIconEnabled->isChecked());
    EXPECT_FALSE(dialog.In1->isChecked() || dialog.OnTop1->isChecked() ||
                 dialog.KiloBytes1->isChecked() || dialog.KiloBits1->isChecked());
    EXPECT_EQ(dialog.OutColor2->currentIndex(), -1);
    EXPECT_EQ(dialog.PeakSpeed->Text(), QStringLiteral("0"));

    // The program's changes show, and are not taken for a user's.
    d.model.set(Option::Percent, 1);
    d.model.set(Option::InColor1, 9);
    d.model.set(Option::LargeFont, 1);
    d.model.set(Option::PeakSpeed, -5);
    EXPECT_TRUE(dialog.Percent1->isChecked() && dialog.LargeFont->isChecked());
    EXPECT_EQ(dialog.InColor1->currentIndex(), 9);
    EXPECT_EQ(dialog.PeakSpeed->Text(), QStringLiteral("-5"));
    EXPECT_EQ(d.arranges.count(), 0);

    // A user's changes go to the model; a radio stays chosen when clicked again,
    // and choosing its partner clears it.
    dialog.Horiz1->click();
    dialog.SmallFont->click();
    dialog.SmallFont->click();
    dialog.TrayIconEnabled->click();
    dialog.OutColor2->setCurrentIndex(16);
    const TSettings& s = d.model.values();
    EXPECT_TRUE(s.Horiz && s.SmallFont && !s.LargeFont && !s.TrayIcon);
    EXPECT_FALSE(dialog.LargeFont->isChecked());
    EXPECT_EQ(s.OutColor2, 16);
    // Only a pick in a "Start:" or tray colour combo arranges at once.
    Q_EMIT dialog.OutColor2->activated(16);
    EXPECT_EQ(d.arranges.count(), 0);
    for (TColorCombo* combo :
         {dialog.InColor1, dialog.OutColor1, dialog.TrayIconBakColor, dialog.TrayIconForColor}) {
        Q_EMIT combo->activated(3);
    }
    EXPECT_EQ(d.arranges.count(), 4);
}

TEST(SettingsDialog, PeakTextResetsThePeakWheneverItLeavesZero)
{
    Dialog d;
    d.dialog.PeakSpeed->setText(QStringLiteral("25"));
    EXPECT_EQ(d.model.value(Option::PeakSpeed), 25);
    EXPECT_EQ(d.peakResets.count(), 0);
    // Whatever does not read as a positive number means no fixed peak: the peak starts again.
    for (const char* text : {"", "-", "1.5", "0"}) {
        d.dialog.PeakSpeed->setText(QString::fromLatin1(text));
        EXPECT_EQ(d.model.value(Option::PeakSpeed), 0) << text;
    }
    EXPECT_EQ(d.peakResets.count(), 4);
    d.model.set(Option::PeakSpeed, 7);
    d.model.set(Option::PeakSpeed, 0); // as the load does it
    EXPECT_EQ(d.peakResets.count(), 5);
    QString typed = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(d.dialog.PeakSpeed->validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("+-12.");
    EXPECT_EQ(d.dialog.PeakSpeed->validate(typed, pos), QValidator::Acceptable);
}

TEST(SettingsDialog, ClosingAppliesAlwaysOnTopThenArrangesAndTheTimerAsksForTheLoadOnce)
{
    Dialog d;
    QStringList seen;
    QObject::connect(&d.dialog, &TForm_Settings::onTopRequested,
                     [&](bool on) { seen.push_back(on ? "top 1" : "top 0"); });
    QObject::connect(&d.dialog, &TForm_Settings::arrangeRequested,
                     [&] { seen.push_back("arrange"); });
    d.dialog.OnTop1->click();
    d.dialog.show();
    d.dialog.close();
    EXPECT_EQ(seen, QStringList({"top 1", "arrange"}));

    QSignalSpy loads(&d.dialog, &TForm_Settings::loadRequested);
    EXPECT_FALSE(d.dialog.loaded());
    d.dialog.Timer1->start(1);
    ASSERT_TRUE(loads.wait(5000));
    EXPECT_TRUE(d.dialog.loaded());
    EXPECT_FALSE(d.dialog.Timer1->isActive());
    EXPECT_EQ(loads.count(), 1);
}

} // namespace
} // namespace zarvello
