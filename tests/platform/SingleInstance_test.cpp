#include "platform/SingleInstance.h"

#include "support/Wait.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;

// The first copy of "zarvello" in `dir` answers a second copy's request,
// which is written synchronously and seen on the first copy's event loop.
void expectActivation(const QString& dir)
{
    SingleInstance first(u"zarvello"_s, dir);
    ASSERT_TRUE(first.isFirst());
    first.listen();
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    SingleInstance second(u"zarvello"_s, dir);
    EXPECT_FALSE(second.isFirst());
    bool sent = false;
    std::thread asker([&] { sent = second.activateRunningCopy(3000); });
    EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
    asker.join();
    EXPECT_TRUE(sent);
}

TEST(SingleInstance, SecondCopyAsksTheFirstToComeForwardAndCrashedCopiesAreTakenOver)
{
    QTemporaryDir dir;
    expectActivation(dir.path());
    expectActivation(dir.path()); // the first copy's lock and socket went with it
    // A lock file naming a process that no longer exists, and its dead socket file.
    QFile lock(dir.filePath(u"zarvello.lock"_s));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\nzarvello\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    QFile socket(dir.filePath(u"zarvello.socket"_s));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();
    expectActivation(dir.path());

    SingleInstance lonely(u"zarvello"_s, u"/nonexistent/zarvello-test"_s);
    EXPECT_TRUE(lonely.isFirst()) << "an unusable folder lets the copy run";
    EXPECT_FALSE(lonely.activateRunningCopy(200));
}

} // namespace
} // namespace zarvello
