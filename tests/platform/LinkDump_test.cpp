#include "platform/LinkDump.h"

#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace zarvello {
namespace {

using namespace nltest;
using Status = LinkDumpParser::Status;

constexpr std::uint32_t kSeq = 77;

struct Parsed
{
    Status status;
    Sums sums;
    Links links;
};

Parsed parse(LinkDumpKind kind, const std::vector<Bytes>& datagrams)
{
    Links links;
    LinkDumpParser parser(kind, kSeq, links);
    for (const Bytes& datagram : datagrams) {
        // Exactly sized heap copies, so that a read past the end trips the sanitizer.
        const Bytes exact(datagram.begin(), datagram.end());
        parser.feed(exact);
    }
    return {parser.status(), sumsOf(parser.sample()), links};
}

// RTM_NEWSTATS whose attributes are given as raw bytes.
Bytes statsWithAttrs(const Bytes& attrs, std::uint16_t flags = NLM_F_MULTI)
{
    Bytes payload(sizeof(if_stats_msg), std::byte{0});
    payload.insert(payload.end(), attrs.begin(), attrs.end());
    return message(RTM_NEWSTATS, kSeq, payload, flags);
}

// statsLink() with its first attribute's rta_len replaced.
Bytes withAttrLength(Bytes msg, std::uint16_t rtaLength)
{
    std::memcpy(msg.data() + NLMSG_HDRLEN + sizeof(if_stats_msg), &rtaLength, sizeof rtaLength);
    return msg;
}

TEST(LinkDumpRequest, AsksForADumpOfEveryLink)
{
    std::array<std::byte, kLinkDumpRequestCapacity> buffer{};

    const auto stats = buildLinkDumpRequest(LinkDumpKind::Stats, 1234, buffer);
    nlmsghdr header{};
    ASSERT_EQ(stats.size(), NLMSG_HDRLEN + sizeof(if_stats_msg));
    std::memcpy(&header, stats.data(), sizeof header);
    EXPECT_EQ(header.nlmsg_len, stats.size());
    EXPECT_EQ(header.nlmsg_type, RTM_GETSTATS);
    EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(header.nlmsg_seq, 1234U);
    if_stats_msg body{};
    std::memcpy(&body, stats.data() + NLMSG_HDRLEN, sizeof body);
    EXPECT_EQ(body.family, AF_UNSPEC);
    EXPECT_EQ(body.ifindex, 0U);
    EXPECT_EQ(body.filter_mask, IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64));

    const auto links = buildLinkDumpRequest(LinkDumpKind::Links, 99, buffer);
    ASSERT_EQ(links.size(), NLMSG_HDRLEN + sizeof(ifinfomsg));
    std::memcpy(&header, links.data(), sizeof header);
    EXPECT_EQ(header.nlmsg_len, links.size());
    EXPECT_EQ(header.nlmsg_type, RTM_GETLINK);
    EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(header.nlmsg_seq, 99U);
}

