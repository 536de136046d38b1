#include "app/ScreenDocker.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarvello {
namespace {

// A 1280 × 800 screen whose panel takes the bottom 24 pixels.
constexpr TRect kWorkArea{0, 0, 1280, 776};
constexpr int kW = 180;
constexpr int kH = 63;

TRect windowAt(int left, int top)
{
    return {left, top, left + kW, top + kH};
}

TEST(ScreenDocker, SnapStepPullsEdgesWithinTheDistanceFlush)
{
    struct Case
    {
        const char* what;
        TRect proposed;
        TRect area;
        TDockableTo edges;
        TRect expected;
        std::vector<TScreenEdge> docked;
    };
    const std::vector<Case> cases{
        {"left at -10", windowAt(-10, 300), kWorkArea, kAllEdges, windowAt(0, 300), {seLeft}},
        {"left at 0", windowAt(0, 300), kWorkArea, kAllEdges, windowAt(0, 300), {seLeft}},
        {"left at 10", windowAt(10, 300), kWorkArea, kAllEdges, windowAt(0, 300), {seLeft}},
        {"left at 11", windowAt(11, 300), kWorkArea, kAllEdges, windowAt(11, 300), {}},
        {"left at -11", windowAt(-11, 300), kWorkArea, kAllEdges, windowAt(-11, 300), {}},
        {"top", windowAt(400, 7), kWorkArea, kAllEdges, windowAt(400, 0), {seTop}},
        {"right",
         windowAt(1280 - kW + 9, 300),
         kWorkArea,
         kAllEdges,
         windowAt(1280 - kW, 300),
         {seRight}},
        {"bottom meets the panel, not the screen",
         windowAt(400, 776 - kH - 10),
         kWorkArea,
         kAllEdges,
         windowAt(400, 776 - kH),
         {seBottom}},
        {"bottom of the whole screen",
         windowAt(400, 800 - kH + 3),
         TRect{0, 0, 1280, 800},
         kAllEdges,
         windowAt(400, 800 - kH),
         {seBottom}},
        {"left snaps to 0 even under a left panel",
         windowAt(5, 300),
         TRect{60, 0, 1280, 800},
         kAllEdges,
         windowAt(0, 300),
         {seLeft}},
        {"corner", windowAt(-4, 4), kWorkArea, kAllEdges, windowAt(0, 0), {seLeft, seTop}},
        {"edge not dockable",
         windowAt(5, 300),
         kWorkArea,
         static_cast<TDockableTo>(kAllEdges & ~edgeBit(seLeft)),
         windowAt(5, 300),
         {}},
        // An area about as wide as the window: left snaps first, then right wins.
        {"right wins over left",
         TRect{3, 300, 3 + kW, 300 + kH},
         TRect{0, 0, kW + 8, 776},
         kAllEdges,
         TRect{8, 300, kW + 8, 300 + kH},
         {seLeft, seRight}},
    };
    for (const Case& c : cases) {
        TRect r = c.proposed;
        std::vector<TScreenEdge> docked;
        const bool snapped = snapToEdges(r, c.area, kW, kH, 10, c.edges,
                                         [&](TScreenEdge e) { docked.push_back(e); });
        EXPECT_EQ(r, c.expected) << c.what;
        EXPECT_EQ(docked, c.docked) << c.what;
        EXPECT_EQ(snapped, !c.docked.empty()) << c.what;
    }
}

} // namespace
} // namespace zarvello
