#include "app/RunLog.h"

#include "core/XdgPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zarvello {

namespace {

// The locale's long time without its time-zone part ("t"), which the log leaves out.
QString longTimeFormat(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        quoted = c == u'\'' ? !quoted : quoted;
        if (quoted || c != u't') {
            kept += c;
        }
    }
    return kept.trimmed();
}

} // namespace

QString runLogLine(const QDateTime& now, const QLocale& locale)
{
    return QStringLiteral(">>>>>>>>>> New run <<<<<<<<<<").leftJustified(48, u'-') + u'-' +
           locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(now.time(), longTimeFormat(locale));
}

QString runLogPath()
{
    return XdgPaths::stateFolder() + QStringLiteral("/Log.txt");
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
