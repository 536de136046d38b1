#include "platform/AllocatorStats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace zarvello {
namespace {

TEST(AllocatorStats, CountsSmallAndLargeBlocksOfTheRunningProcess)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer replaces the C library's allocator";
#endif
    MallinfoAllocatorStats stats;
    // Small blocks come from the heap arenas; an 8 MiB one is mapped on its own.
    for (const auto& [blockSize, blocks] :
         {std::pair<std::size_t, int>{200, 5000}, {8U << 20, 1}}) {
        SCOPED_TRACE(blockSize);
        const std::uint32_t before = stats.allocatedBytes();
        std::vector<void*> held;
        for (int i = 0; i < blocks; ++i) {
            held.push_back(std::malloc(blockSize));
            ASSERT_NE(held.back(), nullptr);
            std::memset(held.back(), 0x5A, blockSize);
            asm volatile("" : : "r"(held.back()) : "memory"); // keeps the block
        }
        const std::uint32_t during = stats.allocatedBytes();
        for (void* block : held) {
            std::free(block);
        }
        const std::size_t total = blockSize * static_cast<std::size_t>(blocks);
        EXPECT_GE(during - before, total) << "before " << before << ", during " << during;
        EXPECT_LT(during - before, total * 2);
    }
}

} // namespace
} // namespace zarvello
