#include "platform/NetlinkCounterSource.h"

#include "platform/NetlinkSocket.h"

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
        switch (runDump(sample)) {
        case Outcome::Sample:
            return sample;
        case Outcome::NoSample:
            return std::nullopt;
        case Outcome::Retry:
            break;
        }
    }
    return std::nullopt;
}

NetlinkCounterSource::Outcome NetlinkCounterSource::runDump(CounterSample& sample)
{
    std::array<std::byte, kLinkDumpRequestCapacity> request{};
    LinkDumpParser parser(dump_, ++seq_, links_);
    if (!transport_->send(buildLinkDumpRequest(dump_, seq_, request))) {
        transport_->reset();
        return Outcome::NoSample;
    }
    for (;;) {
        const NetlinkTransport::Received received = transport_->receive();
        if (received.status != NetlinkTransport::ReceiveStatus::Ok) {
            // The rest of the dump may still be queued; a fresh socket drops it.
            transport_->reset();
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
            if (dump_ == LinkDumpKind::Stats) {
                dump_ = LinkDumpKind::Links;
                return Outcome::Retry;
            }
            return Outcome::NoSample;
        case LinkDumpParser::Status::Failed:
            transport_->reset();
            return Outcome::NoSample;
        }
    }
}

std::unique_ptr<CounterSource> makeSystemCounterSource()
{
    return std::make_unique<NetlinkCounterSource>(std::make_unique<NetlinkSocket>());
}

} // namespace zarvello
