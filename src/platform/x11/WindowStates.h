#pragma once

class QWidget;

namespace zarvello {

// Window-manager states of a top-level window, changed without hiding or re-mapping it.
// Off X11 they do nothing.

// The task-bar entry: shown unless the window skips the task bar.
void setSkipTaskbar(QWidget* window, bool skip);

// Kept above ordinary windows.
void setKeepAbove(QWidget* window, bool above);

} // namespace zarvello
