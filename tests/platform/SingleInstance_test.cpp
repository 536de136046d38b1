#include "platform/SingleInstance.h"

#include "support/Wait.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace zarvello {
namespace {

TEST(SingleInstance, SecondCopyAsksTheFirstToComeForwardAndTheLockEndsWithIt)
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("zarvello");
    // The second copy's request is written synchronously and seen on the first
    // copy's event loop; the second round finds what the first left behind.
    for (int round = 0; round < 2; ++round) {
        SingleInstance first(name, dir.path());
        ASSERT_TRUE(first.isFirst());
        first.listen();
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        SingleInstance second(name, dir.path());
        EXPECT_FALSE(second.isFirst());
        bool sent = false;
        std::thread asker([&] { sent = second.activateRunningCopy(3000); });
        EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
        asker.join();
        EXPECT_TRUE(sent);
    }
    SingleInstance lonely(name, QStringLiteral("/nonexistent/zarvello-test"));
    EXPECT_TRUE(lonely.isFirst()) << "an unusable folder lets the copy run";
}

} // namespace
} // namespace zarvello
