#include "meter/Figures.h"
#include "meter/LinkFilter.h"
#include "meter/MeasurementState.h"
#include "meter/NumberFormat.h"

#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

namespace zarvello {
namespace {

// One tick of a sequence: what happens before it, the sample's sums (one
// link), the fixed peak option, and what the tick must report. Rates and peak
// are checked only when `rates` is expected.
enum class Op { Sample, NoSample, ResetPeakFirst, RestartFirst, ChooseLinksFirst };
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
    const std::pair<const char*, std::vector<Tick>> rows[] = {
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
        {"links chosen anew prime again and restart the slots, keeping the peak",
         {{Sample, 1000}, {Sample, 4000, 0, 0, true, 1000, 0, 3000}, {ChooseLinksFirst, 100}, {Sample, 400, 0, 0, true, 100, 0, 3000}}},
        {"fixed peak saturates", {{Sample, 1, 0, 2147484}, {Sample, 2, 0, 2147484, true, 1.0 / 3, 0, std::numeric_limits<int>::max()}}},
        // clang-format on
    };
    for (const auto& [name, ticks] : rows) {
        SCOPED_TRACE(name);
        MeasurementState state;
        state.restart();
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const Tick& t = ticks[i];
            SCOPED_TRACE(i);
            if (t.op == ResetPeakFirst) {
                state.resetPeak();
            } else if (t.op == RestartFirst) {
                state.restart();
            } else if (t.op == ChooseLinksFirst) {
                state.restartHistory();
            }
            const auto r = state.processSample(
                t.op == NoSample ? std::nullopt : std::optional(sampleOf(oneLink(t.in, t.out))),
                t.peakSpeed);
            ASSERT_EQ(r.has_value(), t.op != NoSample);
            if (!r) {
                continue;
            }
            EXPECT_EQ(std::tuple(r->inOctets, r->outOctets, r->ratesComputed),
                      std::tuple(t.in, t.out, t.rates));
            EXPECT_TRUE(!t.rates || (r->inRate == t.inRate && r->outRate == t.outRate &&
                                     r->peakRate == t.peak && state.peakRate() == t.peak))
                << r->inRate << " " << r->outRate << " " << r->peakRate;
        }
        EXPECT_TRUE(ticks.back().rates || state.peakRate() == 0);
    }
}

