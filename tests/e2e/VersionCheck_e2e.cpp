// The version check of the real program against a version server on this machine.
#include "E2eTest.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace zarvello::e2e {
namespace {

using VersionCheck = E2eTest;

TEST_F(VersionCheck, ANewerVersionFromTheServerShowsTheNotice)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 2645)) << "the version port is taken";
    AppProcess& app = startProgram();
    ASSERT_TRUE(server.waitForNewConnection(static_cast<int>(kWindowTimeout.count())));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray request;
    while (request.size() < 8 && peer->waitForReadyRead(static_cast<int>(kReactionTimeout.count())))
        request += peer->readAll();
    EXPECT_EQ(request.toStdString(), "Zarvello");
    // The server says its piece and keeps the connection open.
    peer->write("2.2:www.example.org/download");
    ASSERT_TRUE(peer->waitForBytesWritten());
    EXPECT_TRUE(
        waitUntil([&] { return !x().windowsOf(app.pid(), "New version available!!").empty(); },
                  kWindowTimeout));
    EXPECT_FALSE(server.hasPendingConnections()) << "a second request";
    EXPECT_TRUE(app.isRunning());
}

} // namespace
} // namespace zarvello::e2e
