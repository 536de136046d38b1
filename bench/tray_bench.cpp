#include "widgets/TrayMeterIcon.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace {

using zarvello::TrayProgressLook;

// This thread's CPU time: the two cores are shared, so wall time says little.
double cpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Nanoseconds per plain 16 x 16 fill, the best of a few batches, measured in the same run.
double baselineNs()
{
    constexpr int batches = 5;
    constexpr int rounds = 5000;
    double best = 0;
    for (int b = 0; b < batches; ++b) {
        const double start = cpuNs();
        for (int i = 0; i < rounds; ++i) {
            QImage image(zarvello::kTrayIconSize, zarvello::kTrayIconSize, QImage::Format_RGB32);
            image.fill(0xFFFFFF00u);
            benchmark::DoNotOptimize(image.constBits());
        }
        const double each = (cpuNs() - start) / rounds;
        best = b == 0 ? each : std::min(best, each);
    }
    return best;
}

// Runs the loop and reports its time per iteration against the baseline.
template <typename Body> void againstBaseline(benchmark::State& state, Body body)
{
    const double baseline = baselineNs();
    std::int64_t rounds = 0;
    const double start = cpuNs();
    for (auto _ : state) {
        body(rounds++);
    }
    const double spent = cpuNs() - start;
    state.counters["baseline_ns"] = baseline;
    state.counters["ratio"] =
        spent / static_cast<double>(std::max<std::int64_t>(rounds, 1)) / baseline;
}

TrayProgressLook mainWindowLook()
{
    TrayProgressLook look;
    look.kind = zarvello::BarKind::Vertical;
    look.foreColour = zarvello::clBlue;
    look.backColour = zarvello::clBtnFace;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(8);
    look.font = zarvello::trayDrawingFont(font);
    return look;
}

void BM_PlainFill(benchmark::State& state)
{
    againstBaseline(state, [](std::int64_t) {
        QImage image(zarvello::kTrayIconSize, zarvello::kTrayIconSize, QImage::Format_RGB32);
        image.fill(0xFFFFFF00u);
        benchmark::DoNotOptimize(image.constBits());
    });
}
BENCHMARK(BM_PlainFill);

void BM_TrayImageWithFigure(benchmark::State& state)
{
    TrayProgressLook look = mainWindowLook();
    againstBaseline(state, [&look](std::int64_t i) {
        look.position = static_cast<int>(i % 101);
        const QImage image = zarvello::drawTrayProgress(look);
        benchmark::DoNotOptimize(image.constBits());
    });
}
BENCHMARK(BM_TrayImageWithFigure);

// A tick that moves the bar: drawing plus the icon handed to the (hidden) tray.
void BM_TrayTickChanged(benchmark::State& state)
{
    zarvello::TrayMeterIcon bar;
    bar.setKind(zarvello::BarKind::Vertical);
    againstBaseline(state, [&bar](std::int64_t i) {
        bar.setMaximum(100);
        bar.setPosition(static_cast<int>(i % 101));
    });
}
BENCHMARK(BM_TrayTickChanged);

// A tick that writes the same values again: no drawing at all.
void BM_TrayTickUnchanged(benchmark::State& state)
{
    zarvello::TrayMeterIcon bar;
    bar.setPosition(42);
    againstBaseline(state, [&bar](std::int64_t) {
        bar.setMaximum(100);
        bar.setPosition(42);
    });
}
BENCHMARK(BM_TrayTickUnchanged);

} // namespace
