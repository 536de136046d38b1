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
#include <vector>

namespace zarvello::nltest {

using Bytes = std::vector<std::byte>;

template <typename T> void append(Bytes& out, const T& value)
{
    const auto* raw = reinterpret_cast<const std::byte*>(&value);
    out.insert(out.end(), raw, raw + sizeof value);
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

inline void pad4(Bytes& out)
{
    out.resize((out.size() + 3U) & ~std::size_t{3U}, std::byte{0});
}

// One attribute: header, data, padding to 4 bytes.
inline Bytes attribute(std::uint16_t type, const Bytes& data)
{
    Bytes out;
    append(out, rtattr{static_cast<unsigned short>(sizeof(rtattr) + data.size()), type});
    out.insert(out.end(), data.begin(), data.end());
    pad4(out);
    return out;
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

// One message: header (nlmsg_len = 16 + payload size unless overridden), payload, padding.
inline Bytes message(std::uint16_t type, std::uint32_t seq, const Bytes& payload,
                     std::uint16_t flags = NLM_F_MULTI, std::optional<std::uint32_t> length = {})
{
    Bytes out;
    append(out, nlmsghdr{length.value_or(static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size())),
                         type, flags, seq, 4242});
    out.insert(out.end(), payload.begin(), payload.end());
    pad4(out);
    return out;
}

// RTM_NEWSTATS for one link carrying IFLA_STATS_LINK_64.
inline Bytes statsLink(std::uint32_t seq, std::uint64_t rx, std::uint64_t tx,
                       std::uint32_t index = 7)
{
    Bytes payload;
    if_stats_msg body{};
    body.ifindex = index;
    body.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    append(payload, body);
    const Bytes counters = attribute(IFLA_STATS_LINK_64, stats(rx, tx));
    payload.insert(payload.end(), counters.begin(), counters.end());
    return message(RTM_NEWSTATS, seq, payload);
}

// RTM_NEWLINK for one link with the given counter records among other attributes.
inline Bytes infoLink(std::uint32_t seq, std::optional<Bytes> counters64,
                      std::optional<Bytes> counters32, int index = 7)
{
    Bytes payload;
    ifinfomsg body{};
    body.ifi_index = index;
    append(payload, body);
    Bytes attrs = attribute(IFLA_IFNAME, {std::byte{'l'}, std::byte{'o'}, std::byte{0}});
    if (counters32) {
        attrs = concat({attrs, attribute(IFLA_STATS, *counters32)});
    }
    if (counters64) {
        attrs = concat({attrs, attribute(IFLA_PAD, {}), attribute(IFLA_STATS64, *counters64)});
    }
    return message(RTM_NEWLINK, seq, concat({payload, attrs, attribute(IFLA_MTU, Bytes(4))}));
}

inline Bytes done(std::uint32_t seq, std::int32_t result = 0)
{
    Bytes payload;
    append(payload, result);
    return message(NLMSG_DONE, seq, payload);
}

inline Bytes error(std::uint32_t seq, std::int32_t negativeErrno)
{
    Bytes payload;
    nlmsgerr body{};
    body.error = negativeErrno;
    body.msg.nlmsg_seq = seq;
    append(payload, body);
    return message(NLMSG_ERROR, seq, payload, 0);
}

// Plays back scripted datagrams. Each reply is built from the sequence number
// of the last request, so scripts need not know how the source numbers them.
// An exhausted script behaves like a socket whose reply never comes.
class ScriptedTransport final : public NetlinkTransport
{
public:
    using Builder = std::function<Bytes(std::uint32_t seq)>;

    void reply(Builder datagram) { script_.push_back({ReceiveStatus::Ok, std::move(datagram)}); }
    void reply(ReceiveStatus status) { script_.push_back({status, nullptr}); }

    bool sendFails = false;
    std::vector<std::uint16_t> types; // of each request sent
    std::vector<std::uint32_t> seqs;
    int resets = 0;

    bool send(std::span<const std::byte> request) override
    {
        if (sendFails) {
            return false;
        }
        nlmsghdr header{};
        std::memcpy(&header, request.data(), std::min(sizeof header, request.size()));
        types.push_back(header.nlmsg_type);
        seqs.push_back(header.nlmsg_seq);
        return true;
    }
    Received receive() override
    {
        if (script_.empty()) {
            return {};
        }
        auto [status, datagram] = std::move(script_.front());
        script_.pop_front();
        if (status != ReceiveStatus::Ok) {
            return {status, {}};
        }
        current_ = datagram(seqs.empty() ? 0 : seqs.back());
        return {ReceiveStatus::Ok, current_};
    }
    void reset() override { ++resets; }

private:
    std::deque<std::pair<ReceiveStatus, Builder>> script_;
    Bytes current_;
};

} // namespace zarvello::nltest
