#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    // Widget benchmarks paint off screen, so no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
