#include "platform/NetlinkCounterSource.h"

#include "platform/NetlinkSocket.h"
#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace zarvello {
namespace {

using namespace nltest;

struct Scripted
{
    explicit Scripted(LinkDumpKind dump = LinkDumpKind::Stats)
    {
        auto owned = std::make_unique<ScriptedTransport>();
        transport = owned.get();
        source = std::make_unique<NetlinkCounterSource>(std::move(owned), dump);
    }
    ScriptedTransport* transport;
    std::unique_ptr<NetlinkCounterSource> source;
};

TEST(NetlinkCounterSource, SumsEachTicksDumpUnderItsOwnSequenceNumber)
{
    Scripted s;
    s.transport->reply([](auto seq) {
        return concat({statsLink(seq, 1000, 500, 1), statsLink(seq, 1000, 500, 2), done(seq)});
    });
    s.transport->reply([](auto seq) { return statsLink(seq, 4'294'967'000U, 7); });
    s.transport->reply([](auto seq) { return concat({statsLink(seq, 1000, 8), done(seq)}); });
    s.transport->reply([](auto seq) { return done(seq); });

    const auto first = s.source->takeSample();
    ASSERT_TRUE(first);
    EXPECT_EQ(sumsOf(*first), (Sums{2000, 1000}));
    EXPECT_EQ(Links(first->links.begin(), first->links.end()),
              (Links{{1, 1000, 500, true}, {2, 1000, 500, true}}));
    EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{704, 15}));
    const auto last = s.source->takeSample();
    ASSERT_TRUE(last);
    EXPECT_EQ(sumsOf(*last), (Sums{0, 0}));
    EXPECT_TRUE(last->links.empty()) << "links of earlier dumps left over";
    ASSERT_EQ(s.transport->requests.size(), 3U);
    EXPECT_EQ(s.transport->requestTypes(), (std::vector<std::uint16_t>(3, RTM_GETSTATS)));
    EXPECT_EQ(s.transport->resets, 0);
}

TEST(NetlinkCounterSource, FailedDumpIsNoSampleAndDropsTheSocket)
{
    struct Case
    {
        const char* name;
        std::function<void(ScriptedTransport&)> script;
    };
    const std::vector<Case> cases = {
        {"empty reply", [](auto& t) { t.reply([](auto) { return Bytes{}; }); }},
        {"error reply", [](auto& t) { t.reply([](auto seq) { return error(seq, -ENOBUFS); }); }},
        {"receive fails",
         [](auto& t) {
             t.reply([](auto seq) { return statsLink(seq, 1, 1); });
             t.replyFailure();
         }},
        {"end never comes",
         [](auto& t) { t.reply([](auto seq) { return statsLink(seq, 1, 1); }); }},
        {"stale reply", [](auto& t) { t.reply([](auto seq) { return done(seq - 1); }); }},
        {"malformed", [](auto& t) { t.reply([](auto) { return Bytes(5); }); }},
    };
    for (const Case& c : cases) {
        Scripted s;
        c.script(*s.transport);
        EXPECT_EQ(s.source->takeSample(), std::nullopt) << c.name;
        EXPECT_EQ(s.transport->resets, 1) << c.name;
        // The next tick starts afresh and succeeds.
        s.transport->reply([](auto seq) { return concat({statsLink(seq, 9, 8), done(seq)}); });
        EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{9, 8})) << c.name;
        EXPECT_EQ(s.source->dumpKind(), LinkDumpKind::Stats) << c.name;
    }
}

TEST(NetlinkCounterSource, NoSocketMeansNoSample)
{
    Scripted s;
    s.transport->sendFails = true;
    EXPECT_EQ(s.source->takeSample(), std::nullopt);
    EXPECT_EQ(s.source->takeSample(), std::nullopt);
    s.transport->sendFails = false;
    s.transport->reply([](auto seq) { return done(seq); });
    EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{0, 0}));
}

TEST(NetlinkCounterSource, RefusedStatsDumpFallsBackToLinkDumpForGood)
{
    Scripted s;
    s.transport->reply([](auto seq) { return error(seq, -EOPNOTSUPP); });
    s.transport->reply([](auto seq) {
        return concat({infoLink(seq, stats64(1000, 500), stats32(1, 1)), done(seq)});
    });
    s.transport->reply([](auto seq) {
        return concat({infoLink(seq, std::nullopt, stats32(4'294'967'000U, 2)),
                       infoLink(seq, stats64(1000, 3), std::nullopt), done(seq)});
    });

    EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{1000, 500})); // no tick lost
    EXPECT_EQ(s.source->dumpKind(), LinkDumpKind::Links);
    EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{704, 5}));
    EXPECT_EQ(s.transport->requestTypes(),
              (std::vector<std::uint16_t>{RTM_GETSTATS, RTM_GETLINK, RTM_GETLINK}));
    EXPECT_EQ(s.transport->resets, 0);
}

TEST(NetlinkCounterSource, RefusedLinkDumpIsNoSample)
{
    Scripted s;
    s.transport->reply([](auto seq) { return error(seq, -EOPNOTSUPP); });
    s.transport->reply([](auto seq) { return error(seq, -EOPNOTSUPP); });
    EXPECT_EQ(s.source->takeSample(), std::nullopt);
    EXPECT_EQ(s.transport->requests.size(), 2U);
    EXPECT_EQ(s.transport->pending(), 0U);
}

