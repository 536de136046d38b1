#include "platform/AllocatorStats.h"

#include <malloc.h>

namespace zarvello {

std::uint32_t allocatedBytesFrom(std::size_t inUseBytes, std::size_t mappedBytes)
{
    // Unsigned arithmetic wraps, so the sum is cut to 32 bits like each part.
    return static_cast<std::uint32_t>(inUseBytes + mappedBytes);
}

std::uint32_t MallinfoAllocatorStats::allocatedBytes()
{
    const struct mallinfo2 info = ::mallinfo2();
    return allocatedBytesFrom(info.uordblks, info.hblkhd);
}

AllocatorStats& systemAllocatorStats()
{
    static MallinfoAllocatorStats stats;
    return stats;
}

} // namespace zarvello
