#include "platform/SingleInstance.h"

#include "support/Wait.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace zarvello {
namespace {

TEST(SingleInstance, SecondCopyOfTheSameNameAsksTheFirstToComeForward)
{
    QTemporaryDir dir;
    SingleInstance first(QStringLiteral("zarvello"), dir.path());
    ASSERT_TRUE(first.isFirst());
    first.listen();
    QSignalSpy activations(&first, &SingleInstance::activationRequested);

    SingleInstance second(QStringLiteral("zarvello"), dir.path());
    EXPECT_FALSE(second.isFirst());
    SingleInstance renamed(QStringLiteral("zarvello-copy"), dir.path());
    EXPECT_TRUE(renamed.isFirst()) << "another file name runs on its own";

    // The request is written synchronously; the first copy sees it on its event loop.
    bool sent = false;
    std::thread asker([&] { sent = second.activateRunningCopy(3000); });
    EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
    asker.join();
    EXPECT_TRUE(sent);
}

TEST(SingleInstance, LockIsFreedWhenTheFirstCopyEnds)
{
    QTemporaryDir dir;
    {
        SingleInstance first(QStringLiteral("zarvello"), dir.path());
        ASSERT_TRUE(first.isFirst());
    }
    SingleInstance next(QStringLiteral("zarvello"), dir.path());
    EXPECT_TRUE(next.isFirst());
}

TEST(SingleInstance, StaleLockAndSocketOfACrashedCopyAreTakenOver)
{
    QTemporaryDir dir;
    // A lock file naming a process that no longer exists, and its dead socket file.
    QFile lock(dir.path() + QStringLiteral("/zarvello.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\nzarvello\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    QFile socket(dir.path() + QStringLiteral("/zarvello.socket"));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();

    SingleInstance first(QStringLiteral("zarvello"), dir.path());
    ASSERT_TRUE(first.isFirst());
    first.listen();
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    SingleInstance second(QStringLiteral("zarvello"), dir.path());
    std::thread asker([&] { second.activateRunningCopy(3000); });
    EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
    asker.join();
}

TEST(SingleInstance, UnusableFolderLetsTheCopyRunAndNobodyAnswers)
{
    SingleInstance lonely(QStringLiteral("zarvello"), QStringLiteral("/nonexistent/zarvello-test"));
    EXPECT_TRUE(lonely.isFirst());
    EXPECT_FALSE(lonely.activateRunningCopy(200));
}

} // namespace
} // namespace zarvello
