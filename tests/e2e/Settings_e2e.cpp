// The options file across a real run: what the program loads it shows, and
// what it writes back on close is what it loaded when nothing changed.
#include "E2eTest.h"

#include <QDir>
#include <QFile>

#include <csignal>

namespace zarvello::e2e {
namespace {

// All 27 values, in the order the program writes them: Horizontal, large font,
// kilobits, tray out speed and actual speed, at (200, 150).
const QByteArray kStored = "REGEDIT4\r\n"
                           "\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\r\n";

QByteArray storedFile()
{
    const char* values[][2] = {
        {"Left", "000000c8"},         {"Top", "00000096"},          {"Dock", "00000001"},
        {"OnTop", "00000001"},        {"In", "00000001"},           {"Out", "00000001"},
        {"MaxSpeed", "00000001"},     {"Percent", "00000001"},      {"Horiz", "00000001"},
        {"Shrink", "00000000"},       {"TaskBar", "00000000"},      {"KiloBytes", "00000000"},
        {"KiloBits", "00000001"},     {"TrayIcon", "00000001"},     {"TrayIconIn", "00000000"},
        {"TrayIconOut", "00000001"},  {"TrayPercent", "00000000"},  {"TrayActual", "00000001"},
        {"SmallFont", "00000000"},    {"LargeFont", "00000001"},    {"InColor1", "00000009"},
        {"InColor2", "00000011"},     {"OutColor1", "00000002"},    {"OutColor2", "0000000b"},
        {"TrayBakColor", "00000011"}, {"TrayForColor", "00000000"}, {"PeakSpeed", "00000040"},
    };
    QByteArray text;
    for (const auto& [name, value] : values) {
        text += QByteArray("\"") + name + "\"=dword:" + value + "\n";
    }
    return text;
}

class Settings : public E2eTest
{
protected:
    QString file() const { return configHome() + "/zarvello/registry.reg"; }

    QByteArray values() const
    {
        QFile f(file());
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        // Only the value lines: the header's line ends are the file writer's business.
        QByteArray out;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith('"')) {
                out += line.trimmed() + "\n";
            }
        }
        return out;
    }
};

TEST_F(Settings, StoredOptionsComeBackUnchangedAfterARunThatChangesNothing)
{
    ASSERT_TRUE(QDir().mkpath(configHome() + "/zarvello"));
    QFile seed(file());
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write(kStored + storedFile());
    seed.close();

    AppProcess& app = startProgram();
    const auto window = app.waitForMainWindow();
    ASSERT_TRUE(window);
    // In, Out and Peak side by side: 405 × 61 at the stored place.
    QRect seen;
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto g = x().geometry(*window);
            seen = g ? g->outer() : QRect();
            return seen == QRect(200, 150, 405, 61);
        },
        std::chrono::seconds(5)))
        << seen.x() << "," << seen.y() << " " << seen.width() << "x" << seen.height();

    x().sendDeleteWindow(*window);
    const auto status = app.waitForExit();
    ASSERT_TRUE(status && status->isCleanExit());
    EXPECT_EQ(values(), storedFile());
}

TEST_F(Settings, EndingWithoutClosingTheWindowWritesNothing)
{
    AppProcess& app = startProgram();
    ASSERT_TRUE(app.waitForMainWindow());
    // Let the load run (it reads, never writes), then end the hard way.
    EXPECT_FALSE(waitUntil([&] { return QFile::exists(file()); }, std::chrono::seconds(1)));
    app.sendSignal(SIGKILL);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_FALSE(QFile::exists(file()));
}

} // namespace
} // namespace zarvello::e2e
