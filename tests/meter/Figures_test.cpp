#include "meter/Figures.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

const QLocale kC(QLocale::C);

TickResults rates(double in, double out, int peak)
{
    return {.ratesComputed = true, .inRate = in, .outRate = out, .peakRate = peak};
}

TEST(Figures, SpeedAndPeakCaptionsInBytesAndBits)
{
    struct Case
    {
        bool kiloBytes;
        double inRate;
        int peak;
        const char* inSpeed;
        const char* maxSpeed;
    };
    for (const Case& c : {
             Case{true, 12345, 12345, "12.3 KBs", "12 KBs"},
             Case{false, 12345, 12345, "98.8 Kbs", "98 Kbs"},
             Case{true, -40, 100, "0.0 KBs", "0 KBs"},
             Case{true, -4000, 100, "-4.0 KBs", "0 KBs"},
             Case{false, 0, 300000000, "0.0 Kbs", "2400000 Kbs"}, // peak × 8 beyond 32 bits
             Case{true, 0, -5000, "0.0 KBs", "-5 KBs"},
         }) {
        const auto w = computeFigures(rates(c.inRate, 0, c.peak), {.kiloBytes = c.kiloBytes}, kC);
        EXPECT_EQ(w.inSpeed, QString::fromLatin1(c.inSpeed)) << c.inRate;
        EXPECT_EQ(w.maxSpeed, QString::fromLatin1(c.maxSpeed)) << c.peak;
    }
}

TEST(Figures, ScalesAndTrayPosition)
{
    struct Case
    {
        const char* what;
        TickResults tick;
        FigureOptions options;
        int barScale;
        int trayMax;
        int trayPosition;
    };
    // clang-format off
    const Case rows[] = {
        {"no peak yet", rates(500, 0, 0), {}, 1, 1, 1},
        {"peak under a thousand", rates(0, 0, 500), {}, 500, 0, 0},
        {"fixed peak, half in", rates(32000, 0, 64000), {}, 64000, 64, 32},
        {"actual mode, out rate", rates(0, 150000, 150000), {.trayPercent = false, .trayIconIn = false}, 150000, 100, 150},
        {"negative peak", rates(9000, 0, -5000), {}, 1, 1, 0},
        {"tray counts bytes in bit mode", rates(2500, 0, 9000), {.kiloBytes = false}, 9000, 9, 3},
    };
    // clang-format on
    for (const Case& c : rows) {
        const auto w = computeFigures(c.tick, c.options, kC);
        EXPECT_EQ(w.barScale, c.barScale) << c.what;
        EXPECT_EQ(w.trayMax, c.trayMax) << c.what;
        EXPECT_EQ(w.trayPosition, c.trayPosition) << c.what;
    }
}

TEST(Figures, BarPositionsFollowTheirSwitches)
{
    const auto both = computeFigures(rates(1234.5, 99.4, 5000), {}, kC);
    EXPECT_EQ(both.inBarPosition, 1235);
    EXPECT_EQ(both.outBarPosition, 99);
    const auto inOff = computeFigures(rates(1234.5, 99.4, 5000), {.in = false}, kC);
    EXPECT_FALSE(inOff.inBarPosition);
    EXPECT_EQ(inOff.outBarPosition, 99);
    EXPECT_TRUE(inOff.inSpeed) << "the label is written even with the bar off";
    EXPECT_EQ(inOff.barScale, 5000);
}

TEST(Figures, PrimingTickWritesTotalsOnly)
{
    const TickResults priming{.inOctets = 123456789, .outOctets = 4294967295u};
    const auto w = computeFigures(priming, {}, kC);
    EXPECT_EQ(w.inTotal, QStringLiteral("123,457 KB"));
    EXPECT_EQ(w.outTotal, QStringLiteral("4,294,967 KB"));
    EXPECT_FALSE(w.maxSpeed || w.barScale || w.trayMax || w.inSpeed || w.outSpeed ||
                 w.trayPosition || w.inBarPosition || w.outBarPosition);
    const auto german =
        computeFigures(priming, {.kiloBytes = false}, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.inTotal, QStringLiteral("123.457 KB"));
}

} // namespace
} // namespace zarvello
