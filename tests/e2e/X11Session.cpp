#include "X11Session.h"

#include "Poll.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace zarvello::e2e {

namespace {

constexpr auto kStartTimeout = std::chrono::milliseconds(20000);

// Windows come and go under our feet; a request about one that has just gone is normal here.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

void waitReady(const char* what, ChildProcess& process, const std::function<bool()>& ready,
               std::chrono::milliseconds timeout = kStartTimeout)
{
    if (!waitUntil([&] { return ready() || !process.isRunning(); }, timeout) ||
        !process.isRunning())
        throw std::runtime_error(std::string(what) + " did not come up");
}

} // namespace

X11Session::X11Session()
{
    XSetErrorHandler(ignoreXError);
    // -displayfd: Xvfb picks a free display itself and writes its number once it listens.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    xvfb_ = std::make_unique<ChildProcess>("Xvfb",
                                           QStringList{"-displayfd", QString::number(fds[1]),
                                                       "-screen", "0", "1280x800x24", "-nolisten",
                                                       "tcp", "-noreset"},
                                           environment(), QString(), fds[1]);
    close(fds[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fds[0], POLLIN, 0};
        char buffer[32];
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos)
        throw std::runtime_error("Xvfb reported no display");
    display_ = ":" + QString::fromStdString(number).trimmed();
    waitReady("Xvfb", *xvfb_, [this] {
        return (dpy_ = XOpenDisplay(display_.toLocal8Bit().constData())) != nullptr;
    });
    // Windows the window manager takes over are reparented away from the root: listening here
    // lets tests see windows that flash up and vanish.
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);

    // The stock configuration without the iconify animation: while it runs, a restored
    // window's frame is still on its way.
    QStringList openboxArgs{"--sm-disable"};
    QFile stock("/etc/xdg/openbox/rc.xml");
    QFile config(helperHome_.path() + "/openbox-rc.xml");
    if (stock.open(QIODevice::ReadOnly) && config.open(QIODevice::WriteOnly)) {
        config.write(stock.readAll().replace("<animateIconify>yes", "<animateIconify>no"));
        config.close();
        openboxArgs << "--config-file" << config.fileName();
    }
    openbox_ = std::make_unique<ChildProcess>("openbox", openboxArgs, environment());
    // A dock that starts before openbox has set up its desktops is never managed.
    waitReady("openbox", *openbox_, [this] {
        const Window root = DefaultRootWindow(dpy_);
        return XGetSelectionOwner(dpy_, atom("WM_S0")) != None &&
               !property32(root, "_NET_WORKAREA").empty() &&
               !property32(root, "_NET_CURRENT_DESKTOP").empty();
    });

    // Now and then trayer's panel is never mapped; a fresh trayer then comes up normally.
    for (int attempt = 1;; ++attempt) {
        trayer_ = std::make_unique<ChildProcess>(
            "trayer",
            QStringList{"--edge", "bottom", "--align", "right", "--widthtype", "request",
                        "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true",
                        "--transparent", "false"},
            environment());
        try {
            waitReady(
                "trayer", *trayer_,
                [this] {
                    return XGetSelectionOwner(dpy_, atom("_NET_SYSTEM_TRAY_S0")) != None &&
                           workArea().height() == 800 - 24;
                },
                std::chrono::milliseconds(5000));
            return;
        } catch (const std::runtime_error&) {
            if (attempt == 3)
                throw;
        }
    }
}

X11Session::~X11Session()
{
    destroyTestWindows();
    if (dpy_)
        XCloseDisplay(dpy_);
    trayer_.reset();
    openbox_.reset();
    xvfb_.reset();
}

QStringList X11Session::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("XDG_") || name == "XAUTHORITY" || name == "DBUS_SESSION_BUS_ADDRESS")
            env.remove(name);
    env.insert("HOME", helperHome_.path());
    env.insert("DISPLAY", display_);
    return env.toStringList();
}

