// A link that arrives with large counters and is then deleted, as when a container starts and
// stops. The program runs in a network namespace of the test's own with steady loopback
// traffic; its tray icon must show that traffic throughout.
#include "E2e.h"

using namespace zarvello::e2e;

class LinkChurn : public E2eTest
{
protected:
    void TearDown() override
    {
        E2eTest::TearDown(); // the program and the traffic leave the namespaces first
        bash("for ns in \"$@\"; do ip netns del $ns 2>/dev/null || true; done");
    }
    // Runs `script` with the names of the meter's, the left and the right namespace as $1..$3.
    bool bash(const char* script)
    {
        return x().run("bash", QStringList{"-ec", script, "bash"} + namespaces_).has_value();
    }
    // Whether the tray icon shows any of its lime bar.
    bool trayShowsSpeed()
    {
        const QByteArray rgb = x().pixels(tray_);
        for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
            if (uchar(rgb[i]) < 60 && uchar(rgb[i + 1]) > 200 && uchar(rgb[i + 2]) < 60)
                return true;
        return false;
    }
    // Watches until the in total has been rewritten `ticks` times, so that the ticks since the
    // last event took their samples after it; the tray must show the speed all the while.
    void watch(int ticks, const char* after)
    {
        QByteArray shown;
        int rewrites = -1;
        bool emptied = false;
        const auto ticked = [&] {
            const auto total = x().pixels(window_, "66x13+29+21");
            rewrites += total != std::exchange(shown, total);
            emptied = emptied || !trayShowsSpeed();
            return rewrites >= ticks;
        };
        EXPECT_TRUE(waitUntil(ticked, Ms(4000 * ticks))) << after;
        EXPECT_FALSE(emptied) << "the speed fell to nothing or the peak jumped " << after;
    }

    const QString tag_ = QString::number(::getpid());
    const QStringList namespaces_{"zv-meter-" + tag_, "zv-left-" + tag_, "zv-right-" + tag_};
    Win window_ = 0;
    Win tray_ = 0;
};

TEST_F(LinkChurn, ALinkArrivingWithCountersAndLeavingMovesNeitherSpeedNorPeak)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making network namespaces needs root";
    ASSERT_TRUE(bash("for ns in \"$@\"; do ip netns add $ns; done; ip -n $1 link set lo up"));
    // About 500 KB a second over the meter's loopback, to port 9 where nothing listens: the
    // counters count the datagrams all the same.
    start("ip", {"netns", "exec", namespaces_[0], "bash", "-c",
                 "exec 3>/dev/udp/127.0.0.1/9; while :; do for i in {1..20}; do "
                 "printf %1000s >&3; done 2>/dev/null; sleep 0.04; done"});

    // The tray icon shows the in speed as a lime share of the peak: a jump of the peak empties
    // it under steady traffic, and so does a speed at or below nothing.
    ASSERT_NO_FATAL_FAILURE(
        writeOptions(kHeader + "\"TrayIcon\"=dword:00000001\n\"TrayIconIn\"=dword:00000001\n"
                               "\"TrayIconOut\"=dword:00000000\n\"TrayPercent\"=dword:00000001\n"
                               "\"TrayActual\"=dword:00000000\n\"TrayBakColor\"=dword:00000000\n"
                               "\"TrayForColor\"=dword:0000000a\n"));
    // The X server's abstract socket belongs to the test's namespace, so this also shows that
    // the program reaches the display through the socket file.
    Child& app = start("ip", {"netns", "exec", namespaces_[0], ZARVELLO_PROGRAM});
    ASSERT_NE(window_ = windowOf(app), 0UL);
    ASSERT_TRUE(waitUntil([&] { return (tray_ = x().trayIcon(app.pid())) != 0; }, kStartTimeout));
    ASSERT_TRUE(waitUntil([&] { return trayShowsSpeed(); }, kStartTimeout));

    // A veth pair between the two other namespaces gets 40 MB on its counters, then moves in.
    ASSERT_TRUE(bash(R"(
        ip -n $2 link add zv0 mtu 65000 type veth peer name zv1 mtu 65000 netns $3
        ip -n $2 addr add 10.213.0.1/30 dev zv0 && ip -n $2 link set zv0 up
        ip -n $3 addr add 10.213.0.2/30 dev zv1 && ip -n $3 link set zv1 up
        for round in $(seq 100); do
            ip netns exec $2 bash -c 'exec 3>/dev/udp/10.213.0.2/9
                for i in {1..200}; do printf %60000s >&3; done 2>/dev/null' || true
            rx=$(ip netns exec $3 cat /sys/class/net/zv1/statistics/rx_bytes)
            if [ $rx -ge 40000000 ]; then exec ip -n $3 link set zv1 netns $1; fi
        done
        exit 1)"));
    watch(5, "after the link arrived");
    ASSERT_TRUE(bash("ip -n $1 link del zv1"));
    watch(5, "after the link went");
}
