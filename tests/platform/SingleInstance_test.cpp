#include "platform/SingleInstance.h"

#include "support/Wait.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace zarvello {
namespace {

// The first copy of "zarvello" in `dir` answers a second copy's request,
// which is written synchronously and seen on the first copy's event loop.
void expectActivation(const QString& dir)
{
    SingleInstance first(QStringLiteral("zarvello"), dir);
    ASSERT_TRUE(first.isFirst());
    first.listen();
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    SingleInstance second(QStringLiteral("zarvello"), dir);
    EXPECT_FALSE(second.isFirst());
    EXPECT_TRUE(SingleInstance(QStringLiteral("zarvello-copy"), dir).isFirst())
        << "another file name runs on its own";
    bool sent = false;
    std::thread asker([&] { sent = second.activateRunningCopy(3000); });
    EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
    asker.join();
    EXPECT_TRUE(sent);
}

TEST(SingleInstance, SecondCopyAsksTheFirstToComeForwardAndTheLockEndsWithIt)
{
    QTemporaryDir dir;
    expectActivation(dir.path());
    expectActivation(dir.path()); // the first copy's lock and socket went with it
}

TEST(SingleInstance, StaleLockAndSocketOfACrashedCopyAreTakenOver)
{
    QTemporaryDir dir;
    // A lock file naming a process that no longer exists, and its dead socket file.
    QFile lock(dir.filePath(QStringLiteral("zarvello.lock")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\nzarvello\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    QFile socket(dir.filePath(QStringLiteral("zarvello.socket")));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();
    expectActivation(dir.path());
}

TEST(SingleInstance, UnusableFolderLetsTheCopyRunAndNobodyAnswers)
{
    SingleInstance lonely(QStringLiteral("zarvello"), QStringLiteral("/nonexistent/zarvello-test"));
    EXPECT_TRUE(lonely.isFirst());
    EXPECT_FALSE(lonely.activateRunningCopy(200));
}

} // namespace
} // namespace zarvello
