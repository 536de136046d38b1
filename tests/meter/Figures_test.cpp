#include "meter/Figures.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

const QLocale kC(QLocale::C);

TickResults rates(double in, double out, int peak)
{
    return {.ratesComputed = true, .inRate = in, .outRate = out, .peakRate = peak};
}

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
        {"bytes", rates(12345, 0, 12345), {}, "12.3 KBs", "12 KBs", 12345, 12, 12},
        {"bits; the tray still counts bytes", rates(12345, 0, 12345), {.kiloBytes = false}, "98.8 Kbs", "98 Kbs", 12345, 12, 12},
        {"no peak yet", rates(500, 0, 0), {}, "0.5 KBs", "0 KBs", 1, 1, 1},
        {"peak under a thousand", rates(-40, 0, 500), {}, "0.0 KBs", "0 KBs", 500, 0, 0},
        {"negative peak", rates(-4000, 0, -5000), {}, "-4.0 KBs", "-5 KBs", 1, 1, 0},
        {"peak × 8 beyond 32 bits", rates(0, 0, 300000000), {.kiloBytes = false}, "0.0 Kbs", "2400000 Kbs", 300000000, 300000, 0},
        {"actual mode, out rate", rates(0, 150000, 150000), {.trayPercent = false, .trayIconIn = false}, "0.0 KBs", "150 KBs", 150000, 100, 150},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto w = computeFigures(row.tick, row.options, kC);
        EXPECT_EQ(w.inSpeed, QString::fromUtf8(row.inSpeed));
        EXPECT_EQ(w.maxSpeed, QString::fromUtf8(row.maxSpeed));
        EXPECT_EQ(w.barScale, row.barScale);
        EXPECT_EQ(w.trayMax, row.trayMax);
        EXPECT_EQ(w.trayPosition, row.trayPosition);
    }
}

TEST(Figures, BarsFollowTheirSwitchesAndAPrimingTickWritesTotalsOnly)
{
    const auto inOff = computeFigures(rates(1234.5, 99.4, 5000), {.in = false}, kC);
    EXPECT_EQ(inOff.inBarPosition, std::nullopt);
    EXPECT_EQ(inOff.outBarPosition, 99);
    EXPECT_EQ(computeFigures(rates(1234.5, 0, 5000), {.out = false}, kC).inBarPosition, 1235);

    const TickResults priming{.inOctets = 123456789, .outOctets = 4294967295U};
    const auto w = computeFigures(priming, {}, kC);
    EXPECT_EQ(w.inTotal, QStringLiteral("123,457 KB"));
    EXPECT_EQ(w.outTotal, QStringLiteral("4,294,967 KB"));
    EXPECT_FALSE(w.maxSpeed || w.barScale || w.trayMax || w.inSpeed || w.outSpeed ||
                 w.trayPosition || w.inBarPosition || w.outBarPosition);
}

} // namespace
} // namespace zarvello
