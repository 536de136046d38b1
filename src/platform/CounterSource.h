#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace zarvello {

// The octet counters of every network link summed into one pair. Each link's
// counter enters the sum as an unsigned 32-bit value and the sums wrap modulo 2^32.
struct CounterSample {
    std::uint32_t inOctets = 0;
    std::uint32_t outOctets = 0;

    friend constexpr bool operator==(CounterSample, CounterSample) = default;
};

// Where the tick's counters come from. No sample means the system could not
// give a complete snapshot this time; the next tick simply asks again.
class CounterSource {
public:
    virtual ~CounterSource() = default;
    [[nodiscard]] virtual std::optional<CounterSample> takeSample() = 0;
};

// The kernel's link statistics.
[[nodiscard]] std::unique_ptr<CounterSource> makeSystemCounterSource();

} // namespace zarvello
