// The options file and the version server at the edges of a real run.
#include "E2e.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace zarvello::e2e {
namespace {

using Options = E2eTest;

TEST_F(Options, SigtermBeforeTheLoadLeavesTheStoredOptionsAlone)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(kHeader + storedValues(200, 150)));
    Child& app = start();
    // The window exists from the start; the load follows a tenth of a second later.
    ASSERT_TRUE(
        waitUntil([&] { return !x().windows(app.pid(), {}, false).empty(); }, kStartTimeout));
    app.signal(SIGTERM);
    ASSERT_TRUE(app.endsCleanly());
    // Unchanged, or saved as loaded if the load won the race; never the defaults.
    EXPECT_EQ(savedValues().toStdString(), storedValues(200, 150).toStdString());
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
    const QDir folder(QFileInfo(optionsPath()).path());
    const QStringList kept = folder.entryList({"registry.reg.bad-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    QFile copy(folder.filePath(kept.front()));
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
    QByteArray request;
    while (request.size() < 8 && peer->waitForReadyRead(int(kTimeout.count())))
        request += peer->readAll();
    EXPECT_EQ(request.toStdString(), "Zarvello");
    // The server says its piece and keeps the connection open.
    peer->write("2.2:www.example.org/download");
    ASSERT_TRUE(peer->waitForBytesWritten());
    EXPECT_TRUE(
        waitUntil([&] { return x().window(app.pid(), "New version available!!"); }, kStartTimeout));
    EXPECT_FALSE(server.hasPendingConnections()) << "a second request";
    EXPECT_TRUE(app.running());
}

} // namespace
} // namespace zarvello::e2e
