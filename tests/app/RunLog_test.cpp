#include "app/RunLog.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(RunLog, LineIsBannerDashesShortDateAndLongTimeWithoutTimeZone)
{
    const QDateTime when(QDate(2026, 3, 4), QTime(17, 6, 7));
    const QString head = QStringLiteral(">>>>>>>>>> New run <<<<<<<<<<") + QString(20, u'-');
    const struct
    {
        QLocale locale;
        const char* stamp;
    } rows[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "3/4/26 5:06:07 PM"},
        {QLocale(QLocale::German, QLocale::Germany), "04.03.26 17:06:07"},
        {QLocale(QLocale::French, QLocale::Belgium), "4/03/26 17 h 06 min 07 s"}, // quoted text
    };
    for (const auto& row : rows) {
        EXPECT_EQ(runLogLine(when, row.locale), head + QString::fromUtf8(row.stamp));
    }
}

} // namespace
} // namespace zarvello
