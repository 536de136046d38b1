// Window-manager states asked for by the program reach openbox whenever they are asked for:
// before the window is first mapped, between show() and openbox taking it over, and across
// a hide and show (which makes openbox forget a window's states).
#include "platform/X11Window.h"

#include "ClientSession.h"
#include "support/Wait.h"

#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

constexpr int kTimeoutMs = 10000;
constexpr char kAbove[] = "_NET_WM_STATE_ABOVE";
constexpr char kSkipTaskbar[] = "_NET_WM_STATE_SKIP_TASKBAR";
// A state openbox honours for any window and the program never asks for.
constexpr char kNeutral[] = "_NET_WM_STATE_SKIP_PAGER";

bool managed(e2e::WindowId id)
{
    for (const e2e::WindowId client : session->clientList()) {
        if (client == id) {
            return true;
        }
    }
    return false;
}

// Once the window is on screen, openbox rewrites the whole property from its own record
// whenever it changes a state, so adding a neutral one shows what it holds for the others.
QStringList statesHeldByTheWindowManager(QWidget& window)
{
    const auto id = static_cast<e2e::WindowId>(window.winId());
    if (!waitUntil(
            [&] {
                return session->isViewable(id) && managed(id) && window.windowHandle()->isExposed();
            },
            kTimeoutMs)) {
        return {QStringLiteral("(never shown)")};
    }
    setNetWmState(&window, kNeutral, true);
    if (!waitUntil([&] { return session->netWmState(id).contains(kNeutral); }, kTimeoutMs)) {
        return {QStringLiteral("(no answer)")};
    }
    const QStringList held = session->netWmState(id);
    setNetWmState(&window, kNeutral, false);
    if (!waitUntil([&] { return !session->netWmState(id).contains(kNeutral); }, kTimeoutMs)) {
        return {QStringLiteral("(no answer)")};
    }
    return held;
}

TEST(WindowState, StatesAskedForAtAnyMomentAreTheWindowManagersAfterwards)
{
    ASSERT_NE(session, nullptr);
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.resize(120, 60);
    const auto id = static_cast<e2e::WindowId>(window.winId());

    // Before the first map, and changed again while openbox is still to take the window over.
    setKeepAbove(&window, true);
    setSkipTaskbar(&window, true);
    window.show();
    setSkipTaskbar(&window, false);
    QStringList held = statesHeldByTheWindowManager(window);
    EXPECT_TRUE(held.contains(kAbove)) << held.join(' ').toStdString();
    EXPECT_FALSE(held.contains(kSkipTaskbar)) << held.join(' ').toStdString();

    // Hidden and shown again: openbox forgets the window, the states must come back.
    window.hide();
    ASSERT_TRUE(waitUntil([&] { return !managed(id); }, kTimeoutMs));
    window.show();
    held = statesHeldByTheWindowManager(window);
    EXPECT_TRUE(held.contains(kAbove)) << held.join(' ').toStdString();
    EXPECT_FALSE(held.contains(kSkipTaskbar)) << held.join(' ').toStdString();
}

} // namespace
} // namespace zarvello
