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

// A dialog loaded from and saved to `registry`, with what the load did outside it.
struct Harness
{
    explicit Harness(MemoryRegistry& registry) : hive(registry) { dialog.Timer1->stop(); }
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
        targets.moveWindow = [this](QPoint to) {
            outside.push_back(QStringLiteral("at %1,%2").arg(to.x()).arg(to.y()));
        };
        targets.startVersionCheck = [this] { outside.push_back("check"); };
        targets.error = [this](const QString& text) { errors.push_back(text); };
        loadSettings(hive, dialog, targets, kScreens);
    }
    bool save(QPoint at = {})
    {
        return saveSettings(hive, dialog, at, [this](const QString& e) { errors.push_back(e); });
    }

    TForm_Settings dialog;
    RegistryHive hive;
    std::vector<QString> outside, errors;
};

TEST(SettingsStore, FirstRunLoadsTheFirstRunRecordThenASaveRoundTrips)
{
    MemoryRegistry registry;
    Harness h(registry);
    h.load();
    EXPECT_TRUE(h.errors.empty());

    // Placed in the top right corner of the work area.
    EXPECT_EQ(h.outside, (std::vector<QString>{"tray 1", "dock 1", "top 1", "at 1100,0", "check"}));

    h.dialog.Horiz1->setChecked(true);
    h.dialog.Dock1->setChecked(false);
    h.dialog.OutColor2->setCurrentIndex(16);
    h.dialog.PeakSpeed->setValue(-5);
    ASSERT_TRUE(h.save(QPoint(40, 50)));
    Harness again(registry);
    again.load();
    EXPECT_EQ(again.dialog.current(), h.dialog.current());
    EXPECT_EQ(again.outside,
              (std::vector<QString>{"tray 1", "dock 0", "top 1", "at 40,50", "check"}));
}

TEST(SettingsStore, WrongTypesAreReportedOnceAndTakeTheDefaultAsDoOtherOddities)
{
    MemoryRegistry registry;
    {
        RegistryKey key = registry.create(RegRoot::LocalMachine, "Software\\Zarvello");
        key.setString("In", "abc"); // four bytes with the end mark
        key.setString("TrayIcon", "abcd");
        key.setDword("InColor1", 19); // one past the list
        key.setDword("Left", static_cast<quint32>(-4000));
        key.setDword("Top", 9000);
        ASSERT_TRUE(key.close());
    }
    Harness h(registry);
    h.load();
    EXPECT_EQ(h.errors, (std::vector<QString>{"Invalid data type for 'In'",
                                              "Failed to get data for 'TrayIcon'"}));
    EXPECT_TRUE(h.dialog.In1->isChecked()) << "a wrong type takes the default";
    // Off every screen: the first-run place.
    EXPECT_EQ(h.outside, (std::vector<QString>{"tray 1", "dock 1", "top 1", "at 1100,0", "check"}));
    EXPECT_EQ(h.dialog.InColor1->currentIndex(), -1);
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

TEST(SettingsStore, AFailedSaveIsReportedByTheFirstValueWithTheReason)
{
    MemoryRegistry registry;
    registry.failSavesWith = QStringLiteral("Permission denied");
    Harness h(registry);
    EXPECT_FALSE(h.save());
    EXPECT_EQ(h.errors, (std::vector<QString>{"Failed to set data for 'Left'\nPermission denied"}));
}

} // namespace
} // namespace zarvello
