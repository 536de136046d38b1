#pragma once

#include "platform/LinkNames.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace zarvello {

// One link's byte counters as the kernel reported them. Counters that are only
// 32 bits wide wrap modulo 2^32; 64-bit ones only fall when the driver resets them.
struct LinkCounters
{
    std::uint32_t index = 0; // the kernel's interface index
    std::uint64_t inOctets = 0;
    std::uint64_t outOctets = 0;
    bool wide = false; // 64-bit counters

    friend constexpr bool operator==(const LinkCounters&, const LinkCounters&) = default;
};

// The octet counters of every network link summed into one pair, and the
// links they came from. Each link's counter enters the sum as an unsigned
// 32-bit value and the sums wrap modulo 2^32.
struct CounterSample
{
    std::uint32_t inOctets = 0;
    std::uint32_t outOctets = 0;
    // Owned by the source; valid until its next sample.
    std::span<const LinkCounters> links;
};

// Where the tick's counters come from. No sample means the system could not
// give a complete snapshot this time; the next tick simply asks again.
class CounterSource
{
public:
    virtual ~CounterSource() = default;
    [[nodiscard]] virtual std::optional<CounterSample> takeSample() = 0;
    // The names of the links, current as of the last sample; none where the
    // source cannot tell.
    [[nodiscard]] virtual const LinkNames* linkNames() const { return nullptr; }
};

// The kernel's link statistics.
[[nodiscard]] std::unique_ptr<CounterSource> makeSystemCounterSource();

} // namespace zarvello
