#include "settings/SettingsDialog.h"

#include "widgets/ColourCombo.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(SettingsDialog, ShowsTheModelAndAUsersChangesEditIt)
{
    Settings model;
    SettingsDialog dialog(model);
    QSignalSpy arranges(&dialog, &SettingsDialog::arrangeRequested);
    // The form's defaults: only "Enabled" ticked, no radio chosen, no colour, a 0 peak.
    EXPECT_TRUE(dialog.TrayIconEnabled->isChecked());
    EXPECT_FALSE(dialog.In1->isChecked() || dialog.OnTop1->isChecked() ||
                 dialog.KiloBytes1->isChecked() || dialog.KiloBits1->isChecked());
    EXPECT_EQ(dialog.OutColor2->currentIndex(), -1);
    // The program's changes show, and are not taken for a user's.
    model.set(Option::Percent, 1);
    model.set(Option::InColor1, 9);
    model.set(Option::LargeFont, 1);
    EXPECT_TRUE(dialog.Percent1->isChecked() && dialog.LargeFont->isChecked());
    EXPECT_EQ(dialog.InColor1->currentIndex(), 9);
    EXPECT_EQ(arranges.count(), 0);

    // A radio stays chosen when clicked again, and choosing its partner clears it.
    dialog.Horiz1->click();
    dialog.SmallFont->click();
    dialog.SmallFont->click();
    dialog.TrayIconEnabled->click();
    dialog.OutColor2->setCurrentIndex(16);
    const OptionValues& s = model.values();
    EXPECT_TRUE(s.Horiz && s.SmallFont && !s.LargeFont && !s.TrayIcon && s.OutColor2 == 16);
    EXPECT_FALSE(dialog.LargeFont->isChecked());
    // Only a pick in a "Start:" or tray colour combo arranges at once.
    for (ColourCombo* combo : {dialog.OutColor2, dialog.InColor1, dialog.OutColor1,
                               dialog.TrayIconBakColor, dialog.TrayIconForColor}) {
        Q_EMIT combo->activated(3);
    }
    EXPECT_EQ(arranges.count(), 4);
}

TEST(SettingsDialog, PeakTextClosingAndTheStartUpTimer)
{
    Settings model;
    SettingsDialog dialog(model);
    QSignalSpy resets(&dialog, &SettingsDialog::peakResetRequested);
    dialog.PeakSpeed->setText(QStringLiteral("25"));
    EXPECT_EQ(model.value(Option::PeakSpeed), 25);
    // Whatever does not read as a positive number means no fixed peak: the peak starts again.
    for (const char* text : {"", "-", "1.5", "0"}) {
        dialog.PeakSpeed->setText(QString::fromLatin1(text));
        EXPECT_EQ(model.value(Option::PeakSpeed), 0) << text;
    }
    model.set(Option::PeakSpeed, -5);
    EXPECT_EQ(dialog.PeakSpeed->Text(), QStringLiteral("-5"));
    model.set(Option::PeakSpeed, 0); // as the load does it
    EXPECT_EQ(resets.count(), 5);
    QString typed = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(dialog.PeakSpeed->validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("+-12.");
    EXPECT_EQ(dialog.PeakSpeed->validate(typed, pos), QValidator::Acceptable);

    QStringList seen;
    QObject::connect(&dialog, &SettingsDialog::onTopRequested,
                     [&](bool on) { seen.push_back(on ? "top 1" : "top 0"); });
    QObject::connect(&dialog, &SettingsDialog::arrangeRequested,
                     [&] { seen.push_back("arrange"); });
    dialog.OnTop1->click();
    dialog.show();
    dialog.close();
    EXPECT_EQ(seen, QStringList({"top 1", "arrange"}));

    QSignalSpy loads(&dialog, &SettingsDialog::loadRequested);
    EXPECT_FALSE(dialog.loaded());
    ASSERT_TRUE(loads.wait(5000));
    EXPECT_TRUE(dialog.loaded() && !dialog.Timer1->isActive());
}

} // namespace
} // namespace zarvello
