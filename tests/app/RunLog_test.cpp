#include "app/RunLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
        {QLocale(QLocale::French, QLocale::Canada), "2026-03-04 17 h 06 min 07 s"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(runLogLine(when, row.locale), head + QString::fromUtf8(row.stamp));
    }
}

TEST(RunLog, PathFollowsAnAbsoluteXdgStateHomeAndResetLeavesOneLineInANewFolder)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/somewhere/state");
    EXPECT_EQ(runLogPath(), QStringLiteral("/somewhere/state/zarvello/Log.txt"));
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(runLogPath(), QDir::homePath() + QStringLiteral("/.local/state/zarvello/Log.txt"));
    qputenv("XDG_STATE_HOME", saved);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/new/folder/Log.txt");
    ASSERT_TRUE(resetRunLog(path, QStringLiteral("first")));
    ASSERT_TRUE(resetRunLog(path, QStringLiteral("second")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second\n"));
    // A folder that cannot be made is reported, not ignored.
    EXPECT_FALSE(resetRunLog(path + QStringLiteral("/Log.txt"), QStringLiteral("x")));
}

} // namespace
} // namespace zarvello
