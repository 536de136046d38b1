#pragma once

#include <cstdint>
#include <limits>

namespace zarvello {

// a × b / d with a 64-bit intermediate, rounded to nearest with halves away
// from zero; −1 when d is 0 or the result does not fit in 32 bits.
constexpr int mulDiv(int a, int b, int d)
{
    if (d == 0) {
        return -1;
    }
    const std::int64_t product = std::int64_t{a} * b;
    std::int64_t quotient = product / d;
    const std::int64_t remainder = product % d;
    const std::int64_t absRemainder = remainder < 0 ? -remainder : remainder;
    const std::int64_t absDivisor = d < 0 ? -std::int64_t{d} : std::int64_t{d};
    if (2 * absRemainder >= absDivisor) {
        quotient += ((product < 0) != (d < 0)) ? -1 : 1;
    }
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(quotient);
}

} // namespace zarvello
