#include "meter/Figures.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(Figures, CaptionsScalesAndTrayPosition)
{
    const struct
    {
        const char* what;
        TickResults tick;
        FigureOptions options;
        const char *inSpeed, *maxSpeed;
        int barScale, trayMax, trayPosition;
    } rows[] = {
        // clang-format off
        {"bytes", {true, 12345, 0, 12345, 0, 0}, {}, "12.3 KBs", "12 KBs", 12345, 12, 12},
        {"bits; the tray still counts bytes", {true, 12345, 0, 12345, 0, 0}, {.kiloBytes = false}, "98.8 Kbs", "98 Kbs", 12345, 12, 12},
        {"no peak yet", {true, 500, 0, 0, 0, 0}, {}, "0.5 KBs", "0 KBs", 1, 1, 1},
        {"a peak of one byte is a peak", {true, 0, 0, 1, 0, 0}, {}, "0.0 KBs", "0 KBs", 1, 0, 0},
        {"peak under a thousand", {true, -40, 0, 500, 0, 0}, {}, "0.0 KBs", "0 KBs", 500, 0, 0},
        {"negative peak", {true, -4000, 0, -5000, 0, 0}, {}, "-4.0 KBs", "-5 KBs", 1, 1, 0},
        {"peak × 8 beyond 32 bits", {true, 0, 0, 300000000, 0, 0}, {.kiloBytes = false}, "0.0 Kbs", "2400000 Kbs", 300000000, 300000, 0},
        {"actual mode, out rate", {true, 0, 150000, 150000, 0, 0}, {.trayPercent = false, .trayIconIn = false}, "0.0 KBs", "150 KBs", 150000, 100, 150},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto w = computeFigures(row.tick, row.options, QLocale::c());
        EXPECT_EQ(w.inSpeed, QString::fromUtf8(row.inSpeed));
        EXPECT_EQ(w.maxSpeed, QString::fromUtf8(row.maxSpeed));
        EXPECT_EQ(w.barScale, row.barScale);
        EXPECT_EQ(w.trayMax, row.trayMax);
        EXPECT_EQ(w.trayPosition, row.trayPosition);
    }
    const FigureOptions bits{.kiloBytes = false};
    EXPECT_EQ(computeFigures({true, 0, 1000, 1000, 0, 0}, bits, QLocale::c()).outSpeed, "8.0 Kbs");
}

} // namespace
} // namespace zarvello
