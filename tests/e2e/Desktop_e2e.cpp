// The program as a desktop installs and starts it.
#include "E2e.h"

namespace zarvello::e2e {
namespace {

using Desktop = E2eTest;

// Unpacked from the Debian package by the test that builds it.
TEST_F(Desktop, TheInstalledProgramStartsWithItsIcon)
{
    const QString root = qEnvironmentVariable("ZARVELLO_PACKAGE_ROOT");
    if (root.isEmpty())
        GTEST_SKIP() << "run through ctest, which builds and unpacks the package first";
    Child& app = start(root + "/usr/bin/zarvello");
    const Win main = windowOf(app);
    ASSERT_NE(main, 0UL);
    // Every rendering of the icon, read whole (xprop shortens long values).
    const QByteArray icon =
        x().run("xprop", {"-len", "100000000", "-id", QString::number(main), "_NET_WM_ICON"})
            .value_or("");
    for (const char* size : {"16 x 16", "32 x 32", "256 x 256"})
        EXPECT_TRUE(icon.contains(size)) << size;
}

// Under a Wayland session (here one whose compositor is gone) it still runs on X.
TEST_F(Desktop, UnderWaylandItChoosesXWayland)
{
    Child& app = start(ZARVELLO_PROGRAM, {},
                       {{"QT_QPA_PLATFORM", ""},
                        {"WAYLAND_DISPLAY", path("wayland-gone")},
                        {"XDG_SESSION_TYPE", "wayland"}});
    EXPECT_NE(windowOf(app), 0UL);
}

} // namespace
} // namespace zarvello::e2e
