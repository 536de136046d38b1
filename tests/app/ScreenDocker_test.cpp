#include "app/ScreenDocker.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarvello {
namespace {

// A 180 × 63 window on a 1280 × 800 screen whose panel takes the bottom 24 pixels.
constexpr TRect kWorkArea{0, 0, 1280, 776};
constexpr int kW = 180;
constexpr int kH = 63;
constexpr auto kNoLeft = static_cast<TDockableTo>(kAllEdges & ~edgeBit(seLeft));

TRect at(int left, int top)
{
    return {left, top, left + kW, top + kH};
}

TEST(ScreenDocker, SnapStepPullsEdgesWithinTheDistanceFlush)
{
    const struct
    {
        const char* what;
        TRect proposed, area;
        TDockableTo edges;
        TRect expected;
        std::vector<TScreenEdge> docked;
    } rows[] = {
        // clang-format off
        {"left at -10", at(-10, 300), kWorkArea, kAllEdges, at(0, 300), {seLeft}},
        {"left at 0", at(0, 300), kWorkArea, kAllEdges, at(0, 300), {seLeft}},
        {"left at 10", at(10, 300), kWorkArea, kAllEdges, at(0, 300), {seLeft}},
        {"left at 11", at(11, 300), kWorkArea, kAllEdges, at(11, 300), {}},
        {"left at -11", at(-11, 300), kWorkArea, kAllEdges, at(-11, 300), {}},
        {"top", at(400, 7), kWorkArea, kAllEdges, at(400, 0), {seTop}},
        {"right", at(1280 - kW + 9, 300), kWorkArea, kAllEdges, at(1280 - kW, 300), {seRight}},
        {"right at 11", at(1280 - kW + 11, 300), kWorkArea, kAllEdges, at(1280 - kW + 11, 300), {}},
        {"bottom meets the panel", at(400, 776 - kH - 10), kWorkArea, kAllEdges, at(400, 776 - kH), {seBottom}},
        {"bottom at 11", at(400, 776 - kH - 11), kWorkArea, kAllEdges, at(400, 776 - kH - 11), {}},
        {"bottom of the whole screen", at(400, 800 - kH + 3), TRect{0, 0, 1280, 800}, kAllEdges, at(400, 800 - kH), {seBottom}},
        {"left snaps to 0 under a left panel", at(5, 300), TRect{60, 0, 1280, 800}, kAllEdges, at(0, 300), {seLeft}},
        {"corner", at(-4, 4), kWorkArea, kAllEdges, at(0, 0), {seLeft, seTop}},
        {"edge not dockable", at(5, 300), kWorkArea, kNoLeft, at(5, 300), {}},
        // An area about as wide as the window: left snaps first, then right wins.
        {"right wins over left", at(3, 300), TRect{0, 0, kW + 8, 776}, kAllEdges, at(8, 300), {seLeft, seRight}},
        // clang-format on
    };
    for (const auto& row : rows) {
        TRect r = row.proposed;
        std::vector<TScreenEdge> docked;
        const bool snapped = snapToEdges(r, row.area, kW, kH, 10, row.edges,
                                         [&](TScreenEdge e) { docked.push_back(e); });
        EXPECT_EQ(r, row.expected) << row.what;
        EXPECT_EQ(docked, row.docked) << row.what;
        EXPECT_EQ(snapped, !row.docked.empty()) << row.what;
    }
}

} // namespace
} // namespace zarvello
