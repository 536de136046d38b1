#pragma once

#include "platform/CounterSource.h"
#include "platform/LinkDump.h"
#include "platform/NetlinkTransport.h"

#include <memory>
#include <vector>

namespace zarvello {

// Counter samples from the kernel's link statistics: one rtnetlink dump per
// sample over a socket kept for the source's life. Asks for the lean stats
// dump; a kernel that refuses it is asked for the full link dump from then on.
class NetlinkCounterSource final : public CounterSource
{
public:
    explicit NetlinkCounterSource(std::unique_ptr<NetlinkTransport> transport,
                                  LinkDumpKind dump = LinkDumpKind::Stats);

    // The sample's links stay valid until the next call.
    [[nodiscard]] std::optional<CounterSample> takeSample() override;

    // The dump the next sample will ask for.
    [[nodiscard]] LinkDumpKind dumpKind() const { return dump_; }

private:
    enum class Outcome : std::uint8_t { Sample, Retry, NoSample };
    Outcome runDump(CounterSample& sample);

    std::unique_ptr<NetlinkTransport> transport_;
    LinkDumpKind dump_;
    std::uint32_t seq_ = 0;
    // The links of the last dump; reused, so a warm sample allocates nothing.
    std::vector<LinkCounters> links_;
};

} // namespace zarvello
