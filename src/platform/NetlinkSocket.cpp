#include "platform/NetlinkSocket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace zarvello {

NetlinkSocket::NetlinkSocket(std::chrono::milliseconds receiveTimeout)
    : receiveTimeout_(receiveTimeout), buffer_(kInitialBufferSize)
{
}

NetlinkSocket::~NetlinkSocket()
{
    reset();
}

bool NetlinkSocket::open()
{
    if (fd_ >= 0) {
        return true;
    }
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        return false;
    }
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(receiveTimeout_.count() / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((receiveTimeout_.count() % 1000) * 1000);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    // Link notifications keep the names current without a lookup per sample.
    local.nl_groups = 1U << (RTNLGRP_LINK - 1);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void NetlinkSocket::reset()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool NetlinkSocket::send(std::span<const std::byte> request)
{
    if (!open()) {
        return false;
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent = 0;
    do {
        sent = ::sendto(fd_, request.data(), request.size(), 0,
                        reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    return sent >= 0 && static_cast<std::size_t>(sent) == request.size();
}

NetlinkSocket::Received NetlinkSocket::receive()
{
    if (fd_ < 0) {
        return {};
    }
    for (;;) {
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC makes the call return the datagram's real length even when
        // it did not fit, so a cut datagram is noticed rather than parsed.
        const ssize_t length = ::recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_TRUNC,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {};
        }
        // Only the kernel's replies count; another process could write to our port.
        if (from.nl_pid != 0) {
            continue;
        }
        const auto size = static_cast<std::size_t>(length);
        if (size > buffer_.size()) {
            constexpr std::size_t kPage = 4096;
            buffer_.resize((size + kPage - 1) / kPage * kPage);
            return {ReceiveStatus::Truncated, {}};
        }
        return {ReceiveStatus::Ok, std::span<const std::byte>(buffer_).first(size),
                from.nl_groups != 0};
    }
}

} // namespace zarvello
