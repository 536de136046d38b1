// The version check of the real program against a version server on this machine.
#include "E2eTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace zarvello::e2e {
namespace {

constexpr quint16 kVersionPort = 2645;

// Binds the version port on 127.0.0.1 (serving) and ::1 (refusing, so that the name's other
// address fails at once); answers each connection's 8-byte request with `reply` and keeps it
// open, as a server that has said its piece.
class VersionServer
{
public:
    explicit VersionServer(QByteArray reply) : reply_(std::move(reply))
    {
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(kVersionPort);
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in6 v6{};
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(kVersionPort);
        v6.sin6_addr = in6addr_loopback;
        const int on = 1;
        v6_ = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setsockopt(v6_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        ::bind(v6_, reinterpret_cast<sockaddr*>(&v6), sizeof v6);
        v4_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setsockopt(v4_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ready_ =
            ::bind(v4_, reinterpret_cast<sockaddr*>(&v4), sizeof v4) == 0 && ::listen(v4_, 4) == 0;
        if (ready_)
            thread_ = std::thread([this] { serve(); });
    }
    ~VersionServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        for (int fd : clients_)
            ::close(fd);
        ::close(v4_);
        ::close(v6_);
    }
    bool ready() const { return ready_; }
    std::atomic<int> requests{0}; // "Zarvello" requests answered

private:
    bool readable(int fd)
    {
        for (pollfd wanted{fd, POLLIN, 0}; !stop_; wanted.revents = 0)
            if (::poll(&wanted, 1, 50) > 0)
                return true;
        return false;
    }
    void serve()
    {
        while (readable(v4_)) {
            const int client = ::accept4(v4_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            clients_.push_back(client);
            QByteArray got;
            char buffer[64];
            for (ssize_t n = 1; got.size() < 8 && n > 0 && readable(client);)
                if ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
                    got.append(buffer, n);
            if (got == "Zarvello") {
                ::send(client, reply_.constData(), reply_.size(), MSG_NOSIGNAL);
                ++requests;
            }
        }
    }

    QByteArray reply_;
    int v4_ = -1, v6_ = -1;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::vector<int> clients_;
    std::thread thread_;
};

using VersionCheck = E2eTest;

TEST_F(VersionCheck, ANewerVersionFromTheServerShowsTheNotice)
{
    VersionServer server("2.2:www.example.org/download");
    ASSERT_TRUE(server.ready()) << "port " << kVersionPort << " on 127.0.0.1 is taken";
    AppProcess& app = startProgram();
    ASSERT_TRUE(app.waitForMainWindow());
    EXPECT_TRUE(
        waitUntil([&] { return !x().windowsOf(app.pid(), "New version available!!").empty(); },
                  kWindowTimeout))
        << server.requests << " requests answered";
    EXPECT_EQ(server.requests, 1);
    EXPECT_TRUE(app.isRunning());
}

} // namespace
} // namespace zarvello::e2e
