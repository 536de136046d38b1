#include "meter/NumberFormat.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(NumberFormat, PatternsRoundHalfAwayFromZeroOnTheShortestDecimal)
{
    const QLocale c(QLocale::C);
    const struct
    {
        double value;
        const char *oneDecimal, *whole, *grouped;
    } rows[] = {
        {1.15, "1.2", "1", "1"}, // binary 1.1499999… still rounds up
        {0.25, "0.3", "0", "0"},
        {2.5, "2.5", "3", "3"},
        {-2.5, "-2.5", "-3", "-3"},
        {-0.04, "0.0", "0", "0"}, // no sign on a value that rounds to zero
        {9.96, "10.0", "10", "10"},
        {999999.5, "999999.5", "1000000", "1,000,000"},
        {4294967.295, "4294967.3", "4294967", "4,294,967"},
    };
    for (const auto& t : rows) {
        EXPECT_EQ(formatOneDecimal(t.value, c), QString::fromLatin1(t.oneDecimal)) << t.value;
        EXPECT_EQ(formatWhole(t.value), QString::fromLatin1(t.whole)) << t.value;
        EXPECT_EQ(formatGrouped(t.value, c), QString::fromLatin1(t.grouped)) << t.value;
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(formatOneDecimal(-1234.56, german), QStringLiteral("-1234,6"));
    EXPECT_EQ(formatGrouped(123456789.0, german), QStringLiteral("123.456.789"));
}

} // namespace
} // namespace zarvello
