// The program as a desktop installs and starts it, one copy at a time.
#include "E2e.h"

using namespace zarvello::e2e;

using Desktop = E2eTest;

// Unpacked from the Debian package by the test that builds it; started in a Wayland session
// whose compositor is gone, it still runs on X.
TEST_F(Desktop, TheInstalledProgramChoosesXWaylandAndShowsItsIcon)
{
    const QString root = qEnvironmentVariable("ZARVELLO_PACKAGE_ROOT");
    if (root.isEmpty())
        GTEST_SKIP() << "run through ctest, which builds and unpacks the package first";
    const Win main =
        windowOf(start(root + "/usr/bin/zarvello", {{"QT_QPA_PLATFORM", ""},
                                                    {"WAYLAND_DISPLAY", path("wayland-gone")},
                                                    {"XDG_SESSION_TYPE", "wayland"}}));
    ASSERT_NE(main, 0UL);
    // Every rendering of the icon, read whole (xprop shortens long values).
    const QByteArray icon =
        x().run("xprop", {"-len", "100000000", "-id", x().id(main), "_NET_WM_ICON"}).value_or("");
    for (const char* size : {"16 x 16", "32 x 32", "256 x 256"})
        EXPECT_TRUE(icon.contains(size)) << size;
}

// Off X11 it says once what will not work, and runs on without it until told to close.
TEST_F(Desktop, OffX11ItSaysOnceWhatWillNotWorkAndRunsOn)
{
    QFile log(path("output.txt"));
    Child& app = start(ZARVELLO_PROGRAM, {{"QT_QPA_PLATFORM", "offscreen"}}, log.fileName());
    const QByteArray notice = "Zarvello: the Qt platform is \"offscreen\", not X11 (xcb): staying "
                              "on top, hiding from the task bar and the Ctrl+M key will not work\n";
    ASSERT_TRUE(waitUntil([&] { return log.size() >= notice.size() || !app.running(); }));
    app.signal(SIGTERM);
    EXPECT_TRUE(app.endsCleanly());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count(notice), 1);
}

// On a doubled screen everything is twice the size, in the same corner, and the caption is
// drawn at device pixels: its text has edges no blown-up 1x drawing could have.
TEST_F(Desktop, AtTwiceTheScaleTheWindowDoublesAndStaysSharp)
{
    const Win main = windowOf(start(ZARVELLO_PROGRAM, {{"QT_SCALE_FACTOR", "2"}}));
    ASSERT_NE(main, 0UL);
    const QRect area = x().workArea();
    EXPECT_TRUE(
        waitUntil([&] { return x().frame(main) == QRect(area.right() - 359, 0, 360, 206); }));
    // In a 1x drawing scaled up, every pixel equals its right neighbour at even columns.
    const QByteArray caption = x().pixels(main, "200x26+6+6");
    ASSERT_EQ(caption.size(), 200 * 26 * 3);
    int oddEdges = 0; // rows are of even width: pixel pairs never straddle two
    for (qsizetype i = 0; i < caption.size(); i += 6)
        oddEdges += caption.mid(i, 3) != caption.mid(i + 3, 3);
    EXPECT_GT(oddEdges, 0);
}

// One copy at a time, seen from outside: a later copy hands over to the running one without a
// window of its own, a renamed copy runs alone, and a killed copy leaves no trace.

TEST_F(Desktop, ALaterCopyHandsOverARenamedOneRunsAloneAndAKilledOneLeavesNoTrace)
{
    Child& first = start();
    const Win w = windowOf(first);
    ASSERT_NE(w, 0UL);
    // A minimise sent just after the first map is now and then undone: it is sent again.
    ASSERT_TRUE(waitUntil([&] {
        return x().run("xdotool", {"windowminimize", QString::number(w)}) &&
               waitUntil([&] { return x().minimised(w); }, 1s);
    }));
    // Every window openbox takes on meanwhile is in this log: there must be none.
    Child spy("stdbuf", {"-oL", "xprop", "-root", "-spy", "_NET_CLIENT_LIST"}, x().env(),
              path("clients.txt"));
    QFile clients(path("clients.txt"));
    ASSERT_TRUE(waitUntil([&] { return clients.size() > 0; }));
    EXPECT_TRUE(start().endsCleanly()) << "the copy did not hand over";
    EXPECT_TRUE(waitUntil([&] { return x().shown(w); }));
    spy.stop();
    ASSERT_TRUE(clients.open(QIODevice::ReadOnly));
    EXPECT_EQ(clients.readAll().count('\n'), 1) << "the copy showed a window";

    ASSERT_TRUE(QFile::copy(ZARVELLO_PROGRAM, path("zarvello-renamed")));
    EXPECT_NE(windowOf(start(path("zarvello-renamed"))), 0UL) << "a renamed copy handed over";

    first.signal(SIGKILL);
    EXPECT_NE(windowOf(start()), 0UL) << "a killed copy still counts as running";
}
