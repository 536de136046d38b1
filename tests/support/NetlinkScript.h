#pragma once

// Hand-built rtnetlink replies and a transport that plays them back, for
// driving the link dump parser and the netlink counter source without a kernel.

#include "platform/NetlinkTransport.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

namespace zarvello::nltest {

using Bytes = std::vector<std::byte>;

Bytes concat(std::initializer_list<Bytes> parts);

// One attribute: header, data, padding to 4 bytes.
Bytes attribute(std::uint16_t type, const Bytes& data);
// A link statistics record of `size` bytes holding the given byte counters.
Bytes stats64(std::uint64_t rxBytes, std::uint64_t txBytes, std::size_t size = 200);
Bytes stats32(std::uint32_t rxBytes, std::uint32_t txBytes);

// One message: header (nlmsg_len = 16 + payload size unless overridden), payload, padding.
Bytes message(std::uint16_t type, std::uint32_t seq, const Bytes& payload,
              std::uint16_t flags = 0x2 /* NLM_F_MULTI */,
              std::optional<std::uint32_t> lengthOverride = std::nullopt);

// RTM_NEWSTATS for one link carrying IFLA_STATS_LINK_64.
Bytes statsLink(std::uint32_t seq, std::uint64_t rxBytes, std::uint64_t txBytes,
                std::uint32_t index = 7);
// RTM_NEWLINK for one link with the given counter attributes.
Bytes infoLink(std::uint32_t seq, std::optional<Bytes> counters64, std::optional<Bytes> counters32,
               int index = 7);
Bytes done(std::uint32_t seq, std::int32_t result = 0);
Bytes error(std::uint32_t seq, std::int32_t negativeErrno);

// Plays back scripted datagrams. Each reply is built from the sequence number
// of the last request, so scripts need not know how the source numbers them.
class ScriptedTransport final : public NetlinkTransport
{
public:
    using Builder = std::function<Bytes(std::uint32_t seq)>;

    void reply(Builder datagram);
    void replyTruncated();
    void replyFailure();

    bool sendFails = false;
    std::vector<Bytes> requests;
    int resets = 0;
    [[nodiscard]] std::size_t pending() const { return script_.size(); }
    // nlmsg_type of each request sent.
    [[nodiscard]] std::vector<std::uint16_t> requestTypes() const;

    bool send(std::span<const std::byte> request) override;
    Received receive() override;
    void reset() override { ++resets; }

private:
    struct Step
    {
        ReceiveStatus status;
        Builder datagram;
    };
    std::deque<Step> script_;
    std::uint32_t lastSeq_ = 0;
    Bytes current_;
};

} // namespace zarvello::nltest
