#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarvello {

// What the kernel says about one link apart from its counters.
struct LinkInfo
{
    std::uint32_t index = 0;
    std::string name;
    bool loopback = false;
    bool up = false; // administratively up and with a carrier

    friend bool operator==(const LinkInfo&, const LinkInfo&) = default;
};

// The links the kernel has announced, found by index in logarithmic time and
// listed in the order the kernel gave them. The generation changes with every
// change, so a reader can keep what it worked out until the next one.
class LinkNames
{
public:
    [[nodiscard]] const LinkInfo* find(std::uint32_t index) const;
    // Adds the link, or updates the one with its index (a rename keeps its place).
    void update(const LinkInfo& info);
    void remove(std::uint32_t index);
    // All links at once, in the kernel's order.
    void assign(const std::vector<LinkInfo>& links);
    void clear();

    [[nodiscard]] std::vector<LinkInfo> inKernelOrder() const;
    [[nodiscard]] std::uint64_t generation() const { return generation_; }

private:
    struct Entry
    {
        LinkInfo info;
        std::uint64_t order = 0;
    };
    template <class Entries> static auto lowerBound(Entries& entries, std::uint32_t index);

    std::vector<Entry> entries_; // sorted by index
    std::uint64_t nextOrder_ = 0;
    std::uint64_t generation_ = 0;
};

} // namespace zarvello
