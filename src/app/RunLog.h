#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace zarvello {

// The one line the run log holds: the banner, dashes to column 49, then the
// start's date and time as the user's locale writes them (short date, long time).
[[nodiscard]] QString runLogLine(const QDateTime& now, const QLocale& locale);

// $XDG_STATE_HOME/zarvello/Log.txt, or ~/.local/state/zarvello/Log.txt.
[[nodiscard]] QString runLogPath();

// Rewrites the file with that single line, creating its folder; false if it could not.
bool resetRunLog(const QString& path, const QString& line);

} // namespace zarvello