TEST(LinkDumpParser, SumsTheLowWordsOfEveryLinkModulo2To32)
{
    struct Case
    {
        std::string name;
        LinkDumpKind kind;
        std::vector<Bytes> datagrams;
        Sums expected;
    };
    const auto s = LinkDumpKind::Stats;
    const auto l = LinkDumpKind::Links;
    const std::vector<Case> cases = {
        {"no links", s, {done(kSeq)}, {0, 0}},
        {"one link", s, {concat({statsLink(kSeq, 1000, 500), done(kSeq)})}, {1000, 500}},
        {"two links",
         s,
         {concat({statsLink(kSeq, 1000, 500), statsLink(kSeq, 1000, 500), done(kSeq)})},
         {2000, 1000}},
        {"sum wraps",
         s,
         {concat({statsLink(kSeq, 4'294'967'000U, 0), statsLink(kSeq, 1000, 0), done(kSeq)})},
         {704, 0}},
        {"64-bit counters enter as their low word",
         s,
         {concat({statsLink(kSeq, 0x1'0000'0005ULL, 0xAB'1234'5678ULL), done(kSeq)})},
         {5, 0x1234'5678U}},
        {"split over datagrams, end alone",
         s,
         {statsLink(kSeq, 1, 2), concat({statsLink(kSeq, 10, 20)}), done(kSeq)},
         {11, 22}},
        {"noop skipped",
         s,
         {concat({message(NLMSG_NOOP, kSeq, {}), statsLink(kSeq, 3, 4), done(kSeq)})},
         {3, 4}},
        {"shorter record of an older kernel",
         s,
         {concat({statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats64(8, 9, 32))), done(kSeq)})},
         {8, 9}},
        {"link dump prefers the 64-bit record",
         l,
         {concat({infoLink(kSeq, stats64(0x2'0000'0010ULL, 20), stats32(1, 2)), done(kSeq)})},
         {0x10, 20}},
        {"link dump with only the 32-bit record",
         l,
         {concat({infoLink(kSeq, std::nullopt, stats32(1000, 500)),
                  infoLink(kSeq, std::nullopt, stats32(4'294'967'000U, 1000)), done(kSeq)})},
         {704, 1500}},
    };
    for (const Case& c : cases) {
        const Parsed parsed = parse(c.kind, c.datagrams);
        EXPECT_EQ(parsed.status, Status::Done) << c.name;
        EXPECT_EQ(parsed.sums, c.expected) << c.name;
    }
}

TEST(LinkDumpParser, KeepsEachLinksIndexAndWholeCounters)
{
    const Parsed stats = parse(
        LinkDumpKind::Stats,
        {concat({statsLink(kSeq, 0x1'0000'0005ULL, 9, 3), statsLink(kSeq, 7, 8, 12), done(kSeq)})});
    EXPECT_EQ(stats.links, (Links{{3, 0x1'0000'0005ULL, 9, true}, {12, 7, 8, true}}));
    const Parsed links =
        parse(LinkDumpKind::Links,
              {concat({infoLink(kSeq, stats64(0x2'0000'0010ULL, 20), stats32(1, 2), 4),
                       infoLink(kSeq, std::nullopt, stats32(1000, 500), 5), done(kSeq)})});
    EXPECT_EQ(links.links, (Links{{4, 0x2'0000'0010ULL, 20, true}, {5, 1000, 500, false}}));
}

TEST(LinkDumpParser, AnythingButACleanCompleteDumpIsNoSample)
{
    struct Case
    {
        std::string name;
        LinkDumpKind kind;
        std::vector<Bytes> datagrams;
        Status expected;
    };
    const auto s = LinkDumpKind::Stats;
    const auto l = LinkDumpKind::Links;
    const Bytes link = statsLink(kSeq, 1000, 500);
    const std::vector<Case> cases = {
        {"stats dump not offered", s, {error(kSeq, -EOPNOTSUPP)}, Status::Refused},
        {"stats request rejected", s, {error(kSeq, -EINVAL)}, Status::Refused},
        {"link dump not offered", l, {error(kSeq, -EOPNOTSUPP)}, Status::Refused},
        {"other error reply", s, {error(kSeq, -EPERM)}, Status::Failed},
        {"error after links", s, {link, error(kSeq, -EOPNOTSUPP)}, Status::Failed},
        {"error reply without its code", s, {message(NLMSG_ERROR, kSeq, Bytes(2))}, Status::Failed},
        {"dump broke off", s, {concat({link, done(kSeq, -ENOBUFS)})}, Status::Failed},
        {"overrun", s, {concat({link, message(NLMSG_OVERRUN, kSeq, {})})}, Status::Failed},
        {"interrupted link",
         s,
         {concat({message(RTM_NEWSTATS, kSeq, Bytes(link.begin() + NLMSG_HDRLEN, link.end()),
                          NLM_F_MULTI | NLM_F_DUMP_INTR),
                  done(kSeq)})},
         Status::Failed},
        {"interrupted end",
         s,
         {concat({link, message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_MULTI | NLM_F_DUMP_INTR)})},
         Status::Failed},
        {"end never came", s, {link, link}, Status::NeedMore},
        {"reply to another request",
         s,
         {concat({statsLink(kSeq + 1, 1, 1), done(kSeq + 1)})},
         Status::Failed},
        {"stale end", s, {link, done(kSeq - 1)}, Status::Failed},
        {"link message of the other dump",
         s,
         {concat({infoLink(kSeq, stats64(1, 1), {}), done(kSeq)})},
         Status::Failed},
        {"empty datagram", s, {Bytes{}}, Status::Failed},
        {"short header", s, {Bytes(10, std::byte{0})}, Status::Failed},
        {"header cut after a good message",
         s,
         {concat({link, Bytes(8, std::byte{0})})},
         Status::Failed},
        {"trailing bytes", s, {concat({link, Bytes(2, std::byte{0})}), done(kSeq)}, Status::Failed},
        {"nlmsg_len past the datagram",
         s,
         {message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_MULTI, NLMSG_HDRLEN + 8)},
         Status::Failed},
        {"nlmsg_len below the header",
         s,
         {message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_MULTI, 8)},
         Status::Failed},
        {"payload shorter than the stats header",
         s,
         {concat({message(RTM_NEWSTATS, kSeq, Bytes(8)), done(kSeq)})},
         Status::Failed},
        {"rta_len below the attribute header",
         s,
         {withAttrLength(link, 3), done(kSeq)},
         Status::Failed},
        {"rta_len past the message", s, {withAttrLength(link, 1000), done(kSeq)}, Status::Failed},
        {"counter record cut short",
         s,
         {statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats64(1, 2, 24))), done(kSeq)},
         Status::Failed},
        {"32-bit record cut short",
         l,
         {infoLink(kSeq, std::nullopt, Bytes(12)), done(kSeq)},
         Status::Failed},
        {"link without counters", s, {statsWithAttrs({}), done(kSeq)}, Status::Failed},
        {"attribute header cut", s, {statsWithAttrs(Bytes(2)), done(kSeq)}, Status::Failed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.kind, c.datagrams).status, c.expected) << c.name;
    }
}

TEST(LinkDumpParser, ReadsFieldsAtAnyAddress)
{
    const Bytes dump = concat({statsLink(kSeq, 1000, 500), statsLink(kSeq, 7, 9), done(kSeq)});
    for (std::size_t offset = 1; offset < 8; ++offset) {
        Bytes shifted(offset, std::byte{0});
        shifted.insert(shifted.end(), dump.begin(), dump.end());
        Links links;
        LinkDumpParser parser(LinkDumpKind::Stats, kSeq, links);
        EXPECT_EQ(parser.feed(std::span<const std::byte>(shifted).subspan(offset)), Status::Done);
        EXPECT_EQ(sumsOf(parser.sample()), (Sums{1007, 509})) << offset;
    }
}

TEST(LinkDumpParser, SettledStatusIgnoresFurtherDatagrams)
{
    Links links;
    LinkDumpParser parser(LinkDumpKind::Stats, kSeq, links);
    EXPECT_EQ(parser.feed(concat({statsLink(kSeq, 1, 2), done(kSeq)})), Status::Done);
    EXPECT_EQ(parser.feed(concat({statsLink(kSeq, 5, 5), done(kSeq)})), Status::Done);
    EXPECT_EQ(sumsOf(parser.sample()), (Sums{1, 2}));
    EXPECT_EQ(links.size(), 1U);

    LinkDumpParser failed(LinkDumpKind::Stats, kSeq, links);
    EXPECT_TRUE(links.empty()) << "a new dump starts with no links";
    EXPECT_EQ(failed.feed(Bytes(3)), Status::Failed);
    EXPECT_EQ(failed.feed(done(kSeq)), Status::Failed);
}

// Mangled dumps and plain noise must end in a status, never in a crash or a
// read outside the datagram (the sanitizer build watches for the latter).
TEST(LinkDumpParser, SurvivesRandomAndMangledBytes)
{
    std::mt19937 random(20240607U);
    const Bytes goodStats = concat({statsLink(kSeq, 1000, 500), statsLink(kSeq, 1, 2), done(kSeq)});
    const Bytes goodLinks = concat({infoLink(kSeq, stats64(3, 4), stats32(5, 6)),
                                    infoLink(kSeq, {}, stats32(7, 8)), done(kSeq)});
    int done = 0;
    int failed = 0;
    for (int i = 0; i < 20000; ++i) {
        const auto kind = i % 2 == 0 ? LinkDumpKind::Stats : LinkDumpKind::Links;
        Bytes input;
        if (i % 4 < 2) {
            input.resize(random() % 300);
            for (std::byte& b : input) {
                b = static_cast<std::byte>(random());
            }
        } else {
            input = kind == LinkDumpKind::Stats ? goodStats : goodLinks;
            const auto flips = 1 + random() % 3;
            for (std::uint_fast32_t f = 0; f < flips; ++f) {
                input[random() % input.size()] = static_cast<std::byte>(random());
            }
            if (random() % 2 == 0) {
                input.resize(random() % (input.size() + 1));
            }
        }
        Links links;
        LinkDumpParser parser(kind, kSeq, links);
        const Status status = parser.feed(input);
        EXPECT_EQ(parser.status(), status);
        done += status == Status::Done ? 1 : 0;
        failed += status == Status::Failed ? 1 : 0;
    }
    // Both outcomes must have been reached, or the loop tests little.
    EXPECT_GT(done, 100);
    EXPECT_GT(failed, 1000);
}

} // namespace
} // namespace zarvello
