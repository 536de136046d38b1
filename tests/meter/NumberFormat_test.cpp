#include "meter/NumberFormat.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(NumberFormat, PatternsRoundHalfAwayFromZeroOnTheShortestDecimal)
{
    const QLocale c(QLocale::C);
    struct Case
    {
        double value;
        const char* oneDecimal;
        const char* whole;
        const char* grouped;
    };
    for (const Case& t : {
             Case{12.345, "12.3", "12", "12"},
             Case{98.76, "98.8", "99", "99"},
             Case{1.15, "1.2", "1", "1"}, // binary 1.1499999… still rounds up
             Case{0.25, "0.3", "0", "0"},
             Case{2.5, "2.5", "3", "3"},
             Case{-2.5, "-2.5", "-3", "-3"},
             Case{-0.04, "0.0", "0", "0"}, // no sign on a value that rounds to zero
             Case{-4.0, "-4.0", "-4", "-4"},
             Case{9.96, "10.0", "10", "10"},
             Case{999999.5, "999999.5", "1000000", "1,000,000"},
             Case{123456.789, "123456.8", "123457", "123,457"},
             Case{4294967.295, "4294967.3", "4294967", "4,294,967"},
             Case{0.0, "0.0", "0", "0"},
         }) {
        EXPECT_EQ(formatOneDecimal(t.value, c), QString::fromLatin1(t.oneDecimal)) << t.value;
        EXPECT_EQ(formatWhole(t.value), QString::fromLatin1(t.whole)) << t.value;
        EXPECT_EQ(formatGrouped(t.value, c), QString::fromLatin1(t.grouped)) << t.value;
    }
}

TEST(NumberFormat, UsesTheLocaleSeparators)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(formatOneDecimal(-1234.56, german), QStringLiteral("-1234,6"));
    EXPECT_EQ(formatGrouped(123456789.0, german), QStringLiteral("123.456.789"));
    EXPECT_EQ(formatWhole(-0.4), QStringLiteral("0"));
}

} // namespace
} // namespace zarvello
