#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;
class QTemporaryDir;

namespace zarvello::e2e {

using WindowId = unsigned long; // an X window id, as Xlib's Window

// Where a window is, in the terms xwininfo uses: the absolute upper-left corner and size of
// the window itself (border included in the corner, as xwininfo reports it), and the frame the
// window manager put around it (_NET_FRAME_EXTENTS; zero when it has none).
struct WindowGeometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int borderWidth = 0;
    int frameLeft = 0;
    int frameRight = 0;
    int frameTop = 0;
    int frameBottom = 0;

    // The window with its frame: what the window manager places and what a program positions
    // when it moves its window.
    QRect outer() const
    {
        return {x - frameLeft, y - frameTop, width + frameLeft + frameRight,
                height + frameTop + frameBottom};
    }
    QRect client() const { return {x, y, width, height}; }
};

// The position a program asked for in WM_NORMAL_HINTS.
struct RequestedPosition
{
    int x = 0;
    int y = 0;
    bool userSpecified = false;    // USPosition
    bool programSpecified = false; // PPosition
};

// A window the window manager took over (reparented into a frame) or that a tray took in.
struct ReparentedWindow
{
    WindowId window = 0;
    WindowId newParent = 0;
    std::optional<long> pid; // _NET_WM_PID; empty when the window was gone before we looked
    QString title;
    bool intoTopLevel = false; // the new parent is a child of the root: a window manager frame
};

struct ToolResult
{
    int exitCode = -1; // -1: did not start or did not finish in time
    QString output;    // stdout
    QString errors;    // stderr
    bool ok() const { return exitCode == 0; }
};

// A private X display for one test: Xvfb (1280 x 800 x 24), openbox as window manager and
// trayer as system tray docked at the bottom edge, so the work area is smaller than the
// screen. The constructor waits until each is ready and throws std::runtime_error if one
// does not come up; the destructor stops all three.
class X11Session
{
public:
    // Logs of the three programs are written into `logDir`.
    explicit X11Session(const QString& logDir, int width = 1280, int height = 800);
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    QString display() const { return display_; } // ":N"
    _XDisplay* xlib() const { return dpy_; }     // the session's own connection

    // Pids of Xvfb, openbox and trayer.
    std::vector<pid_t> serverPids() const;

    // ---- Screen and window manager
    QRect screen() const;
    QRect workArea() const;                           // _NET_WORKAREA of the current desktop
    WindowId activeWindow() const;                    // _NET_ACTIVE_WINDOW; 0 when none
    std::vector<WindowId> clientList() const;         // _NET_CLIENT_LIST
    std::vector<WindowId> clientListStacking() const; // _NET_CLIENT_LIST_STACKING, bottom first
    // Whether `upper` is stacked above `lower` (both managed); false if either is not listed.
    bool isStackedAbove(WindowId upper, WindowId lower) const;

    // ---- Finding windows
    // Viewable windows whose title (_NET_WM_NAME, else WM_NAME) is exactly `title`, as
    // `xdotool search --onlyvisible --name` finds them but without regular expressions.
    std::vector<WindowId> findVisibleWindows(const QString& title) const;
    // Windows (mapped or not) of the process `pid`, by _NET_WM_PID.
    std::vector<WindowId> findWindowsOfPid(long pid) const;
    // Managed windows (in _NET_CLIENT_LIST) of the process `pid`.
    std::vector<WindowId> managedWindowsOfPid(long pid) const;

    // ---- Inspecting one window
    bool exists(WindowId window) const;
    bool isViewable(WindowId window) const;             // mapped, and all its ancestors too
    std::optional<long> wmState(WindowId window) const; // WM_STATE: 0 withdrawn, 1 normal, 3 iconic
    bool isIconic(WindowId window) const { return wmState(window) == 3L; }
    QString title(WindowId window) const;
    std::optional<long> pid(WindowId window) const;
    std::optional<WindowGeometry> geometry(WindowId window) const;
    std::optional<RequestedPosition> requestedPosition(WindowId window) const;
    QStringList netWmState(WindowId window) const;  // atom names of _NET_WM_STATE
    QStringList windowTypes(WindowId window) const; // atom names of _NET_WM_WINDOW_TYPE

    // ---- Driving windows
    bool minimise(WindowId window); // xdotool windowminimize
    bool activate(WindowId window); // xdotool windowactivate (does not wait)
    bool raise(WindowId window);    // xdotool windowraise
    // Asks the window manager to add or remove _NET_WM_STATE_ABOVE (stay on top).
    void setKeepAbove(WindowId window, bool above);
    // The close request a window manager sends for the close box: WM_PROTOCOLS /
    // WM_DELETE_WINDOW. (xdotool windowclose destroys the window instead.)
    void sendDeleteWindow(WindowId window);
    // A plain window of the session's own, managed by openbox like any program's; lives until
    // destroyTestWindow() or the end of the session.
    WindowId createTestWindow(const QString& title, const QRect& rect);
    void destroyTestWindow(WindowId window);
    // Whether a close request (WM_DELETE_WINDOW) has reached one of the session's own windows.
    bool closeRequested(WindowId testWindow) const;

    // ---- Watching for windows
    // Windows reparented away from the root window (taken over by the window manager or by
    // the tray) since the last call. Looks each up as soon as the event is read, so call it
    // often (between polls) while something may flash up.
    std::vector<ReparentedWindow> takeReparentedWindows();

    // ---- Tools and pictures
    // Runs an X tool (xdotool, xprop, xwininfo, import, ...) against this display.
    ToolResult runTool(const QString& program, const QStringList& args,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;
    // Writes a PNG of the whole screen; returns whether the file was written.
    bool screenshot(const QString& pngPath) const;
    // Window tree and root properties as text, for the record of a failed test.
    QString describe() const;

private:
    unsigned long atom(const char* name) const;
    std::vector<unsigned long> property32(WindowId window, const char* name) const;
    QByteArray propertyBytes(WindowId window, const char* name) const;
    QStringList atomNames(const std::vector<unsigned long>& atoms) const;
    QString rawTitle(WindowId window) const;
    void collectWindows(WindowId window, std::vector<WindowId>& into) const;
    void startXvfb(int width, int height);
    void startOpenbox();
    void startTrayer();
    void waitFor(const char* what, ChildProcess& process, const std::function<bool()>& ready,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(20000));
    void pumpEvents() const;
    void shutDown();
    std::vector<std::string> environment() const;

    QString logDir_;
    std::unique_ptr<QTemporaryDir> helperHome_; // HOME of openbox and trayer
    QString display_;
    std::unique_ptr<ChildProcess> xvfb_;
    std::unique_ptr<ChildProcess> openbox_;
    std::unique_ptr<ChildProcess> trayer_;
    _XDisplay* dpy_ = nullptr;
    QRect screen_;
    std::vector<WindowId> testWindows_;
    mutable std::vector<ReparentedWindow> reparented_;
    mutable std::vector<WindowId> closeRequests_;
    mutable bool pumping_ = false;
};

} // namespace zarvello::e2e
