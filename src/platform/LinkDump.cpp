#include "platform/LinkDump.h"

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>

namespace zarvello {
namespace {

// Every read goes through memcpy: the replies are plain bytes and nothing
// guarantees that a field sits at an address aligned for its type.
template <typename T> T load(std::span<const std::byte> bytes, std::size_t offset)
{
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

constexpr std::size_t align4(std::size_t n)
{
    return (n + 3U) & ~std::size_t{3U};
}

constexpr std::size_t kHeaderSize = align4(sizeof(nlmsghdr));
constexpr std::size_t kAttrHeaderSize = align4(sizeof(rtattr));

// Calls `visit(type, data)` for each attribute in `attrs`; false when they are malformed.
template <class Visit> bool forEachAttribute(std::span<const std::byte> attrs, Visit&& visit)
{
    std::size_t pos = 0;
    while (pos < attrs.size()) {
        const std::size_t remaining = attrs.size() - pos;
        if (remaining < kAttrHeaderSize) {
            return false;
        }
        const auto attr = load<rtattr>(attrs, pos);
        if (attr.rta_len < kAttrHeaderSize || attr.rta_len > remaining) {
            return false;
        }
        if (!visit(static_cast<unsigned short>(attr.rta_type & NLA_TYPE_MASK),
                   attrs.subspan(pos + kAttrHeaderSize, attr.rta_len - kAttrHeaderSize))) {
            return false;
        }
        pos += std::min(align4(attr.rta_len), remaining);
    }
    return true;
}

constexpr std::size_t kStats64Needed = offsetof(rtnl_link_stats64, tx_bytes) + sizeof(__u64);
constexpr std::size_t kStats32Needed = offsetof(rtnl_link_stats, tx_bytes) + sizeof(__u32);

} // namespace

std::span<const std::byte>
buildLinkDumpRequest(LinkDumpKind kind, std::uint32_t seq,
                     std::array<std::byte, kLinkDumpRequestCapacity>& out)
{
    out.fill(std::byte{0});
    nlmsghdr header{};
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = seq;
    const auto putBody = [&](const auto& body, __u16 type) {
        std::memcpy(out.data() + kHeaderSize, &body, sizeof body);
        header.nlmsg_type = type;
        header.nlmsg_len = static_cast<__u32>(kHeaderSize + sizeof body);
    };
    if (kind == LinkDumpKind::Stats) {
        if_stats_msg body{};
        body.family = AF_UNSPEC;
        body.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
        putBody(body, RTM_GETSTATS);
    } else {
        ifinfomsg body{};
        body.ifi_family = AF_UNSPEC;
        putBody(body, RTM_GETLINK);
    }
    static_assert(kHeaderSize + std::max(sizeof(if_stats_msg), sizeof(ifinfomsg)) <=
                  kLinkDumpRequestCapacity);
    std::memcpy(out.data(), &header, sizeof header);
    return std::span<const std::byte>(out).first(header.nlmsg_len);
}

LinkDumpParser::Status LinkDumpParser::feed(std::span<const std::byte> datagram)
{
    if (status_ != Status::NeedMore) {
        return status_;
    }
    // The kernel never sends an empty datagram; one would mean a broken transport.
    if (datagram.empty()) {
        return status_ = Status::Failed;
    }
    std::size_t pos = 0;
    while (pos < datagram.size()) {
        const std::size_t remaining = datagram.size() - pos;
        if (remaining < kHeaderSize) {
            return status_ = Status::Failed;
        }
        const auto header = load<nlmsghdr>(datagram, pos);
        if (header.nlmsg_len < kHeaderSize || header.nlmsg_len > remaining) {
            return status_ = Status::Failed;
        }
        // A reply to some other request, e.g. one left over from an earlier dump.
        if (header.nlmsg_seq != seq_) {
            return status_ = Status::Failed;
        }
        status_ = readMessage(header.nlmsg_type, header.nlmsg_flags,
                              datagram.subspan(pos + kHeaderSize, header.nlmsg_len - kHeaderSize));
        if (status_ != Status::NeedMore) {
            return status_;
        }
        pos += std::min(align4(header.nlmsg_len), remaining);
    }
    return status_;
}

LinkDumpParser::Status LinkDumpParser::readMessage(std::uint16_t type, std::uint16_t flags,
                                                   std::span<const std::byte> payload)
{
    // The link list changed while the kernel walked it: some link may be
    // missing or counted twice, so the sums would be wrong.
    if ((flags & NLM_F_DUMP_INTR) != 0) {
        return Status::Failed;
    }
    switch (type) {
    case NLMSG_NOOP:
        return Status::NeedMore;
    case NLMSG_DONE:
        // The end marker carries the dump's own result; negative means it broke off.
        if (payload.size() >= sizeof(std::int32_t) && load<std::int32_t>(payload, 0) < 0) {
            return Status::Failed;
        }
        return Status::Done;
    case NLMSG_ERROR: {
        if (payload.size() < sizeof(std::int32_t)) {
            return Status::Failed;
        }
        const auto error = load<std::int32_t>(payload, 0);
        const bool unsupported = error == -EOPNOTSUPP || error == -EINVAL;
        return unsupported && links_.empty() ? Status::Refused : Status::Failed;
    }
    default:
        break;
    }
    const auto expected = static_cast<std::uint16_t>(
        kind_ == LinkDumpKind::Stats ? unsigned{RTM_NEWSTATS} : unsigned{RTM_NEWLINK});
    if (type != expected) {
        return Status::Failed;
    }
    return addLink(payload) ? Status::NeedMore : Status::Failed;
}

bool LinkDumpParser::addLink(std::span<const std::byte> payload)
{
    const std::size_t fixed =
        align4(kind_ == LinkDumpKind::Stats ? sizeof(if_stats_msg) : sizeof(ifinfomsg));
    if (payload.size() < fixed) {
        return false;
    }
    const std::span<const std::byte> attrs = payload.subspan(fixed);
    LinkCounters link;
    // Both messages keep the interface index in the same place.
    static_assert(offsetof(if_stats_msg, ifindex) == offsetof(ifinfomsg, ifi_index));
    link.index = load<std::uint32_t>(payload, offsetof(if_stats_msg, ifindex));

    const auto counters64 = static_cast<unsigned short>(
        kind_ == LinkDumpKind::Stats ? unsigned{IFLA_STATS_LINK_64} : unsigned{IFLA_STATS64});
    // Received and sent bytes of each record found.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> wide;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> narrow;

    const bool read = forEachAttribute(attrs, [&](unsigned short type, auto data) {
        if (type == counters64) {
            // Older kernels send a shorter record; only the byte counters matter.
            if (data.size() < kStats64Needed) {
                return false;
            }
            wide.emplace(load<std::uint64_t>(data, offsetof(rtnl_link_stats64, rx_bytes)),
                         load<std::uint64_t>(data, offsetof(rtnl_link_stats64, tx_bytes)));
        } else if (kind_ == LinkDumpKind::Links && type == IFLA_STATS) {
            if (data.size() < kStats32Needed) {
                return false;
            }
            narrow.emplace(load<std::uint32_t>(data, offsetof(rtnl_link_stats, rx_bytes)),
                           load<std::uint32_t>(data, offsetof(rtnl_link_stats, tx_bytes)));
        }
        return true;
    });
    if (!read) {
        return false;
    }

    // A link without counters would silently drop out of the sums and make
    // the next good sample jump.
    if (!wide && !narrow) {
        return false;
    }
    link.wide = wide.has_value();
    std::tie(link.inOctets, link.outOctets) = wide ? *wide : *narrow;
    // Each link enters the sums with the low 32 bits of its counter.
    sums_.inOctets += static_cast<std::uint32_t>(link.inOctets);
    sums_.outOctets += static_cast<std::uint32_t>(link.outOctets);
    links_.push_back(link);
    if (infos_ != nullptr) {
        if (auto info = readLinkInfo(payload)) {
            infos_->push_back(std::move(*info));
        }
    }
    return true;
}

std::optional<LinkInfo> readLinkInfo(std::span<const std::byte> payload)
{
    constexpr std::size_t kFixed = align4(sizeof(ifinfomsg));
    if (payload.size() < kFixed) {
        return std::nullopt;
    }
    const auto message = load<ifinfomsg>(payload, 0);
    LinkInfo info;
    info.index = static_cast<std::uint32_t>(message.ifi_index);
    info.loopback = (message.ifi_flags & IFF_LOOPBACK) != 0;
    info.up = (message.ifi_flags & IFF_UP) != 0 && (message.ifi_flags & IFF_RUNNING) != 0;
    const bool read =
        forEachAttribute(payload.subspan(kFixed), [&](unsigned short type, auto data) {
            if (type == IFLA_IFNAME) {
                const auto* text = reinterpret_cast<const char*>(data.data());
                info.name.assign(text, strnlen(text, data.size()));
            }
            return true;
        });
    if (!read || info.name.empty()) {
        return std::nullopt;
    }
    return info;
}

void applyLinkNotifications(std::span<const std::byte> datagram, LinkNames& names)
{
    std::size_t pos = 0;
    while (datagram.size() - pos >= kHeaderSize) {
        const auto header = load<nlmsghdr>(datagram, pos);
        if (header.nlmsg_len < kHeaderSize || header.nlmsg_len > datagram.size() - pos) {
            return;
        }
        const auto payload = datagram.subspan(pos + kHeaderSize, header.nlmsg_len - kHeaderSize);
        if (header.nlmsg_type == RTM_NEWLINK || header.nlmsg_type == RTM_DELLINK) {
            if (const auto info = readLinkInfo(payload)) {
                if (header.nlmsg_type == RTM_NEWLINK) {
                    names.update(*info);
                } else {
                    names.remove(info->index);
                }
            }
        }
        pos += std::min(align4(header.nlmsg_len), datagram.size() - pos);
    }
}

} // namespace zarvello
