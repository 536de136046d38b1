// A link that arrives with large counters and is then deleted, as when a container starts and
// stops. The program runs in a network namespace of the test's own with steady loopback
// traffic; its tray icon must show that traffic throughout.
#include "E2e.h"

namespace zarvello::e2e {
namespace {

// A shell in namespace `ns` sending datagrams to `address`, port 9, where nothing listens: the
// counters count them all the same.
QStringList udp(const QString& ns, const QString& address, const QString& loop)
{
    return {"netns", "exec", ns,
            "bash",  "-c",   "exec 3>/dev/udp/" + address + "/9; " + loop + " 2>/dev/null"};
}

class LinkChurn : public E2eTest
{
protected:
    void TearDown() override
    {
        traffic_.reset();
        E2eTest::TearDown(); // the program leaves the namespaces first
        for (const QString& ns : namespaces_)
            x().run("ip", {"netns", "del", ns});
    }
    bool ip(const QStringList& args) { return x().run("ip", args).has_value(); }
    double receivedBytes(const QString& ns, const QString& link)
    {
        return x()
            .run("ip",
                 {"netns", "exec", ns, "cat", "/sys/class/net/" + link + "/statistics/rx_bytes"})
            .value_or("")
            .trimmed()
            .toDouble();
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
        EXPECT_TRUE(waitUntil(
            [&] {
                auto total = x().pixels(window_, QRect(3 + 26, 19 + 2, 66, 13));
                rewrites += total != shown ? 1 : 0;
                shown.swap(total);
                emptied = emptied || !trayShowsSpeed();
                return rewrites >= ticks;
            },
            Ms(4000 * ticks)))
            << "the in total was rewritten only " << rewrites << " times " << after;
        EXPECT_FALSE(emptied) << "the in speed fell to nothing or below, or the peak jumped, "
                              << after;
    }

    std::vector<QString> namespaces_;
    std::unique_ptr<Child> traffic_;
    Win window_ = 0;
    Win tray_ = 0;
};

TEST_F(LinkChurn, ALinkArrivingWithCountersAndLeavingMovesNeitherSpeedNorPeak)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making network namespaces needs root";
    for (const char* role : {"meter", "left", "right"}) {
        namespaces_.push_back(QString("zarvello-%1-%2").arg(role).arg(::getpid()));
        ASSERT_TRUE(ip({"netns", "add", namespaces_.back()}));
    }
    const QString meter = namespaces_[0], left = namespaces_[1], right = namespaces_[2];
    ASSERT_TRUE(ip({"-n", meter, "link", "set", "lo", "up"}));
    // About 500 KB a second over the meter's loopback.
    traffic_ = std::make_unique<Child>(
        "ip",
        udp(meter, "127.0.0.1",
            "while :; do for i in {1..20}; do printf %1000s >&3; done; sleep 0.04; done"),
        x().env());

    // The tray icon shows the in speed as a lime share of the peak: a jump of the peak empties
    // it under steady traffic, and so does a speed at or below nothing.
    ASSERT_NO_FATAL_FAILURE(
        writeOptions(header() + "\"TrayIcon\"=dword:00000001\n\"TrayIconIn\"=dword:00000001\n"
                                "\"TrayIconOut\"=dword:00000000\n\"TrayPercent\"=dword:00000001\n"
                                "\"TrayActual\"=dword:00000000\n\"TrayBakColor\"=dword:00000000\n"
                                "\"TrayForColor\"=dword:0000000a\n"));
    // The X server's abstract socket belongs to the test's namespace, so this also shows that
    // the program reaches the display through the socket file.
    Child& app = start("ip", {"netns", "exec", meter, ZARVELLO_PROGRAM});
    ASSERT_NE(window_ = mainWindow(app), 0UL);
    ASSERT_TRUE(waitUntil([&] { return (tray_ = x().trayIcon(app.pid())) != 0; }, kStartTimeout));
    ASSERT_TRUE(waitUntil([&] { return trayShowsSpeed(); }, kStartTimeout))
        << "the steady traffic did not show";

    // A veth pair between two other namespaces gets 40 MB on its counters.
    ASSERT_TRUE(ip({"-n", left, "link", "add", "zv0", "mtu", "65000", "type", "veth", "peer",
                    "name", "zv1", "mtu", "65000", "netns", right}));
    ASSERT_TRUE(ip({"-n", left, "addr", "add", "10.213.0.1/30", "dev", "zv0"}));
    ASSERT_TRUE(ip({"-n", right, "addr", "add", "10.213.0.2/30", "dev", "zv1"}));
    ASSERT_TRUE(ip({"-n", left, "link", "set", "zv0", "up"}));
    ASSERT_TRUE(ip({"-n", right, "link", "set", "zv1", "up"}));
    ASSERT_TRUE(waitUntil(
        [&] {
            x().run("ip",
                    udp(left, "10.213.0.2", "for i in {1..200}; do printf %60000s >&3; done"));
            return receivedBytes(right, "zv1") >= 40e6;
        },
        kStartTimeout))
        << "only " << receivedBytes(right, "zv1") << " bytes crossed the veth pair";

    ASSERT_TRUE(ip({"-n", right, "link", "set", "zv1", "netns", meter}));
    watch(5, "after the link arrived");
    ASSERT_TRUE(ip({"-n", meter, "link", "del", "zv1"}));
    watch(5, "after the link went");
}

} // namespace
} // namespace zarvello::e2e
