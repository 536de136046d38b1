#include "X11Session.h"

#include "Poll.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

extern char** environ;

namespace zarvello::e2e {

namespace {

constexpr auto kStartTimeout = std::chrono::milliseconds(20000);

// Windows come and go under our feet (a program ends, a frame is destroyed); a request about
// a window that has just gone is normal here, not fatal as with Xlib's default handler.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Xlib ends the process after this returns; the children must not outlive it.
int onXConnectionLost(Display*)
{
    std::fprintf(stderr, "e2e: lost the connection to the test X server\n");
    killAllChildGroups();
    return 0;
}

void installXHandlers()
{
    static const bool installed = [] {
        XSetErrorHandler(ignoreXError);
        XSetIOErrorHandler(onXConnectionLost);
        return true;
    }();
    (void)installed;
}

QString readLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll().right(4000));
}

} // namespace

X11Session::X11Session(const QString& logDir, int width, int height)
    : logDir_(logDir), screen_(0, 0, width, height)
{
    installXHandlers();
    QDir().mkpath(logDir_);
    helperHome_ = std::make_unique<QTemporaryDir>();
    if (!helperHome_->isValid())
        throw std::runtime_error("cannot create a home folder for the X session");
    try {
        startXvfb(width, height);
        startOpenbox();
        startTrayer();
    } catch (...) {
        shutDown();
        throw;
    }
}

X11Session::~X11Session()
{
    shutDown();
}

void X11Session::shutDown()
{
    if (dpy_) {
        for (WindowId window : testWindows_)
            XDestroyWindow(dpy_, window);
        testWindows_.clear();
        XCloseDisplay(dpy_);
        dpy_ = nullptr;
    }
    trayer_.reset();
    openbox_.reset();
    xvfb_.reset();
}

std::vector<std::string> X11Session::environment() const
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("HOME=", 0) == 0 ||
            text.rfind("XAUTHORITY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            text.rfind("XDG_", 0) == 0 || text.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0)
            continue;
        env.push_back(text);
    }
    env.push_back("HOME=" + helperHome_->path().toStdString());
    if (!display_.isEmpty())
        env.push_back("DISPLAY=" + display_.toStdString());
    return env;
}

void X11Session::waitFor(const char* what, ChildProcess& process,
                         const std::function<bool()>& ready, std::chrono::milliseconds timeout)
{
    bool died = false;
    const bool ok = waitUntil(
        [&] {
            if (ready())
                return true;
            died = !process.isRunning();
            return died;
        },
        timeout);
    if (ok && !died)
        return;
    const QString log = readLog(logDir_ + "/" + QString::fromStdString(process.program()) + ".log");
    throw std::runtime_error(std::string(what) +
                             (died ? " ended while starting" : " did not get ready") +
                             "; its log:\n" + log.toStdString());
}

void X11Session::startXvfb(int width, int height)
{
    // -displayfd: Xvfb picks a free display number itself and writes it once it accepts
    // connections, so parallel sessions never race for a number.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    ChildProcess::Options options;
    options.program = "Xvfb";
    options.args = {"-displayfd",
                    std::to_string(fds[1]),
                    "-screen",
                    "0",
                    std::to_string(width) + "x" + std::to_string(height) + "x24",
                    "-nolisten",
                    "tcp",
                    "-noreset"};
    options.env = environment();
    options.outputPath = (logDir_ + "/Xvfb.log").toStdString();
    options.passFds = {{fds[1], fds[1]}};
    try {
        xvfb_ = std::make_unique<ChildProcess>(options);
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[1]);

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    bool complete = false;
    while (!complete && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fds[0], POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(kPollStep.count())) <= 0)
            continue;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break; // Xvfb closed the pipe without a number: it failed
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n')
                complete = true;
            else if (!complete)
                number += buffer[i];
        }
    }
    close(fds[0]);
    if (!complete || number.empty())
        throw std::runtime_error("Xvfb did not report a display; its log:\n" +
                                 readLog(logDir_ + "/Xvfb.log").toStdString());
    display_ = ":" + QString::fromStdString(number);

    waitFor("Xvfb", *xvfb_, [this] {
        dpy_ = XOpenDisplay(display_.toLocal8Bit().constData());
        return dpy_ != nullptr;
    });
    // Every window that the window manager or the tray takes over is reparented away from
    // the root; listening here lets tests see windows that flash up and vanish.
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
    XSync(dpy_, False);
}

