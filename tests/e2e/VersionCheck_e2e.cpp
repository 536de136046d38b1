// The version check of the real program against a version server on this machine.
#include "E2eTest.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zarvello::e2e {
namespace {

constexpr quint16 kVersionPort = 2645;
const QString kNoticeTitle = QStringLiteral("New version available!!");

// Holds the version port on the loopback addresses for one test. With a
// reply it serves on 127.0.0.1 from a thread of its own: reads the request,
// answers, and keeps the connection open as a server that has said its piece.
// Without one it only binds the port, so connections are refused and no
// other server can take the port meanwhile.
class VersionPort
{
public:
    explicit VersionPort(std::optional<QByteArray> reply) : reply_(std::move(reply))
    {
        ipv4_ = bound(AF_INET);
        ipv6_ = bound(AF_INET6);
        if (ipv4_ < 0) {
            return;
        }
        if (reply_) {
            if (::listen(ipv4_, 4) != 0) {
                return;
            }
            server_ = std::thread([this] { serve(); });
        }
        ready_ = true;
    }

    ~VersionPort()
    {
        stop_ = true;
        if (server_.joinable()) {
            server_.join();
        }
        for (const int fd : {ipv4_, ipv6_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    VersionPort(const VersionPort&) = delete;
    VersionPort& operator=(const VersionPort&) = delete;

    bool ready() const { return ready_; }
    QByteArray request() const
    {
        const std::lock_guard lock(mutex_);
        return request_;
    }

private:
    static int bound(int family)
    {
        const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        int result = -1;
        if (family == AF_INET) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(kVersionPort);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        } else {
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_port = htons(kVersionPort);
            address.sin6_addr = in6addr_loopback;
            result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
        if (result != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    // Waits for the fd to become readable, giving up when the test ends.
    bool readable(int fd)
    {
        while (!stop_) {
            pollfd wanted{fd, POLLIN, 0};
            if (::poll(&wanted, 1, 50) > 0) {
                return true;
            }
        }
        return false;
    }

    void serve()
    {
        std::vector<int> open;
        while (readable(ipv4_)) {
            const int client = ::accept4(ipv4_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            open.push_back(client);
            QByteArray got;
            while (got.size() < 8 && readable(client)) {
                char buffer[64];
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                got.append(buffer, n);
            }
            {
                const std::lock_guard lock(mutex_);
                request_ = got;
            }
            if (got.size() >= 8) {
                (void)::send(client, reply_->constData(), reply_->size(), MSG_NOSIGNAL);
            }
        }
        for (const int fd : open) {
            ::close(fd);
        }
    }

    std::optional<QByteArray> reply_;
    int ipv4_ = -1;
    int ipv6_ = -1;
    bool ready_ = false;
    std::atomic<bool> stop_ = false;
    std::thread server_;
    mutable std::mutex mutex_;
    QByteArray request_;
};

class VersionCheck : public E2eTest
{
};

TEST_F(VersionCheck, ANewerVersionFromTheServerShowsTheNotice)
{
    VersionPort server(QByteArray("2.2:www.example.org/download"));
    ASSERT_TRUE(server.ready()) << "port " << kVersionPort << " on 127.0.0.1 is taken";

    AppProcess& app = startProgram();
    ASSERT_TRUE(app.waitForMainWindow()) << app.output().toStdString();
    EXPECT_TRUE(
        waitUntil([&] { return !x().findVisibleWindows(kNoticeTitle).empty(); }, kWindowTimeout))
        << "no notice; the server got \"" << server.request().toStdString() << "\"";
    EXPECT_EQ(server.request(), "Zarvello");
    EXPECT_TRUE(app.isRunning());
}

TEST_F(VersionCheck, WithoutAServerNothingIsShown)
{
    VersionPort refusing(std::nullopt);
    ASSERT_TRUE(refusing.ready()) << "port " << kVersionPort << " on 127.0.0.1 is taken";

    AppProcess& app = startProgram();
    const auto window = app.waitForMainWindow();
    ASSERT_TRUE(window) << app.output().toStdString();
    // The refusal comes at once; give the check the time a notice took above to show up.
    EXPECT_FALSE(
        waitUntil([&] { return !x().findVisibleWindows(kNoticeTitle).empty(); }, kReactionTimeout))
        << "a notice without a version server";
    EXPECT_TRUE(app.isRunning());
    EXPECT_TRUE(x().isViewable(*window)) << "the meter window went away";
}

} // namespace
} // namespace zarvello::e2e
