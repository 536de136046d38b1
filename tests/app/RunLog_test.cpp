#include "app/RunLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(RunLog, LineHasBannerTwentyDashesAndTheLocalesDateAndTime)
{
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QString line = runLogLine(when, QLocale(QLocale::English, QLocale::UnitedStates));
    const QString head = QStringLiteral(">>>>>>>>>> New run <<<<<<<<<<") + QString(20, u'-');
    ASSERT_TRUE(line.startsWith(head)) << line.toStdString();
    const QString stamp = line.mid(head.size());
    EXPECT_TRUE(stamp.startsWith(QStringLiteral("3/4/26 5:06:07"))) << stamp.toStdString();
    EXPECT_FALSE(line.contains(u'\n'));
}

TEST(RunLog, PathFollowsXdgStateHomeAndIgnoresRelativeValues)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/somewhere/state");
    EXPECT_EQ(runLogPath(), QStringLiteral("/somewhere/state/zarvello/Log.txt"));
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_TRUE(runLogPath().endsWith(QStringLiteral("/.local/state/zarvello/Log.txt")));
    qputenv("XDG_STATE_HOME", saved);
}

TEST(RunLog, ResetCreatesTheFolderAndLeavesExactlyOneLine)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/new/folder/Log.txt");
    ASSERT_TRUE(resetRunLog(path, QStringLiteral("first")));
    ASSERT_TRUE(resetRunLog(path, QStringLiteral("second")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second\n"));

    // A folder that cannot be made is reported, not ignored.
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(resetRunLog(dir.path() + QStringLiteral("/file/Log.txt"), QStringLiteral("x")));
}

} // namespace
} // namespace zarvello