unsigned long X11Session::atom(const char* name) const
{
    return XInternAtom(dpy_, name, False);
}

std::vector<unsigned long> X11Session::property32(WindowId window, const char* name) const
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(dpy_, window, atom(name), 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data); // longs, as Xlib gives
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

QString X11Session::title(WindowId window) const
{
    for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        QString text;
        if (XGetWindowProperty(dpy_, window, atom(name), 0, 4096, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 8)
            text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(count));
        if (data)
            XFree(data);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

void X11Session::pump() const
{
    const Window root = DefaultRootWindow(dpy_);
    while (XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        if (event.type != ReparentNotify || event.xreparent.event != root ||
            event.xreparent.parent == root)
            continue;
        // Into a child of the root: a window-manager frame, not the tray.
        Window parentRoot = 0, grandParent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(dpy_, event.xreparent.parent, &parentRoot, &grandParent, &children, &count))
            continue;
        if (children)
            XFree(children);
        if (grandParent == root) {
            const auto pids = property32(event.xreparent.window, "_NET_WM_PID");
            framed_.emplace_back(event.xreparent.window,
                                 pids.empty() ? std::nullopt : std::optional<long>(pids[0]));
        }
    }
}

std::vector<std::pair<WindowId, std::optional<long>>> X11Session::takeFramedWindows()
{
    XSync(dpy_, False);
    pump();
    return std::exchange(framed_, {});
}

QRect X11Session::workArea() const
{
    const auto area = property32(DefaultRootWindow(dpy_), "_NET_WORKAREA");
    if (area.size() < 4)
        return {};
    return QRect(static_cast<int>(area[0]), static_cast<int>(area[1]), static_cast<int>(area[2]),
                 static_cast<int>(area[3]));
}

WindowId X11Session::activeWindow() const
{
    const auto active = property32(DefaultRootWindow(dpy_), "_NET_ACTIVE_WINDOW");
    return active.empty() ? 0 : active[0];
}

std::vector<WindowId> X11Session::clientList() const
{
    pump();
    return property32(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST");
}

bool X11Session::isStackedAbove(WindowId upper, WindowId lower) const
{
    const auto stack = property32(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST_STACKING");
    const auto up = std::find(stack.begin(), stack.end(), upper);
    const auto low = std::find(stack.begin(), stack.end(), lower);
    return up != stack.end() && low != stack.end() && up > low;
}

void X11Session::collect(WindowId window, std::vector<WindowId>& into) const
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy_, window, &root, &parent, &children, &count))
        return;
    const std::vector<WindowId> list(children, children + count);
    if (children)
        XFree(children);
    for (WindowId child : list) {
        into.push_back(child);
        collect(child, into);
    }
}

std::vector<WindowId> X11Session::windowsOf(long processId, const QString& named) const
{
    pump();
    std::vector<WindowId> all, found;
    collect(DefaultRootWindow(dpy_), all);
    for (WindowId window : all)
        if (pid(window) == processId &&
            (named.isEmpty() || (title(window) == named && isViewable(window))))
            found.push_back(window);
    return found;
}

WindowId X11Session::trayIconOf(long processId) const
{
    for (WindowId window : windowsOf(processId))
        if (isViewable(window) && frame(window).y() > workArea().bottom())
            return window;
    return 0;
}

std::vector<WindowId> X11Session::managedWindowsOf(long processId) const
{
    std::vector<WindowId> found;
    for (WindowId window : clientList())
        if (pid(window) == processId)
            found.push_back(window);
    return found;
}

std::vector<WindowId> X11Session::popupsOf(long processId) const
{
    std::vector<WindowId> top, found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count) && children) {
        top.assign(children, children + count);
        XFree(children);
    }
    for (WindowId window : top) {
        XWindowAttributes attributes{};
        const auto types = property32(window, "_NET_WM_WINDOW_TYPE");
        if (XGetWindowAttributes(dpy_, window, &attributes) && attributes.override_redirect &&
            attributes.map_state == IsViewable && pid(window) == processId &&
            std::find(types.begin(), types.end(), atom("_NET_WM_WINDOW_TYPE_TOOLTIP")) ==
                types.end())
            found.push_back(window);
    }
    return found;
}

