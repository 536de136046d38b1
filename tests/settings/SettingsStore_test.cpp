#include "settings/SettingsStore.h"

#include "platform/RegistryFile.h"
#include "platform/RestartRequest.h"
#include "settings/Settings.h"
#include "settings/TcpTuning.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

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
    bool save() { return saveSettings(hive, model.values(), model.interfaces(), note); }
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

    // Set as a user would: a chosen radio clears its partner (announced first), a
    // flag is 0 or 1, and nothing unchanged is announced.
    h.announced.clear();
    h.model.set(Option::LargeFont, 1);
    h.model.set(Option::In, 5);
    EXPECT_EQ(h.announced.join(' '), "SmallFont LargeFont");
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

// Interfaces loads as stored when it could be a list of names and patterns;
// any other value says so once and means all. A save keeps it, and clears a
// stored one, but a file that never held one does not get one.
TEST(SettingsStore, InterfacesLoadsAValidTextAndSavesOnlyWhenThereIsSomethingToKeep)
{
    const QByteArray longest(1024, 'e');
    // stored, and loaded ("!": reported and empty)
    // clang-format off
    const std::pair<QByteArray, QString> rows[] = {
        {"", ""}, {"\"*,!lo\"", "*,!lo"}, {"\"" + longest + "\"", longest}, {"\"" + longest + "e\"", "!"},
        {"dword:1", "!"}, {"\"eth0,a b\"", "!"}, {"\"eth0:1\"", "!"}, {"\"../eth0\"", "!"}, {"\"eth0\tx\"", "!"}};
    // clang-format on
    for (const auto& [stored, loaded] : rows) {
        const QTemporaryDir dir;
        Harness h(dir.filePath("registry.reg"),
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n" +
                      (stored.isEmpty() ? "" : "\"Interfaces\"=" + stored + "\n"));
        h.model.setInterfaces("x");
        h.load();
        const bool bad = loaded == "!";
        EXPECT_EQ(h.errors.join("") + "|" + h.model.interfaces(),
                  bad ? "Invalid data type for 'Interfaces'|" : "|" + loaded)
            << stored.constData();
        ASSERT_TRUE(h.save());
        const auto saved = h.registry.value("HKEY_LOCAL_MACHINE\\Software\\Zarvello", "Interfaces");
        EXPECT_EQ(saved ? saved->toText() : "none", stored.isEmpty() ? "none" : bad ? "" : loaded);
    }
}

TEST(SettingsStore, StoredPositionIsKeptWhileAPixelOfTheWindowIsOnAScreen)
{
    const std::tuple<int, int, bool> rows[] = {
        {-179, -102, true},        {1279, 799, true},        {-180, 0, false},
        {0, -103, false},          {1280, 0, false},         {0, 800, false},
        {INT_MAX, INT_MAX, false}, {INT_MIN, INT_MIN, false}};
    for (const auto& [x, y, kept] : rows) {
        EXPECT_EQ(placeOnScreen({x, y}, kWindow, kScreens), kept ? QPoint(x, y) : QPoint(1100, 0))
            << x << "," << y;
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

struct RecordingRestart : RestartRequest
{
    void promptReboot(QWidget*) override { ++requests; }
    int requests = 0;
};

TEST(TcpTuning, TunesTheDialUpAdaptersTransportThenAsksForARestartOrChangesNothing)
{
    const QString services = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\";
    const QString mstcp = services + "VxD\\MSTCP", transport = services + "Class\\NetTrans\\0003";
    for (const bool confirmed : {true, false}) {
        const QTemporaryDir dir;
        RegistryFile r(dir.filePath("registry.reg"));
        const auto put = [&](const QString& path, const QString& name, const QString& text) {
            r.setValue(path, name, RegData::string(text));
        };
        put(mstcp, "DefaultTTL", "64");
        put("HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
        put("HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0000", {});
        put("HKEY_LOCAL_MACHINE\\Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0003");
        put(transport, "MaxMTU", "1500");
        QString error;
        ASSERT_TRUE(r.save(&error)) << error.toStdString();
        RecordingRestart restart;
        improveSpeed(r,
                     {.confirm = [&](const QString&) { return confirmed; },
                      .error = [](const QString& text) { ADD_FAILURE() << text.toStdString(); },
                      .message = [](const QString& text) { ADD_FAILURE() << text.toStdString(); }},
                     restart, nullptr);
        EXPECT_EQ(r.value(mstcp, "DefaultTTL")->toText(), confirmed ? "128" : "64");
        EXPECT_EQ(r.value(transport, "MaxMTU")->toText(), confirmed ? "576" : "1500");
        EXPECT_EQ(restart.requests, confirmed ? 1 : 0);
    }
}

} // namespace
} // namespace zarvello
