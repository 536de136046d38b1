#pragma once

#include "meter/MeasurementState.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace zarvello {

// The options the figures read at every tick.
struct FigureOptions
{
    bool kiloBytes = true;   // otherwise kilobits
    bool trayPercent = true; // tray scale is the peak; otherwise a fixed 100
    bool trayIconIn = true;  // tray shows the in rate; otherwise the out rate
    bool in = true;          // the in bar's position is written
    bool out = true;         // the out bar's position is written
};

// Everything one tick writes, in the order it must be written. Empty members
// are not written this tick.
struct FigureWrites
{
    std::optional<QString> maxSpeed;
    std::optional<int> barScale; // MaxValue of both bars
    std::optional<int> trayMax;
    std::optional<QString> inSpeed;
    std::optional<QString> outSpeed;
    std::optional<int> trayPosition;
    std::optional<int> inBarPosition;
    std::optional<int> outBarPosition;
    QString inTotal;
    QString outTotal;
};

[[nodiscard]] FigureWrites computeFigures(const TickResults& tick, const FigureOptions& options,
                                          const QLocale& locale);

} // namespace zarvello
