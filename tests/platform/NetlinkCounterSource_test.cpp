#include "platform/NetlinkCounterSource.h"

#include "platform/NetlinkSocket.h"
#include "support/NetlinkScript.h"
#include "support/ScriptedCounterSource.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

namespace zarvello {
namespace {

using namespace nltest;
using Receive = NetlinkTransport::ReceiveStatus;

TEST(NetlinkCounterSource, RetriesWithinTheTickFallsBackForGoodAndDropsTheSocketOnFailure)
{
    auto* t = new ScriptedTransport;
    NetlinkCounterSource source(std::unique_ptr<NetlinkTransport>(t), LinkDumpKind::Stats);
    const ScriptedTransport::Builder linkDump = [](auto seq) {
        return concat(
            {infoLink(seq, stats(1000, 500), {}, 1), infoLink(seq, stats(9, 8), {}, 2), done(seq)});
    };
    // A datagram too big for the buffer, then a refused stats dump: the link
    // dump answers, and no tick is lost.
    t->script = {Receive::Truncated, [](auto seq) { return error(seq, -EOPNOTSUPP); }, linkDump};
    const auto first = source.takeSample();
    ASSERT_TRUE(first);
    EXPECT_EQ(Links(first->links.begin(), first->links.end()),
              (Links{{1, 1000, 500, true}, {2, 9, 8, true}}));
    EXPECT_EQ(sumsOf(*first), (Sums{1009, 508}));
    EXPECT_EQ(t->resets, 1);
    EXPECT_NE(t->seqs[0], t->seqs[1]);
    EXPECT_EQ(source.dumpKind(), LinkDumpKind::Links);

    // Failures are no sample; all but a refusal drop what may still be queued.
    const std::vector<std::tuple<const char*, ScriptedTransport::Builder, Receive, int>> failures{
        {"stale reply", [](auto seq) { return done(seq - 1); }, Receive::Ok, 1},
        {"receive fails", nullptr, Receive::Failed, 1},
        {"refused link dump", [](auto seq) { return error(seq, -EOPNOTSUPP); }, Receive::Ok, 0},
        {"datagram that never fits", nullptr, Receive::Truncated, 3},
    };
    for (const auto& [name, reply, status, resets] : failures) {
        SCOPED_TRACE(name);
        t->resets = 0;
        t->script.assign(5, reply ? decltype(t->script)::value_type(reply) : status);
        EXPECT_EQ(source.takeSample(), std::nullopt);
        EXPECT_EQ(t->resets, resets);
        t->script = {linkDump};
        EXPECT_EQ(sumsOf(source.takeSample()), (Sums{1009, 508})) << "the next tick starts afresh";
    }
}

// Real kernel, one socket across ticks: traffic over loopback raises both sums
// of either dump by at least its payload (each packet is received and sent).
TEST(NetlinkCounterSource, LoopbackTrafficRaisesBothSums)
{
    for (const LinkDumpKind kind : {LinkDumpKind::Stats, LinkDumpKind::Links}) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto socket = std::make_unique<NetlinkSocket>();
        const NetlinkSocket* raw = socket.get();
        NetlinkCounterSource source(std::move(socket), kind);
        const auto before = source.takeSample();
        ASSERT_TRUE(before);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        ASSERT_EQ(::bind(fd, generic, length), 0);
        ASSERT_EQ(::getsockname(fd, generic, &length), 0);
        const std::vector<char> chunk(1000, 'z');
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(::sendto(fd, chunk.data(), chunk.size(), 0, generic, length), 1000);
        }
        ::close(fd);
        const auto after = source.takeSample();
        ASSERT_TRUE(after);
        for (const std::uint32_t moved :
             {after->inOctets - before->inOctets, after->outOctets - before->outOctets}) {
            EXPECT_GE(moved, 300'000U);
            EXPECT_LT(moved, 1U << 28) << "sums went backwards";
        }
        EXPECT_TRUE(raw->isOpen());
    }
}

} // namespace
} // namespace zarvello
