#include "meter/MeasurementState.h"

#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace zarvello {
namespace {

// One tick of a sequence: what happens before it, the sample's sums (one
// link), the fixed peak option, and what the tick must report. Rates and peak
// are checked only when `rates` is expected.
enum class Op { Sample, NoSample, ResetPeakFirst, RestartFirst };
using enum Op;
struct Tick
{
    Op op;
    std::uint32_t in = 0, out = 0;
    int peakSpeed = 0;
    bool rates = false;
    double inRate = 0, outRate = 0;
    int peak = 0;
};

TEST(MeasurementState, SampleSequences)
{
    const struct
    {
        const char* name;
        std::vector<Tick> ticks;
    } rows[] = {
        // clang-format off
        {"primes, then averages three slots with divisor three",
         {{Sample, 1000, 10}, {Sample, 4000, 20, 0, true, 1000, 10.0 / 3, 3000}, {Sample, 10000, 30, 0, true, 3000, 20.0 / 3, 6000}, {Sample, 10000, 40, 0, true, 3000, 10, 6000}}},
        {"a missing sample changes nothing; the next delta spans it", {{Sample, 500, 7}, {NoSample}, {Sample, 3500, 7, 0, true, 1000, 0, 3000}}},
        {"zero in sum primes forever, even with out traffic", {{Sample, 0, 100}, {Sample, 0, 5000}, {Sample, 0, 90000}}},
        {"fixed peak survives a reset; measuring again takes the larger delta",
         {{Sample, 1000, 0, 64}, {Sample, 2000, 0, 64, true, 1000.0 / 3, 0, 64000}, {ResetPeakFirst, 3000, 0, 64, true, 2000.0 / 3, 0, 64000},
          {ResetPeakFirst, 3100, 900, 0, true, 700, 300, 900}}},
        {"set-up primes again and restarts the slots, keeping the older ones",
         {{Sample, 1000}, {Sample, 4000, 0, 0, true, 1000, 0, 3000}, {Sample, 10000, 0, 0, true, 3000, 0, 6000}, {RestartFirst, 100}, {Sample, 100, 0, 0, true, 2000, 0, 0}}},
        {"fixed peak saturates", {{Sample, 1, 0, 2147484}, {Sample, 2, 0, 2147484, true, 1.0 / 3, 0, std::numeric_limits<int>::max()}}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MeasurementState state;
        state.restart();
        for (std::size_t i = 0; i < row.ticks.size(); ++i) {
            const Tick& t = row.ticks[i];
            SCOPED_TRACE(i);
            if (t.op == ResetPeakFirst) {
                state.resetPeak();
            } else if (t.op == RestartFirst) {
                state.restart();
            }
            const auto r = state.processSample(
                t.op == NoSample ? std::nullopt : std::optional(sampleOf(oneLink(t.in, t.out))),
                t.peakSpeed);
            ASSERT_EQ(r.has_value(), t.op != NoSample);
            if (!r) {
                continue;
            }
            EXPECT_EQ((Sums{r->inOctets, r->outOctets}), (Sums{t.in, t.out}));
            EXPECT_EQ(r->ratesComputed, t.rates);
            EXPECT_TRUE(!t.rates || (r->inRate == t.inRate && r->outRate == t.outRate &&
                                     r->peakRate == t.peak && state.peakRate() == t.peak))
                << r->inRate << " " << r->outRate << " " << r->peakRate;
        }
        EXPECT_TRUE(row.ticks.back().rates || state.peakRate() == 0);
    }
}

TEST(MeasurementState, TrafficIsWhatEachLinkInBothSamplesMoved)
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
        {"link vanishes below an existing index", {link(1, kLarge, kLarge), link(2, 1000, 500)}, {link(2, 4000, 600)}, 3000, 100},
        {"32-bit counter reset", {link(1, 5000, 9, false)}, {link(1, 200, 9, false)}, 0, 0},
        {"32-bit counter's largest step still counts, and peaks", {link(1, 10, 0, false)}, {link(1, 10 + 0x7FFF'FFFFU, 0, false)}, 0x7FFF'FFFF, 0},
        {"counters narrowed to 32 bits count by their low words", {link(1, kHighWord + 100, 0)}, {link(1, 300, 0, false)}, 200, 0},
        {"duplicate index pairs up in order", {link(3, 100, 0), link(3, 500, 0)}, {link(3, 900, 0), link(3, 150, 0)}, 450, 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        MeasurementState state;
        state.restart();
        state.processSample(sampleOf(row.before), 0);
        const auto r = state.processSample(sampleOf(row.after), 0);
        ASSERT_TRUE(r && r->ratesComputed);
        EXPECT_DOUBLE_EQ(r->inRate * 3, row.dIn);
        EXPECT_DOUBLE_EQ(r->outRate * 3, row.dOut);
        EXPECT_EQ(r->peakRate, static_cast<int>(std::max(row.dIn, row.dOut)));
        EXPECT_EQ(r->inOctets, sampleOf(row.after).inOctets); // totals stay the sums
    }
}

} // namespace
} // namespace zarvello
