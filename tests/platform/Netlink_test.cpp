// The rtnetlink link dump: the parser fed hand-built replies, the counter
// source driven by a scripted transport and by the kernel itself.

#include "platform/LinkDump.h"
#include "platform/NetlinkCounterSource.h"
#include "platform/NetlinkSocket.h"

#include "support/ScriptedCounterSource.h"

#include <QUdpSocket>
#include <gtest/gtest.h>

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <ranges>

namespace zarvello {
namespace {

using Bytes = std::vector<std::byte>;

template <typename T> Bytes bytesOf(const T& value)
{
    const auto* raw = reinterpret_cast<const std::byte*>(&value);
    return Bytes(raw, raw + sizeof value);
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    const auto joined = std::views::join(parts);
    return Bytes(joined.begin(), joined.end());
}

// Padded to 4 bytes, as netlink aligns messages and attributes.
Bytes padded(Bytes out)
{
    out.resize((out.size() + 3U) & ~std::size_t{3U}, std::byte{0});
    return out;
}

Bytes attribute(std::uint16_t type, const Bytes& data)
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
Bytes message(std::uint16_t type, std::uint32_t seq, const Bytes& payload,
              std::uint16_t flags = NLM_F_MULTI, std::optional<std::uint32_t> length = {})
{
    const auto len = length.value_or(static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size()));
    return padded(concat({bytesOf(nlmsghdr{len, type, flags, seq, 4242}), payload}));
}

// RTM_NEWLINK (or `type`) for one link with the given counter records among other attributes.
Bytes infoLink(std::uint32_t seq, std::optional<Bytes> counters64, std::optional<Bytes> counters32,
               int index = 7, const std::string& name = "lll", std::uint16_t type = RTM_NEWLINK,
               unsigned flags = IFF_UP | IFF_RUNNING)
{
    const ifinfomsg body{0, 0, 0, index, flags, 0};
    const auto* text = reinterpret_cast<const std::byte*>(name.c_str());
    return message(
        type, seq,
        concat({bytesOf(body), attribute(IFLA_IFNAME, Bytes(text, text + name.size() + 1)),
                counters32 ? attribute(IFLA_STATS, *counters32) : Bytes{}, attribute(IFLA_PAD, {}),
                counters64 ? attribute(IFLA_STATS64, *counters64) : Bytes{},
                attribute(IFLA_MTU, Bytes(4))}));
}

Bytes done(std::uint32_t seq, std::int32_t result = 0)
{
    return message(NLMSG_DONE, seq, bytesOf(result));
}

Bytes error(std::uint32_t seq, std::int32_t negativeErrno)
{
    return message(NLMSG_ERROR, seq, bytesOf(nlmsgerr{negativeErrno, {}}), 0);
}

using Status = LinkDumpParser::Status;
constexpr std::uint32_t kSeq = 77;
constexpr auto L = LinkDumpKind::Links;

// RTM_NEWSTATS for link `index` whose attributes are given as raw bytes.
Bytes statsWithAttrs(const Bytes& attrs, std::uint32_t seq = kSeq, unsigned index = 0)
{
    return message(RTM_NEWSTATS, seq, concat({bytesOf(if_stats_msg{0, 0, 0, index, 0}), attrs}));
}

// RTM_NEWSTATS for one link carrying IFLA_STATS_LINK_64.
Bytes statsLink(std::uint64_t rx, std::uint64_t tx, std::size_t size = sizeof(rtnl_link_stats64),
                std::uint32_t seq = kSeq, unsigned index = 0)
{
    return statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats(rx, tx, size)), seq, index);
}

