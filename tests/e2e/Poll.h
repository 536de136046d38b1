#pragma once

#include <chrono>
#include <thread>

namespace zarvello::e2e {

using namespace std::chrono_literals;

// How often a waiting test looks again: short enough not to slow the suite, long enough not
// to hog the two cores the whole build shares.
inline constexpr std::chrono::milliseconds kPollStep = 25ms;

// Calls `condition` until it holds or `timeout` has passed; looks once more at the deadline so
// that a slow machine gets the full time. Returns whether the condition held.
template <class Condition>
bool waitUntil(Condition&& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = kPollStep)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return static_cast<bool>(condition());
        std::this_thread::sleep_for(step);
    }
}

} // namespace zarvello::e2e
