// The options file across a real run: what the program loads it shows, and
// what it writes back on close is what it loaded when nothing changed.
#include "E2eTest.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/stat.h>

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

TEST_F(Settings, SigtermBeforeTheLoadLeavesTheStoredOptionsAlone)
{
    ASSERT_TRUE(QDir().mkpath(configHome() + "/zarvello"));
    QFile seed(file());
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write(kStored + storedFile());
    seed.close();

    AppProcess& app = startProgram();
    // The window exists from the start; the load follows a tenth of a second later.
    ASSERT_TRUE(
        waitUntil([&] { return !x().findWindowsOfPid(app.pid()).empty(); }, kWindowTimeout));
    app.sendSignal(SIGTERM);
    const auto status = app.waitForExit();
    ASSERT_TRUE(status && status->isCleanExit());
    EXPECT_EQ(values(), storedFile());
}

// Peak resident memory of a running process, in KiB; -1 when unknown.
long peakResidentKiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

// A FIFO, or 4 MiB of distinct 500-level keys, where the options file should
// be: the window and the message come up at once on little memory, a regular
// file is kept aside as it was, the FIFO is left alone, and SIGTERM still ends
// the program.
TEST_F(Settings, AFifoOrADeepFileGivesTheWindowAMessageAndAQuickExit)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "deep file");
        const QString folder = configHome() + "/zarvello";
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        QByteArray deep = "REGEDIT4\n";
        if (fifo) {
            ASSERT_EQ(mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
        } else {
            for (int line = 0; deep.size() < 4 * 1024 * 1024; ++line) {
                deep += "[HKEY_LOCAL_MACHINE";
                for (int level = 0; level < 500; ++level) {
                    deep += "\\k" + QByteArray::number(line) + "_" + QByteArray::number(level);
                }
                deep += "]\n";
            }
            QFile seed(file());
            ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
            ASSERT_EQ(seed.write(deep), deep.size());
        }

        AppProcess& app = startProgram();
        ASSERT_TRUE(app.waitForMainWindow(std::chrono::seconds(5))) << app.output().toStdString();
        EXPECT_TRUE(waitUntil(
            [&] {
                for (WindowId window : x().managedWindowsOfPid(app.pid()))
                    if (x().title(window) == "Zarvello" && x().isViewable(window))
                        return true;
                return false;
            },
            std::chrono::seconds(5)))
            << "no message box";
        const long peak = peakResidentKiB(app.pid());
        EXPECT_GT(peak, 0);
        EXPECT_LT(peak, 100 * 1024) << "KiB";

        const QStringList kept = QDir(folder).entryList({"registry.reg.bad-*"}, QDir::Files);
        if (fifo) {
            EXPECT_TRUE(kept.isEmpty()) << "nothing is copied from a FIFO";
        } else {
            ASSERT_EQ(kept.size(), 1);
            QFile copy(folder + "/" + kept.front());
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
            EXPECT_TRUE(copy.readAll() == deep) << "the kept copy is the original file";
        }

        app.sendSignal(SIGTERM);
        EXPECT_TRUE(app.waitForExit(std::chrono::seconds(2)));
        if (fifo) {
            struct stat info
            {
            };
            ASSERT_EQ(stat(QFile::encodeName(file()).constData(), &info), 0);
            EXPECT_TRUE(S_ISFIFO(info.st_mode));
        }
    }
}

} // namespace
} // namespace zarvello::e2e
