#include "meter/MeasurementState.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <span>
#include <tuple>

namespace zarvello {
namespace {

constexpr double kIntMin = std::numeric_limits<int>::min();
constexpr double kIntMax = std::numeric_limits<int>::max();

// A 32-bit counter cannot tell a wrap from a restart. A step of 2^31 or more
// in one tick (over 17 Gbit/s on a link without 64-bit counters) is taken
// for a counter that went back.
constexpr std::uint32_t kLargest32BitStep = (std::uint32_t{1} << 31) - 1;

// What one link's counter moved between two samples; a counter that went
// back (the driver reset it) moved nothing.
std::uint64_t counterStep(std::uint64_t before, std::uint64_t after, bool wide)
{
    if (wide) {
        return after >= before ? after - before : 0;
    }
    const auto step = static_cast<std::uint32_t>(after - before); // modulo 2^32
    return step <= kLargest32BitStep ? step : 0;
}

bool linkOrder(const LinkCounters& a, const LinkCounters& b)
{
    // The counters break ties, so a duplicate index pairs up the same way
    // whatever order the kernel listed it in.
    return std::tie(a.index, a.inOctets, a.outOctets, a.wide) <
           std::tie(b.index, b.inOctets, b.outOctets, b.wide);
}

struct Traffic
{
    double in = 0;
    double out = 0;
};

// Sums what each link found in both samples moved; both lists are sorted by
// index. A link in only one sample (added or removed) adds nothing.
Traffic linkTraffic(std::span<const LinkCounters> before, std::span<const LinkCounters> after)
{
    Traffic traffic;
    auto b = before.begin();
    auto a = after.begin();
    while (b != before.end() && a != after.end()) {
        if (b->index < a->index) {
            ++b;
        } else if (a->index < b->index) {
            ++a;
        } else {
            const bool wide = b->wide && a->wide;
            traffic.in += static_cast<double>(counterStep(b->inOctets, a->inOctets, wide));
            traffic.out += static_cast<double>(counterStep(b->outOctets, a->outOctets, wide));
            ++b;
            ++a;
        }
    }
    return traffic;
}

void raisePeak(int& peak, double delta)
{
    // A delta beyond 32 bits says nothing a bar could show, so it leaves the
    // peak alone.
    if (delta >= kIntMin && delta <= kIntMax && static_cast<int>(delta) > peak) {
        peak = static_cast<int>(delta);
    }
}

} // namespace

void MeasurementState::restart()
{
    previousIn_ = 0;
    peakRate_ = 0;
    historyIndex_ = 0;
    previousLinks_.clear();
}

void MeasurementState::restartHistory()
{
    previousIn_ = 0;
    historyIndex_ = 0;
    inHistory_.fill(0);
    outHistory_.fill(0);
    previousLinks_.clear();
}

std::optional<TickResults> MeasurementState::processSample(std::optional<CounterSample> sample,
                                                           int peakSpeed)
{
    if (!sample) {
        return std::nullopt;
    }
    TickResults results{.inOctets = sample->inOctets, .outOctets = sample->outOctets};
    currentLinks_.assign(sample->links.begin(), sample->links.end());
    std::sort(currentLinks_.begin(), currentLinks_.end(), linkOrder);

    // Only the in sum decides priming: an idle in counter keeps priming forever.
    if (previousIn_ != 0) {
        const auto [dIn, dOut] = linkTraffic(previousLinks_, currentLinks_);
        if (peakSpeed != 0) {
            peakRate_ = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{peakSpeed} * 1000,
                                                                  std::numeric_limits<int>::min(),
                                                                  std::numeric_limits<int>::max()));
        } else {
            raisePeak(peakRate_, dIn);
            raisePeak(peakRate_, dOut);
        }
        inHistory_[historyIndex_] = dIn;
        outHistory_[historyIndex_] = dOut;
        historyIndex_ = (historyIndex_ + 1) % kHistory;

        results.ratesComputed = true;
        results.inRate = std::accumulate(inHistory_.begin(), inHistory_.end(), 0.0) / kHistory;
        results.outRate = std::accumulate(outHistory_.begin(), outHistory_.end(), 0.0) / kHistory;
        results.peakRate = peakRate_;
    }
    previousIn_ = sample->inOctets;
    previousLinks_.swap(currentLinks_);
    return results;
}

} // namespace zarvello
