#include "version/VersionCheck.h"

#include "support/FakeLinkOpener.h"
#include "support/LoopbackServer.h"
#include "version/MemoryWindow.h"
#include "version/VersionNotice.h"
#include "widgets/LinkLabel.h"

#include <QLabel>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>
#include <tuple>
#include <vector>

namespace zarvello {
namespace {

using test::LoopbackServer;
using B = QByteArray;

// One run of the program's check against a host, its notice and its pauses.
struct CheckRun
{
    CheckRun(const QString& host, quint16 port)
        : check(std::make_unique<VersionCheck>(&notice, host, port))
    {
        check->setPause([this] { ++pauses; }); // counted instead of slept
        check->start();
        check->start(); // only the first start in a run asks
    }
    [[nodiscard]] QTcpSocket* socket() const { return check->findChild<QTcpSocket*>(); }

    test::FakeLinkOpener opener{{"http", "mailto"}};
    VersionNotice notice{nullptr, &opener};
    std::unique_ptr<VersionCheck> check;
    int pauses = 0;
};

TEST(VersionCheck, AsksOnceAndShowsTheNoticeWhenTheFirstReplyNamesAnotherVersion)
{
    // Far beyond the cap, so more than the first read is waiting, and ignored.
    const B huge = "2.2:" + B(1 << 20, 'a');
    // {reply, notice shown, version as shown, address}
    // clang-format off
    for (const auto& [reply, shown, ver, url] : std::vector<std::tuple<B, bool, QString, QString>>{
             {"2.1", false, "2.1", ""},
             {"2.10:www.example.org/download", true, "2.10", "www.example.org/download"},
             {"2.2:www.example.org:8080/x", true, "2.2", "www.example.org"},
             {":www.example.org", true, "", "www.example.org"},
             {"2.1\r\n\x7f\x85", true, "2.1\u240D\u240A\u2421\uFFFD", ""}, // control characters shown visibly
             {B("2.1\0:evil.example.org", 21), false, "2.1", ""}, // the text ends at a zero
             {B("\0" "2.1:evil.example.org", 21), true, "", ""},   // even a zero at the start
             {huge, true, "2.2", huge.mid(4, VersionCheck::kMaxReplyBytes - 4)}}) {
        // clang-format on
        SCOPED_TRACE(reply.left(30).toStdString());
        LoopbackServer server(reply);
        CheckRun run("127.0.0.1", server.port());
        ASSERT_TRUE(QTest::qWaitFor([&] { return run.check->dataEventCount() >= 1; }));
        // A second part of the reply is never read.
        server.last->write("9.9:late.example.org");
        ASSERT_TRUE(QTest::qWaitFor([&] { return run.check->dataEventCount() >= 2; }));
        EXPECT_LE(run.socket()->bytesAvailable(), VersionCheck::kMaxReplyBytes) << "a flood waits";
        EXPECT_EQ(std::tuple(server.received, server.connections, run.pauses),
                  std::tuple(B("Zarvello"), 1, 0));
        EXPECT_EQ(std::tuple(run.notice.isVisible(), run.notice.versionLabel()->text(),
                             run.notice.downloadLink()->url()),
                  std::tuple(shown, ver, url));
        run.notice.downloadLink()->click();
        EXPECT_TRUE(run.notice.isHidden()) << "the link hides the notice";
        EXPECT_EQ(run.opener.opened, QStringList{"http://" + url});
    }
}

TEST(VersionCheck, FailsSilentlyWithOnePauseForEachFailure)
{
    const quint16 refused = LoopbackServer().port(); // closed again at once
    // {what, server, host (empty: none), pauses}
    const std::vector<std::tuple<const char*, bool, QString, int>> rows{
        {"refused", false, "127.0.0.1", 1},
        // Too long a label for a DNS query, so no query leaves the machine.
        {"unresolvable name", false, QString(70, u'x') + ".invalid", 1},
        // The server ending the session is no failure.
        {"server closes without a reply", true, "127.0.0.1", 0},
    };
    for (const auto& [what, serve, host, pauses] : rows) {
        SCOPED_TRACE(what);
        LoopbackServer server({}, true);
        CheckRun run(host, serve ? server.port() : refused);
        EXPECT_EQ(run.pauses, 0) << "nothing happens before start returns";
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return run.socket()->state() == QAbstractSocket::UnconnectedState; }, 20000));
        EXPECT_EQ(std::tuple(run.pauses, run.check->dataEventCount(), run.notice.isHidden(),
                             run.notice.versionLabel()->text()),
                  std::tuple(pauses, 0U, true, QString("Ver")));
        EXPECT_EQ(server.connections, serve ? 1 : 0);
    }
}

// Without statistics of its own, the memory window reads the program's allocator.
// It is centred on its first show only: a window the user moved stays put.
TEST(MemoryWindow, ReadsTheProgramsOwnAllocatorByDefaultAndIsCentredOnce)
{
    MemoryWindow memory;
    memory.refresh();
    EXPECT_TRUE(memory.findChild<QLabel*>()->text().startsWith(u"Mem Allocated: "));
    memory.show();
    memory.move(3, 4);
    memory.hide();
    memory.show();
    EXPECT_EQ(memory.pos(), QPoint(3, 4));
}

TEST(VersionCheck, EndingTheProgramResetsTheConnection)
{
    LoopbackServer server("2.1");
    CheckRun run("localhost", server.port()); // the name may give ::1 first; the server is on IPv4
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.check->dataEventCount() == 1; }));
    const int fd = static_cast<int>(server.last->socketDescriptor());
    run.check.reset();
    // No events are pumped from here on, so Qt does not take the outcome first.
    pollfd readable{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    char byte = 0;
    EXPECT_EQ(::recv(fd, &byte, 1, MSG_DONTWAIT), -1) << "an orderly close reads as 0";
    EXPECT_EQ(errno, ECONNRESET);
}

} // namespace
} // namespace zarvello
