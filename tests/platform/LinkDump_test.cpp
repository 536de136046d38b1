#include "platform/LinkDump.h"

#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <random>

namespace zarvello {
namespace {

using namespace nltest;
using Status = LinkDumpParser::Status;
constexpr std::uint32_t kSeq = 77;
constexpr auto S = LinkDumpKind::Stats;
constexpr auto L = LinkDumpKind::Links;

struct Case
{
    const char* name;
    LinkDumpKind kind;
    std::vector<Bytes> datagrams;
    Sums sums{};
};

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

// Feeds exactly sized copies, so that the sanitizer sees any overread.
LinkDumpParser::Status parse(const Case& c, Links& links)
{
    LinkDumpParser parser(c.kind, kSeq, links);
    for (const Bytes& datagram : c.datagrams) {
        parser.feed(Bytes(datagram));
    }
    if (parser.status() == Status::Done) {
        EXPECT_EQ(sumsOf(parser.sample()), c.sums);
    }
    return parser.status();
}

TEST(LinkDumpParser, SumsTheLowWordsOfCompleteDumpsAndRefusesAnythingElse)
{
    using R32 = rtnl_link_stats;
    const Bytes link = statsLink(kSeq, 1000, 500);
    const Bytes end = done(kSeq);
    const auto withFlags = [](std::uint16_t type, Bytes payload) {
        return message(type, kSeq, payload, NLM_F_MULTI | NLM_F_DUMP_INTR);
    };
    const std::vector<Case> complete = {
        {"no links", S, {end}},
        {"two links", S, {concat({link, link, end})}, {2000, 1000}},
        {"sum wraps", S, {concat({statsLink(kSeq, 4'294'967'000U, 0), link, end})}, {704, 500}},
        {"64-bit counters enter as their low word",
         S,
         {concat({statsLink(kSeq, 0x1'0000'0005ULL, 0xAB'1234'5678ULL), end})},
         {5, 0x1234'5678U}},
        {"split, end alone", S, {statsLink(kSeq, 1, 2), statsLink(kSeq, 10, 20), end}, {11, 22}},
        {"noop skipped", S, {concat({message(NLMSG_NOOP, kSeq, {}), link, end})}, {1000, 500}},
        {"older kernel's shorter record",
         S,
         {concat({statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats(8, 9, 32))), end})},
         {8, 9}},
        {"link dump prefers the 64-bit record",
         L,
         {concat({infoLink(kSeq, stats(0x2'0000'0010ULL, 20), stats<R32>(1, 2)), end})},
         {16, 20}},
        {"32-bit record just long enough",
         L,
         {concat({infoLink(kSeq, {}, stats<R32>(3, 4, offsetof(R32, tx_bytes) + 4)), end})},
         {3, 4}},
        {"link dump with only 32-bit records",
         L,
         {concat({infoLink(kSeq, {}, stats<R32>(1000, 500)),
                  infoLink(kSeq, {}, stats<R32>(4'294'967'000U, 1000)), end})},
         {704, 1500}},
    };
    const std::vector<Case> refused = {
        {"stats dump not offered", S, {error(kSeq, -EOPNOTSUPP)}},
        {"stats request rejected", S, {error(kSeq, -EINVAL)}},
        {"link dump not offered", L, {error(kSeq, -EOPNOTSUPP)}},
    };
    const std::vector<Case> failed = {
        {"other error reply", S, {error(kSeq, -EPERM)}},
        {"error after links", S, {link, error(kSeq, -EOPNOTSUPP)}},
        {"error reply without its code", S, {message(NLMSG_ERROR, kSeq, Bytes(2))}},
        {"dump broke off", S, {concat({link, done(kSeq, -ENOBUFS)})}},
        {"overrun", S, {concat({link, message(NLMSG_OVERRUN, kSeq, {})})}},
        {"interrupted link",
         S,
         {withFlags(RTM_NEWSTATS, Bytes(link.begin() + NLMSG_HDRLEN, link.end())), end}},
        {"interrupted end", S, {link, withFlags(NLMSG_DONE, Bytes(4))}},
        {"reply to another request", S, {concat({statsLink(kSeq + 1, 1, 1), done(kSeq + 1)})}},
        {"stale end", S, {link, done(kSeq - 1)}},
        {"link message of the other dump", S, {concat({infoLink(kSeq, stats(1, 1), {}), end})}},
        {"empty datagram", S, {Bytes{}}},
        {"short header", S, {Bytes(10)}},
        {"header cut after a good message", S, {concat({link, Bytes(8)})}},
        {"trailing bytes", S, {concat({link, Bytes(2)}), end}},
        {"nlmsg_len past the datagram",
         S,
         {message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_MULTI, NLMSG_HDRLEN + 8)}},
        {"nlmsg_len below the header", S, {message(NLMSG_DONE, kSeq, Bytes(4), NLM_F_MULTI, 8)}},
        {"payload shorter than the stats header", S, {message(RTM_NEWSTATS, kSeq, Bytes(8)), end}},
        {"rta_len below the attribute header", S, {withAttrLength(link, 3), end}},
        {"rta_len past the message", S, {withAttrLength(link, 1000), end}},
        {"counter record cut short",
         S,
         {statsWithAttrs(attribute(IFLA_STATS_LINK_64, stats(1, 2, 24))), end}},
        {"32-bit record cut short", L, {infoLink(kSeq, {}, Bytes(12)), end}},
        {"link without counters", S, {statsWithAttrs({}), end}},
        {"attribute header cut", S, {statsWithAttrs(Bytes(2)), end}},
    };
    const std::pair<const std::vector<Case>*, Status> groups[] = {
        {&complete, Status::Done}, {&refused, Status::Refused}, {&failed, Status::Failed}};
    for (const auto& [cases, status] : groups) {
        for (const Case& c : *cases) {
            Links links;
            EXPECT_EQ(parse(c, links), status) << c.name;
        }
    }
    Links links;
    EXPECT_EQ(parse({"end never came", S, {link, link}}, links), Status::NeedMore);
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

// Unaligned fields, mangled dumps and plain noise must end in a status, never
// in a crash or a read outside the datagram (the sanitizer build watches).
TEST(LinkDumpParser, SurvivesUnalignedRandomAndMangledBytes)
{
    const Bytes good = concat({statsLink(kSeq, 1000, 500), statsLink(kSeq, 7, 9), done(kSeq)});
    for (std::size_t offset = 1; offset < 8; ++offset) {
        Bytes shifted = concat({Bytes(offset), good});
        Links links;
        LinkDumpParser parser(S, kSeq, links);
        EXPECT_EQ(parser.feed(std::span<const std::byte>(shifted).subspan(offset)), Status::Done);
        EXPECT_EQ(sumsOf(parser.sample()), (Sums{1007, 509})) << offset;
    }
    std::mt19937 random(20240607U);
    const Bytes goodLinks = concat({infoLink(kSeq, stats(3, 4), stats<rtnl_link_stats>(5, 6)),
                                    infoLink(kSeq, {}, stats<rtnl_link_stats>(7, 8)), done(kSeq)});
    std::map<Status, int> seen;
    for (int i = 0; i < 20000; ++i) {
        const auto kind = i % 2 == 0 ? S : L;
        Bytes input = kind == S ? good : goodLinks;
        if (i % 4 < 2) {
            input.resize(random() % 300);
        }
        for (auto flips = i % 4 < 2 ? input.size() : 1 + random() % 3; flips > 0; --flips) {
            input[random() % input.size()] = static_cast<std::byte>(random());
        }
        if (i % 4 >= 2 && random() % 2 == 0) {
            input.resize(random() % (input.size() + 1));
        }
        Links links;
        LinkDumpParser parser(kind, kSeq, links);
        ++seen[parser.feed(input)];
    }
    // Both outcomes must have been reached, or the loop tests little.
    EXPECT_GT(seen[Status::Done], 100);
    EXPECT_GT(seen[Status::Failed], 1000);
}

} // namespace
} // namespace zarvello
