#pragma once

#include "ChildProcess.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;

namespace zarvello::e2e {

using WindowId = unsigned long; // an X window id, as Xlib's Window

// A private display: Xvfb (1280 x 800), openbox, and trayer docked at the bottom edge, so the
// work area is the screen less 24 pixels. The constructor waits until all three are ready and
// throws std::runtime_error if one does not come up; the destructor stops them.
class X11Session
{
public:
    X11Session();
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    QString display() const { return display_; } // ":N"
    _XDisplay* xlib() const { return dpy_; }

    QRect workArea() const;
    WindowId activeWindow() const;
    std::vector<WindowId> clientList() const; // managed windows
    bool isStackedAbove(WindowId upper, WindowId lower) const;

    // Every window (mapped or not) whose _NET_WM_PID is `pid`; with a title, only viewable
    // windows of exactly that title.
    std::vector<WindowId> windowsOf(long pid, const QString& title = {}) const;
    std::vector<WindowId> managedWindowsOf(long pid) const;
    WindowId trayIconOf(long pid) const; // its window in the tray bar below the work area; or 0
    // Viewable override-redirect top-level windows of `pid` (its popup menus).
    std::vector<WindowId> popupsOf(long pid) const;

    bool isViewable(WindowId window) const;
    std::optional<long> wmState(WindowId window) const; // 1 normal, 3 iconic
    bool isShown(WindowId window) const { return wmState(window) == 1L && isViewable(window); }
    bool isMinimised(WindowId window) const { return wmState(window) == 3L && !isViewable(window); }
    QString title(WindowId window) const;
    std::optional<long> pid(WindowId window) const;
    QRect frame(WindowId window) const; // on screen, with any window-manager frame; empty if gone
    QStringList netWmState(WindowId window) const;
    // The window's pixels in `area` (its own coordinates; empty: all), one XGetPixel each.
    std::vector<unsigned long> pixels(WindowId window, QRect area = {}) const;

    bool activate(WindowId window) const; // as a click on a task-bar entry
    bool minimise(WindowId window) const;
    void sendDeleteWindow(WindowId window) const; // the close request of a window manager
    WindowId createTestWindow(const QString& title, const QRect& rect, bool above);
    void destroyTestWindows();

    // Top-level windows the window manager took over since the last call (with their pids),
    // so that a window that flashed up between two looks is still seen.
    std::vector<std::pair<WindowId, std::optional<long>>> takeFramedWindows();

    // Runs an X tool (xdotool, xprop, ...) on this display; whether it exited with 0.
    bool runTool(const QString& program, const QStringList& args) const;

private:
    unsigned long atom(const char* name) const;
    std::vector<unsigned long> property32(WindowId window, const char* name) const;
    void collect(WindowId window, std::vector<WindowId>& into) const;
    void pump() const;
    QStringList environment() const;

    QTemporaryDir helperHome_; // HOME of openbox and trayer
    QString display_;
    std::unique_ptr<ChildProcess> xvfb_, openbox_, trayer_;
    _XDisplay* dpy_ = nullptr;
    std::vector<WindowId> testWindows_;
    mutable std::vector<std::pair<WindowId, std::optional<long>>> framed_;
};

} // namespace zarvello::e2e