TEST(LinkDumpParser, SumsTheLowWordsOfCompleteDumpsAndRefusesAnythingElse)
{
    using enum Status;
    const Bytes link = statsLink(1000, 500);
    const Bytes end = done(kSeq);
    struct Case
    {
        const char* name;
        std::vector<Bytes> datagrams;
        Status status;
        Sums sums{};
        LinkDumpKind kind = LinkDumpKind::Stats;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {"no links", {end}, Done},
        {"header-only no-op skipped", {concat({message(NLMSG_NOOP, kSeq, {}), link, end})}, Done, {1000, 500}},
        {"64-bit counters enter as their low word", {concat({statsLink(0x1'0000'0005ULL, 0xAB'1234'5678ULL), end})}, Done, {5, 0x1234'5678U}},
        {"split over datagrams, end alone", {statsLink(1, 2), statsLink(10, 20), end}, Done, {11, 22}},
        {"older kernel's shorter record", {concat({statsLink(8, 9, 32), end})}, Done, {8, 9}},
        {"stats dump not offered", {error(kSeq, -EOPNOTSUPP)}, Refused},
        {"stats request rejected", {error(kSeq, -EINVAL)}, Refused},
        {"other error reply", {error(kSeq, -EPERM)}, Failed},
        {"error after links", {link, error(kSeq, -EOPNOTSUPP)}, Failed},
        {"error reply without its code", {message(NLMSG_ERROR, kSeq, Bytes(2))}, Failed},
        {"dump broke off", {concat({link, done(kSeq, -ENOBUFS)})}, Failed},
        {"interrupted", {link, message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_DUMP_INTR)}, Failed},
        {"stale end", {link, done(kSeq - 1)}, Failed},
        {"other dump's message", {concat({infoLink(kSeq, stats(1, 1), {}), end})}, Failed},
        {"empty datagram", {Bytes{}}, Failed},
        {"header cut after a good message", {concat({link, Bytes(8)})}, Failed},
        {"nlmsg_len past the datagram", {message(NLMSG_DONE, kSeq, Bytes(4), 0, 24)}, Failed},
        {"nlmsg_len below the header", {message(NLMSG_DONE, kSeq, Bytes(4), 0, 8)}, Failed},
        {"payload shorter than the stats header", {message(RTM_NEWSTATS, kSeq, Bytes(8))}, Failed},
        {"rta_len below the attribute header", {statsWithAttrs(bytesOf(rtattr{3, IFLA_STATS_LINK_64})), end}, Failed},
        {"rta_len past the message", {statsWithAttrs(bytesOf(rtattr{1000, IFLA_STATS_LINK_64})), end}, Failed},
        {"counter record cut short", {statsLink(1, 2, 24), end}, Failed},
        {"link without counters", {statsWithAttrs({}), end}, Failed},
        {"attribute header cut", {statsWithAttrs(Bytes(2)), end}, Failed},
        {"link dump prefers the 64-bit record", {concat({infoLink(kSeq, stats(0x2'0000'0010ULL, 20), stats<rtnl_link_stats>(1, 2)), end})}, Done, {16, 20}, L},
        {"32-bit record just long enough", {concat({infoLink(kSeq, {}, stats<rtnl_link_stats>(3, 4, offsetof(rtnl_link_stats, tx_bytes) + 4)), end})}, Done, {3, 4}, L},
        {"32-bit record cut short", {infoLink(kSeq, {}, Bytes(12)), end}, Failed, {}, L},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Links links;
        LinkDumpParser parser(c.kind, kSeq, links);
        for (const Bytes& datagram : c.datagrams) {
            // At an odd address, where the datagram's end is the buffer's (the
            // sanitizer build watches for reads past it).
            const Bytes shifted = concat({Bytes(1), datagram});
            parser.feed(std::span<const std::byte>(shifted).subspan(1));
        }
        const Sums sums = parser.status() == Done ? sumsOf(parser.sample()) : Sums{};
        EXPECT_EQ(std::pair(parser.status(), sums), std::pair(c.status, c.sums));
    }
}

// Dumps of `links`, each reply followed by a notification about some other link; what was
// queued before a request comes first.
struct Kernel final : NetlinkTransport
{
    std::map<int, std::string> links{{7, "eth0"}};
    std::vector<std::pair<Bytes, bool>> queue; // datagrams; true: a notification
    int requests = 0;
    bool statsRefused = false, truncating = false; // every datagram too big for the buffer
    bool send(std::span<const std::byte> bytes) override
    {
        nlmsghdr r{};
        std::memcpy(&r, bytes.data(), sizeof r);
        ++requests;
        if (statsRefused && r.nlmsg_type == RTM_GETSTATS) {
            queue.emplace_back(error(r.nlmsg_seq, -EOPNOTSUPP), false);
            return true;
        }
        for (const auto& [index, name] : links) {
            queue.emplace_back(
                r.nlmsg_type == RTM_GETLINK
                    ? infoLink(r.nlmsg_seq, stats(1000, 500), {}, index, name)
                    : statsLink(1000, 500, sizeof(rtnl_link_stats64), r.nlmsg_seq, unsigned(index)),
                false);
            queue.emplace_back(infoLink(0, {}, {}, 40, "gone", RTM_DELLINK), true);
        }
        queue.emplace_back(done(r.nlmsg_seq), false);
        return true;
    }
    Received receive() override
    {
        if (queue.empty()) {
            return {};
        }
        last = queue.front();
        queue.erase(queue.begin());
        return {truncating ? ReceiveStatus::Truncated : ReceiveStatus::Ok, last.first, last.second};
    }
    void reset() override { queue.clear(); }
    std::pair<Bytes, bool> last;
};

// A kernel without the stats dump: the link dump answers in the same tick, and
// from then on.
TEST(NetlinkCounterSource, FallsBackToTheLinkDumpWhenTheStatsDumpIsRefused)
{
    auto old = std::make_unique<Kernel>();
    old->statsRefused = true;
    NetlinkCounterSource source(std::move(old), LinkDumpKind::Stats);
    for (int tick = 0; tick < 2; ++tick) {
        const auto sample = source.takeSample();
        ASSERT_TRUE(sample);
        EXPECT_EQ(Links(sample->links.begin(), sample->links.end()), (Links{{7, 1000, 500, true}}));
        EXPECT_EQ(source.dumpKind(), LinkDumpKind::Links);
    }
    // A datagram that never fits is tried three times in the tick, then there is no sample.
    auto kernel = std::make_unique<Kernel>();
    kernel->truncating = true;
    const Kernel& seen = *kernel;
    NetlinkCounterSource truncated(std::move(kernel), LinkDumpKind::Links);
    EXPECT_FALSE(truncated.takeSample());
    EXPECT_EQ(seen.requests, 3);
}

// Names come from one link dump when an index is new, then from the
// notifications that arrive before and among the replies; a lost socket
// forgets them and looks them up again.
TEST(NetlinkCounterSource, KeepsTheNamesCurrentFromLinkNotifications)
{
    auto owned = std::make_unique<Kernel>();
    Kernel& kernel = *owned;
    NetlinkCounterSource source(std::move(owned));
    const auto named = [&] {
        std::string out;
        for (const LinkInfo& l : source.linkNames()->inKernelOrder()) {
            out += std::to_string(l.index) + l.name + (l.up ? " " : "(down) ");
        }
        return out + std::to_string(kernel.requests);
    };
    ASSERT_TRUE(source.takeSample());
    EXPECT_EQ(named(), "7eth0 2") << "looked up once";
    kernel.links = {{7, "wan"}, {9, "veth1"}};
    kernel.queue = {{concat({infoLink(0, {}, {}, 7, "wan", RTM_NEWLINK, IFF_UP),
                             infoLink(0, {}, {}, 9, "veth1")}),
                     true}};
    ASSERT_TRUE(source.takeSample());
    EXPECT_EQ(named(), "7wan(down) 9veth1 3") << "renamed and added, no look-up";
    kernel.links = {{9, "veth1"}, {11, "tun0"}};
    kernel.queue = {
        {concat({infoLink(0, {}, {}, 7, "wan", RTM_DELLINK), infoLink(0, {}, {}, 11, "tun0")}),
         true}};
    ASSERT_TRUE(source.takeSample());
    EXPECT_EQ(named(), "9veth1 11tun0 4") << "removed and added, no look-up";
    kernel.queue = {{Bytes(3), false}};
    EXPECT_FALSE(source.takeSample());
    EXPECT_EQ(named(), "5") << "the socket was dropped, and the names with it";
}

// Real kernel: traffic over loopback raises both sums of either dump by at
// least its payload (each packet is received and sent). Once a dump is read,
// the next receive waits out its timeout and fails rather than waiting on.
TEST(NetlinkCounterSource, LoopbackTrafficRaisesBothSums)
{
    for (const LinkDumpKind kind : {LinkDumpKind::Stats, LinkDumpKind::Links}) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto socket = std::make_unique<NetlinkSocket>(std::chrono::milliseconds(50));
        NetlinkSocket& kernel = *socket;
        NetlinkCounterSource source(std::move(socket), kind);
        const CounterSample before = source.takeSample().value();
        EXPECT_EQ(source.linkNames()->inKernelOrder().at(0), (LinkInfo{1, "lo", true, true}));
        EXPECT_EQ(kernel.receive().status, NetlinkTransport::ReceiveStatus::Failed);
        QUdpSocket udp;
        ASSERT_TRUE(udp.bind(QHostAddress::LocalHost, 0));
        const QByteArray chunk(1000, 'z');
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(udp.writeDatagram(chunk, QHostAddress::LocalHost, udp.localPort()), 1000);
        }
        const CounterSample after = source.takeSample().value();
        for (const std::uint32_t moved :
             {after.inOctets - before.inOctets, after.outOctets - before.outOctets}) {
            EXPECT_GE(moved, 300'000U);
            EXPECT_LT(moved, 1U << 28) << "sums went backwards";
        }
    }
}

} // namespace
} // namespace zarvello
