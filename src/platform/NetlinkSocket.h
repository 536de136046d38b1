#pragma once

#include "platform/NetlinkTransport.h"

#include <chrono>
#include <vector>

namespace zarvello {

// An rtnetlink socket, opened on first use and kept open until reset() or
// destruction. Receives into one buffer that only ever grows.
class NetlinkSocket final : public NetlinkTransport
{
public:
    // Big enough for any dump datagram the kernel builds for a reader whose
    // buffer is this size; a longer one (a huge first message) grows it.
    static constexpr std::size_t kInitialBufferSize = std::size_t{32} * 1024;

    // The kernel answers at once; the timeout only keeps a broken socket from
    // hanging the caller.
    static constexpr std::chrono::milliseconds kDefaultReceiveTimeout{500};

    explicit NetlinkSocket(std::chrono::milliseconds receiveTimeout = kDefaultReceiveTimeout);
    ~NetlinkSocket() override;
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    bool send(std::span<const std::byte> request) override;
    Received receive() override;
    void reset() override;

private:
    bool open();

    std::chrono::milliseconds receiveTimeout_;
    int fd_ = -1;
    std::vector<std::byte> buffer_;
};

} // namespace zarvello
