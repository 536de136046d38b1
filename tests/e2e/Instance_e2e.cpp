// One copy per program file name, seen from outside: later copies hand over to the running one
// without a window of their own, renamed copies run alone, and a killed copy leaves no trace.
#include "E2e.h"

#include <functional>

namespace zarvello::e2e {
namespace {

using Instances = E2eTest;

TEST_F(Instances, LaterCopiesHandOverRenamedOnesRunAloneAndAKilledOneLeavesNoTrace)
{
    // Not on top, so that another program's window can lie over it.
    ASSERT_NO_FATAL_FAILURE(writeOptions(kHeader + storedValues(200, 150)));
    Child& first = start();
    const Win w = windowOf(first);
    ASSERT_NE(w, 0UL);
    const Win other = otherWindow();
    ASSERT_NE(other, 0UL);

    // A minimise sent just after a restore is now and then undone: it is sent again.
    const auto minimise = [&] {
        return x().run("xdotool", {"windowminimize", QString::number(w)}) &&
               waitUntil([&] { return x().minimised(w); }, 1s);
    };
    const struct
    {
        const char* name;
        std::function<bool()> setUp;
        QString program;
    } rows[] = {
        {"minimised", minimise, ZARVELLO_PROGRAM},
        {"under another window", [&] { return x().activate(other) && x().stackedAbove(other, w); },
         ZARVELLO_PROGRAM},
        {"same file name elsewhere", minimise, copyProgram("elsewhere/zarvello")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(waitUntil(row.setUp));
        // Every window openbox takes on meanwhile is in this log: there must be none.
        const QString log = path(QString("clients-%1.txt").arg(row.name));
        Child spy("stdbuf", {"-oL", "xprop", "-root", "-spy", "_NET_CLIENT_LIST"}, x().env(), log);
        QFile clients(log);
        ASSERT_TRUE(waitUntil([&] { return clients.size() > 0; }));
        Child& copy = start(row.program);
        EXPECT_TRUE(copy.endsCleanly()) << "the copy did not hand over";
        EXPECT_TRUE(waitUntil([&] { return x().shown(w) && x().stackedAbove(w, other); }));
        spy.stop();
        ASSERT_TRUE(clients.open(QIODevice::ReadOnly));
        EXPECT_EQ(clients.readAll().count('\n'), 1) << "the copy showed a window";
    }

    // Another file name is a program of its own: it runs beside the first and ends alone.
    Child& renamed = start(copyProgram("copies/zarvello-renamed"));
    const Win renamedWindow = windowOf(renamed);
    EXPECT_TRUE(renamedWindow && renamedWindow != w);
    renamed.signal(SIGTERM);
    EXPECT_TRUE(renamed.endsCleanly());
    EXPECT_TRUE(first.running() && x().viewable(w));

    first.signal(SIGKILL);
    EXPECT_NE(windowOf(start()), 0UL) << "a killed copy still counts as running";
}

} // namespace
} // namespace zarvello::e2e
