#include "meter/MulDiv.h"

#include <gtest/gtest.h>

#include <limits>

namespace zarvello {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndFlagsFailures)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    struct Case
    {
        int a, b, d, expected;
    };
    for (const Case c : {
             Case{1, 169, 3, 56},  // 56.33
             Case{2, 169, 3, 113}, // 112.67
             Case{1, 5, 2, 3},     // 2.5 → 3
             Case{-1, 5, 2, -3},   // −2.5 → −3
             Case{1, -5, 2, -3}, Case{-1, -5, 2, 3}, Case{1, 5, -2, -3}, Case{7, 1, 7, 1},
             Case{0, 100, 7, 0}, Case{5, 5, 0, -1}, // division by zero
             Case{kMax, kMax, 1, -1},               // overflow
             Case{kMax, kMax, kMax, kMax},          // intermediate needs 64 bits
         }) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.d), c.expected) << c.a << " * " << c.b << " / " << c.d;
    }
}

} // namespace
} // namespace zarvello
