#include "app/ScreenDocker.h"

#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

#include <stdexcept>

#include <vector>

namespace zarvello {
namespace {

// A 180 × 63 window on a 1280 × 800 screen whose panel takes the bottom 24 pixels.
constexpr Rect kWorkArea{0, 0, 1280, 776};
constexpr int kW = 180;
constexpr int kH = 63;

Rect at(int left, int top)
{
    return {left, top, left + kW, top + kH};
}

TEST(ScreenDocker, SnapStepPullsEdgesWithinTheDistanceFlush)
{
    const struct
    {
        const char* what;
        Rect proposed, area;
        ScreenEdges edges;
        Rect expected;
        ScreenEdges docked;
    } rows[] = {
        // clang-format off
        {"left at -10", at(-10, 300), kWorkArea, kAllEdges, at(0, 300), ScreenEdge::Left},
        {"left at 10", at(10, 300), kWorkArea, kAllEdges, at(0, 300), ScreenEdge::Left},
        {"left at 11", at(11, 300), kWorkArea, kAllEdges, at(11, 300), {}},
        {"right", at(1280 - kW + 9, 300), kWorkArea, kAllEdges, at(1280 - kW, 300), ScreenEdge::Right},
        {"bottom meets the panel", at(400, 776 - kH - 10), kWorkArea, kAllEdges, at(400, 776 - kH), ScreenEdge::Bottom},
        {"corner", at(-4, 4), kWorkArea, kAllEdges, at(0, 0), ScreenEdge::Left | ScreenEdge::Top},
        {"edge not dockable", at(5, 300), kWorkArea, kAllEdges & ~ScreenEdges(ScreenEdge::Left), at(5, 300), {}},
        // An area about as wide as the window: left snaps first, then right wins.
        {"right wins over left", at(3, 300), Rect{0, 0, kW + 8, 776}, kAllEdges, at(8, 300), ScreenEdge::Left | ScreenEdge::Right},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Rect r = row.proposed;
        EXPECT_EQ(snapToEdges(r, row.area, kW, kH, 10, row.edges), row.docked);
        EXPECT_EQ(r, row.expected);
    }
}

TEST(ScreenDocker, SnapsItsOwnWindowWhileActiveAndIsOnePerWindow)
{
    QWidget window;
    window.resize(kW, kH);
    auto* docker = new ScreenDocker(&window);
    QSignalSpy docked(docker, &ScreenDocker::docked);
    EXPECT_EQ(docker->moving(at(-6, 7)), at(0, 0));
    EXPECT_EQ(docked.count(), 2);
    EXPECT_EQ(docked.first().first().value<ScreenEdge>(), ScreenEdge::Left);
    docker->setActive(false);
    EXPECT_EQ(docker->moving(at(-6, 7)), at(-6, 7));
    EXPECT_THROW(ScreenDocker{&window}, std::logic_error);
    QWidget child(&window);
    EXPECT_THROW(ScreenDocker{&child}, std::logic_error);
}

} // namespace
} // namespace zarvello
