// One copy per program file name, the hot key, and shutdown, seen from outside.
#include "E2eTest.h"

#include <QFile>

#include <csignal>

namespace zarvello::e2e {
namespace {

// The run log holds the one banner line of the latest start.
void expectFreshRunLog(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith(">>>>>>>>>> New run <<<<<<<<<<") && content.count('\n') == 1)
        << content.toStdString();
}

void writeStaleRunLog(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("stale line one\nstale line two\n");
}

class SingleInstance : public E2eTest
{
protected:
    // Starts `program` and expects it to hand over to the running copy: it ends cleanly
    // without ever getting a window the window manager takes on, and rewrites the run log.
    void expectHandOver(const QString& program = {})
    {
        ASSERT_NO_FATAL_FAILURE(writeStaleRunLog(runLogPath()));
        x().takeFramedWindows();
        AppProcess& copy = startProgram(program);
        bool showed = false;
        const auto look = [&] {
            for (const auto& [window, pid] : x().takeFramedWindows())
                showed = showed || !pid || *pid == copy.pid();
            showed = showed || !x().managedWindowsOf(copy.pid()).empty();
            return !copy.isRunning();
        };
        waitUntil(look, kExitTimeout);
        look();
        const auto status = copy.waitForExit(std::chrono::milliseconds(0));
        ASSERT_TRUE(status && status->isCleanExit()) << "the second copy did not hand over";
        EXPECT_FALSE(showed) << "the second copy showed a window";
        expectFreshRunLog(runLogPath());
    }
};

TEST_F(SingleInstance, LaterCopiesHandOverRenamedOnesRunAloneAndTheHotKeyWorksFromElsewhere)
{
    AppProcess& first = startProgram();
    const auto window = first.waitForMainWindow();
    ASSERT_TRUE(window);
    expectFreshRunLog(runLogPath());

    // Twice each: the second time start-up has long settled, and the hand-over must not
    // work only once. A minimised first copy comes back.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        // Setting up: a minimise sent just after a restore is now and then undone; resend it.
        ASSERT_TRUE(waitUntil(
            [&] {
                return x().minimise(*window) && waitUntil([&] { return x().isMinimised(*window); },
                                                          std::chrono::milliseconds(1000));
            },
            kReactionTimeout));
        ASSERT_NO_FATAL_FAILURE(expectHandOver());
        EXPECT_TRUE(waitUntil([&] { return x().isShown(*window); }, kReactionTimeout));
    }
    // A visible first copy under another window comes to the top. The other window stays on
    // top as well: over a stay-on-top window only another one can lie.
    const WindowId other = x().createTestWindow("Other program", QRect(300, 200, 400, 300), true);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(
            waitUntil([&] { return x().activate(other) && x().isStackedAbove(other, *window); },
                      kReactionTimeout));
        ASSERT_NO_FATAL_FAILURE(expectHandOver());
        EXPECT_TRUE(
            waitUntil([&] { return x().isStackedAbove(*window, other); }, kReactionTimeout));
    }

    // Ctrl+M while another program has the focus opens the memory window.
    ASSERT_TRUE(waitUntil([&] { return x().activate(other) && x().activeWindow() == other; },
                          kReactionTimeout));
    xdotool({"key", "ctrl+m"});
    EXPECT_TRUE(
        waitUntil([&] { return !x().windowsOf(first.pid(), "Memory").empty(); }, kReactionTimeout));

    // The same file name in another folder is the same program.
    ASSERT_NO_FATAL_FAILURE(expectHandOver(copyProgram("zarvello", "elsewhere")));

    // Another file name is a program of its own: it runs beside the first and ends alone.
    AppProcess& renamed = startProgram(copyProgram("zarvello-renamed", "copies"));
    const auto renamedWindow = renamed.waitForMainWindow();
    ASSERT_TRUE(renamedWindow);
    EXPECT_NE(*renamedWindow, *window);
    renamed.signal(SIGTERM);
    const auto status = renamed.waitForExit();
    EXPECT_TRUE(status && status->isCleanExit());
    EXPECT_TRUE(first.isRunning());
    EXPECT_TRUE(x().isViewable(*window));
}

class Shutdown : public E2eTest
{
};

// The close request and SIGTERM end the program cleanly and completely; whatever way a copy
// ended, even killed outright, the next start is a first copy again.
TEST_F(Shutdown, EveryEndIsCleanAndTheNextStartIsAFirstCopyAgain)
{
    const std::pair<const char*, int> endings[] = {
        {"close request", 0}, {"SIGTERM", SIGTERM}, {"SIGKILL", SIGKILL}};
    for (const auto& [name, sig] : endings) {
        SCOPED_TRACE(name);
        AppProcess& app = startProgram();
        const auto window = app.waitForMainWindow();
        ASSERT_TRUE(window) << "no window after the previous copy ended";
        if (sig == 0)
            x().sendDeleteWindow(*window);
        else
            app.signal(sig);
        const auto status = app.waitForExit();
        ASSERT_TRUE(status);
        if (sig == SIGKILL)
            continue;
        EXPECT_TRUE(status->isCleanExit());
        EXPECT_TRUE(app.leftovers().empty()) << "processes left behind";
        EXPECT_TRUE(waitUntil([&] { return x().frame(*window).isEmpty(); }, kReactionTimeout));
    }
    AppProcess& last = startProgram();
    EXPECT_TRUE(last.waitForMainWindow()) << "no window after a killed copy";
}

} // namespace
} // namespace zarvello::e2e
