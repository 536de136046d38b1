#pragma once

class QWidget;

namespace zarvello {

// Shows or hides the window's task-bar entry (_NET_WM_STATE_SKIP_TASKBAR).
// Does nothing off X11, where there is no such entry to manage.
void setSkipTaskbar(QWidget* window, bool skip);

// Whether the window manager currently keeps the window off the task bar.
[[nodiscard]] bool skipsTaskbar(QWidget* window);

} // namespace zarvello