void X11Session::startOpenbox()
{
    ChildProcess::Options options;
    options.program = "openbox";
    options.args = {"--sm-disable"};
    // The stock configuration, but without the iconify animation: while it runs, a restored
    // window's frame is still on its way and its geometry is not yet the final one.
    QFile stock("/etc/xdg/openbox/rc.xml");
    if (stock.open(QIODevice::ReadOnly)) {
        QByteArray config = stock.readAll();
        config.replace("<animateIconify>yes</animateIconify>",
                       "<animateIconify>no</animateIconify>");
        const QString path = helperHome_->path() + "/openbox-rc.xml";
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(config) == config.size()) {
            file.close();
            options.args.push_back("--config-file");
            options.args.push_back(path.toStdString());
        }
    }
    options.env = environment();
    options.outputPath = (logDir_ + "/openbox.log").toStdString();
    openbox_ = std::make_unique<ChildProcess>(options);
    waitFor("openbox", *openbox_, [this] {
        if (XGetSelectionOwner(dpy_, atom("WM_S0")) == None)
            return false;
        // EWMH: the check window names itself, which tells a live manager from a stale
        // property.
        const auto check = property32(DefaultRootWindow(dpy_), "_NET_SUPPORTING_WM_CHECK");
        if (check.empty())
            return false;
        const auto self = property32(check[0], "_NET_SUPPORTING_WM_CHECK");
        if (self.empty() || self[0] != check[0])
            return false;
        // openbox names its check window before it has set up the desktops; a dock that
        // starts in between is never managed.
        return !property32(DefaultRootWindow(dpy_), "_NET_WORKAREA").empty() &&
               !property32(DefaultRootWindow(dpy_), "_NET_CURRENT_DESKTOP").empty();
    });
}

void X11Session::startTrayer()
{
    ChildProcess::Options options;
    options.program = "trayer";
    options.args = {"--edge",        "bottom",  "--align",           "right",
                    "--widthtype",   "request", "--height",          "24",
                    "--SetDockType", "true",    "--SetPartialStrut", "true",
                    "--transparent", "false"};
    options.env = environment();
    options.outputPath = (logDir_ + "/trayer.log").toStdString();
    auto ready = [this] {
        return XGetSelectionOwner(dpy_, atom("_NET_SYSTEM_TRAY_S0")) != None &&
               workArea().height() < screen_.height();
    };
    // Now and then trayer's panel is never mapped (it stays unmapped and unmanaged with the
    // tray selection taken); a fresh trayer then comes up normally.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        trayer_ = std::make_unique<ChildProcess>(options);
        try {
            waitFor("trayer", *trayer_, ready, std::chrono::milliseconds(5000));
            return;
        } catch (const std::runtime_error& error) {
            if (attempt == kAttempts) {
                const QRect area = workArea();
                throw std::runtime_error(
                    std::string(error.what()) + "\ntray selection owner: " +
                    std::to_string(XGetSelectionOwner(dpy_, atom("_NET_SYSTEM_TRAY_S0"))) +
                    ", work area: " + std::to_string(area.width()) + "x" +
                    std::to_string(area.height()) + "\n" + describe().toStdString());
            }
            trayer_.reset();
        }
    }
}

