#include "app/RunLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zarvello {

QString runLogLine(const QDateTime& now, const QLocale& locale)
{
    QString line = QStringLiteral(">>>>>>>>>> New run <<<<<<<<<<").leftJustified(48, u'-');
    line += u'-';
    line += locale.toString(now.date(), QLocale::ShortFormat);
    line += u' ';
    line += locale.toString(now.time(), QLocale::LongFormat);
    return line;
}

QString runLogPath()
{
    // Relative values are invalid by the base-directory rules and are ignored.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/zarvello/Log.txt");
}

bool resetRunLog(const QString& path, const QString& line)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    file.write((line + u'\n').toUtf8());
    return file.commit();
}

} // namespace zarvello
