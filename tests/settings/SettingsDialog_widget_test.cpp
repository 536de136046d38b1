#include "settings/SettingsDialog.h"

#include "widgets/ColourCombo.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

using enum Option;

TEST(SettingsDialog, ShowsTheModelAndPassesOnAUsersEditsClosingAndTheLoad)
{
    Settings model;
    SettingsDialog dialog(model);
    const auto button = [&](Option option) { return dialog.control<QAbstractButton>(option); };
    const auto combo = [&](Option option) { return dialog.control<ColourCombo>(option); };
    QSignalSpy arranges(&dialog, &SettingsDialog::arrangeRequested);
    // The model's first values show: "Enabled" ticked, a 0 peak.
    EXPECT_TRUE(button(TrayIcon)->isChecked());
    EXPECT_EQ(dialog.control<SpinEdit>(PeakSpeed)->text(), QStringLiteral("0"));
    // The program's changes show, and are not taken for a user's.
    model.set(Percent, 1);
    model.set(InColor1, 9);
    model.set(LargeFont, 1);
    EXPECT_TRUE(button(Percent)->isChecked() && button(LargeFont)->isChecked());
    EXPECT_EQ(combo(InColor1)->currentIndex(), 9);
    EXPECT_EQ(arranges.count(), 0);

    // A radio stays chosen when clicked again, and choosing its partner clears it.
    button(Horiz)->click();
    button(SmallFont)->click();
    button(SmallFont)->click();
    button(TrayIcon)->click();
    combo(OutColor2)->setCurrentIndex(16);
    const OptionValues& s = model.values();
    EXPECT_TRUE(s.Horiz && s.SmallFont && !s.LargeFont && !s.TrayIcon && s.OutColor2 == 16);
    EXPECT_FALSE(button(LargeFont)->isChecked());
    // Only a pick in a "Start:" or tray colour combo arranges at once.
    for (ColourCombo* picked : {combo(OutColor2), combo(InColor1), combo(OutColor1),
                                combo(TrayBakColor), combo(TrayForColor)}) {
        Q_EMIT picked->activated(3);
    }
    EXPECT_EQ(arranges.count(), 4);

    // The meter's font set reaches the six colour combos, and only them.
    const QFont large(QStringLiteral("Arial"), 13);
    dialog.setComboFont(large);
    for (const Option option :
         {InColor1, InColor2, OutColor1, OutColor2, TrayBakColor, TrayForColor}) {
        EXPECT_EQ(combo(option)->font(), large);
    }
    EXPECT_NE(button(In)->font(), large);

    QSignalSpy resets(&dialog, &SettingsDialog::peakResetRequested);
    SpinEdit* peak = dialog.control<SpinEdit>(PeakSpeed);
    peak->setTypedText(QStringLiteral("25"));
    EXPECT_EQ(model.value(PeakSpeed), 25);
    // Whatever does not read as a positive number means no fixed peak: the peak starts again.
    for (const char* text : {"", "-", "1.5", "0"}) {
        peak->setTypedText(QString::fromLatin1(text));
        EXPECT_EQ(model.value(PeakSpeed), 0) << text;
    }
    model.set(PeakSpeed, -5);
    EXPECT_EQ(peak->text(), QStringLiteral("-5"));
    model.set(PeakSpeed, 0); // as the load does it
    EXPECT_EQ(resets.count(), 5);
    QString typed[] = {QStringLiteral("12a"), QStringLiteral("+-12.")};
    int pos = 0;
    EXPECT_EQ(std::pair(peak->validate(typed[0], pos), peak->validate(typed[1], pos)),
              std::pair(QValidator::Invalid, QValidator::Acceptable));

    QStringList seen;
    QObject::connect(&dialog, &SettingsDialog::onTopRequested,
                     [&](bool on) { seen.push_back(on ? "top 1" : "top 0"); });
    QObject::connect(&dialog, &SettingsDialog::arrangeRequested,
                     [&] { seen.push_back("arrange"); });
    button(OnTop)->click();
    dialog.show();
    dialog.close();
    EXPECT_EQ(seen, QStringList({"top 1", "arrange"}));

    QSignalSpy loads(&dialog, &SettingsDialog::loadRequested);
    EXPECT_FALSE(dialog.isLoaded());
    ASSERT_TRUE(loads.wait(5000));
    EXPECT_TRUE(dialog.isLoaded());
}

} // namespace
} // namespace zarvello