std::vector<pid_t> X11Session::serverPids() const
{
    std::vector<pid_t> pids;
    for (const auto* process : {xvfb_.get(), openbox_.get(), trayer_.get()})
        if (process)
            pids.push_back(process->pid());
    return pids;
}

unsigned long X11Session::atom(const char* name) const
{
    return XInternAtom(dpy_, name, False);
}

std::vector<unsigned long> X11Session::property32(WindowId window, const char* name) const
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(dpy_, window, atom(name), 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

QByteArray X11Session::propertyBytes(WindowId window, const char* name) const
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QByteArray bytes;
    if (XGetWindowProperty(dpy_, window, atom(name), 0, 65536, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 8)
        bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(count));
    if (data)
        XFree(data);
    return bytes;
}

QStringList X11Session::atomNames(const std::vector<unsigned long>& atoms) const
{
    QStringList names;
    for (unsigned long value : atoms) {
        char* name = XGetAtomName(dpy_, value);
        if (name) {
            names << QString::fromLatin1(name);
            XFree(name);
        }
    }
    return names;
}

void X11Session::pumpEvents() const
{
    if (pumping_)
        return;
    pumping_ = true;
    const Window root = DefaultRootWindow(dpy_);
    while (XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        if (event.type == ReparentNotify && event.xreparent.event == root &&
            event.xreparent.parent != root) {
            ReparentedWindow seen;
            seen.window = event.xreparent.window;
            seen.newParent = event.xreparent.parent;
            const auto pids = property32(seen.window, "_NET_WM_PID");
            if (!pids.empty())
                seen.pid = static_cast<long>(pids[0]);
            seen.title = rawTitle(seen.window);
            Window parentRoot = 0;
            Window grandParent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(dpy_, seen.newParent, &parentRoot, &grandParent, &children, &count)) {
                seen.intoTopLevel = grandParent == root;
                if (children)
                    XFree(children);
            }
            reparented_.push_back(seen);
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.message_type) == atom("WM_PROTOCOLS") &&
                   static_cast<Atom>(event.xclient.data.l[0]) == atom("WM_DELETE_WINDOW")) {
            closeRequests_.push_back(event.xclient.window);
        }
    }
    pumping_ = false;
}

QRect X11Session::screen() const
{
    return screen_;
}

QRect X11Session::workArea() const
{
    pumpEvents();
    const Window root = DefaultRootWindow(dpy_);
    const auto area = property32(root, "_NET_WORKAREA");
    const auto desktop = property32(root, "_NET_CURRENT_DESKTOP");
    const std::size_t index = desktop.empty() ? 0 : desktop[0];
    if (area.size() < 4 * (index + 1))
        return screen_;
    return QRect(static_cast<int>(area[4 * index]), static_cast<int>(area[4 * index + 1]),
                 static_cast<int>(area[4 * index + 2]), static_cast<int>(area[4 * index + 3]));
}

WindowId X11Session::activeWindow() const
{
    pumpEvents();
    const auto active = property32(DefaultRootWindow(dpy_), "_NET_ACTIVE_WINDOW");
    return active.empty() ? 0 : active[0];
}

std::vector<WindowId> X11Session::clientList() const
{
    pumpEvents();
    return property32(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST");
}

std::vector<WindowId> X11Session::clientListStacking() const
{
    pumpEvents();
    return property32(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST_STACKING");
}

bool X11Session::isStackedAbove(WindowId upper, WindowId lower) const
{
    const auto stack = clientListStacking();
    const auto up = std::find(stack.begin(), stack.end(), upper);
    const auto low = std::find(stack.begin(), stack.end(), lower);
    return up != stack.end() && low != stack.end() && up > low;
}

void X11Session::collectWindows(WindowId window, std::vector<WindowId>& into) const
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy_, window, &root, &parent, &children, &count))
        return;
    std::vector<WindowId> list(children, children + count);
    if (children)
        XFree(children);
    for (WindowId child : list) {
        into.push_back(child);
        collectWindows(child, into);
    }
}

