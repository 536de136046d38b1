#include "settings/SettingsStore.h"

#include "platform/RegistryFile.h"
#include "settings/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace zarvello {
namespace {

const ScreenLayout kScreens{QRect(0, 0, 1280, 776), {QRect(0, 0, 1280, 800)}};
const QSize kWindow(180, 103);

// The options file `path` (holding `text` when given), with each change the
// model announces noted.
struct Harness
{
    explicit Harness(const QString& path, const QByteArray& text = {})
        : registry((text.isEmpty() || write(path, text)) ? path : QString()), hive(registry)
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
    static bool write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

    RegistryFile registry;
    SettingsHive hive;
    Settings model;
    QStringList announced, errors;
    std::function<void(const QString&)> note = [this](const QString& e) { errors.push_back(e); };
};

TEST(SettingsStore, FirstRunLoadsTheFirstRunRecordThenASaveRoundTripsInTheFilesOrder)
{
    const QTemporaryDir dir;
    Harness h(dir.filePath("registry.reg"));
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
    EXPECT_EQ(h.registry.valueNames("HKEY_LOCAL_MACHINE\\Software\\Zarvello").size(),
              qsizetype(std::size(kOptions)));
    Harness again(dir.filePath("registry.reg"));
    EXPECT_EQ(again.load(), QPoint(40, 0));
    EXPECT_EQ(again.model.values(), h.model.values());
}

TEST(SettingsStore, WrongTypesAreReportedOnceAndTakeTheFirstRunValueAsDoOtherOddities)
{
    const QTemporaryDir dir;
    // "abc" is four bytes with the end mark; InColor1 is one past the list;
    // of a pair both set, the later read wins.
    Harness h(dir.filePath("registry.reg"),
              "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n\"In\"=\"abc\"\n"
              "\"TrayIcon\"=\"abcd\"\n\"InColor1\"=dword:13\n\"KiloBytes\"=dword:1\n"
              "\"KiloBits\"=dword:7\n\"Left\"=dword:fffff060\n\"Top\"=dword:2328\n");
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

TEST(SettingsStore, AFailedSaveIsReportedAsTheFirstValueWithTheReason)
{
    // The folder cannot be made: a file has its name.
    const QTemporaryDir dir;
    ASSERT_TRUE(Harness::write(dir.filePath("zarvello"), "x"));
    Harness h(dir.filePath("zarvello/registry.reg"));
    EXPECT_FALSE(h.save());
    EXPECT_EQ(h.errors, QStringList({"Failed to set data for 'Left'\ncannot create the folder " +
                                     dir.filePath("zarvello")}));
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
