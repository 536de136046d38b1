#pragma once

// The rtnetlink conversation that yields the summed link counters, without the
// socket: building the dump request and reading the kernel's replies. Pure
// byte-in, status-out code, so every malformed reply can be tried in a test.

#include "platform/CounterSource.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zarvello {

// Which dump to ask for. Stats is the cheap one (64-bit counters only); Links
// is the full link description, which every kernel with rtnetlink answers.
enum class LinkDumpKind : std::uint8_t { Stats, Links };

// Large enough for either request.
inline constexpr std::size_t kLinkDumpRequestCapacity = 32;

// Writes the dump request for `kind` into `out` and returns the part of `out`
// that holds it.
std::span<const std::byte>
buildLinkDumpRequest(LinkDumpKind kind, std::uint32_t seq,
                     std::array<std::byte, kLinkDumpRequestCapacity>& out);

// The index, name and state of a link from the body of an RTM_NEWLINK or
// RTM_DELLINK message; nothing when the body is malformed or has no name.
[[nodiscard]] std::optional<LinkInfo> readLinkInfo(std::span<const std::byte> payload);

// Applies the link notifications in one datagram of the RTNLGRP_LINK group:
// a new or changed link is updated, a deleted one removed. Anything else,
// and anything malformed, is passed over.
void applyLinkNotifications(std::span<const std::byte> datagram, LinkNames& names);

// Reads one dump reply, datagram by datagram, summing every link's rx and tx
// byte counters (each cut to its low 32 bits, the sums wrapping modulo 2^32)
// and keeping each link's own counters.
class LinkDumpParser
{
public:
    enum class Status : std::uint8_t {
        NeedMore, // consistent so far, the end has not been seen
        Done,     // the dump ended cleanly: sample() is the sample
        Refused,  // the kernel does not offer this dump (error reply before any link)
        Failed,   // error reply, interrupted dump, wrong sequence or malformed bytes
    };

    // The links go into `links`, emptied first; a caller that keeps the vector
    // across dumps keeps its capacity, so a warm dump allocates nothing.
    // A Links dump also notes each link's name and state in `infos`, when given.
    LinkDumpParser(LinkDumpKind kind, std::uint32_t seq, std::vector<LinkCounters>& links,
                   std::vector<LinkInfo>* infos = nullptr)
        : kind_(kind), seq_(seq), links_(links), infos_(infos)
    {
        links_.clear();
        if (infos_ != nullptr) {
            infos_->clear();
        }
    }

    // Takes the next datagram. Once the status is no longer NeedMore it stays
    // as it is and further datagrams are ignored.
    Status feed(std::span<const std::byte> datagram);

    [[nodiscard]] Status status() const { return status_; }
    // The sums and the links seen so far; the links stay valid while the
    // vector given to the constructor is left alone.
    [[nodiscard]] CounterSample sample() const { return {sums_.inOctets, sums_.outOctets, links_}; }

private:
    Status readMessage(std::uint16_t type, std::uint16_t flags, std::span<const std::byte> payload);
    bool addLink(std::span<const std::byte> payload);

    LinkDumpKind kind_;
    std::uint32_t seq_;
    Status status_ = Status::NeedMore;
    CounterSample sums_;
    std::vector<LinkCounters>& links_;
    std::vector<LinkInfo>* infos_;
};

} // namespace zarvello