bool X11Session::isViewable(WindowId window) const
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy_, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

std::optional<long> X11Session::wmState(WindowId window) const
{
    const auto state = property32(window, "WM_STATE");
    return state.empty() ? std::nullopt : std::optional<long>(state[0]);
}

std::optional<long> X11Session::pid(WindowId window) const
{
    const auto pids = property32(window, "_NET_WM_PID");
    return pids.empty() ? std::nullopt : std::optional<long>(pids[0]);
}

QRect X11Session::frame(WindowId window) const
{
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(dpy_, window, &attributes) ||
        !XTranslateCoordinates(dpy_, window, attributes.root, 0, 0, &x, &y, &child))
        return {};
    const auto e = property32(window, "_NET_FRAME_EXTENTS"); // left, right, top, bottom
    const QRect client(x, y, attributes.width, attributes.height);
    return e.size() < 4 ? client
                        : client.adjusted(-static_cast<int>(e[0]), -static_cast<int>(e[2]),
                                          static_cast<int>(e[1]), static_cast<int>(e[3]));
}

QStringList X11Session::netWmState(WindowId window) const
{
    QStringList names;
    for (unsigned long value : property32(window, "_NET_WM_STATE"))
        if (char* name = XGetAtomName(dpy_, value)) {
            names << QString::fromLatin1(name);
            XFree(name);
        }
    return names;
}

std::vector<unsigned long> X11Session::pixels(WindowId window, QRect area) const
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy_, window, &attributes) || attributes.map_state != IsViewable)
        return {};
    if (area.isEmpty())
        area = QRect(0, 0, attributes.width, attributes.height);
    std::vector<unsigned long> values;
    XImage* image = XGetImage(dpy_, window, area.x(), area.y(), area.width(), area.height(),
                              AllPlanes, ZPixmap);
    for (int y = 0; image && y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            values.push_back(XGetPixel(image, x, y));
    if (image)
        XDestroyImage(image);
    return values;
}

bool X11Session::activate(WindowId window) const
{
    return runTool("xdotool", {"windowactivate", QString::number(window)});
}

bool X11Session::minimise(WindowId window) const
{
    return runTool("xdotool", {"windowminimize", QString::number(window)});
}

void X11Session::sendDeleteWindow(WindowId window) const
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, window, False, NoEventMask, &event);
    XFlush(dpy_);
}

WindowId X11Session::createTestWindow(const QString& title, const QRect& rect, bool above)
{
    const int screen = DefaultScreen(dpy_);
    const Window window = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), rect.x(), rect.y(),
                                              static_cast<unsigned>(rect.width()),
                                              static_cast<unsigned>(rect.height()), 0,
                                              BlackPixel(dpy_, screen), WhitePixel(dpy_, screen));
    XStoreName(dpy_, window, title.toUtf8().constData());
    const long self = getpid();
    XChangeProperty(dpy_, window, atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&self), 1);
    const long state = static_cast<long>(atom("_NET_WM_STATE_ABOVE"));
    if (above) // asked before the first map, as a program does
        XChangeProperty(dpy_, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&state), 1);
    XMapWindow(dpy_, window);
    XFlush(dpy_);
    testWindows_.push_back(window);
    return window;
}

void X11Session::destroyTestWindows()
{
    for (WindowId window : std::exchange(testWindows_, {}))
        XDestroyWindow(dpy_, window);
    XSync(dpy_, False);
}

bool X11Session::runTool(const QString& program, const QStringList& args) const
{
    QProcess process;
    process.setEnvironment(environment());
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace zarvello::e2e
