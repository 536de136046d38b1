// Checks of the real-window fixture itself: if these fail, the program's e2e tests say
// nothing about the program.
#include "E2eTest.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace zarvello::e2e {
namespace {

bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// Width and height from a PNG's IHDR chunk.
std::optional<QSize> pngSize(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return std::nullopt;
    auto be32 = [&](int at) {
        return (static_cast<unsigned char>(head[at]) << 24) |
               (static_cast<unsigned char>(head[at + 1]) << 16) |
               (static_cast<unsigned char>(head[at + 2]) << 8) |
               static_cast<unsigned char>(head[at + 3]);
    };
    return QSize(be32(16), be32(20));
}

TEST(X11SessionTest, ComesUpWithTrayAndShrunkWorkAreaAndLeavesNothingBehind)
{
    QTemporaryDir logs;
    ASSERT_TRUE(logs.isValid());
    std::vector<pid_t> pids;
    QString socket;
    {
        X11Session session(logs.path());
        ASSERT_TRUE(session.display().startsWith(':'));
        socket = "/tmp/.X11-unix/X" + session.display().mid(1);
        EXPECT_TRUE(QFile::exists(socket)) << socket.toStdString();
        pids = session.serverPids();
        ASSERT_EQ(pids.size(), 3u);

        EXPECT_EQ(session.screen(), QRect(0, 0, 1280, 800));
        // The tray docks at the bottom edge and reserves its height there only.
        const QRect area = session.workArea();
        EXPECT_EQ(area.topLeft(), QPoint(0, 0));
        EXPECT_EQ(area.width(), 1280);
        EXPECT_EQ(area.height(), 800 - 24);

        const QString shot = logs.path() + "/screen.png";
        ASSERT_TRUE(session.screenshot(shot));
        EXPECT_EQ(pngSize(shot), QSize(1280, 800));
    }
    for (pid_t pid : pids)
        EXPECT_FALSE(processExists(pid)) << "pid " << pid << " outlived its session";
    EXPECT_FALSE(QFile::exists(socket)) << socket.toStdString();
    EXPECT_TRUE(strayChildren().empty());
}

using E2eFixture = E2eTest;

TEST_F(E2eFixture, HelpersFindMeasureAndDriveAWindow)
{
    const WindowId probe = x().createTestWindow("e2e probe", QRect(100, 120, 300, 200));
    ASSERT_TRUE(waitUntil([&] { return x().findVisibleWindows("e2e probe").size() == 1; },
                          kReactionTimeout));
    EXPECT_EQ(x().findVisibleWindows("e2e probe").front(), probe);
    EXPECT_TRUE(x().findVisibleWindows("e2e prob").empty()) << "titles match exactly";
    EXPECT_EQ(x().pid(probe), static_cast<long>(getpid()));

    const auto xdotool =
        x().runTool("xdotool", {"search", "--onlyvisible", "--name", "^e2e probe$"});
    EXPECT_EQ(xdotool.output.trimmed(), QString::number(probe));

    // openbox keeps a user-placed window where asked: the frame's corner at the position.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto g = x().geometry(probe);
            return g && g->frameTop > 0;
        },
        kReactionTimeout));
    const WindowGeometry placed = *x().geometry(probe);
    EXPECT_EQ(placed.outer().topLeft(), QPoint(100, 120));
    EXPECT_EQ(placed.client().size(), QSize(300, 200));
    const QString info = x().runTool("xwininfo", {"-id", QString::number(probe)}).output;
    const auto absX = QRegularExpression(R"(Absolute upper-left X:\s+(-?\d+))").match(info);
    const auto absY = QRegularExpression(R"(Absolute upper-left Y:\s+(-?\d+))").match(info);
    ASSERT_TRUE(absX.hasMatch() && absY.hasMatch()) << info.toStdString();
    EXPECT_EQ(absX.captured(1).toInt(), placed.x);
    EXPECT_EQ(absY.captured(1).toInt(), placed.y);

    // A newer window goes on top; activating the older one brings it back over it.
    const WindowId other = x().createTestWindow("e2e other", QRect(200, 200, 200, 100));
    ASSERT_TRUE(waitUntil([&] { return x().isStackedAbove(other, probe); }, kReactionTimeout));
    ASSERT_TRUE(x().activate(probe));
    EXPECT_TRUE(
        waitUntil([&] { return x().activeWindow() == probe && x().isStackedAbove(probe, other); },
                  kReactionTimeout));

    ASSERT_TRUE(x().minimise(probe));
    EXPECT_TRUE(
        waitUntil([&] { return x().isIconic(probe) && !x().isViewable(probe); }, kReactionTimeout));
    EXPECT_TRUE(x().findVisibleWindows("e2e probe").empty());
    ASSERT_TRUE(x().activate(probe));
    EXPECT_TRUE(waitUntil([&] { return x().wmState(probe) == 1L && x().isViewable(probe); },
                          kReactionTimeout));

    x().sendDeleteWindow(probe);
    EXPECT_TRUE(waitUntil([&] { return x().closeRequested(probe); }, kReactionTimeout));
    EXPECT_FALSE(x().closeRequested(other));

    const auto reparented = x().takeReparentedWindows();
    for (WindowId window : {probe, other}) {
        const auto seen = std::find_if(reparented.begin(), reparented.end(),
                                       [&](const auto& r) { return r.window == window; });
        ASSERT_NE(seen, reparented.end());
        EXPECT_TRUE(seen->intoTopLevel);
        EXPECT_EQ(seen->pid, static_cast<long>(getpid()));
    }
    EXPECT_TRUE(x().takeReparentedWindows().empty()) << "taken once";

    EXPECT_FALSE(saveScreenshot("probe").isEmpty());
}

} // namespace
} // namespace zarvello::e2e