std::vector<WindowId> X11Session::findVisibleWindows(const QString& title) const
{
    pumpEvents();
    std::vector<WindowId> all;
    collectWindows(DefaultRootWindow(dpy_), all);
    std::vector<WindowId> found;
    for (WindowId window : all)
        if (rawTitle(window) == title && isViewable(window))
            found.push_back(window);
    return found;
}

std::vector<WindowId> X11Session::findWindowsOfPid(long processId) const
{
    pumpEvents();
    std::vector<WindowId> all;
    collectWindows(DefaultRootWindow(dpy_), all);
    std::vector<WindowId> found;
    for (WindowId window : all) {
        const auto pids = property32(window, "_NET_WM_PID");
        if (!pids.empty() && static_cast<long>(pids[0]) == processId)
            found.push_back(window);
    }
    return found;
}

std::vector<WindowId> X11Session::managedWindowsOfPid(long processId) const
{
    std::vector<WindowId> found;
    for (WindowId window : clientList())
        if (pid(window) == processId)
            found.push_back(window);
    return found;
}

bool X11Session::exists(WindowId window) const
{
    pumpEvents();
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy_, window, &attributes) != 0;
}

bool X11Session::isViewable(WindowId window) const
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy_, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

std::optional<long> X11Session::wmState(WindowId window) const
{
    pumpEvents();
    const auto state = property32(window, "WM_STATE");
    if (state.empty())
        return std::nullopt;
    return static_cast<long>(state[0]);
}

QString X11Session::rawTitle(WindowId window) const
{
    const QByteArray utf8 = propertyBytes(window, "_NET_WM_NAME");
    if (!utf8.isEmpty())
        return QString::fromUtf8(utf8);
    return QString::fromLatin1(propertyBytes(window, "WM_NAME"));
}

QString X11Session::title(WindowId window) const
{
    pumpEvents();
    return rawTitle(window);
}

std::optional<long> X11Session::pid(WindowId window) const
{
    pumpEvents();
    const auto pids = property32(window, "_NET_WM_PID");
    if (pids.empty())
        return std::nullopt;
    return static_cast<long>(pids[0]);
}

std::optional<WindowGeometry> X11Session::geometry(WindowId window) const
{
    pumpEvents();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy_, window, &attributes))
        return std::nullopt;
    // The same corner xwininfo calls "Absolute upper-left": the outer edge of the border.
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(dpy_, window, attributes.root, -attributes.border_width,
                               -attributes.border_width, &x, &y, &child))
        return std::nullopt;
    WindowGeometry geometry;
    geometry.x = x;
    geometry.y = y;
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    geometry.borderWidth = attributes.border_width;
    const auto extents = property32(window, "_NET_FRAME_EXTENTS");
    if (extents.size() >= 4) {
        geometry.frameLeft = static_cast<int>(extents[0]);
        geometry.frameRight = static_cast<int>(extents[1]);
        geometry.frameTop = static_cast<int>(extents[2]);
        geometry.frameBottom = static_cast<int>(extents[3]);
    }
    return geometry;
}

std::optional<RequestedPosition> X11Session::requestedPosition(WindowId window) const
{
    pumpEvents();
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(dpy_, window, &hints, &supplied))
        return std::nullopt;
    RequestedPosition position;
    position.userSpecified = (hints.flags & USPosition) != 0;
    position.programSpecified = (hints.flags & PPosition) != 0;
    if (!position.userSpecified && !position.programSpecified)
        return std::nullopt;
    position.x = hints.x;
    position.y = hints.y;
    return position;
}

QStringList X11Session::netWmState(WindowId window) const
{
    pumpEvents();
    return atomNames(property32(window, "_NET_WM_STATE"));
}

QStringList X11Session::windowTypes(WindowId window) const
{
    pumpEvents();
    return atomNames(property32(window, "_NET_WM_WINDOW_TYPE"));
}

