// Ctrl+M pressed while another program has the focus opens the memory window.
#include "E2eTest.h"

#include <gtest/gtest.h>

namespace zarvello::e2e {
namespace {

class HotKey : public E2eTest
{
};

TEST_F(HotKey, CtrlMFromAnotherWindowOpensTheMemoryWindow)
{
    AppProcess& app = startProgram();
    ASSERT_TRUE(app.waitForMainWindow());
    EXPECT_TRUE(x().findVisibleWindows(QStringLiteral("Memory")).empty());

    const WindowId other =
        x().createTestWindow(QStringLiteral("Other program"), {200, 200, 300, 200});
    x().activate(other);
    ASSERT_TRUE(waitUntil([&] { return x().activeWindow() == other; }, std::chrono::seconds(5)))
        << "the other window never got the focus";

    const auto pressed = x().runTool(QStringLiteral("xdotool"), {"key", "ctrl+m"});
    ASSERT_EQ(pressed.exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return !x().findVisibleWindows(QStringLiteral("Memory")).empty(); },
                          std::chrono::seconds(5)))
        << "no \"Memory\" window after Ctrl+M";
    EXPECT_TRUE(app.isRunning());
}

} // namespace
} // namespace zarvello::e2e
