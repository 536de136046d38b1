#include "platform/TerminationSignals.h"

#include "support/Wait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <csignal>

namespace zarvello {
namespace {

// Either signal becomes a request on this thread instead of ending the process.
TEST(TerminationSignals, SigtermAndSigintEachBecomeARequest)
{
    TerminationSignals watcher;
    QSignalSpy requests(&watcher, &TerminationSignals::terminationRequested);
    for (const int sig : {SIGTERM, SIGINT}) {
        ASSERT_EQ(std::raise(sig), 0);
    }
    EXPECT_TRUE(waitUntil([&] { return requests.count() == 2; }));
}

} // namespace
} // namespace zarvello
