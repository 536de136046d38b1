#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvello {

// The C library allocator's own count of the bytes the program holds.
class AllocatorStats
{
public:
    virtual ~AllocatorStats() = default;
    // Bytes allocated and not yet freed, cut to 32 bits.
    [[nodiscard]] virtual std::uint32_t allocatedBytes() = 0;
};

// The figure from glibc's allocator statistics: bytes in use in the heap
// arenas plus those in blocks mapped on their own (large allocations are
// served that way and would otherwise be missing), cut to 32 bits.
[[nodiscard]] std::uint32_t allocatedBytesFrom(std::size_t inUseBytes, std::size_t mappedBytes);

// mallinfo2() of the running process.
class MallinfoAllocatorStats final : public AllocatorStats
{
public:
    [[nodiscard]] std::uint32_t allocatedBytes() override;
};

// The statistics of the running process, shared by the whole program.
[[nodiscard]] AllocatorStats& systemAllocatorStats();

} // namespace zarvello
