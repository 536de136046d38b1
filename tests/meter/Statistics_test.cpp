#include "meter/Statistics.h"

#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace zarvello {
namespace {

struct Tick
{
    std::uint32_t in;
    std::uint32_t out;
    int peakSpeed = 0;
};

struct Seen
{
    bool rates;
    double inRate;
    double outRate;
    int peak;
};

std::vector<Seen> run(MeasurementState& state, const std::vector<Tick>& ticks)
{
    std::vector<Seen> seen;
    for (const Tick& tick : ticks) {
        const Links links = oneLink(tick.in, tick.out);
        const auto r = state.processSample(sampleOf(links), tick.peakSpeed);
        EXPECT_TRUE(r.has_value());
        seen.push_back({r->ratesComputed, r->inRate, r->outRate, r->peakRate});
    }
    return seen;
}

TEST(Statistics, PrimesThenAveragesOverThreeSlotsWithDivisorThree)
{
    MeasurementState state;
    state.setUp();
    const auto seen = run(state, {{1000, 10}, {4000, 20}, {10000, 30}, {10000, 40}});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_FALSE(seen[0].rates);
    EXPECT_DOUBLE_EQ(seen[1].inRate, 1000.0);
    EXPECT_DOUBLE_EQ(seen[2].inRate, 3000.0);
    EXPECT_DOUBLE_EQ(seen[3].inRate, 3000.0);
    EXPECT_DOUBLE_EQ(seen[3].outRate, 10.0);
    EXPECT_EQ(seen[1].peak, 3000);
    EXPECT_EQ(seen[2].peak, 6000);
    EXPECT_EQ(seen[3].peak, 6000);
}

TEST(Statistics, TotalsFollowEverySampleAndMissingSamplesChangeNothing)
{
    MeasurementState state;
    state.setUp();
    auto first = state.processSample(sampleOf(oneLink(500, 7)), 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->inOctets, 500u);
    EXPECT_EQ(first->outOctets, 7u);
    EXPECT_FALSE(state.processSample(std::nullopt, 0));
    // The next delta spans the skipped tick.
    auto next = state.processSample(sampleOf(oneLink(3500, 7)), 0);
    ASSERT_TRUE(next && next->ratesComputed);
    EXPECT_DOUBLE_EQ(next->inRate, 1000.0);
    EXPECT_EQ(next->peakRate, 3000);
}

TEST(Statistics, ZeroInSumPrimesForeverEvenWithOutTraffic)
{
    MeasurementState state;
    state.setUp();
    for (const auto seen : run(state, {{0, 100}, {0, 5000}, {0, 90000}})) {
        EXPECT_FALSE(seen.rates);
    }
    EXPECT_EQ(state.peakRate(), 0);
}

TEST(Statistics, FixedPeakResetAndSharedPeak)
{
    MeasurementState state;
    state.setUp();
    auto seen = run(state, {{1000, 0, 64}, {2000, 0, 64}});
    EXPECT_EQ(seen[1].peak, 64000);
    state.resetPeak();
    EXPECT_EQ(state.peakRate(), 0);
    seen = run(state, {{3000, 0, 64}});
    EXPECT_EQ(seen[0].peak, 64000) << "a fixed peak comes back at the next tick";
    // Back to measuring: reset, then the larger of this tick's deltas, out included.
    state.resetPeak();
    seen = run(state, {{3100, 900, 0}});
    EXPECT_EQ(seen[0].peak, 900);
}

TEST(Statistics, TrafficIsWhatEachLinkInBothSamplesMoved)
{
    constexpr std::uint64_t kLarge = 1'500'000'000; // a container's veth after a while
    constexpr std::uint64_t kHighWord = std::uint64_t{1} << 32;
    const auto link = [](std::uint32_t index, std::uint64_t in, std::uint64_t out,
                         bool wide = true) {
        return LinkCounters{index, in, out, wide};
    };
    struct Case
    {
        const char* what;
        Links before;
        Links after;
        double dIn;
        double dOut;
    };
    for (const Case& c : {
             Case{"link vanishes",
                  {link(1, 1000, 500), link(2, kLarge, kLarge)},
                  {link(1, 4000, 600)},
                  3000,
                  100},
             Case{"link appears with large counters",
                  {link(1, 1000, 500)},
                  {link(2, kLarge, kLarge), link(1, 4000, 600)},
                  3000,
                  100},
             Case{"32-bit counter wraps while another link vanishes",
                  {link(1, 4'294'967'000U, 10, false), link(2, 5000, 5000)},
                  {link(1, 704, 20, false)},
                  1000,
                  10},
             Case{"64-bit counters reset, even with the low word rising",
                  {link(1, kHighWord + 100, 9000), link(2, 100, 100)},
                  {link(1, 300, 100), link(2, 300, 400)},
                  200,
                  300},
             Case{
                 "32-bit counter reset", {link(1, 5000, 9, false)}, {link(1, 200, 9, false)}, 0, 0},
             Case{"32-bit counter's largest step still counts, and peaks",
                  {link(1, 10, 0, false)},
                  {link(1, 10 + 0x7FFF'FFFFU, 0, false)},
                  0x7FFF'FFFF,
                  0},
             Case{"counters narrowed to 32 bits count by their low words",
                  {link(1, kHighWord + 100, 0)},
                  {link(1, 300, 0, false)},
                  200,
                  0},
             Case{"duplicate index pairs up in order",
                  {link(3, 100, 0), link(3, 500, 0)},
                  {link(3, 900, 0), link(3, 150, 0)},
                  450,
                  0},
         }) {
        MeasurementState state;
        state.setUp();
        state.processSample(sampleOf(c.before), 0);
        const auto r = state.processSample(sampleOf(c.after), 0);
        ASSERT_TRUE(r && r->ratesComputed) << c.what;
        EXPECT_DOUBLE_EQ(r->inRate * 3, c.dIn) << c.what;
        EXPECT_DOUBLE_EQ(r->outRate * 3, c.dOut) << c.what;
        EXPECT_EQ(r->peakRate, static_cast<int>(std::max(c.dIn, c.dOut))) << c.what;
        EXPECT_EQ(r->inOctets, sampleOf(c.after).inOctets) << c.what; // totals stay the sums
    }
}

TEST(Statistics, FixedPeakSaturatesInsteadOfOverflowing)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    for (const auto& [speed, peak] :
         {std::pair{-5, -5000}, std::pair{2147483, 2147483000}, std::pair{2147484, kMax},
          std::pair{kMax, kMax}, std::pair{kMin, kMin}}) {
        MeasurementState state;
        state.setUp();
        const auto seen = run(state, {{1, 0, speed}, {2, 0, speed}});
        EXPECT_EQ(seen[1].peak, peak) << speed;
    }
}

TEST(Statistics, SetUpKeepsTheHistory)
{
    MeasurementState state;
    state.setUp();
    run(state, {{1000, 0}, {4000, 0}, {10000, 0}}); // slots 3000, 6000, 0
    state.setUp();
    const auto seen = run(state, {{100, 0}, {100, 0}});
    EXPECT_FALSE(seen[0].rates);
    // The index restarts at slot 0, the 6000 from before the set-up stays.
    EXPECT_DOUBLE_EQ(seen[1].inRate, 2000.0);
    EXPECT_EQ(seen[1].peak, 0);
}

} // namespace
} // namespace zarvello
