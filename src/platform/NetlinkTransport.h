#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarvello {

// The datagram exchange the counter source needs from a netlink socket,
// apart so that the source can be driven by scripted replies. The socket also
// hears the kernel's link notifications, which may come between replies.
class NetlinkTransport
{
public:
    enum class ReceiveStatus : std::uint8_t {
        Ok,
        Truncated, // the datagram did not fit; the next one will
        Failed,    // error, timeout or no socket
    };

    struct Received
    {
        ReceiveStatus status = ReceiveStatus::Failed;
        std::span<const std::byte> datagram; // valid until the next call
        bool notification = false;           // sent to a multicast group, not in reply
    };

    virtual ~NetlinkTransport() = default;

    // Sends one request to the kernel; false when it could not be sent.
    virtual bool send(std::span<const std::byte> request) = 0;
    // Blocks for the next datagram from the kernel.
    virtual Received receive() = 0;
    // Forgets whatever may still be queued from an abandoned exchange.
    virtual void reset() = 0;
};

} // namespace zarvello
