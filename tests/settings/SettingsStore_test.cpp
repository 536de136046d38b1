#include "settings/SettingsStore.h"

#include "settings/RegistryHive.h"
#include "settings/Settings.h"
#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <limits>

namespace zarvello {
namespace {

const ScreenLayout kScreens{QRect(0, 0, 1280, 776), {QRect(0, 0, 1280, 800)}};
const QSize kWindow(180, 103);

// The key in `registry`, with each change the model announces noted.
struct Harness
{
    explicit Harness(MemoryRegistry& registry) : hive(registry)
    {
        QObject::connect(&model, &Settings::changed, [this](Option o) {
            announced.push_back(QString::fromLatin1(optionInfo(o).name));
        });
    }
    QPoint load()
    {
        loadOptions(hive, model, note);
        return loadPosition(hive, model, kWindow, kScreens, note);
    }
    bool save() { return saveSettings(hive, model.values(), note); }

    RegistryHive hive;
    Settings model;
    QStringList announced, errors;
    std::function<void(const QString&)> note = [this](const QString& e) { errors.push_back(e); };
};

TEST(SettingsStore, FirstRunLoadsTheFirstRunRecordThenASaveRoundTripsInTheFilesOrder)
{
    MemoryRegistry registry;
    Harness h(registry);
    // Placed in the top right corner of the work area.
    EXPECT_EQ(h.load(), QPoint(1100, 0));
    EXPECT_TRUE(h.errors.empty());
    OptionValues expected = firstRunSettings();
    expected.Left = 1100;
    EXPECT_EQ(h.model.values(), expected);
    // Only what differs from the form's defaults is announced, in the load's order.
    EXPECT_EQ(h.announced.join(' '), "In Out MaxSpeed Dock OnTop TrayPercent InColor1 InColor2 "
                                     "OutColor1 OutColor2 TrayBakColor TrayForColor KiloBytes "
                                     "TrayIconIn SmallFont Left Top");

    h.model.set(Option::Horiz, 1);
    h.model.set(Option::OutColor2, 16);
    h.model.set(Option::PeakSpeed, -5);
    h.model.set(Option::Left, 40);
    ASSERT_TRUE(h.save());
    EXPECT_EQ(registry.open(RegRoot::LocalMachine, "Software\\Zarvello").valueNames().join(' '),
              "Left Top Dock OnTop In Out MaxSpeed Percent Horiz Shrink "
              "TaskBar KiloBytes KiloBits TrayIcon TrayIconIn TrayIconOut "
              "TrayPercent TrayActual SmallFont LargeFont InColor1 InColor2 "
              "OutColor1 OutColor2 TrayBakColor TrayForColor PeakSpeed");
    Harness again(registry);
    EXPECT_EQ(again.load(), QPoint(40, 0));
    EXPECT_EQ(again.model.values(), h.model.values());
}

TEST(SettingsStore, WrongTypesAreReportedOnceAndTakeTheFirstRunValueAsDoOtherOddities)
{
    MemoryRegistry registry;
    {
        RegistryKey key = registry.create(RegRoot::LocalMachine, "Software\\Zarvello");
        key.setString("In", "abc"); // four bytes with the end mark
        key.setString("TrayIcon", "abcd");
        key.setDword("InColor1", 19); // one past the list
        key.setDword("KiloBytes", 1); // both of a pair: the later read wins
        key.setDword("KiloBits", 7);
        key.setDword("Left", static_cast<quint32>(-4000));
        key.setDword("Top", 9000);
        ASSERT_TRUE(key.close());
    }
    Harness h(registry);
    // Off every screen: the first-run place.
    EXPECT_EQ(h.load(), QPoint(1100, 0));
    EXPECT_EQ(h.errors,
              QStringList({"Invalid data type for 'In'", "Failed to get data for 'TrayIcon'"}));
    EXPECT_TRUE(h.model.flag(Option::In) && h.model.flag(Option::TrayIcon));
    EXPECT_EQ(h.model.value(Option::InColor1), -1);
    EXPECT_EQ(std::pair(h.model.value(Option::KiloBytes), h.model.value(Option::KiloBits)),
              std::pair(0, 1));
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
        EXPECT_EQ(placeOnScreen(row.stored, kWindow, kScreens), row.placed)
            << row.stored.x() << "," << row.stored.y();
    }
}

TEST(SettingsStore, AFailedSaveIsReportedByTheValueThatFailedOrTheFirstWithTheReason)
{
    MemoryRegistry registry;
    registry.failSavesWith = QStringLiteral("Permission denied");
    Harness h(registry);
    EXPECT_FALSE(h.save());
    // A value that cannot be written stops the save there, before the commit.
    struct : SettingsHive
    {
        StoredValue read(const QString&) override { return {}; }
        bool write(const QString& name, std::int32_t) override { return name != "OnTop"; }
        bool commit(QString*) override { return false; }
    } refusing;
    EXPECT_FALSE(saveSettings(refusing, h.model.values(), h.note));
    EXPECT_EQ(h.errors, QStringList({"Failed to set data for 'Left'\nPermission denied",
                                     "Failed to set data for 'OnTop'"}));
}

// Set as a user would: a chosen radio clears its partner (announced first), a
// colour off the list is none, and nothing unchanged is announced.
TEST(Settings, SettingAnOptionKeepsPairsAndColoursSound)
{
    const struct
    {
        Option option;
        int value, stored;
        const char* announced;
    } rows[] = {
        {Option::SmallFont, 1, 1, "SmallFont"},
        {Option::LargeFont, 1, 1, "SmallFont LargeFont"},
        {Option::In, 1, 1, "In"},
        {Option::In, 5, 1, ""},
        {Option::InColor1, -7, -1, ""},
    };
    Settings model;
    QStringList announced;
    QObject::connect(&model, &Settings::changed, [&](Option o) {
        announced.push_back(QString::fromLatin1(optionInfo(o).name));
    });
    for (const auto& row : rows) {
        announced.clear();
        model.set(row.option, row.value);
        EXPECT_EQ(model.value(row.option), row.stored) << optionInfo(row.option).name;
        EXPECT_EQ(announced.join(' '), row.announced) << optionInfo(row.option).name;
    }
}

} // namespace
} // namespace zarvello
