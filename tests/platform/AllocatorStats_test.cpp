#include "platform/AllocatorStats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZARVELLO_OWN_ALLOCATOR 1 // the sanitizer serves malloc, glibc's counts stay still
#else
#define ZARVELLO_OWN_ALLOCATOR 0
#endif

namespace zarvello {
namespace {

TEST(AllocatorStats, FigureIsBothKindsOfBlockCutTo32Bits)
{
    struct Case
    {
        std::size_t inUse;
        std::size_t mapped;
        std::uint32_t expected;
    };
    constexpr std::size_t k4G = std::size_t{1} << 32;
    const Case cases[] = {
        {0, 0, 0},         {1234567, 0, 1234567}, {1000, 2000000, 2001000},
        {k4G + 5, 10, 15}, {k4G - 1, 1, 0},       {k4G - 1, 0, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.inUse) + " + " + std::to_string(c.mapped));
        EXPECT_EQ(allocatedBytesFrom(c.inUse, c.mapped), c.expected);
    }
}

// Writes through the blocks so no allocation can be optimised away.
void touch(void* block, std::size_t size)
{
    std::memset(block, 0x5A, size);
    asm volatile("" : : "r"(block) : "memory");
}

TEST(AllocatorStats, CountsSmallAndLargeBlocksOfTheRunningProcess)
{
    if (ZARVELLO_OWN_ALLOCATOR) {
        GTEST_SKIP() << "the address sanitizer replaces the C library's allocator";
    }
    MallinfoAllocatorStats stats;
    struct Case
    {
        const char* what;
        std::size_t blockSize;
        int blocks;
    };
    // Small blocks come from the heap arenas; an 8 MiB one is mapped on its own.
    for (const Case c : {Case{"small", 200, 5000}, Case{"large", 8u << 20, 1}}) {
        SCOPED_TRACE(c.what);
        const std::uint32_t before = stats.allocatedBytes();
        std::vector<void*> held;
        for (int i = 0; i < c.blocks; ++i) {
            held.push_back(std::malloc(c.blockSize));
            ASSERT_NE(held.back(), nullptr);
            touch(held.back(), c.blockSize);
        }
        const std::uint32_t during = stats.allocatedBytes();
        for (void* block : held) {
            std::free(block);
        }
        const std::size_t total = c.blockSize * static_cast<std::size_t>(c.blocks);
        EXPECT_GE(during - before, total) << "before " << before << ", during " << during;
        EXPECT_LT(during - before, total * 2);
    }
}

} // namespace
} // namespace zarvello
