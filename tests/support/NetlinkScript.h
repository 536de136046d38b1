#pragma once

// Hand-built rtnetlink replies and a transport that plays them back, for
// driving the link dump parser and the netlink counter source without a kernel.

#include "platform/NetlinkTransport.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <variant>
#include <vector>

namespace zarvello::nltest {

using Bytes = std::vector<std::byte>;

template <typename T> Bytes bytesOf(const T& value)
{
    const auto* raw = reinterpret_cast<const std::byte*>(&value);
    return Bytes(raw, raw + sizeof value);
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Padded to 4 bytes, as netlink aligns messages and attributes.
inline Bytes padded(Bytes out)
{
    out.resize((out.size() + 3U) & ~std::size_t{3U}, std::byte{0});
    return out;
}

inline Bytes attribute(std::uint16_t type, const Bytes& data)
{
    const rtattr header{static_cast<unsigned short>(sizeof(rtattr) + data.size()), type};
    return padded(concat({bytesOf(header), data}));
}

// A counter record of `size` bytes (`T` is rtnl_link_stats64 or rtnl_link_stats)
// holding the given byte counters; the other counters are noise.
template <typename T = rtnl_link_stats64>
Bytes stats(decltype(T::rx_bytes) rx, decltype(T::tx_bytes) tx, std::size_t size = sizeof(T))
{
    Bytes out(sizeof(T), std::byte{0x5a});
    std::memcpy(out.data() + offsetof(T, rx_bytes), &rx, sizeof rx);
    std::memcpy(out.data() + offsetof(T, tx_bytes), &tx, sizeof tx);
    out.resize(size, std::byte{0});
    return out;
}

// nlmsg_len is 16 + the payload's size unless given.
inline Bytes message(std::uint16_t type, std::uint32_t seq, const Bytes& payload,
                     std::uint16_t flags = NLM_F_MULTI, std::optional<std::uint32_t> length = {})
{
    const auto len = length.value_or(static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size()));
    return padded(concat({bytesOf(nlmsghdr{len, type, flags, seq, 4242}), payload}));
}

// RTM_NEWSTATS for one link carrying IFLA_STATS_LINK_64.
inline Bytes statsLink(std::uint32_t seq, std::uint64_t rx, std::uint64_t tx,
                       std::uint32_t index = 7)
{
    const if_stats_msg body{0, 0, 0, index, IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64)};
    return message(RTM_NEWSTATS, seq,
                   concat({bytesOf(body), attribute(IFLA_STATS_LINK_64, stats(rx, tx))}));
}

// RTM_NEWLINK for one link with the given counter records among other attributes.
inline Bytes infoLink(std::uint32_t seq, std::optional<Bytes> counters64,
                      std::optional<Bytes> counters32, int index = 7)
{
    const ifinfomsg body{0, 0, 0, index, 0, 0};
    return message(
        RTM_NEWLINK, seq,
        concat({bytesOf(body), attribute(IFLA_IFNAME, Bytes(3, std::byte{'l'})),
                counters32 ? attribute(IFLA_STATS, *counters32) : Bytes{}, attribute(IFLA_PAD, {}),
                counters64 ? attribute(IFLA_STATS64, *counters64) : Bytes{},
                attribute(IFLA_MTU, Bytes(4))}));
}

inline Bytes done(std::uint32_t seq, std::int32_t result = 0)
{
    return message(NLMSG_DONE, seq, bytesOf(result));
}

inline Bytes error(std::uint32_t seq, std::int32_t negativeErrno)
{
    return message(NLMSG_ERROR, seq, bytesOf(nlmsgerr{negativeErrno, {}}), 0);
}

// Plays back scripted datagrams, each built from the sequence number of the
// last request. An exhausted script is a socket whose reply never comes.
class ScriptedTransport final : public NetlinkTransport
{
public:
    using Builder = std::function<Bytes(std::uint32_t seq)>;
    std::deque<std::variant<Builder, ReceiveStatus>> script;
    std::vector<std::uint32_t> seqs; // of each request sent
    int resets = 0;

    bool send(std::span<const std::byte> request) override
    {
        seqs.push_back(0);
        std::memcpy(&seqs.back(), request.data() + offsetof(nlmsghdr, nlmsg_seq), 4);
        return true;
    }
    Received receive() override
    {
        if (script.empty()) {
            return {};
        }
        auto next = std::move(script.front());
        script.pop_front();
        if (const auto* status = std::get_if<ReceiveStatus>(&next)) {
            return {*status, {}};
        }
        current_ = std::get<Builder>(next)(seqs.back());
        return {ReceiveStatus::Ok, current_};
    }
    void reset() override { ++resets; }

private:
    Bytes current_;
};

} // namespace zarvello::nltest
