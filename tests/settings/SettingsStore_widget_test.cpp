#include "settings/SettingsStore.h"

#include "settings/RegistryHive.h"
#include "settings/Setting_Form.h"
#include "support/MemoryRegistry.h"
#include "widgets/ColorCombo.h"

#include <QCheckBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <limits>
#include <map>

namespace zarvello {
namespace {

// The settings key as a map; values can be given another type, and writes can fail.
class MapHive : public SettingsHive
{
public:
    StoredValue read(const QString& name) override
    {
        reads.push_back(name);
        const auto it = values.find(name);
        return it == values.end() ? StoredValue{} : it->second;
    }
    bool write(const QString& name, std::int32_t value) override
    {
        if (name == failWrite) {
            return false;
        }
        written.emplace_back(name, value);
        return true;
    }
    bool commit(QString*) override { return true; }

    std::map<QString, StoredValue> values;
    std::vector<QString> reads;
    std::vector<std::pair<QString, int>> written;
    QString failWrite;
};

struct Harness
{
    Harness()
    {
        dialog.Timer1->stop();
        dialog.setActions({.arrange = [this] { ++arrangements; },
                           .setTrayActive = {},
                           .resetPeak = [this] { ++peakResets; },
                           .setOnTop = {},
                           .about = {},
                           .improveSpeed = {},
                           .load = {},
                           .mainWindowPosition = {}});
    }

    void load()
    {
        loadSettings(hive, dialog,
                     {.setTrayActive = [this](bool on) { trayActive = on; },
                      .setDockActive = [this](bool on) { dockActive = on; },
                      .setOnTop = [this](bool on) { onTop = on; },
                      .arrange = [this] { ++arrangements; },
                      .windowSize = [] { return QSize(180, 103); },
                      .moveWindow = [this](QPoint to) { movedTo = to; },
                      .startVersionCheck = [this] { ++versionChecks; },
                      .error = [this](const QString& text) { errors.push_back(text); }},
                     kScreens);
    }

