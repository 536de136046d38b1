#pragma once

#include "platform/CounterSource.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zarvello {

// What one tick hands to the figures. Rates and peak are meaningful only when
// ratesComputed is set; the totals always are.
struct TickResults
{
    bool ratesComputed = false;
    double inRate = 0; // bytes per second, averaged over three ticks
    double outRate = 0;
    int peakRate = 0; // bytes per second; the bars' full scale
    std::uint32_t inOctets = 0;
    std::uint32_t outOctets = 0;
};

// Turns consecutive counter samples into averaged rates, totals and the peak.
// One tick counts as one second; no clock is read. A tick's traffic is what
// each link moved since the last sample, so links that come and go, and
// counters that restart, never make traffic go backwards or jump.
class MeasurementState
{
public:
    // Primes again as at start-up; the delta histories are deliberately kept.
    void restart();
    // Primes again at the next sample, as for links that were chosen anew:
    // the history starts afresh, the peak stays.
    void restartHistory();

    // peakSpeed is the fixed peak in thousands of bytes per second, 0 = measured.
    // Returns nothing when there is no sample: the tick then changes nothing.
    std::optional<TickResults> processSample(std::optional<CounterSample> sample, int peakSpeed);

    void resetPeak() { peakRate_ = 0; }
    [[nodiscard]] int peakRate() const { return peakRate_; }

private:
    static constexpr int kHistory = 3;

    // The last in sum; while it is 0 every tick only primes.
    std::uint32_t previousIn_ = 0;
    int peakRate_ = 0;
    std::array<double, kHistory> inHistory_{};
    std::array<double, kHistory> outHistory_{};
    int historyIndex_ = 0;
    // The last sample's links sorted by index, and room for the next ones;
    // both keep their capacity, so a warm tick allocates nothing.
    std::vector<LinkCounters> previousLinks_;
    std::vector<LinkCounters> currentLinks_;
};

} // namespace zarvello
