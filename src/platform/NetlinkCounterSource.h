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
// Link names come from the kernel's notifications on the same socket; a link
// whose index is new is looked up with one full link dump.
class NetlinkCounterSource final : public CounterSource
{
public:
    explicit NetlinkCounterSource(std::unique_ptr<NetlinkTransport> transport,
                                  LinkDumpKind dump = LinkDumpKind::Stats);

    // The sample's links stay valid until the next call.
    [[nodiscard]] std::optional<CounterSample> takeSample() override;
    [[nodiscard]] const LinkNames* linkNames() const override { return &names_; }

    // The dump the next sample will ask for.
    [[nodiscard]] LinkDumpKind dumpKind() const { return dump_; }

private:
    enum class Outcome : std::uint8_t { Sample, Retry, NoSample };
    Outcome runDump(LinkDumpKind kind, std::vector<LinkCounters>& links,
                    std::vector<LinkInfo>* infos, CounterSample& sample);
    void resolveNewLinks(std::span<const LinkCounters> links);
    void resetTransport();

    std::unique_ptr<NetlinkTransport> transport_;
    LinkDumpKind dump_;
    std::uint32_t seq_ = 0;
    // The links of the last dump; reused, so a warm sample allocates nothing.
    std::vector<LinkCounters> links_;
    LinkNames names_;
    std::vector<LinkInfo> infos_;
    std::vector<LinkCounters> lookupLinks_; // the look-up's own, so links_ stays valid
};

} // namespace zarvello
