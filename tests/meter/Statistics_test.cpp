#include "meter/Statistics.h"

#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace zarvello {
namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

// One tick of a sequence: what happens before it, the sample's sums (one
// link), the fixed peak option, and what the tick must report. Rates and peak
// are checked only when `rates` is expected.
struct Tick
{
    enum { kSample, kNoSample, kResetPeakFirst, kSetUpFirst } op = kSample;
    std::uint32_t in = 0, out = 0;
    int peakSpeed = 0;
    bool rates = false;
    double inRate = 0, outRate = 0;
    int peak = 0;
};

// A priming tick, and one with rates.
Tick prime(std::uint32_t in, std::uint32_t out = 0, int peakSpeed = 0)
{
    return {.in = in, .out = out, .peakSpeed = peakSpeed};
}
Tick rated(std::uint32_t in, std::uint32_t out, double inRate, double outRate, int peak,
           int peakSpeed = 0)
{
    return {.in = in,
            .out = out,
            .peakSpeed = peakSpeed,
            .rates = true,
            .inRate = inRate,
            .outRate = outRate,
            .peak = peak};
}
Tick after(decltype(Tick::op) op, Tick t)
{
    t.op = op;
    return t;
}

TEST(Statistics, SampleSequences)
{
    const struct
    {
        const char* name;
        std::vector<Tick> ticks;
    } rows[] = {
        // clang-format off
        {"primes, then averages three slots with divisor three",
         {prime(1000, 10), rated(4000, 20, 1000, 10.0 / 3, 3000), rated(10000, 30, 3000, 20.0 / 3, 6000), rated(10000, 40, 3000, 10, 6000)}},
        {"a missing sample changes nothing; the next delta spans it", {prime(500, 7), {.op = Tick::kNoSample}, rated(3500, 7, 1000, 0, 3000)}},
        {"zero in sum primes forever, even with out traffic", {prime(0, 100), prime(0, 5000), prime(0, 90000)}},
        {"fixed peak survives a reset; measuring again takes the larger delta",
         {prime(1000, 0, 64), rated(2000, 0, 1000.0 / 3, 0, 64000, 64), after(Tick::kResetPeakFirst, rated(3000, 0, 2000.0 / 3, 0, 64000, 64)),
          after(Tick::kResetPeakFirst, rated(3100, 900, 700, 300, 900))}},
        {"set-up primes again and restarts the slots, keeping the older ones",
         {prime(1000), rated(4000, 0, 1000, 0, 3000), rated(10000, 0, 3000, 0, 6000), after(Tick::kSetUpFirst, prime(100)), rated(100, 0, 2000, 0, 0)}},
        {"negative fixed peak", {prime(1, 0, -5), rated(2, 0, 1.0 / 3, 0, -5000, -5)}},
        {"largest fixed peak", {prime(1, 0, 2147483), rated(2, 0, 1.0 / 3, 0, 2147483000, 2147483)}},
        {"fixed peak saturates", {prime(1, 0, 2147484), rated(2, 0, 1.0 / 3, 0, kMax, 2147484)}},
        {"fixed peak saturates at int max", {prime(1, 0, kMax), rated(2, 0, 1.0 / 3, 0, kMax, kMax)}},
        {"fixed peak saturates at int min", {prime(1, 0, kMin), rated(2, 0, 1.0 / 3, 0, kMin, kMin)}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MeasurementState state;
        state.setUp();
        for (std::size_t i = 0; i < row.ticks.size(); ++i) {
            const Tick& t = row.ticks[i];
            SCOPED_TRACE(i);
            if (t.op == Tick::kResetPeakFirst) {
                state.resetPeak();
            } else if (t.op == Tick::kSetUpFirst) {
                state.setUp();
            } else if (t.op == Tick::kNoSample) {
                EXPECT_FALSE(state.processSample(std::nullopt, t.peakSpeed));
                continue;
            }
            const auto r = state.processSample(sampleOf(oneLink(t.in, t.out)), t.peakSpeed);
            ASSERT_TRUE(r);
            EXPECT_EQ(r->ratesComputed, t.rates);
            EXPECT_EQ(r->inOctets, t.in);
            EXPECT_EQ(r->outOctets, t.out);
            if (t.rates) {
                EXPECT_DOUBLE_EQ(r->inRate, t.inRate);
                EXPECT_DOUBLE_EQ(r->outRate, t.outRate);
                EXPECT_EQ(r->peakRate, t.peak);
                EXPECT_EQ(state.peakRate(), t.peak);
            }
        }
        if (row.ticks.back().rates == false) {
            EXPECT_EQ(state.peakRate(), 0);
        }
    }
}

TEST(Statistics, TrafficIsWhatEachLinkInBothSamplesMoved)
{
    constexpr std::uint64_t kLarge = 1'500'000'000; // a container's veth after a while
    constexpr std::uint64_t kHighWord = std::uint64_t{1} << 32;
    const auto link = [](std::uint32_t index, std::uint64_t in, std::uint64_t out,
                         bool wide = true) {
        return LinkCounters{index, in, out, wide};
    };
    const struct
    {
        const char* what;
        Links before, after;
        double dIn, dOut;
    } rows[] = {
        // clang-format off
        {"link vanishes", {link(1, 1000, 500), link(2, kLarge, kLarge)}, {link(1, 4000, 600)}, 3000, 100},
        {"link appears with large counters", {link(1, 1000, 500)}, {link(2, kLarge, kLarge), link(1, 4000, 600)}, 3000, 100},
        {"32-bit counter wraps while another link vanishes", {link(1, 4'294'967'000U, 10, false), link(2, 5000, 5000)}, {link(1, 704, 20, false)}, 1000, 10},
        {"64-bit counters reset, even with the low word rising", {link(1, kHighWord + 100, 9000), link(2, 100, 100)}, {link(1, 300, 100), link(2, 300, 400)}, 200, 300},
        {"link appears below an existing index", {link(2, 1000, 500)}, {link(1, kLarge, kLarge), link(2, 4000, 600)}, 3000, 100},
        {"32-bit counter reset", {link(1, 5000, 9, false)}, {link(1, 200, 9, false)}, 0, 0},
        {"32-bit counter's largest step still counts, and peaks", {link(1, 10, 0, false)}, {link(1, 10 + 0x7FFF'FFFFU, 0, false)}, 0x7FFF'FFFF, 0},
        {"counters narrowed to 32 bits count by their low words", {link(1, kHighWord + 100, 0)}, {link(1, 300, 0, false)}, 200, 0},
        {"duplicate index pairs up in order", {link(3, 100, 0), link(3, 500, 0)}, {link(3, 900, 0), link(3, 150, 0)}, 450, 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        MeasurementState state;
        state.setUp();
        state.processSample(sampleOf(row.before), 0);
        const auto r = state.processSample(sampleOf(row.after), 0);
        ASSERT_TRUE(r && r->ratesComputed) << row.what;
        EXPECT_DOUBLE_EQ(r->inRate * 3, row.dIn) << row.what;
        EXPECT_DOUBLE_EQ(r->outRate * 3, row.dOut) << row.what;
        EXPECT_EQ(r->peakRate, static_cast<int>(std::max(row.dIn, row.dOut))) << row.what;
        EXPECT_EQ(r->inOctets, sampleOf(row.after).inOctets) << row.what; // totals stay the sums
    }
}

} // namespace
} // namespace zarvello
