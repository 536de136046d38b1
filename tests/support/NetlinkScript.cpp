#include "support/NetlinkScript.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace zarvello::nltest {
namespace {

template <typename T> void append(Bytes& out, const T& value)
{
    const std::size_t at = out.size();
    out.resize(at + sizeof value);
    std::memcpy(out.data() + at, &value, sizeof value);
}

void pad4(Bytes& out)
{
    out.resize((out.size() + 3U) & ~std::size_t{3U}, std::byte{0});
}

template <typename T> void store(Bytes& out, std::size_t offset, const T& value)
{
    std::memcpy(out.data() + offset, &value, sizeof value);
}

} // namespace

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes attribute(std::uint16_t type, const Bytes& data)
{
    Bytes out;
    rtattr header{};
    header.rta_len = static_cast<unsigned short>(sizeof header + data.size());
    header.rta_type = type;
    append(out, header);
    out.insert(out.end(), data.begin(), data.end());
    pad4(out);
    return out;
}

Bytes stats64(std::uint64_t rxBytes, std::uint64_t txBytes, std::size_t size)
{
    Bytes out(sizeof(rtnl_link_stats64), std::byte{0x5a}); // other counters: noise
    store(out, offsetof(rtnl_link_stats64, rx_bytes), rxBytes);
    store(out, offsetof(rtnl_link_stats64, tx_bytes), txBytes);
    out.resize(size, std::byte{0});
    return out;
}

Bytes stats32(std::uint32_t rxBytes, std::uint32_t txBytes)
{
    Bytes out(sizeof(rtnl_link_stats), std::byte{0x5a});
    store(out, offsetof(rtnl_link_stats, rx_bytes), rxBytes);
    store(out, offsetof(rtnl_link_stats, tx_bytes), txBytes);
    return out;
}

Bytes message(std::uint16_t type, std::uint32_t seq, const Bytes& payload, std::uint16_t flags,
              std::optional<std::uint32_t> lengthOverride)
{
    Bytes out;
    nlmsghdr header{};
    header.nlmsg_len =
        lengthOverride.value_or(static_cast<std::uint32_t>(sizeof header + payload.size()));
    header.nlmsg_type = type;
    header.nlmsg_flags = flags;
    header.nlmsg_seq = seq;
    header.nlmsg_pid = 4242;
    append(out, header);
    out.insert(out.end(), payload.begin(), payload.end());
    pad4(out);
    return out;
}

Bytes statsLink(std::uint32_t seq, std::uint64_t rxBytes, std::uint64_t txBytes,
                std::uint32_t index)
{
    Bytes payload;
    if_stats_msg body{};
    body.ifindex = index;
    body.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    append(payload, body);
    const Bytes counters = attribute(IFLA_STATS_LINK_64, stats64(rxBytes, txBytes));
    payload.insert(payload.end(), counters.begin(), counters.end());
    return message(RTM_NEWSTATS, seq, payload);
}

Bytes infoLink(std::uint32_t seq, std::optional<Bytes> counters64, std::optional<Bytes> counters32,
               int index)
{
    Bytes payload;
    ifinfomsg body{};
    body.ifi_index = index;
    append(payload, body);
    auto add = [&payload](const Bytes& attr) {
        payload.insert(payload.end(), attr.begin(), attr.end());
    };
    add(attribute(IFLA_IFNAME, {std::byte{'l'}, std::byte{'o'}, std::byte{0}}));
    if (counters32) {
        add(attribute(IFLA_STATS, *counters32));
    }
    if (counters64) {
        add(attribute(IFLA_PAD, {}));
        add(attribute(IFLA_STATS64, *counters64));
    }
    add(attribute(IFLA_MTU, Bytes(4, std::byte{0})));
    return message(RTM_NEWLINK, seq, payload);
}

Bytes done(std::uint32_t seq, std::int32_t result)
{
    Bytes payload;
    append(payload, result);
    return message(NLMSG_DONE, seq, payload);
}

Bytes error(std::uint32_t seq, std::int32_t negativeErrno)
{
    Bytes payload;
    nlmsgerr body{};
    body.error = negativeErrno;
    body.msg.nlmsg_seq = seq;
    append(payload, body);
    return message(NLMSG_ERROR, seq, payload, 0);
}

void ScriptedTransport::reply(Builder datagram)
{
    script_.push_back({ReceiveStatus::Ok, std::move(datagram)});
}

void ScriptedTransport::replyTruncated()
{
    script_.push_back({ReceiveStatus::Truncated, nullptr});
}

void ScriptedTransport::replyFailure()
{
    script_.push_back({ReceiveStatus::Failed, nullptr});
}

std::vector<std::uint16_t> ScriptedTransport::requestTypes() const
{
    std::vector<std::uint16_t> types;
    for (const Bytes& request : requests) {
        nlmsghdr header{};
        std::memcpy(&header, request.data(), std::min(sizeof header, request.size()));
        types.push_back(header.nlmsg_type);
    }
    return types;
}

bool ScriptedTransport::send(std::span<const std::byte> request)
{
    if (sendFails) {
        return false;
    }
    requests.emplace_back(request.begin(), request.end());
    nlmsghdr header{};
    std::memcpy(&header, request.data(), std::min(sizeof header, request.size()));
    lastSeq_ = header.nlmsg_seq;
    return true;
}

NetlinkTransport::Received ScriptedTransport::receive()
{
    // An exhausted script behaves like a socket whose reply never comes.
    if (script_.empty()) {
        return {};
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    if (step.status != ReceiveStatus::Ok) {
        return {step.status, {}};
    }
    current_ = step.datagram(lastSeq_);
    return {ReceiveStatus::Ok, current_};
}

} // namespace zarvello::nltest
