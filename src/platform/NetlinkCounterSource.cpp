#include "platform/NetlinkCounterSource.h"

#include "platform/NetlinkSocket.h"

#include <algorithm>
#include <utility>

namespace zarvello {

NetlinkCounterSource::NetlinkCounterSource(std::unique_ptr<NetlinkTransport> transport,
                                           LinkDumpKind dump)
    : transport_(std::move(transport)), dump_(dump)
{
}

std::optional<CounterSample> NetlinkCounterSource::takeSample()
{
    // A refused stats dump or a datagram too big for the buffer is retried at
    // once, so switching dumps or growing the buffer costs no sample.
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CounterSample sample;
        const bool named = dump_ == LinkDumpKind::Links;
        switch (runDump(dump_, links_, named ? &infos_ : nullptr, sample)) {
        case Outcome::Sample:
            if (named) {
                names_.assign(infos_);
            } else {
                resolveNewLinks(sample.links);
            }
            return sample;
        case Outcome::NoSample:
            return std::nullopt;
        case Outcome::Retry:
            break;
        }
    }
    return std::nullopt;
}

void NetlinkCounterSource::resetTransport()
{
    transport_->reset();
    // Notifications may have been lost with the socket: look every link up again.
    names_.clear();
}

void NetlinkCounterSource::resolveNewLinks(std::span<const LinkCounters> links)
{
    const bool allKnown = std::all_of(links.begin(), links.end(), [this](const LinkCounters& l) {
        return names_.find(l.index) != nullptr;
    });
    CounterSample ignored;
    if (!allKnown &&
        runDump(LinkDumpKind::Links, lookupLinks_, &infos_, ignored) == Outcome::Sample) {
        names_.assign(infos_);
    }
}

NetlinkCounterSource::Outcome NetlinkCounterSource::runDump(LinkDumpKind kind,
                                                            std::vector<LinkCounters>& links,
                                                            std::vector<LinkInfo>* infos,
                                                            CounterSample& sample)
{
    std::array<std::byte, kLinkDumpRequestCapacity> request{};
    LinkDumpParser parser(kind, ++seq_, links, infos);
    if (!transport_->send(buildLinkDumpRequest(kind, seq_, request))) {
        resetTransport();
        return Outcome::NoSample;
    }
    for (;;) {
        const NetlinkTransport::Received received = transport_->receive();
        if (received.status == NetlinkTransport::ReceiveStatus::Ok && received.notification) {
            applyLinkNotifications(received.datagram, names_);
            continue;
        }
        if (received.status != NetlinkTransport::ReceiveStatus::Ok) {
            // The rest of the dump may still be queued; a fresh socket drops it.
            resetTransport();
            return received.status == NetlinkTransport::ReceiveStatus::Truncated
                       ? Outcome::Retry
                       : Outcome::NoSample;
        }
        switch (parser.feed(received.datagram)) {
        case LinkDumpParser::Status::NeedMore:
            continue;
        case LinkDumpParser::Status::Done:
            sample = parser.sample();
            return Outcome::Sample;
        case LinkDumpParser::Status::Refused:
            // The error reply ends the exchange, so the socket stays usable.
            if (kind == LinkDumpKind::Stats) {
                dump_ = LinkDumpKind::Links;
                return Outcome::Retry;
            }
            return Outcome::NoSample;
        case LinkDumpParser::Status::Failed:
            resetTransport();
            return Outcome::NoSample;
        }
    }
}

std::unique_ptr<CounterSource> makeSystemCounterSource()
{
    return std::make_unique<NetlinkCounterSource>(std::make_unique<NetlinkSocket>());
}

} // namespace zarvello
