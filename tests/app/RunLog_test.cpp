#include "app/RunLog.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(RunLog, LineIsBannerDashesShortDateAndLongTimeWithoutTimeZone)
{
    const QDateTime when(QDate(2026, 3, 4), QTime(17, 6, 7));
    const QString head = QStringLiteral(">>>>>>>>>> New run <<<<<<<<<<") + QString(20, u'-');
    // The Belgian long time holds quoted text.
    for (const auto& [locale, stamp] :
         {std::pair{QLocale(QLocale::English, QLocale::UnitedStates), "3/4/26 5:06:07 PM"},
          {QLocale(QLocale::French, QLocale::Belgium), "4/03/26 17 h 06 min 07 s"}}) {
        EXPECT_EQ(runLogLine(when, locale), head + QString::fromUtf8(stamp));
    }
}

} // namespace
} // namespace zarvello
