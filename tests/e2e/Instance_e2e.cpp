// One copy at a time, seen from outside: a later copy hands over to the running one without a
// window of its own, a renamed copy runs alone, and a killed copy leaves no trace.
#include "E2e.h"

using namespace zarvello::e2e;

using Instances = E2eTest;

TEST_F(Instances, ALaterCopyHandsOverARenamedOneRunsAloneAndAKilledOneLeavesNoTrace)
{
    Child& first = start();
    const Win w = windowOf(first);
    ASSERT_NE(w, 0UL);
    // A minimise sent just after the first map is now and then undone: it is sent again.
    ASSERT_TRUE(waitUntil([&] {
        return x().run("xdotool", {"windowminimize", QString::number(w)}) &&
               waitUntil([&] { return x().minimised(w); }, 1s);
    }));
    // Every window openbox takes on meanwhile is in this log: there must be none.
    Child spy("stdbuf", {"-oL", "xprop", "-root", "-spy", "_NET_CLIENT_LIST"}, x().env(),
              path("clients.txt"));
    QFile clients(path("clients.txt"));
    ASSERT_TRUE(waitUntil([&] { return clients.size() > 0; }));
    EXPECT_TRUE(start().endsCleanly()) << "the copy did not hand over";
    EXPECT_TRUE(waitUntil([&] { return x().shown(w); }));
    spy.stop();
    ASSERT_TRUE(clients.open(QIODevice::ReadOnly));
    EXPECT_EQ(clients.readAll().count('\n'), 1) << "the copy showed a window";

    ASSERT_TRUE(QFile::copy(ZARVELLO_PROGRAM, path("zarvello-renamed")));
    EXPECT_NE(windowOf(start(path("zarvello-renamed"))), 0UL) << "a renamed copy handed over";

    first.signal(SIGKILL);
    EXPECT_NE(windowOf(start()), 0UL) << "a killed copy still counts as running";
}
