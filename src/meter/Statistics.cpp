#include "meter/Statistics.h"

#include <limits>
#include <numeric>

namespace zarvello {
namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr double kIntMin = std::numeric_limits<int>::min();
constexpr double kIntMax = std::numeric_limits<int>::max();

// The sums are 32-bit and wrap; a fall of more than 2^31 between two ticks
// is a wrap, not traffic going backwards. Smaller falls (a link removed)
// stay negative.
double unwrap(double delta)
{
    return delta < kIntMin ? delta + kTwoTo32 : delta;
}

void raisePeak(int& peak, double delta)
{
    // A delta beyond 32 bits (a link with large counters appearing) says
    // nothing about speed, so it leaves the peak alone.
    if (delta >= kIntMin && delta <= kIntMax && static_cast<int>(delta) > peak) {
        peak = static_cast<int>(delta);
    }
}

int fixedPeak(int peakSpeed)
{
    const auto product = static_cast<std::int64_t>(peakSpeed) * 1000;
    if (product > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (product < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(product);
}

} // namespace

void MeasurementState::setUp()
{
    previousIn_ = 0;
    previousOut_ = 0;
    peakRate_ = 0;
    historyIndex_ = 0;
}

std::optional<TickResults> MeasurementState::processSample(std::optional<CounterSample> sample,
                                                           int peakSpeed)
{
    if (!sample) {
        return std::nullopt;
    }
    const double in = sample->inOctets;
    const double out = sample->outOctets;
    TickResults results{.inOctets = sample->inOctets, .outOctets = sample->outOctets};

    // Only the in sum decides priming: an idle in counter keeps priming forever.
    if (previousIn_ != 0) {
        const double dIn = unwrap(in - previousIn_);
        const double dOut = unwrap(out - previousOut_);
        if (peakSpeed != 0) {
            peakRate_ = fixedPeak(peakSpeed);
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
    previousIn_ = in;
    previousOut_ = out;
    return results;
}

} // namespace zarvello
