#pragma once

#include "platform/CounterSource.h"

#include <optional>
#include <utility>
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

// A sample's sums (in, out), comparable and printable.
using Sums = std::pair<std::uint32_t, std::uint32_t>;
inline Sums sumsOf(const CounterSample& sample)
{
    return {sample.inOctets, sample.outOctets};
}

// Hands out the samples it was given, one per call; no sample once they run out.
struct ScriptedCounterSource : CounterSource
{
    using Script = std::vector<std::optional<Links>>;
    explicit ScriptedCounterSource(Script steps = {}) : script(std::move(steps)) {}
    std::optional<CounterSample> takeSample() override
    {
        const std::optional<Links>* links = next < script.size() ? &script[next++] : nullptr;
        return links && *links ? std::optional(sampleOf(**links)) : std::nullopt;
    }
    const LinkNames* linkNames() const override { return &names; }

    Script script; // the samples point into it
    LinkNames names;
    std::size_t next = 0;
};

} // namespace zarvello
