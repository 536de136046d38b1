#include "settings/SettingsStore.h"

#include "settings/RegistryHive.h"
#include "settings/Setting_Form.h"
#include "support/MemoryRegistry.h"
#include "widgets/ColorCombo.h"

#include <QCheckBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <limits>

namespace zarvello {
namespace {

const ScreenLayout kScreens{QRect(0, 0, 1280, 776), {QRect(0, 0, 1280, 800)}};

// The options key in a registry of its own; one write can be made to fail.
struct FlakyHive : RegistryHive
{
    using RegistryHive::RegistryHive;
    bool write(const QString& name, std::int32_t value) override
    {
        return name != failWrite && RegistryHive::write(name, value);
    }
    QString failWrite;
};

// A dialog loaded from and saved to `registry`, with what the load did outside it.
struct Harness
{
    explicit Harness(MemoryRegistry& registry) : hive(registry)
    {
        dialog.Timer1->stop();
        SettingsActions actions;
        actions.resetPeak = [this] { ++peakResets; };
        dialog.setActions(actions);
    }
    void load()
    {
        const auto note = [this](const char* what) {
            return [this, what](bool on) { outside.push_back(what + QString::number(on)); };
        };
        LoadTargets targets;
        targets.setTrayActive = note("tray ");
        targets.setDockActive = note("dock ");
        targets.setOnTop = note("top ");
        targets.windowSize = [] { return QSize(180, 103); };
        targets.moveWindow = [this](QPoint to) { movedTo = to; };
        targets.startVersionCheck = [this] { outside.push_back("check"); };
        targets.error = [this](const QString& text) { errors.push_back(text); };
        loadSettings(hive, dialog, targets, kScreens);
    }
    bool save(QPoint at = {})
    {
        return saveSettings(hive, dialog, at, [this](const QString& e) { errors.push_back(e); });
    }

    TForm_Settings dialog;
    FlakyHive hive;
    std::vector<QString> outside, errors;
    QPoint movedTo;
    int peakResets = 0;
};

TEST(SettingsStore, FirstRunLoadsTheFirstRunRecordThenASaveRoundTrips)
{
    MemoryRegistry registry;
    Harness h(registry);
    h.load();
    EXPECT_TRUE(h.errors.empty());
    TSettings expected = firstRunSettings();
    expected.Left = h.dialog.current().Left;
    expected.Top = h.dialog.current().Top;
    EXPECT_EQ(h.dialog.current(), expected);
    EXPECT_EQ(h.outside, (std::vector<QString>{"tray 1", "dock 1", "top 1", "check"}));
    EXPECT_EQ(h.movedTo, QPoint(1280 - 180, 0)) << "top right corner of the work area";

    h.dialog.Horiz1->setChecked(true);
    h.dialog.Dock1->setChecked(false);
    h.dialog.KiloBits1->setChecked(true);
    h.dialog.TrayIconOut->setChecked(true);
    h.dialog.LargeFont->setChecked(true);
    h.dialog.OutColor2->setCurrentIndex(16);
    h.dialog.PeakSpeed->setValue(-5);
    ASSERT_TRUE(h.save(QPoint(40, 50)));
    EXPECT_EQ(registry.saves, 1);
    Harness again(registry);
    again.load();
    EXPECT_TRUE(again.errors.empty());
    EXPECT_EQ(again.dialog.current(), h.dialog.current());
    EXPECT_EQ(again.movedTo, QPoint(40, 50));
    EXPECT_EQ(again.outside[1], "dock 0");
}

TEST(SettingsStore, WrongTypesAreReportedOnceAndTakeTheDefaultAsDoOtherOddities)
{
    MemoryRegistry registry;
    {
        RegistryKey key = registry.create(RegRoot::LocalMachine, "Software\\Zarvello");
        key.setString("In", "abc"); // four bytes with the end mark
        key.setString("TrayIcon", "abcd");
        key.setDword("Out", 0);
        key.setDword("InColor1", 19); // one past the list
        key.setDword("KiloBytes", 1);
        key.setDword("KiloBits", 1);
        key.setDword("Left", static_cast<quint32>(-4000));
        key.setDword("Top", 9000);
        ASSERT_TRUE(key.close());
    }
    Harness h(registry);
    h.load();
    EXPECT_EQ(h.errors, (std::vector<QString>{"Invalid data type for 'In'",
                                              "Failed to get data for 'TrayIcon'"}));
    EXPECT_TRUE(h.dialog.In1->isChecked()) << "a wrong type takes the default";
    EXPECT_FALSE(h.dialog.Out1->isChecked());
    EXPECT_EQ(h.outside, (std::vector<QString>{"tray 1", "dock 1", "top 1", "check"}));
    EXPECT_EQ(h.dialog.InColor1->currentIndex(), -1);
    EXPECT_TRUE(h.dialog.KiloBits1->isChecked()) << "read later, so it wins";
    EXPECT_FALSE(h.dialog.KiloBytes1->isChecked());
    EXPECT_EQ(h.movedTo, QPoint(1100, 0)) << "off every screen: first-run position";
}

TEST(SettingsStore, StoredPositionIsKeptWhileAPixelOfTheWindowIsOnAScreen)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const QPoint firstRun(1100, 0);
    const struct
    {
        QPoint stored, placed;
    } rows[] = {
        {{-179, -102}, {-179, -102}}, {{1279, 799}, {1279, 799}}, {{-180, 0}, firstRun},
        {{0, -103}, firstRun},        {{1280, 0}, firstRun},      {{0, 800}, firstRun},
        {{kMax, kMax}, firstRun},     {{kMin, kMin}, firstRun},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(placeOnScreen(row.stored, QSize(180, 103), kScreens), row.placed)
            << row.stored.x() << "," << row.stored.y();
    }
}

TEST(SettingsStore, AFailedWriteOrSaveIsReportedAndStopsTheSave)
{
    MemoryRegistry registry;
    Harness h(registry);
    h.hive.failWrite = QStringLiteral("In");
    EXPECT_FALSE(h.save());
    h.hive.failWrite.clear();
    // A file that cannot be written takes none of them: the first is named, with the reason.
    registry.failSavesWith = QStringLiteral("Permission denied");
    EXPECT_FALSE(h.save());
    EXPECT_EQ(h.errors, (std::vector<QString>{"Failed to set data for 'In'",
                                              "Failed to set data for 'Left'\nPermission denied"}));
    EXPECT_EQ(registry.saves, 0);
}

TEST(SettingsDialog, PeakSpeedTextAndPairedRadios)
{
    MemoryRegistry registry;
    Harness h(registry);
    for (const char* text : {"25", "", "-", "1.5", "0"}) {
        h.dialog.PeakSpeed->setText(QString::fromLatin1(text));
    }
    EXPECT_EQ(h.peakResets, 4) << "every text that reads as 0 resets the peak";
    QString typed = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(h.dialog.PeakSpeed->validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("+-12.");
    EXPECT_EQ(h.dialog.PeakSpeed->validate(typed, pos), QValidator::Acceptable);
    // A radio of a pair stays chosen when clicked again, and choosing its partner clears it.
    h.dialog.SmallFont->click();
    h.dialog.SmallFont->click();
    EXPECT_TRUE(h.dialog.SmallFont->isChecked());
    h.dialog.LargeFont->click();
    EXPECT_FALSE(h.dialog.SmallFont->isChecked());
}

} // namespace
} // namespace zarvello
