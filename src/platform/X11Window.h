#pragma once

class QWidget;

namespace zarvello {

// Adds or removes one of the window manager's window states (_NET_WM_STATE_*,
// for example "_NET_WM_STATE_SKIP_TASKBAR") without hiding or re-mapping the
// window. Does nothing off X11.
void setNetWmState(QWidget* window, const char* state, bool on);

// Whether the window currently has that state.
[[nodiscard]] bool hasNetWmState(QWidget* window, const char* state);

// The task-bar entry: shown unless the window skips the task bar.
inline void setSkipTaskbar(QWidget* window, bool skip)
{
    setNetWmState(window, "_NET_WM_STATE_SKIP_TASKBAR", skip);
}

// Kept above ordinary windows.
inline void setKeepAbove(QWidget* window, bool above)
{
    setNetWmState(window, "_NET_WM_STATE_ABOVE", above);
}

} // namespace zarvello
