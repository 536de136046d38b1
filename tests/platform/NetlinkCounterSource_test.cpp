#include "platform/NetlinkCounterSource.h"

#include "platform/NetlinkSocket.h"
#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zarvello {
namespace {

using namespace nltest;
using Receive = NetlinkTransport::ReceiveStatus;

struct Scripted
{
    ScriptedTransport* t = new ScriptedTransport;
    NetlinkCounterSource source{std::unique_ptr<NetlinkTransport>(t), LinkDumpKind::Stats};
};

TEST(NetlinkCounterSource, SumsEachTicksDumpUnderItsOwnSequenceNumber)
{
    Scripted s;
    s.t->reply([](auto seq) {
        return concat({statsLink(seq, 1000, 500, 1), statsLink(seq, 1000, 500, 2), done(seq)});
    });
    s.t->reply([](auto seq) { return statsLink(seq, 4'294'967'000U, 7); });
    s.t->reply([](auto seq) { return concat({statsLink(seq, 1000, 8), done(seq)}); });
    s.t->reply([](auto seq) { return done(seq); });

    const auto first = s.source.takeSample();
    ASSERT_TRUE(first);
    EXPECT_EQ(sumsOf(*first), (Sums{2000, 1000}));
    EXPECT_EQ(Links(first->links.begin(), first->links.end()),
              (Links{{1, 1000, 500, true}, {2, 1000, 500, true}}));
    EXPECT_EQ(sumsOf(s.source.takeSample()), (Sums{704, 15}));
    const auto last = s.source.takeSample();
    ASSERT_TRUE(last);
    EXPECT_EQ(sumsOf(*last), (Sums{0, 0}));
    EXPECT_TRUE(last->links.empty()) << "links of earlier dumps left over";
    EXPECT_EQ(s.t->types, (std::vector<std::uint16_t>(3, RTM_GETSTATS)));
    EXPECT_EQ(s.t->resets, 0);
}

TEST(NetlinkCounterSource, FailedDumpIsNoSampleAndDropsTheSocket)
{
    const std::vector<std::pair<const char*, std::function<void(ScriptedTransport&)>>> cases = {
        {"empty reply", [](auto& t) { t.reply([](auto) { return Bytes{}; }); }},
        {"error reply", [](auto& t) { t.reply([](auto seq) { return error(seq, -ENOBUFS); }); }},
        {"receive fails",
         [](auto& t) {
             t.reply([](auto seq) { return statsLink(seq, 1, 1); });
             t.reply(Receive::Failed);
         }},
        {"end never comes",
         [](auto& t) { t.reply([](auto seq) { return statsLink(seq, 1, 1); }); }},
        {"stale reply", [](auto& t) { t.reply([](auto seq) { return done(seq - 1); }); }},
        {"send fails", [](auto& t) { t.sendFails = true; }},
    };
    for (const auto& [name, script] : cases) {
        SCOPED_TRACE(name);
        Scripted s;
        script(*s.t);
        EXPECT_EQ(s.source.takeSample(), std::nullopt);
        EXPECT_EQ(s.t->resets, 1);
        // The next tick starts afresh and succeeds.
        s.t->sendFails = false;
        s.t->reply([](auto seq) { return concat({statsLink(seq, 9, 8), done(seq)}); });
        EXPECT_EQ(sumsOf(s.source.takeSample()), (Sums{9, 8}));
        EXPECT_EQ(s.source.dumpKind(), LinkDumpKind::Stats);
    }
}

TEST(NetlinkCounterSource, RefusedStatsDumpFallsBackToLinkDumpForGood)
{
    Scripted s;
    s.t->reply([](auto seq) { return error(seq, -EOPNOTSUPP); });
    s.t->reply([](auto seq) {
        return concat({infoLink(seq, stats(1000, 500), stats<rtnl_link_stats>(1, 1)), done(seq)});
    });
    s.t->reply([](auto seq) {
        return concat({infoLink(seq, {}, stats<rtnl_link_stats>(4'294'967'000U, 2)),
                       infoLink(seq, stats(1000, 3), {}), done(seq)});
    });
    s.t->reply([](auto seq) { return error(seq, -EOPNOTSUPP); });

    EXPECT_EQ(sumsOf(s.source.takeSample()), (Sums{1000, 500})); // no tick lost
    EXPECT_EQ(s.source.dumpKind(), LinkDumpKind::Links);
    EXPECT_EQ(sumsOf(s.source.takeSample()), (Sums{704, 5}));
    EXPECT_EQ(s.source.takeSample(), std::nullopt) << "a refused link dump is no sample";
    EXPECT_EQ(s.t->types,
              (std::vector<std::uint16_t>{RTM_GETSTATS, RTM_GETLINK, RTM_GETLINK, RTM_GETLINK}));
    EXPECT_EQ(s.t->resets, 0);
}

TEST(NetlinkCounterSource, TruncatedDatagramRestartsTheDumpWithinTheTick)
{
    Scripted s;
    s.t->reply(Receive::Truncated);
    s.t->reply([](auto seq) { return concat({statsLink(seq, 6, 7), done(seq)}); });
    EXPECT_EQ(sumsOf(s.source.takeSample()), (Sums{6, 7}));
    EXPECT_EQ(s.t->resets, 1);
    ASSERT_EQ(s.t->seqs.size(), 2U);
    EXPECT_NE(s.t->seqs[0], s.t->seqs[1]);

    // A datagram that never fits gives up after a bounded number of tries.
    for (int i = 0; i < 10; ++i) {
        s.t->reply(Receive::Truncated);
    }
    EXPECT_EQ(s.source.takeSample(), std::nullopt);
}

// Real kernel: traffic over loopback moves both sums of either dump by at
// least its payload, and never by more than the stats dump taken around it.
class RealKernel : public ::testing::TestWithParam<LinkDumpKind>
{
};

TEST_P(RealKernel, LoopbackTrafficRaisesBothSums)
{
    auto socket = std::make_unique<NetlinkSocket>();
    const NetlinkSocket* raw = socket.get();
    NetlinkCounterSource source(std::move(socket), GetParam());
    const auto reference = makeSystemCounterSource();

    const auto outerBefore = reference->takeSample();
    const auto before = source.takeSample();
    ASSERT_TRUE(before && outerBefore);
    if (source.dumpKind() != GetParam()) {
        GTEST_SKIP() << "this kernel refuses RTM_GETSTATS; the link dump serves instead";
    }
    constexpr std::size_t kChunk = 1000;
    constexpr int kChunks = 300;
    const int receiver = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    ASSERT_EQ(::bind(receiver, generic, sizeof address), 0);
    ASSERT_EQ(::getsockname(receiver, generic, &length), 0);
    const std::vector<char> chunk(kChunk, 'z');
    for (int i = 0; i < kChunks; ++i) {
        ASSERT_EQ(::sendto(sender, chunk.data(), kChunk, 0, generic, sizeof address), kChunk);
    }
    ::close(sender);
    ::close(receiver);
    const auto after = source.takeSample();
    const auto outerAfter = reference->takeSample();
    ASSERT_TRUE(after && outerAfter);

    // Loopback counts each packet once received and once sent; headers add more.
    const Sums moved{after->inOctets - before->inOctets, after->outOctets - before->outOctets};
    const Sums span{outerAfter->inOctets - outerBefore->inOctets,
                    outerAfter->outOctets - outerBefore->outOctets};
    EXPECT_GE(moved.in, kChunk * kChunks);
    EXPECT_GE(moved.out, kChunk * kChunks);
    EXPECT_LE(moved.in, span.in);
    EXPECT_LE(moved.out, span.out);
    EXPECT_LT(span.in, 1U << 28) << "sums went backwards";
    EXPECT_LT(span.out, 1U << 28) << "sums went backwards";
    EXPECT_TRUE(raw->isOpen()); // one socket across ticks
}

INSTANTIATE_TEST_SUITE_P(BothDumps, RealKernel,
                         ::testing::Values(LinkDumpKind::Stats, LinkDumpKind::Links),
                         [](const auto& param) {
                             return param.param == LinkDumpKind::Stats ? "Stats" : "Links";
                         });

} // namespace
} // namespace zarvello