bool X11Session::minimise(WindowId window)
{
    return runTool("xdotool", {"windowminimize", QString::number(window)}).ok();
}

bool X11Session::activate(WindowId window)
{
    return runTool("xdotool", {"windowactivate", QString::number(window)}).ok();
}

bool X11Session::raise(WindowId window)
{
    return runTool("xdotool", {"windowraise", QString::number(window)}).ok();
}

void X11Session::setKeepAbove(WindowId window, bool above)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("_NET_WM_STATE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = above ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    event.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_ABOVE"));
    event.xclient.data.l[3] = 2; // from a pager: applied without second thoughts
    XSendEvent(dpy_, DefaultRootWindow(dpy_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy_);
}

void X11Session::sendDeleteWindow(WindowId window)
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

WindowId X11Session::createTestWindow(const QString& title, const QRect& rect)
{
    const int screenNumber = DefaultScreen(dpy_);
    const Window window = XCreateSimpleWindow(
        dpy_, DefaultRootWindow(dpy_), rect.x(), rect.y(), static_cast<unsigned>(rect.width()),
        static_cast<unsigned>(rect.height()), 0, BlackPixel(dpy_, screenNumber),
        WhitePixel(dpy_, screenNumber));
    const QByteArray utf8 = title.toUtf8();
    XStoreName(dpy_, window, utf8.constData());
    XChangeProperty(dpy_, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.constData()),
                    static_cast<int>(utf8.size()));
    const long self = getpid();
    XChangeProperty(dpy_, window, atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&self), 1);
    Atom protocols[] = {atom("WM_DELETE_WINDOW")};
    XSetWMProtocols(dpy_, window, protocols, 1);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = rect.x();
    hints.y = rect.y();
    hints.width = rect.width();
    hints.height = rect.height();
    XSetWMNormalHints(dpy_, window, &hints);
    XMapWindow(dpy_, window);
    XFlush(dpy_);
    testWindows_.push_back(window);
    return window;
}

void X11Session::destroyTestWindow(WindowId window)
{
    const auto it = std::find(testWindows_.begin(), testWindows_.end(), window);
    if (it == testWindows_.end())
        return;
    testWindows_.erase(it);
    XDestroyWindow(dpy_, window);
    XFlush(dpy_);
}

bool X11Session::closeRequested(WindowId testWindow) const
{
    pumpEvents();
    return std::find(closeRequests_.begin(), closeRequests_.end(), testWindow) !=
           closeRequests_.end();
}

std::vector<ReparentedWindow> X11Session::takeReparentedWindows()
{
    XSync(dpy_, False);
    pumpEvents();
    std::vector<ReparentedWindow> taken;
    taken.swap(reparented_);
    return taken;
}

ToolResult X11Session::runTool(const QString& program, const QStringList& args,
                               std::chrono::milliseconds timeout) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("HOME", helperHome_->path());
    env.remove("XAUTHORITY");
    process.setProcessEnvironment(env);
    process.start(program, args);
    ToolResult result;
    if (!process.waitForStarted(static_cast<int>(timeout.count()))) {
        result.errors = program + ": " + process.errorString();
        return result;
    }
    if (!process.waitForFinished(static_cast<int>(timeout.count()))) {
        process.kill();
        process.waitForFinished(5000);
        result.errors = program + " did not finish in time";
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.errors = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

bool X11Session::screenshot(const QString& pngPath) const
{
    QFile::remove(pngPath);
    const ToolResult result = runTool("import", {"-window", "root", pngPath});
    return result.ok() && QFileInfo(pngPath).size() > 0;
}

QString X11Session::describe() const
{
    QString text;
    text += "== xprop -root\n" + runTool("xprop", {"-root"}).output;
    text += "\n== xwininfo -root -tree\n" + runTool("xwininfo", {"-root", "-tree"}).output;
    return text;
}

} // namespace zarvello::e2e
