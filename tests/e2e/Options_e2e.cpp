// The options file and the version server at the edges of a real run.
#include "E2e.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace zarvello::e2e;

using Options = E2eTest;

TEST_F(Options, SigtermBeforeTheLoadLeavesTheStoredOptionsAlone)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(storedValues(200, 150)));
    Child& app = start();
    // The window exists from the start; the load follows a tenth of a second later.
    ASSERT_TRUE(
        waitUntil([&] { return !x().windows(app.pid(), {}, false).empty(); }, kStartTimeout));
    app.signal(SIGTERM);
    ASSERT_TRUE(app.endsCleanly());
    // Unchanged, or saved as loaded if the load won the race; never the defaults.
    EXPECT_TRUE(savedAt(200, 150));
}

// A damaged file: the window and a message come up at once, the file is kept aside as it
// was, and SIGTERM still ends the program.
TEST_F(Options, ADamagedFileGivesTheWindowAMessageAndIsKeptAside)
{
    const QByteArray damaged = kHeader + "\"Left\"=dword:00000\n\"Top\"=";
    ASSERT_NO_FATAL_FAILURE(writeOptions(damaged));
    Child& app = start();
    ASSERT_NE(windowOf(app, kMainTitle, 5s), 0UL);
    EXPECT_NE(windowOf(app, "Zarvello", 5s), 0UL) << "no message box";
    const QStringList kept = QDir(path(".config/zarvello")).entryList({"registry.reg.bad-*"});
    ASSERT_EQ(kept.size(), 1);
    QFile copy(path(".config/zarvello/" + kept.front()));
    EXPECT_TRUE(copy.open(QIODevice::ReadOnly) && copy.readAll() == damaged) << "not the original";
    app.signal(SIGTERM);
    EXPECT_TRUE(app.endsCleanly(2s));
}

TEST_F(Options, ANewerVersionFromTheServerShowsTheNotice)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 2645)) << "the version port is taken";
    Child& app = start();
    ASSERT_TRUE(server.waitForNewConnection(int(kStartTimeout.count())));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("2.2:www.example.org/download");
    ASSERT_TRUE(peer->waitForBytesWritten());
    EXPECT_TRUE(
        waitUntil([&] { return x().window(app.pid(), "New version available!!"); }, kStartTimeout));
}
