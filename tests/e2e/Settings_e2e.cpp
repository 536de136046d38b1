// The options file at the edges of a real run: an end before it is loaded, and files that
// must not be read whole.
#include "E2eTest.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/stat.h>

namespace zarvello::e2e {
namespace {

using Settings = E2eTest;

TEST_F(Settings, SigtermBeforeTheLoadLeavesTheStoredOptionsAlone)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(kOptionsHeader + storedValues(200, 150)));
    AppProcess& app = startProgram();
    // The window exists from the start; the load follows a tenth of a second later.
    ASSERT_TRUE(waitUntil([&] { return !x().windowsOf(app.pid()).empty(); }, kWindowTimeout));
    app.signal(SIGTERM);
    const auto status = app.waitForExit();
    ASSERT_TRUE(status && status->isCleanExit());
    // Unchanged, or saved as loaded if the load won the race; never the defaults.
    EXPECT_EQ(savedValues().toStdString(), storedValues(200, 150).toStdString());
}

long peakResidentKiB(long pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// A FIFO, or 4 MiB of distinct 500-level keys, where the options file should be: the window
// and a message come up at once on little memory, a regular file is kept aside as it was, the
// FIFO is left alone, and SIGTERM still ends the program.
TEST_F(Settings, AFifoOrADeepFileGivesTheWindowAMessageAndAQuickExit)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "deep file");
        const QString folder = configHome() + "/zarvello";
        QDir(folder).removeRecursively();
        QByteArray deep = "REGEDIT4\n";
        if (fifo) {
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(mkfifo(QFile::encodeName(optionsPath()).constData(), 0600), 0);
        } else {
            for (int line = 0; deep.size() < 4 * 1024 * 1024; ++line) {
                deep += "[HKEY_LOCAL_MACHINE";
                for (int level = 0; level < 500; ++level)
                    deep += "\\k" + QByteArray::number(line) + "_" + QByteArray::number(level);
                deep += "]\n";
            }
            ASSERT_NO_FATAL_FAILURE(writeOptions(deep));
        }

        AppProcess& app = startProgram();
        ASSERT_TRUE(app.waitForMainWindow(std::chrono::seconds(5)));
        // The tray icon bears the same title; only the message box is managed.
        EXPECT_TRUE(waitUntil(
            [&] {
                for (WindowId window : x().managedWindowsOf(app.pid()))
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
            EXPECT_TRUE(copy.readAll() == deep) << "the kept copy is not the original file";
        }
        app.signal(SIGTERM);
        EXPECT_TRUE(app.waitForExit(std::chrono::seconds(2)));
        struct stat info
        {
        };
        if (fifo) {
            ASSERT_EQ(stat(QFile::encodeName(optionsPath()).constData(), &info), 0);
            EXPECT_TRUE(S_ISFIFO(info.st_mode));
        }
    }
}

} // namespace
} // namespace zarvello::e2e
