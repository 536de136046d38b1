#include "meter/Figures.h"

#include "meter/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zarvello {
namespace {

// Half away from zero, saturated so a freak value cannot overflow.
int roundToInt(double value)
{
    const double rounded = std::round(value);
    // Not a number counts as the low end.
    if (!(rounded >= std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(std::min<double>(rounded, std::numeric_limits<int>::max()));
}

} // namespace

FigureWrites computeFigures(const TickResults& tick, const FigureOptions& options,
                            const QLocale& locale)
{
    FigureWrites w;
    if (tick.ratesComputed) {
        const QString suffix = options.kiloBytes ? QStringLiteral(" KBs") : QStringLiteral(" Kbs");
        const int peak = tick.peakRate;
        // In 64 bits: peak × 8 overflows 32 bits above 268 MB/s.
        const std::int64_t peakUnits = options.kiloBytes ? peak : std::int64_t{peak} * 8;
        w.maxSpeed = QString::number(peakUnits / 1000) + suffix;

        if (peak < 1) {
            w.barScale = 1;
            w.trayMax = 1;
        } else {
            w.barScale = peak;
            w.trayMax = options.trayPercent ? peak / 1000 : 100;
        }

        const double factor = options.kiloBytes ? 1.0 : 8.0;
        w.inSpeed = formatOneDecimal(tick.inRate * factor / 1000, locale) + suffix;
        w.outSpeed = formatOneDecimal(tick.outRate * factor / 1000, locale) + suffix;

        // The tray always counts thousands of bytes, whatever the label units.
        w.trayPosition =
            peak < 0 ? 0 : roundToInt((options.trayIconIn ? tick.inRate : tick.outRate) / 1000);

        if (options.in) {
            w.inBarPosition = roundToInt(tick.inRate);
        }
        if (options.out) {
            w.outBarPosition = roundToInt(tick.outRate);
        }
    }
    w.inTotal = formatGrouped(tick.inOctets / 1000.0, locale) + QStringLiteral(" KB");
    w.outTotal = formatGrouped(tick.outOctets / 1000.0, locale) + QStringLiteral(" KB");
    return w;
}

} // namespace zarvello
