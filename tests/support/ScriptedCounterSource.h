#pragma once

#include "platform/CounterSource.h"

#include <deque>
#include <optional>

namespace zarvello {

// Hands out the samples it was given, one per call; no sample once they run out.
class ScriptedCounterSource : public CounterSource
{
public:
    explicit ScriptedCounterSource(std::deque<std::optional<CounterSample>> script = {})
        : script_(std::move(script))
    {
    }

    void push(std::optional<CounterSample> sample) { script_.push_back(sample); }
    [[nodiscard]] int calls() const { return calls_; }

    std::optional<CounterSample> takeSample() override
    {
        ++calls_;
        if (script_.empty()) {
            return std::nullopt;
        }
        auto next = script_.front();
        script_.pop_front();
        return next;
    }

private:
    std::deque<std::optional<CounterSample>> script_;
    int calls_ = 0;
};

} // namespace zarvello