    static inline const ScreenLayout kScreens{QRect(0, 0, 1280, 776), {QRect(0, 0, 1280, 800)}};
    TForm_Settings dialog;
    MapHive hive;
    int arrangements = 0, peakResets = 0, versionChecks = 0;
    bool trayActive = false, dockActive = false, onTop = false;
    QPoint movedTo;
    std::vector<QString> errors;
};

StoredValue dword(int v)
{
    return {StoredValue::Dword, v};
}

TEST(SettingsStore, FirstRunLoadsTheFirstRunRecordSilentlyAndStartsTheCheck)
{
    Harness h;
    EXPECT_FALSE(h.dialog.In1->isChecked()) << "form default before the load";
    h.load();
    EXPECT_TRUE(h.errors.empty());
    TSettings expected = firstRunSettings();
    const TSettings loaded = h.dialog.current();
    expected.Left = loaded.Left;
    expected.Top = loaded.Top;
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(h.movedTo, QPoint(1280 - 180, 0)) << "top right corner of the work area";
    EXPECT_EQ(h.versionChecks, 1);
    EXPECT_TRUE(h.trayActive && h.dockActive && h.onTop);
    EXPECT_GE(h.arrangements, 2) << "changed boxes arrange, then one final arrangement";
    // The order values are read in: In first, Left and Top last.
    ASSERT_FALSE(h.hive.reads.empty());
    EXPECT_EQ(h.hive.reads.front(), QStringLiteral("In"));
    EXPECT_EQ(h.hive.reads.back(), QStringLiteral("Top"));
}

TEST(SettingsStore, SaveThenLoadRoundTripsAllTwentySevenValues)
{
    Harness h;
    h.load();
    h.dialog.Horiz1->setChecked(true);
    h.dialog.KiloBits1->setChecked(true);
    h.dialog.TrayIconOut->setChecked(true);
    h.dialog.LargeFont->setChecked(true);
    h.dialog.OutColor2->setCurrentIndex(16);
    h.dialog.PeakSpeed->setValue(-5);
    ASSERT_TRUE(saveSettings(h.hive, h.dialog, QPoint(40, 50), {}));
    ASSERT_EQ(h.hive.written.size(), 27u);
    EXPECT_EQ(h.hive.written.front(), (std::pair<QString, int>{"Left", 40}));

    Harness again;
    for (const auto& [name, value] : h.hive.written) {
        again.hive.values[name] = dword(value);
    }
    again.load();
    EXPECT_TRUE(again.errors.empty());
    ASSERT_TRUE(saveSettings(again.hive, again.dialog, again.movedTo, {}));
    EXPECT_EQ(again.hive.written, h.hive.written) << "a save right after a load writes the same";
    EXPECT_FALSE(again.dialog.KiloBytes1->isChecked());
}

TEST(SettingsStore, StoredOdditiesAndWrongTypes)
{
    Harness h;
    h.hive.values = {{"In", {StoredValue::WrongSmall, 0}},
                     {"TrayIcon", {StoredValue::WrongLarge, 0}},
                     {"Out", dword(0)},
                     {"MaxSpeed", dword(0)},
                     {"InColor1", dword(25)},
                     {"KiloBytes", dword(1)},
                     {"KiloBits", dword(1)},
                     {"Left", dword(-4000)},
                     {"Top", dword(9000)}};
    h.load();
    EXPECT_EQ(h.errors, (std::vector<QString>{"Invalid data type for 'In'",
                                              "Failed to get data for 'TrayIcon'"}));
    EXPECT_TRUE(h.dialog.In1->isChecked()) << "a wrong type takes the default";
    EXPECT_TRUE(h.trayActive);
    EXPECT_EQ(h.versionChecks, 1) << "the load goes on to the end";
    EXPECT_EQ(h.dialog.InColor1->currentIndex(), -1) << "index 25 selects nothing";
    EXPECT_EQ(h.dialog.InColor1->SelectedColor(), TColor{0});
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
        {{kMax, kMax}, firstRun},     {{kMin, kMin}, firstRun},   {{kMax, 0}, firstRun},
        {{0, kMin}, firstRun},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(placeOnScreen(row.stored, QSize(180, 103), Harness::kScreens), row.placed)
            << row.stored.x() << "," << row.stored.y();
    }
}

TEST(SettingsStore, FailedWriteIsReportedAndStopsTheSave)
{
    Harness h;
    h.load();
    h.hive.failWrite = QStringLiteral("In");
    std::vector<QString> errors;
    auto record = [&](const QString& e) { errors.push_back(e); };
    EXPECT_FALSE(saveSettings(h.hive, h.dialog, {}, record));
    EXPECT_EQ(errors, (std::vector<QString>{"Failed to set data for 'In'"}));
    EXPECT_EQ(h.hive.written.size(), 4u) << "Left, Top, Dock and OnTop were written before";

    // A file that cannot be written takes none of them: the first is named, with the reason.
    MemoryRegistry registry;
    registry.failSavesWith = QStringLiteral("Permission denied");
    RegistryHive hive(registry);
    errors.clear();
    EXPECT_FALSE(saveSettings(hive, h.dialog, {}, record));
    EXPECT_EQ(errors, (std::vector<QString>{"Failed to set data for 'Left'\nPermission denied"}));
}

TEST(SettingsDialog, PeakSpeedTextAndHandlers)
{
    Harness h;
    h.dialog.PeakSpeed->setText(QStringLiteral("25"));
    EXPECT_EQ(h.dialog.current().PeakSpeed, 25);
    EXPECT_EQ(h.peakResets, 0);
    for (const char* text : {"", "-", "1.5", "0"}) {
        h.dialog.PeakSpeed->setText(QString::fromLatin1(text));
        EXPECT_EQ(h.dialog.PeakSpeed->Value(), 0) << text;
    }
    EXPECT_EQ(h.peakResets, 4);
    QString typed = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(h.dialog.PeakSpeed->validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("+-12.");
    EXPECT_EQ(h.dialog.PeakSpeed->validate(typed, pos), QValidator::Acceptable);

    // Boxes arrange when the program sets them too; "Always On Top" does not.
    const int before = h.arrangements;
    h.dialog.Percent1->setChecked(true);
    h.dialog.OnTop1->setChecked(true);
    EXPECT_EQ(h.arrangements, before + 1);
    // A radio of a pair stays chosen when clicked again, and choosing its partner clears it.
    h.dialog.SmallFont->click();
    h.dialog.SmallFont->click();
    EXPECT_TRUE(h.dialog.SmallFont->isChecked());
    h.dialog.LargeFont->click();
    EXPECT_FALSE(h.dialog.SmallFont->isChecked());
}

} // namespace
} // namespace zarvello
