#include "core/XdgPaths.h"

#include "core/AppInfo.h"

#include <QDir>
#include <QStandardPaths>

namespace zarvello::XdgPaths {

namespace {

// Only a path from the root counts: QDir would also take ":/…" resource paths.
QString absoluteFromEnvironment(const char* name)
{
    QString value = qEnvironmentVariable(name);
    return value.startsWith(u'/') ? value : QString();
}

QString programFolder(const char* variable, QLatin1StringView underHome)
{
    const QString base = absoluteFromEnvironment(variable);
    return (base.isEmpty() ? QDir::homePath() + underHome : base) + u'/' + kAppFolder;
}

} // namespace

QString configFolder()
{
    return programFolder("XDG_CONFIG_HOME", QLatin1StringView("/.config"));
}

QString stateFolder()
{
    return programFolder("XDG_STATE_HOME", QLatin1StringView("/.local/state"));
}

QString runtimeDirectory()
{
    QString fromEnvironment = absoluteFromEnvironment("XDG_RUNTIME_DIR");
    if (!fromEnvironment.isEmpty() && QDir(fromEnvironment).exists()) {
        return fromEnvironment;
    }
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace zarvello::XdgPaths