TEST(NetlinkCounterSource, TruncatedDatagramRestartsTheDumpWithinTheTick)
{
    Scripted s;
    s.transport->replyTruncated();
    s.transport->reply([](auto seq) { return concat({statsLink(seq, 6, 7), done(seq)}); });
    EXPECT_EQ(sumsOf(s.source->takeSample()), (Sums{6, 7}));
    EXPECT_EQ(s.transport->resets, 1);
    ASSERT_EQ(s.transport->requests.size(), 2U);
    EXPECT_NE(s.transport->requests[0], s.transport->requests[1]); // fresh sequence number

    // A datagram that never fits gives up after a bounded number of tries.
    for (int i = 0; i < 10; ++i) {
        s.transport->replyTruncated();
    }
    EXPECT_EQ(s.source->takeSample(), std::nullopt);
}

// Real kernel from here on.

// Sends `total` bytes of UDP payload to itself over 127.0.0.1.
void sendOverLoopback(std::size_t total)
{
    const int receiver = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(receiver, 0);
    ASSERT_GE(sender, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length), 0);

    std::vector<char> chunk(1000, 'z');
    std::vector<char> sink(2000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t received = 0;
    for (std::size_t sent = 0; sent < total; sent += chunk.size()) {
        ASSERT_EQ(::sendto(sender, chunk.data(), chunk.size(), 0,
                           reinterpret_cast<sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(chunk.size()));
        // Drain as we go so the receive queue never overflows.
        pollfd ready{receiver, POLLIN, 0};
        while (::poll(&ready, 1, 0) > 0 && ::recv(receiver, sink.data(), sink.size(), 0) > 0) {
            received += chunk.size();
        }
    }
    while (received < total && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{receiver, POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0 && ::recv(receiver, sink.data(), sink.size(), 0) > 0) {
            received += chunk.size();
        }
    }
    EXPECT_EQ(received, total);
    ::close(sender);
    ::close(receiver);
}

// How far the sums moved, modulo 2^32.
Sums advance(const CounterSample& before, const CounterSample& after)
{
    return {after.inOctets - before.inOctets, after.outOctets - before.outOctets};
}

class RealKernel : public ::testing::TestWithParam<LinkDumpKind>
{
};

TEST_P(RealKernel, LoopbackTrafficRaisesBothSums)
{
    auto socket = std::make_unique<NetlinkSocket>();
    const NetlinkSocket* raw = socket.get();
    NetlinkCounterSource source(std::move(socket), GetParam());

    const auto before = source.takeSample();
    ASSERT_TRUE(before.has_value());
    constexpr std::size_t kPayload = 300'000;
    sendOverLoopback(kPayload);
    const auto after = source.takeSample();
    ASSERT_TRUE(after.has_value());

    // Loopback counts each packet once received and once sent; headers add more.
    const Sums moved = advance(*before, *after);
    EXPECT_GE(moved.in, kPayload);
    EXPECT_GE(moved.out, kPayload);
    EXPECT_LT(moved.in, 1U << 31) << "sums went backwards";
    EXPECT_LT(moved.out, 1U << 31) << "sums went backwards";

    EXPECT_TRUE(raw->isOpen()); // one socket across ticks
}

INSTANTIATE_TEST_SUITE_P(BothDumps, RealKernel,
                         ::testing::Values(LinkDumpKind::Stats, LinkDumpKind::Links),
                         [](const auto& param) {
                             return param.param == LinkDumpKind::Stats ? "Stats" : "Links";
                         });

TEST(RealKernelDumps, LinkDumpAgreesWithStatsDump)
{
    NetlinkCounterSource stats(std::make_unique<NetlinkSocket>(), LinkDumpKind::Stats);
    NetlinkCounterSource links(std::make_unique<NetlinkSocket>(), LinkDumpKind::Links);

    // Counters only grow, so the link dump taken in between must lie between
    // the two stats dumps.
    const auto first = stats.takeSample();
    const auto middle = links.takeSample();
    const auto last = stats.takeSample();
    ASSERT_TRUE(first && middle && last);
    const Sums span = advance(*first, *last);
    const Sums reached = advance(*first, *middle);
    EXPECT_LE(reached.in, span.in);
    EXPECT_LE(reached.out, span.out);
    EXPECT_LT(span.in, 1U << 28);
    EXPECT_LT(span.out, 1U << 28);
}

TEST(RealKernelDumps, KernelOffersTheStatsDump)
{
    NetlinkSocket socket;
    std::array<std::byte, kLinkDumpRequestCapacity> request{};
    ASSERT_TRUE(socket.send(buildLinkDumpRequest(LinkDumpKind::Stats, 5, request)));
    std::vector<LinkCounters> links;
    LinkDumpParser parser(LinkDumpKind::Stats, 5, links);
    while (parser.status() == LinkDumpParser::Status::NeedMore) {
        const auto received = socket.receive();
        ASSERT_EQ(received.status, NetlinkTransport::ReceiveStatus::Ok);
        parser.feed(received.datagram);
    }
    if (parser.status() == LinkDumpParser::Status::Refused) {
        GTEST_SKIP() << "this kernel refuses RTM_GETSTATS; the link dump serves instead";
    }
    ASSERT_EQ(parser.status(), LinkDumpParser::Status::Done);
    EXPECT_GE(links.size(), 1U); // loopback at least
}

TEST(RealKernelDumps, SystemSourceSamples)
{
    const auto source = makeSystemCounterSource();
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->takeSample().has_value());
}

} // namespace
} // namespace zarvello
