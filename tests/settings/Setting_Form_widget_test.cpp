#include "settings/Setting_Form.h"

#include <QCheckBox>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(SettingsDialog, PeakTextBoxesAndPairedRadios)
{
    TForm_Settings dialog;
    int arrangements = 0, peakResets = 0;
    SettingsActions actions;
    actions.arrange = [&] { ++arrangements; };
    actions.resetPeak = [&] { ++peakResets; };
    dialog.setActions(actions);
    dialog.PeakSpeed->setText(QStringLiteral("25"));
    EXPECT_EQ(dialog.current().PeakSpeed, 25);
    EXPECT_EQ(peakResets, 0);
    // Whatever does not read as a positive number means no fixed peak: the peak starts again.
    for (const char* text : {"", "-", "1.5", "0"}) {
        dialog.PeakSpeed->setText(QString::fromLatin1(text));
        EXPECT_EQ(dialog.PeakSpeed->Value(), 0) << text;
    }
    EXPECT_EQ(peakResets, 4);
    QString typed = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(dialog.PeakSpeed->validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("+-12.");
    EXPECT_EQ(dialog.PeakSpeed->validate(typed, pos), QValidator::Acceptable);

    // Boxes arrange when the program sets them too; "Always On Top" does not.
    dialog.Percent1->setChecked(true);
    dialog.OnTop1->setChecked(true);
    EXPECT_EQ(arrangements, 1);
    // A radio of a pair stays chosen when clicked again; choosing its partner clears it.
    dialog.SmallFont->click();
    dialog.SmallFont->click();
    EXPECT_TRUE(dialog.SmallFont->isChecked());
    dialog.LargeFont->click();
    EXPECT_FALSE(dialog.SmallFont->isChecked());
}

} // namespace
} // namespace zarvello
