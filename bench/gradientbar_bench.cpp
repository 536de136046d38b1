// One paint of the meter's bar (169 × 16, horizontal, half full) against a
// plain fill of an image of the same size, timed in the same run.
#include "widgets/GradientBar.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>

namespace zarvello {
namespace {

constexpr int kWidth = 169;
constexpr int kHeight = 16;

using Clock = std::chrono::steady_clock;

double nsPerRound(Clock::duration spent, std::int64_t rounds)
{
    return std::chrono::duration<double, std::nano>(spent).count() /
           static_cast<double>(rounds > 0 ? rounds : 1);
}

double fillBaselineNs()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    constexpr std::int64_t kRounds = 20000;
    const auto start = Clock::now();
    for (std::int64_t i = 0; i < kRounds; ++i) {
        image.fill(i % 2 == 0 ? Qt::blue : Qt::red);
        benchmark::DoNotOptimize(image.constBits());
    }
    return nsPerRound(Clock::now() - start, kRounds);
}

void BM_GradientBar_PlainFillBaseline(benchmark::State& state)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::int64_t i = 0;
    while (state.KeepRunning()) {
        image.fill(++i % 2 == 0 ? Qt::blue : Qt::red);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_GradientBar_PlainFillBaseline);

// A position change (alternating between 50 and 51 of 100, so every round
// composes afresh) followed by the copy that paintEvent makes.
void BM_GradientBar_Paint(benchmark::State& state)
{
    const double baseline = fillBaselineNs();
    GradientBar bar;
    bar.resize(kWidth, kHeight);
    bar.setStartColour(clBlue);
    bar.setEndColour(clAqua);
    bar.setMaxValue(100);
    bar.setTextVisible(state.range(0) != 0);
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);

    std::int64_t rounds = 0;
    const auto start = Clock::now();
    while (state.KeepRunning()) {
        bar.setPosition(50 + static_cast<int>(rounds++ % 2));
        QPainter painter(&screen);
        painter.drawImage(0, 0, bar.image());
    }
    const double spent = nsPerRound(Clock::now() - start, rounds);
    state.counters["baseline_ns"] = baseline;
    state.counters["ratio"] = spent / baseline;
    state.SetLabel(state.range(0) != 0 ? "with percent text" : "without text");
}
BENCHMARK(BM_GradientBar_Paint)->Arg(0)->Arg(1);

} // namespace
} // namespace zarvello
