#pragma once

#include "platform/CounterSource.h"

#include <deque>
#include <optional>
#include <ostream>
#include <vector>

namespace zarvello {

using Links = std::vector<LinkCounters>;

// One link with 64-bit counters, as the kernel's stats dump reports it.
inline Links oneLink(std::uint64_t in, std::uint64_t out, std::uint32_t index = 1)
{
    return {{.index = index, .inOctets = in, .outOctets = out, .wide = true}};
}

// The sample a source reports for `links`: the links, and their counters'
// low 32 bits summed modulo 2^32. The sample points into `links`.
inline CounterSample sampleOf(const Links& links)
{
    CounterSample sample{.links = links};
    for (const LinkCounters& link : links) {
        sample.inOctets += static_cast<std::uint32_t>(link.inOctets);
        sample.outOctets += static_cast<std::uint32_t>(link.outOctets);
    }
    return sample;
}

// A sample's sums, comparable and printable.
struct Sums
{
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    friend bool operator==(const Sums&, const Sums&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Sums& s)
    {
        return os << s.in << "/" << s.out;
    }
};

inline Sums sumsOf(const CounterSample& sample)
{
    return {sample.inOctets, sample.outOctets};
}

// Hands out the samples it was given, one per call; no sample once they run out.
class ScriptedCounterSource : public CounterSource
{
public:
    using Script = std::deque<std::optional<Links>>;

    explicit ScriptedCounterSource(Script script = {}) : script_(std::move(script)) {}

    std::optional<CounterSample> takeSample() override
    {
        if (script_.empty()) {
            return std::nullopt;
        }
        current_ = std::move(script_.front());
        script_.pop_front();
        return current_ ? std::optional(sampleOf(*current_)) : std::nullopt;
    }

private:
    Script script_;
    std::optional<Links> current_; // the links of the last sample handed out
};

} // namespace zarvello
