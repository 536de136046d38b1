#include "platform/LinkDump.h"

#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace zarvello {
namespace {

using namespace nltest;
using Status = LinkDumpParser::Status;
constexpr std::uint32_t kSeq = 77;
constexpr auto S = LinkDumpKind::Stats;
constexpr auto L = LinkDumpKind::Links;

// RTM_NEWSTATS whose attributes are given as raw bytes.
Bytes statsWithAttrs(const Bytes& attrs)
{
    return message(RTM_NEWSTATS, kSeq, concat({Bytes(sizeof(if_stats_msg)), attrs}));
}

// statsLink() with its first attribute's rta_len replaced.
Bytes withAttrLength(Bytes msg, std::uint16_t rtaLength)
{
    std::memcpy(msg.data() + NLMSG_HDRLEN + sizeof(if_stats_msg), &rtaLength, sizeof rtaLength);
    return msg;
}

TEST(LinkDumpParser, SumsTheLowWordsOfCompleteDumpsAndRefusesAnythingElse)
{
    using R32 = rtnl_link_stats;
    constexpr auto Done = Status::Done;
    constexpr auto Failed = Status::Failed;
    const Bytes link = statsLink(kSeq, 1000, 500);
    const Bytes end = done(kSeq);
    struct Case
    {
        const char* name;
        std::vector<Bytes> datagrams;
        Status status;
        Sums sums{};
        LinkDumpKind kind = S;
    };
    const std::vector<Case> cases = {
        {"no links", {end}, Done},
        {"two links", {concat({link, link, end})}, Done, {2000, 1000}},
        {"sum wraps", {concat({statsLink(kSeq, 4'294'967'000U, 0), link, end})}, Done, {704, 500}},
        {"64-bit counters enter as their low word",
         {concat({statsLink(kSeq, 0x1'0000'0005ULL, 0xAB'1234'5678ULL), end})},
         Done,
         {5, 0x1234'5678U}},
        {"split, end alone", {statsLink(kSeq, 1, 2), statsLink(kSeq, 10, 20), end}, Done, {11, 22}},
        {"noop skipped", {concat({message(NLMSG_NOOP, kSeq, {}), link, end})}, Done, {1000, 500}},
        {"older kernel's shorter record",
         {concat({statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats(8, 9, 32))), end})},
         Done,
         {8, 9}},
        {"end never came", {link, link}, Status::NeedMore},
        {"stats dump not offered", {error(kSeq, -EOPNOTSUPP)}, Status::Refused},
        {"stats request rejected", {error(kSeq, -EINVAL)}, Status::Refused},
        {"other error reply", {error(kSeq, -EPERM)}, Failed},
        {"error after links", {link, error(kSeq, -EOPNOTSUPP)}, Failed},
        {"error reply without its code", {message(NLMSG_ERROR, kSeq, Bytes(2))}, Failed},
        {"dump broke off", {concat({link, done(kSeq, -ENOBUFS)})}, Failed},
        {"interrupted", {link, message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_DUMP_INTR)}, Failed},
        {"stale end", {link, done(kSeq - 1)}, Failed},
        {"link message of the other dump",
         {concat({infoLink(kSeq, stats(1, 1), {}), end})},
         Failed},
        {"empty datagram", {Bytes{}}, Failed},
        {"header cut after a good message", {concat({link, Bytes(8)})}, Failed},
        {"nlmsg_len past the datagram", {message(NLMSG_DONE, kSeq, Bytes(4), 0, 24)}, Failed},
        {"nlmsg_len below the header", {message(NLMSG_DONE, kSeq, Bytes(4), 0, 8)}, Failed},
        {"payload shorter than the stats header", {message(RTM_NEWSTATS, kSeq, Bytes(8))}, Failed},
        {"rta_len below the attribute header", {withAttrLength(link, 3), end}, Failed},
        {"rta_len past the message", {withAttrLength(link, 1000), end}, Failed},
        {"counter record cut short",
         {statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats(1, 2, 24))), end},
         Failed},
        {"link without counters", {statsWithAttrs({}), end}, Failed},
        {"attribute header cut", {statsWithAttrs(Bytes(2)), end}, Failed},
        {"link dump prefers the 64-bit record",
         {concat({infoLink(kSeq, stats(0x2'0000'0010ULL, 20), stats<R32>(1, 2)), end})},
         Done,
         {16, 20},
         L},
        {"32-bit record just long enough",
         {concat({infoLink(kSeq, {}, stats<R32>(3, 4, offsetof(R32, tx_bytes) + 4)), end})},
         Done,
         {3, 4},
         L},
        {"32-bit record cut short", {infoLink(kSeq, {}, Bytes(12)), end}, Failed, {}, L},
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
        EXPECT_EQ(parser.status(), c.status);
        if (c.status == Done) {
            EXPECT_EQ(sumsOf(parser.sample()), c.sums);
        }
    }
}

TEST(LinkDumpParser, KeepsEachLinksIndexAndWholeCounters)
{
    Links links;
    LinkDumpParser statsDump(S, kSeq, links);
    statsDump.feed(
        concat({statsLink(kSeq, 0x1'0000'0005ULL, 9, 3), statsLink(kSeq, 7, 8, 12), done(kSeq)}));
    EXPECT_EQ(links, (Links{{3, 0x1'0000'0005ULL, 9, true}, {12, 7, 8, true}}));
    LinkDumpParser info(L, kSeq, links);
    EXPECT_TRUE(links.empty()) << "a new dump starts with no links";
    info.feed(concat({infoLink(kSeq, stats(0x2'0000'0010ULL, 20), {}, 4),
                      infoLink(kSeq, {}, stats<rtnl_link_stats>(1000, 500), 5), done(kSeq)}));
    EXPECT_EQ(links, (Links{{4, 0x2'0000'0010ULL, 20, true}, {5, 1000, 500, false}}));
    // A settled dump ignores what comes after it.
    EXPECT_EQ(info.feed(concat({infoLink(kSeq, {}, Bytes(12)), done(kSeq)})), Status::Done);
    EXPECT_EQ(links.size(), 2U);
    LinkDumpParser failed(S, kSeq, links);
    EXPECT_EQ(failed.feed(Bytes(3)), Status::Failed);
    EXPECT_EQ(failed.feed(done(kSeq)), Status::Failed);
}

} // namespace
} // namespace zarvello