TEST(MeasurementState, TrafficIsWhatEachLinkInBothSamplesMoved)
{
    constexpr std::uint64_t kLarge = 1'500'000'000; // a container's veth after a while
    constexpr std::uint64_t kHighWord = std::uint64_t{1} << 32;
    // what, the links before and after ({index, in, out, 64-bit}), and the traffic they moved
    const std::tuple<const char*, Links, Links, double, double> rows[] = {
        // clang-format off
        {"link appears with large counters", {{1, 1000, 500, true}}, {{2, kLarge, kLarge, true}, {1, 4000, 600, true}}, 3000, 100},
        {"32-bit counter wraps while another link vanishes", {{1, 4'294'967'000U, 10, false}, {2, 5000, 5000, true}}, {{1, 704, 20, false}}, 1000, 10},
        {"64-bit counters reset, even with the low word rising", {{1, kHighWord + 100, 9000, true}, {2, 100, 100, true}}, {{1, 300, 100, true}, {2, 300, 400, true}}, 200, 300},
        {"link appears below an existing index", {{2, 1000, 500, true}}, {{1, kLarge, kLarge, true}, {2, 4000, 600, true}}, 3000, 100},
        {"link vanishes below an existing index", {{1, kLarge, kLarge, true}, {2, 1000, 500, true}}, {{2, 4000, 600, true}}, 3000, 100},
        {"32-bit counter reset", {{1, 5000, 9, false}}, {{1, 200, 9, false}}, 0, 0},
        {"32-bit counter's largest step still counts, and peaks", {{1, 10, 0, false}}, {{1, 10 + 0x7FFF'FFFFU, 0, false}}, 0x7FFF'FFFF, 0},
        {"counters narrowed to 32 bits count by their low words", {{1, kHighWord + 100, 0, true}}, {{1, 300, 0, false}}, 200, 0},
        {"duplicate index pairs up in order", {{3, 100, 0, true}, {3, 500, 0, true}}, {{3, 900, 0, true}, {3, 150, 0, true}}, 450, 0},
        // clang-format on
    };
    for (const auto& [what, before, after, dIn, dOut] : rows) {
        SCOPED_TRACE(what);
        MeasurementState state;
        state.restart();
        state.processSample(sampleOf(before), 0);
        const auto r = state.processSample(sampleOf(after), 0);
        ASSERT_TRUE(r && r->ratesComputed);
        EXPECT_DOUBLE_EQ(r->inRate * 3, dIn);
        EXPECT_DOUBLE_EQ(r->outRate * 3, dOut);
        EXPECT_EQ(r->peakRate, static_cast<int>(std::max(dIn, dOut)));
    }
}

TEST(LinkFilter, TheLastItemThatMatchesDecides)
{
    // the option, and which of "lo eth0 enp3s0 wlan0 wlp2s0 br-1" count
    // clang-format off
    const std::pair<QString, std::string> rows[] = {
        {"", "lo eth0 enp3s0 wlan0 wlp2s0 br-1"}, {",,", "lo eth0 enp3s0 wlan0 wlp2s0 br-1"},
        {"*,!lo", "eth0 enp3s0 wlan0 wlp2s0 br-1"}, {"!lo,*", "lo eth0 enp3s0 wlan0 wlp2s0 br-1"},
        {"enp*,wl*", "enp3s0 wlan0 wlp2s0"}, {"wl*,!wlan?", "wlp2s0"}, {"eth0,!eth0,eth0", "eth0"},
        {"eth", ""}, {"!eth0", ""}, {"[bl]*,!*-?", "lo"}};
    // clang-format on
    for (const auto& [option, expected] : rows) {
        const LinkFilter filter(option);
        std::string counted;
        for (const char* name : {"lo", "eth0", "enp3s0", "wlan0", "wlp2s0", "br-1"}) {
            counted += filter.counts(name) ? (counted.empty() ? "" : " ") + std::string(name) : "";
        }
        EXPECT_EQ(counted, expected) << option.toStdString();
    }
}

// Only the chosen links reach the sums, a new link from its first sample on
// and a renamed one by its new name; links without a name count only in "all".
TEST(SelectedCounterSource, SumsTheLowWordsOfTheChosenLinks)
{
    const Links both{{1, 4'000'000'000U, 7, true}, {2, 0x1'0000'0000ULL + 500'000'000U, 9, true}};
    const Links grown{both[0], both[1], {3, 1000, 1, true}, {4, 20, 20, true}};
    auto scripted = std::make_unique<ScriptedCounterSource>(
        ScriptedCounterSource::Script{both, both, grown, grown, grown});
    LinkNames& names = scripted->names;
    names.assign({{1, "lo", true, true}, {2, "eth0", false, true}});
    SelectedCounterSource source(std::move(scripted));
    EXPECT_EQ(sumsOf(*source.takeSample()), Sums(205'032'704U, 16)) << "all, modulo 2^32";
    source.setFilter(LinkFilter("*,!lo"));
    EXPECT_EQ(sumsOf(*source.takeSample()), Sums(500'000'000U, 9));
    names.update({3, "veth0", false, false});
    EXPECT_EQ(sumsOf(*source.takeSample()), Sums(500'001'000U, 10));
    names.update({2, "lo", false, true});
    const CounterSample renamed = *source.takeSample();
    EXPECT_EQ(Links(renamed.links.begin(), renamed.links.end()), Links{grown[2]});
    source.setFilter(LinkFilter(""));
    EXPECT_EQ(sumsOf(*source.takeSample()), Sums(205'033'724U, 37));
    EXPECT_FALSE(source.takeSample());
}

// An explicit list too long for the option is written as everything but the unticked.
TEST(InterfacesMenu, AListTooLongToKeepBecomesEverythingButTheUnticked)
{
    LinkNames names;
    for (std::uint32_t i = 0; i < 70; ++i) {
        names.update({i, QString("veth%1").arg(i, 11, 10, QChar('0')).toStdString()});
    }
    EXPECT_EQ(toggledInterfaces(interfaceEntries(&names, ""), "veth00000000005", false),
              "*,!veth00000000005");
}

TEST(Figures, CaptionsScalesAndTrayPosition)
{
    // what, the tick and options, and the in and peak texts, bar scale, tray maximum and position
    // clang-format off
    const std::tuple<const char*, TickResults, FigureOptions, const char*, const char*, int, int, int> rows[] = {
        {"bytes", {true, 12345, 0, 12345, 0, 0}, {}, "12.3 KBs", "12 KBs", 12345, 12, 12},
        {"bits; the tray still counts bytes", {true, 12345, 0, 12345, 0, 0}, {.kiloBytes = false}, "98.8 Kbs", "98 Kbs", 12345, 12, 12},
        {"no peak yet", {true, 500, 0, 0, 0, 0}, {}, "0.5 KBs", "0 KBs", 1, 1, 1},
        {"a peak of one byte is a peak", {true, 0, 0, 1, 0, 0}, {}, "0.0 KBs", "0 KBs", 1, 0, 0},
        {"peak under a thousand", {true, -40, 0, 500, 0, 0}, {}, "0.0 KBs", "0 KBs", 500, 0, 0},
        {"negative peak", {true, -4000, 0, -5000, 0, 0}, {}, "-4.0 KBs", "-5 KBs", 1, 1, 0},
        {"peak × 8 beyond 32 bits", {true, 0, 0, 300000000, 0, 0}, {.kiloBytes = false}, "0.0 Kbs", "2400000 Kbs", 300000000, 300000, 0},
        {"actual mode, out rate", {true, 0, 150000, 150000, 0, 0}, {.trayPercent = false, .trayIconIn = false}, "0.0 KBs", "150 KBs", 150000, 100, 150},
    };
    // clang-format on
    for (const auto& [what, tick, options, inSpeed, maxSpeed, barScale, trayMax, trayPosition] :
         rows) {
        SCOPED_TRACE(what);
        const auto w = computeFigures(tick, options, QLocale::c());
        EXPECT_EQ(std::tuple(w.inSpeed, w.maxSpeed, w.barScale, w.trayMax, w.trayPosition),
                  std::tuple(QString::fromUtf8(inSpeed), QString::fromUtf8(maxSpeed), barScale,
                             trayMax, trayPosition));
    }
    const FigureOptions bits{.kiloBytes = false};
    EXPECT_EQ(computeFigures({true, 0, 1000, 1000, 0, 0}, bits, QLocale::c()).outSpeed, "8.0 Kbs");
}

TEST(NumberFormat, PatternsRoundHalfAwayFromZeroOnTheShortestDecimal)
{
    const QLocale c(QLocale::C);
    // 1.15 is binary 1.1499999… and still rounds up; -0.04 rounds to a zero without a sign
    // clang-format off
    const std::tuple<double, const char*, const char*, const char*> rows[] = {
        {1.15, "1.2", "1", "1"}, {0.25, "0.3", "0", "0"}, {2.5, "2.5", "3", "3"}, {-2.5, "-2.5", "-3", "-3"},
        {-0.04, "0.0", "0", "0"}, {9.96, "10.0", "10", "10"}, {999999.5, "999999.5", "1000000", "1,000,000"},
        {4294967.295, "4294967.3", "4294967", "4,294,967"}};
    // clang-format on
    for (const auto& [value, oneDecimal, whole, grouped] : rows) {
        EXPECT_EQ(formatOneDecimal(value, c), QString::fromLatin1(oneDecimal)) << value;
        EXPECT_EQ(formatWhole(value), QString::fromLatin1(whole)) << value;
        EXPECT_EQ(formatGrouped(value, c), QString::fromLatin1(grouped)) << value;
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(formatOneDecimal(-1234.56, german), QStringLiteral("-1234,6"));
    EXPECT_EQ(formatGrouped(123456789.0, german), QStringLiteral("123.456.789"));
}

} // namespace
} // namespace zarvello
