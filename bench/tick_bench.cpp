// One whole sampling tick of the meter window (statistics, figures, both bars
// composed, the tray image redrawn) against one real sample of the kernel's
// link counters, timed in the same run.
#include "app/FiguresPanel.h"
#include "app/MeterWindow.h"
#include "widgets/GradientBar.h"
#include "widgets/TrayMeterIcon.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace zarvello {
namespace {

using Clock = std::chrono::steady_clock;

// Counters that grow by a varying amount, so every tick changes every figure.
class GrowingCounters : public CounterSource
{
public:
    std::optional<CounterSample> takeSample() override
    {
        ++ticks_;
        in_ += 40000 + (ticks_ % 7) * 3000;
        out_ += 5000 + (ticks_ % 5) * 700;
        link_ = {.index = 1, .inOctets = in_, .outOctets = out_, .wide = true};
        return CounterSample{in_, out_, {&link_, 1}};
    }

private:
    std::uint32_t ticks_ = 0;
    std::uint32_t in_ = 1000;
    std::uint32_t out_ = 1000;
    LinkCounters link_;
};

double sampleBaselineNs()
{
    const auto counters = makeSystemCounterSource();
    constexpr int kRounds = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        benchmark::DoNotOptimize(counters->takeSample());
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kRounds;
}

void BM_MeterTick(benchmark::State& state)
{
    const double baseline = sampleBaselineNs();
    MeterWindow form(std::make_unique<GrowingCounters>());
    form.stopSampling(); // the benchmark drives the tick
    OptionValues settings = firstRunSettings();
    settings.Percent = true;
    form.settingsModel()->setValues(settings);
    form.arrange();
    form.onSamplingTick(); // priming

    std::int64_t rounds = 0;
    const auto start = Clock::now();
    while (state.KeepRunning()) {
        form.onSamplingTick();
        // What the repaint of each bar and the tray hand-over cost.
        benchmark::DoNotOptimize(form.figures()->inBar()->image().constBits());
        benchmark::DoNotOptimize(form.figures()->outBar()->image().constBits());
        benchmark::DoNotOptimize(form.trayIcon()->iconImage().constBits());
        ++rounds;
    }
    const double spent = std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                         static_cast<double>(rounds > 0 ? rounds : 1);
    state.counters["kernel_sample_ns"] = baseline;
    state.counters["ratio"] = spent / baseline;
}
BENCHMARK(BM_MeterTick);

} // namespace
} // namespace zarvello
