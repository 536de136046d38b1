// A link that arrives with large counters and is then deleted, as when a container starts
// and stops: the real program runs in a network namespace of the test's own, with steady
// loopback traffic, and its bars and tray icon must show that traffic throughout.
#include "E2eTest.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

// Last: Xlib's macros clash with Qt's and gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zarvello::e2e {
namespace {

constexpr int kLime = 10; // colour index of clLime
constexpr int kBlue = 12;
constexpr int kBlack = 0;
// Inner area of the in bar: 169 x 16 less the one-pixel bevel.
constexpr int kBarPixels = 167 * 14;
// Where the in total is written, relative to the window (3-pixel border, 16-pixel caption).
const QRect kInTotal(3 + 26, 19 + 2, 66, 13);

bool ip(const QStringList& args, QString* errors = nullptr)
{
    QProcess process;
    process.start("ip", args);
    const bool ok = process.waitForFinished(10000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (errors)
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return ok;
}

// A socket of `type` made in the namespace `ns`. A socket stays in the namespace it was made
// in, so only this thread visits `ns`, and only for the one call.
int socketIn(const QString& ns, int type)
{
    const int target = ::open(("/run/netns/" + ns).toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int fd = -1;
    if (target >= 0 && home >= 0 && ::setns(target, CLONE_NEWNET) == 0) {
        fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        if (::setns(home, CLONE_NEWNET) != 0)
            std::abort(); // the test thread would stay in the wrong namespace
    }
    for (int open : {target, home})
        if (open >= 0)
            ::close(open);
    return fd;
}

sockaddr_in address(const char* ip, in_port_t port = 0)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = port;
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

// A UDP receiver bound in `ns` to `ip`, and a sender in `from` aimed at it.
struct UdpPath
{
    UdpPath(const QString& from, const QString& ns, const char* ip)
        : sender(socketIn(from, SOCK_DGRAM)), receiver(socketIn(ns, SOCK_DGRAM | SOCK_NONBLOCK)),
          to(address(ip))
    {
        socklen_t length = sizeof to;
        ok = sender >= 0 && receiver >= 0 &&
             ::bind(receiver, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
             ::getsockname(receiver, reinterpret_cast<sockaddr*>(&to), &length) == 0;
    }
    ~UdpPath()
    {
        for (int fd : {sender, receiver})
            if (fd >= 0)
                ::close(fd);
    }
    UdpPath(const UdpPath&) = delete;
    UdpPath& operator=(const UdpPath&) = delete;

    // Sends one datagram and returns the bytes received since the last call.
    std::size_t send(std::size_t size)
    {
        const std::vector<char> chunk(size, 'z');
        ::sendto(sender, chunk.data(), chunk.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        std::size_t received = 0;
        char sink[2048];
        for (ssize_t n; (n = ::recv(receiver, sink, sizeof sink, 0)) > 0;)
            received += static_cast<std::size_t>(n);
        return received;
    }

    int sender;
    int receiver;
    sockaddr_in to;
    bool ok = false;
};

struct Look
{
    int barLime = 0;  // lime pixels of the window: the filled part of the in bar
    int trayLime = 0; // lime pixels of the tray icon: its filled part
    QByteArray inTotal;
};

bool isLime(unsigned long pixel)
{
    return ((pixel >> 16) & 0xFF) < 60 && ((pixel >> 8) & 0xFF) > 200 && (pixel & 0xFF) < 60;
}

class LinkChurn : public E2eTest
{
protected:
    void TearDown() override
    {
        stopTraffic();
        E2eTest::TearDown(); // the program leaves its namespace first
        for (const QString& ns : namespaces_)
            ip({"netns", "del", ns});
    }

    QString makeNamespace(const QString& role)
    {
        const QString ns = QString("zarvello-%1-%2").arg(role).arg(::getpid());
        ip({"netns", "del", ns}); // left over from a killed run
        QString errors;
        if (!ip({"netns", "add", ns}, &errors))
            return {};
        namespaces_.push_back(ns);
        ip({"-n", ns, "link", "set", "lo", "up"});
        return ns;
    }

    void storeOptions(const std::vector<std::pair<const char*, int>>& options)
    {
        const QString dir = configHome() + "/zarvello";
        ASSERT_TRUE(QDir().mkpath(dir));
        QByteArray content = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n";
        for (const auto& [name, value] : options)
            content += QByteArray("\"") + name +
                       "\"=dword:" + QByteArray::number(value, 16).rightJustified(8, '0') + "\n";
        QFile file(dir + "/registry.reg");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    // About 500 KB a second over the namespace's loopback until stopTraffic().
    void startTraffic(const QString& ns)
    {
        traffic_ = std::thread([this, ns] {
            UdpPath path(ns, ns, "127.0.0.1");
            trafficOk_ = path.ok;
            while (path.ok && !stop_) {
                for (int i = 0; i < 10; ++i)
                    path.send(1000);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    void stopTraffic()
    {
        stop_ = true;
        if (traffic_.joinable())
            traffic_.join();
    }

    int countLime(WindowId window, const QRect& within = {})
    {
        Display* display = x().xlib();
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0 ||
            attributes.map_state != IsViewable)
            return 0;
        XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                                  AllPlanes, ZPixmap);
        if (!image)
            return 0;
        const QRect area = within.isNull() ? QRect(0, 0, image->width, image->height) : within;
        int lime = 0;
        for (int y = area.top(); y <= area.bottom() && y < image->height; ++y)
            for (int x = area.left(); x <= area.right() && x < image->width; ++x)
                lime += isLime(XGetPixel(image, x, y)) ? 1 : 0;
        XDestroyImage(image);
        return lime;
    }

    QByteArray region(WindowId window, const QRect& r)
    {
        XImage* image =
            XGetImage(x().xlib(), window, r.x(), r.y(), static_cast<unsigned>(r.width()),
                      static_cast<unsigned>(r.height()), AllPlanes, ZPixmap);
        if (!image)
            return {};
        QByteArray bytes(image->data, image->bytes_per_line * image->height);
        XDestroyImage(image);
        return bytes;
    }

    Look look() { return {countLime(window_), countLime(tray_), region(window_, kInTotal)}; }

    // Watches until the in total has changed `ticks` times, so that that many ticks took
    // their sample after whatever happened before; returns the least filled bar and tray
    // seen meanwhile.
    Look watch(int ticks)
    {
        Look least = look();
        QByteArray shown = least.inTotal;
        int changes = 0;
        const bool ticked = waitUntil(
            [&] {
                const Look now = look();
                least.barLime = std::min(least.barLime, now.barLime);
                least.trayLime = std::min(least.trayLime, now.trayLime);
                if (now.inTotal != shown) {
                    shown = now.inTotal;
                    ++changes;
                }
                return changes >= ticks;
            },
            std::chrono::milliseconds(4000 * ticks));
        EXPECT_TRUE(ticked) << "the in total changed only " << changes << " times";
        return least;
    }

    std::vector<QString> namespaces_;
    std::thread traffic_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> trafficOk_{false};
    WindowId window_ = 0;
    WindowId tray_ = 0;
};

TEST_F(LinkChurn, ALinkArrivingWithCountersAndLeavingChangesNeitherSpeedNorPeak)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making network namespaces needs root";
    const QString meter = makeNamespace("meter");
    if (meter.isEmpty())
        GTEST_SKIP() << "ip netns is not available here";
    const QString left = makeNamespace("left");
    const QString right = makeNamespace("right");
    ASSERT_FALSE(left.isEmpty() || right.isEmpty());

    // Bars and tray icon lime on black or blue, so their filled parts can be counted; the tray
    // shows the in speed in KB/s against a fixed 100, so any negative speed empties it.
    storeOptions({{"In", 1},
                  {"Out", 1},
                  {"MaxSpeed", 1},
                  {"InColor1", kLime},
                  {"InColor2", kLime},
                  {"OutColor1", kBlue},
                  {"OutColor2", kBlue},
                  {"TrayIcon", 1},
                  {"TrayIconIn", 1},
                  {"TrayIconOut", 0},
                  {"TrayPercent", 0},
                  {"TrayActual", 1},
                  {"TrayBakColor", kBlack},
                  {"TrayForColor", kLime},
                  {"PeakSpeed", 0}});
    startTraffic(meter);

    // The program inside the namespace. The X server's abstract socket is per namespace, so
    // this also shows that the program reaches the display through the socket file.
    const QString launcher = homeDir() + "/in-namespace.sh";
    QFile script(launcher);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        ("#!/bin/sh\nexec ip netns exec " + meter + " '" + programPath() + "'\n").toLocal8Bit());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    AppProcess& app = startProgram(launcher);
    const auto window = app.waitForMainWindow();
    ASSERT_TRUE(window) << "no meter window; program output:\n" << app.output().toStdString();
    window_ = *window;
    const int panelTop = x().workArea().bottom() + 1;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (WindowId w : x().findWindowsOfPid(app.pid())) {
                const auto geometry = x().geometry(w);
                if (geometry && x().isViewable(w) && geometry->y >= panelTop)
                    tray_ = w;
            }
            return tray_ != 0;
        },
        kWindowTimeout))
        << "the tray icon did not appear";
    ASSERT_TRUE(trafficOk_) << "no loopback traffic in the namespace";

    // Steady traffic fills the bar well and the tray icon completely.
    const int filled = kBarPixels / 10;
    Look seen;
    ASSERT_TRUE(waitUntil(
        [&] {
            seen = look();
            return seen.barLime >= filled && seen.trayLime > 0;
        },
        kWindowTimeout))
        << "steady traffic never showed: bar " << seen.barLime << " tray " << seen.trayLime;

    // A veth pair between two other namespaces gets tens of megabytes on its counters.
    ASSERT_TRUE(ip(
        {"-n", left, "link", "add", "zv0", "type", "veth", "peer", "name", "zv1", "netns", right}));
    ASSERT_TRUE(ip({"-n", left, "addr", "add", "10.213.0.1/30", "dev", "zv0"}));
    ASSERT_TRUE(ip({"-n", right, "addr", "add", "10.213.0.2/30", "dev", "zv1"}));
    ASSERT_TRUE(ip({"-n", left, "link", "set", "zv0", "up"}));
    ASSERT_TRUE(ip({"-n", right, "link", "set", "zv1", "up"}));
    {
        UdpPath veth(left, right, "10.213.0.2");
        ASSERT_TRUE(veth.ok);
        constexpr std::size_t kPumped = 40'000'000;
        std::size_t received = 0;
        ASSERT_TRUE(waitUntil(
            [&] {
                for (int i = 0; i < 1000; ++i)
                    received += veth.send(1400);
                return received >= kPumped;
            },
            kWindowTimeout, std::chrono::milliseconds(0)))
            << "only " << received << " bytes crossed the veth pair";
    }

    // It arrives in the meter's namespace with those counters...
    ASSERT_TRUE(ip({"-n", right, "link", "set", "zv1", "netns", meter}));
    seen = watch(5);
    EXPECT_GE(seen.barLime, filled) << "the peak jumped: the bar emptied under steady traffic";
    EXPECT_GT(seen.trayLime, 0) << "the in speed went negative or to nothing";

    // ...and goes again.
    ASSERT_TRUE(ip({"-n", meter, "link", "del", "zv1"}));
    seen = watch(5);
    EXPECT_GE(seen.barLime, filled) << "the bar emptied under steady traffic";
    EXPECT_GT(seen.trayLime, 0) << "the in speed went negative when the link went";
}

} // namespace
} // namespace zarvello::e2e
