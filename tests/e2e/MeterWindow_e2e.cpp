// The meter window on a real desktop: its layouts as xwininfo measures them, dragging by the
// caption (docked to the work area's edges) and by the client area (never docked), the popup
// menu from the window and the tray icon, minimise and restore, the task-bar entry and
// always-on-top.
#include "E2eTest.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Last: Xlib's macros (None, Bool, Status, ...) clash with Qt's and gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zarvello::e2e {
namespace {

using Options = std::vector<std::pair<QString, int>>;

// The frame the window draws itself: 3-pixel border, 16-pixel caption.
constexpr QPoint kClientOrigin(3, 19);
// Grips, relative to the window's top-left corner. The caption grip lies on the caption text,
// well clear of the close box. The client grip is in the column right of the bars and the
// figures, empty in the three-row layout whatever the figures show.
constexpr QPoint kCaptionGrip(40, 10);
constexpr QPoint kBorderGrip(1, 50);
const QPoint kClientGrip = kClientOrigin + QPoint(172, 40);
// In the three-row layout: on the "In:" caption label and on the receive bar.
const QPoint kInLabelGrip = kClientOrigin + QPoint(1 + 5, 2 + 6);
const QPoint kInBarGrip = kClientOrigin + QPoint(1 + 80, 17 + 8);

// The first-run layout (In, Out and Peak Speed in three rows).
constexpr QSize kFirstRunSize(180, 103);

// Menu items, counted from the top; Down pressed k times highlights the k-th.
constexpr int kAboutItem = 1;
constexpr int kSettingsItem = 2;
constexpr int kMaximizeItem = 4;
constexpr int kMinimizeItem = 5;
constexpr int kCloseItem = 6;

std::string text(const QRect& r)
{
    return std::to_string(r.width()) + "x" + std::to_string(r.height()) + " at (" +
           std::to_string(r.x()) + "," + std::to_string(r.y()) + ")";
}

std::string text(const QPoint& p)
{
    return "(" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")";
}

class MeterWindow : public E2eTest
{
protected:
    // Writes the options file the program reads at start-up; what is left out takes its
    // first-run value.
    void storeOptions(const Options& options)
    {
        const QString dir = configHome() + "/zarvello";
        ASSERT_TRUE(QDir().mkpath(dir));
        QByteArray content = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n";
        for (const auto& [name, value] : options)
            content += "\"" + name.toLatin1() + "\"=dword:" +
                       QByteArray::number(static_cast<uint>(value), 16).rightJustified(8, '0') +
                       "\n";
        QFile file(dir + "/registry.reg");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    // Starts the program and waits for its settled window.
    void launch(const QRect& expected)
    {
        app_ = &startProgram();
        waitForSettledWindow(expected);
    }
    // Waits until the settings load has placed and sized the window as `expected`: the stored
    // place is applied after the last arrangement, so this is the settled window, not one of
    // the load's intermediate layouts.
    void waitForSettledWindow(const QRect& expected)
    {
        const auto window = app_->waitForMainWindow();
        ASSERT_TRUE(window) << "no meter window; program output:\n" << app_->output().toStdString();
        window_ = *window;
        QRect seen;
        ASSERT_TRUE(waitUntil(
            [&] {
                seen = frame();
                return seen == expected;
            },
            kReactionTimeout))
            << "expected " << text(expected) << ", the window is " << text(seen);
    }

    void launchFirstRun()
    {
        const QRect area = x().workArea();
        launch(QRect(QPoint(area.right() + 1 - kFirstRunSize.width(), area.top()), kFirstRunSize));
    }

    // Closes the window as the window manager's close request does and waits for a clean end.
    void closeProgram()
    {
        x().sendDeleteWindow(window_);
        const auto status = app_->waitForExit();
        ASSERT_TRUE(status) << "the program did not end";
        ASSERT_TRUE(status->isCleanExit()) << status->describe();
    }

    // The window as xwininfo reports it (it has no window-manager frame of its own).
    QRect frame()
    {
        const auto geometry = x().geometry(window_);
        return geometry ? geometry->outer() : QRect();
    }
    QPoint windowAt() { return frame().topLeft(); }

    bool waitForWindowAt(const QPoint& topLeft, QPoint& seen)
    {
        return waitUntil(
            [&] {
                seen = windowAt();
                return seen == topLeft;
            },
            kReactionTimeout);
    }

    void xdotool(const QStringList& args)
    {
        const ToolResult result = x().runTool("xdotool", args);
        ASSERT_TRUE(result.ok()) << "xdotool " << args.join(' ').toStdString() << ": "
                                 << result.errors.toStdString();
    }
    void mouseTo(const QPoint& p)
    {
        xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    void press(const QPoint& p, int button)
    {
        xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "mousedown",
                 QString::number(button)});
    }
    void release(int button) { xdotool({"mouseup", QString::number(button)}); }
    void keys(const QStringList& names)
    {
        QStringList args{"key", "--delay", "30"};
        args << names;
        xdotool(args);
    }

    // Drags from `grip` (relative to the window) so that, followed exactly, the window's
    // top-left corner would go to `proposed`, and expects it at `expected`. On the way the
    // cursor stops where the window lies clear of every edge and the window must have followed
    // it there exactly: that both synchronises with the program and shows that the drag
    // carries the window without an offset.
    void dragAndExpect(const QPoint& grip, const QPoint& proposed, const QPoint& expected,
                       int button = 1)
    {
        const QPoint clear(500, 300);
        QPoint seen;
        press(windowAt() + grip, button);
        mouseTo(clear + grip);
        const bool followed = waitForWindowAt(clear, seen);
        if (followed)
            mouseTo(proposed + grip);
        const bool arrived = followed && waitForWindowAt(expected, seen);
        release(button);
        ASSERT_TRUE(followed) << "the window did not follow the drag to " << text(clear)
                              << "; it is at " << text(seen);
        EXPECT_TRUE(arrived) << "dragged towards " << text(proposed) << ": expected "
                             << text(expected) << ", the window is at " << text(seen);
    }

    // The program's popup windows on show: override-redirect top-level windows of its own,
    // tooltips left out.
    std::vector<WindowId> popups()
    {
        Display* display = x().xlib();
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::vector<WindowId> found;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return found;
        const std::vector<Window> all(children, children + count);
        if (children)
            XFree(children);
        for (Window window : all) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, window, &attributes) == 0 ||
                !attributes.override_redirect || attributes.map_state != IsViewable)
                continue;
            if (x().pid(window) != static_cast<long>(app_->pid()))
                continue;
            if (x().windowTypes(window).contains("_NET_WM_WINDOW_TYPE_TOOLTIP"))
                continue;
            found.push_back(window);
        }
        return found;
    }

    // A right click at `where` (screen coordinates); returns the popup window it opened, 0 if
    // none came up.
    WindowId rightClickForMenu(const QPoint& where)
    {
        const std::vector<WindowId> before = popups();
        const ToolResult result =
            x().runTool("xdotool", {"mousemove", QString::number(where.x()),
                                    QString::number(where.y()), "click", "3"});
        if (!result.ok())
            return 0;
        WindowId menu = 0;
        waitUntil(
            [&] {
                for (WindowId window : popups())
                    if (std::find(before.begin(), before.end(), window) == before.end())
                        menu = window;
                return menu != 0;
            },
            kReactionTimeout);
        return menu;
    }

    // The window's pixels as the X server holds them.
    QByteArray pixels(WindowId window)
    {
        Display* display = x().xlib();
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0 ||
            attributes.map_state != IsViewable)
            return {};
        XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                                  AllPlanes, ZPixmap);
        if (!image)
            return {};
        QByteArray bytes;
        for (int row = 0; row < image->height; ++row)
            bytes.append(image->data + row * image->bytes_per_line,
                         image->width * image->bits_per_pixel / 8);
        XDestroyImage(image);
        return bytes;
    }

    // The menu's picture once painting has settled (two looks in a row agree).
    QByteArray settledPixels(WindowId menu)
    {
        QByteArray last;
        QByteArray now;
        waitUntil(
            [&] {
                last = std::exchange(now, pixels(menu));
                return !now.isEmpty() && now == last;
            },
            kReactionTimeout);
        return now;
    }

    void closeMenu(WindowId menu)
    {
        keys({"Escape"});
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(menu); }, kReactionTimeout))
            << "the menu did not close on Escape";
    }

    // Opens the menu at `where` and runs its `item`-th command from the keyboard. The first
    // Down must visibly highlight an item before the rest is typed: until the menu holds the
    // keyboard, keys would go elsewhere and the count would be off.
    void runMenuItem(const QPoint& where, int item)
    {
        const WindowId menu = rightClickForMenu(where);
        ASSERT_NE(menu, 0UL) << "no menu opened at " << text(where);
        const QByteArray plain = settledPixels(menu);
        keys({"Down"});
        ASSERT_TRUE(waitUntil(
            [&] {
                const QByteArray now = pixels(menu);
                return !now.isEmpty() && now != plain;
            },
            kReactionTimeout))
            << "Down highlighted nothing in the menu";
        QStringList rest(item - 1, "Down");
        rest << "Return";
        keys(rest);
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(menu); }, kReactionTimeout))
            << "the menu stayed open";
    }

    // The program's tray icon: its window embedded in the tray bar below the work area.
    std::optional<QRect> trayIcon()
    {
        std::optional<QRect> icon;
        const int panelTop = x().workArea().bottom() + 1;
        waitUntil(
            [&] {
                for (WindowId window : x().findWindowsOfPid(app_->pid())) {
                    const auto geometry = x().geometry(window);
                    if (geometry && x().isViewable(window) && geometry->y >= panelTop &&
                        geometry->width > 0)
                        icon = geometry->client();
                }
                return icon.has_value();
            },
            kWindowTimeout);
        return icon;
    }

    std::optional<WindowId> findSettingsWindow()
    {
        for (WindowId window : x().findVisibleWindows("Settings"))
            if (x().pid(window) == static_cast<long>(app_->pid()))
                return window;
        return std::nullopt;
    }

    bool hasState(const char* atom) { return x().netWmState(window_).contains(atom); }
    std::string states() { return x().netWmState(window_).join(' ').toStdString(); }

    bool isMinimised() { return x().isIconic(window_) && !x().isViewable(window_); }
    bool isShown() { return x().wmState(window_) == 1L && x().isViewable(window_); }

    AppProcess* app_ = nullptr;
    WindowId window_ = 0;
};

// ---- Layouts ----------------------------------------------------------------------------

struct Layout
{
    const char* name;
    Options options;
    QSize size;
};

Options combination(bool in, bool out, bool maxSpeed, bool horiz, bool shrink)
{
    return {{"In", in}, {"Out", out}, {"MaxSpeed", maxSpeed}, {"Horiz", horiz}, {"Shrink", shrink}};
}

Options with(Options options, const Options& more)
{
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

// The stored place, well inside the screen for every layout.
constexpr QPoint kStoredPlace(200, 150);

class MeterWindowLayouts : public MeterWindow
{
protected:
    void expectAll(const std::vector<Layout>& layouts)
    {
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(layout.name);
            ASSERT_NO_FATAL_FAILURE(storeOptions(
                with(layout.options, {{"Left", kStoredPlace.x()}, {"Top", kStoredPlace.y()}})));
            ASSERT_NO_FATAL_FAILURE(launch(QRect(kStoredPlace, layout.size)));
            ASSERT_NO_FATAL_FAILURE(closeProgram());
        }
    }
};

TEST_F(MeterWindowLayouts, GroupsInRows)
{
    expectAll({
        {"In", combination(true, false, false, false, false), {180, 63}},
        {"Out (the In window is 6 px taller)",
         combination(false, true, false, false, false),
         {180, 57}},
        {"In and Peak Speed", combination(true, false, true, false, false), {180, 70}},
        {"Peak Speed", combination(false, false, true, false, false), {75, 55}},
        {"In, Out, Peak Speed, large font on (same window, smaller type)",
         with(combination(true, true, true, false, false), {{"SmallFont", 0}, {"LargeFont", 1}}),
         {180, 103}},
        {"In and Horizontal, no layout of its own: as In",
         combination(true, false, false, true, false),
         {180, 63}},
    });
}

TEST_F(MeterWindowLayouts, GroupsSideBySideAndLessInfo)
{
    expectAll({
        {"Peak Speed, Horizontal", combination(false, false, true, true, false), {120, 40}},
        {"Peak Speed, Horizontal, Less Info",
         combination(false, false, true, true, true),
         {50, 40}},
        {"In, Out, Peak Speed, Horizontal", combination(true, true, true, true, false), {405, 61}},
        {"all five: one line", combination(true, true, true, true, true), {531, 40}},
        {"In, Out, Peak Speed, Less Info", combination(true, true, true, false, true), {240, 75}},
        {"In, Less Info", combination(true, false, false, false, true), {240, 40}},
        {"In, Horizontal, Less Info: as In, Less Info",
         combination(true, false, false, true, true),
         {240, 40}},
        {"Out, Less Info, no layout of its own: as Out, Horizontal, Less Info",
         combination(false, true, false, false, true),
         {240, 40}},
    });
}

// No group at all: the program switches In back on, says so in a message box, and the load
// only goes on (to the stored place) once the box is closed.
TEST_F(MeterWindow, StoredOptionsWithNoGroupShowInAloneAfterAMessage)
{
    ASSERT_NO_FATAL_FAILURE(storeOptions(
        with(combination(false, false, false, false, false), {{"Left", 300}, {"Top", 200}})));
    app_ = &startProgram();
    std::optional<WindowId> box;
    waitUntil(
        [&] {
            // The tray icon bears the same title; only the box is a managed window.
            for (WindowId window : x().managedWindowsOfPid(app_->pid()))
                if (x().title(window) == "Zarvello" && x().isViewable(window))
                    box = window;
            return box.has_value() || !app_->isRunning();
        },
        kWindowTimeout);
    ASSERT_TRUE(box) << "no message box; program output:\n" << app_->output().toStdString();
    x().sendDeleteWindow(*box);
    ASSERT_TRUE(waitUntil([&] { return !x().isViewable(*box); }, kReactionTimeout));
    ASSERT_NO_FATAL_FAILURE(waitForSettledWindow(QRect(QPoint(300, 200), QSize(180, 63))));
}

// ---- Dragging -------------------------------------------------------------------------

struct DragCase
{
    const char* name;
    QPoint proposed; // where the window's corner would go, following the cursor exactly
    QPoint expected;
};

// The first-run window is 180 x 103; the work area is the screen less the 24-pixel tray bar.
TEST_F(MeterWindow, CaptionDragSnapsToTheWorkAreaEdgesWithinTenPixels)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const QRect area = x().workArea();
    ASSERT_EQ(area, QRect(0, 0, 1280, 776)) << "the tray bar should take the bottom 24 pixels";
    const int w = kFirstRunSize.width();
    const int h = kFirstRunSize.height();
    const int bottomFlush = area.bottom() + 1 - h; // bottom edge on the top of the tray bar
    const int rightFlush = area.right() + 1 - w;
    const std::vector<DragCase> cases = {
        {"left edge 10 px in", {10, 300}, {0, 300}},
        {"left edge 11 px in: too far", {11, 300}, {11, 300}},
        {"left edge 10 px off the screen", {-10, 300}, {0, 300}},
        {"left edge 11 px off the screen: too far", {-11, 300}, {-11, 300}},
        {"top edge 8 px down", {400, 8}, {400, 0}},
        {"bottom edge 10 px above the tray bar", {400, bottomFlush - 10}, {400, bottomFlush}},
        {"bottom edge 10 px into the tray bar", {400, bottomFlush + 10}, {400, bottomFlush}},
        {"bottom edge 11 px above the tray bar: too far",
         {400, bottomFlush - 11},
         {400, bottomFlush - 11}},
        {"right edge 6 px short of the screen's right", {rightFlush - 6, 300}, {rightFlush, 300}},
        {"bottom-left corner", {-4, bottomFlush + 3}, {0, bottomFlush}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(dragAndExpect(kCaptionGrip, c.proposed, c.expected));
    }
}

TEST_F(MeterWindow, ClientAreaDragMovesWithoutSnapping)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const int bottomFlush = x().workArea().bottom() + 1 - kFirstRunSize.height();
    const std::vector<DragCase> cases = {
        {"left edge 5 px in", {5, 300}, {5, 300}},
        {"left edge 5 px off the screen", {-5, 300}, {-5, 300}},
        {"top edge 4 px down", {400, 4}, {400, 4}},
        {"bottom edge 5 px above the tray bar", {400, bottomFlush - 5}, {400, bottomFlush - 5}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(dragAndExpect(kClientGrip, c.proposed, c.expected));
    }
}

TEST_F(MeterWindow, ClientAreaDragWithTheRightButtonMovesAndOpensTheMenuOnRelease)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const std::vector<WindowId> before = popups();
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kClientGrip, {6, 200}, {6, 200}, 3));
    WindowId menu = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            for (WindowId window : popups())
                if (std::find(before.begin(), before.end(), window) == before.end())
                    menu = window;
            return menu != 0;
        },
        kReactionTimeout))
        << "no menu after the right button was released";
    if (menu)
        closeMenu(menu);
}

TEST_F(MeterWindow, PressOnALabelOrABarStartsNoDrag)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kClientGrip, {300, 200}, {300, 200}));
    const QPoint start = windowAt();
    for (const QPoint& grip : {kInLabelGrip, kInBarGrip}) {
        press(start + grip, 1);
        mouseTo(start + grip + QPoint(120, 150));
        release(1);
    }
    // The drag that follows is handled after the presses above, so where it leaves the window
    // shows whether they moved it.
    const QPoint step(50, 40);
    QPoint seen;
    press(start + kClientGrip, 1);
    mouseTo(start + kClientGrip + step);
    const bool moved = waitForWindowAt(start + step, seen);
    release(1);
    EXPECT_TRUE(moved) << "after presses on a label and a bar and a " << text(step)
                       << " client drag from " << text(start) << " the window is at " << text(seen);
}

TEST_F(MeterWindow, StoredDockingOffCaptionDragDoesNotSnap)
{
    ASSERT_NO_FATAL_FAILURE(storeOptions(with(combination(true, true, true, false, false),
                                              {{"Dock", 0}, {"Left", 300}, {"Top", 200}})));
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(300, 200), kFirstRunSize)));
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kCaptionGrip, {6, 300}, {6, 300}));
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kCaptionGrip, {400, 5}, {400, 5}));
}

// ---- Popup menu ------------------------------------------------------------------------

TEST_F(MeterWindow, SameMenuFromClientAreaCaptionBorderAndTrayIcon)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const auto icon = trayIcon();
    ASSERT_TRUE(icon) << "the program's icon did not appear in the tray";
    const QPoint corner = windowAt();
    struct Place
    {
        const char* name;
        QPoint at;
        bool onWindow;
    };
    const std::vector<Place> places = {
        {"client area", corner + kClientGrip, true},
        {"caption", corner + kCaptionGrip, true},
        {"border", corner + kBorderGrip, true},
        {"tray icon", icon->center(), false},
    };
    QByteArray reference;
    QSize referenceSize;
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        const WindowId menu = rightClickForMenu(place.at);
        ASSERT_NE(menu, 0UL) << "no menu opened";
        const QRect rect = x().geometry(menu)->client();
        if (place.onWindow) {
            EXPECT_TRUE(rect.adjusted(-1, -1, 1, 1).contains(place.at))
                << "menu " << text(rect) << " away from the click at " << text(place.at);
        }
        if (reference.isEmpty()) {
            reference = settledPixels(menu);
            referenceSize = rect.size();
            ASSERT_FALSE(reference.isEmpty());
        } else {
            EXPECT_EQ(rect.size(), referenceSize);
            EXPECT_TRUE(waitUntil([&] { return pixels(menu) == reference; }, kReactionTimeout))
                << "this menu looks different from the one from the client area; screenshot "
                << saveScreenshot(QString("menu-%1").arg(&place - places.data())).toStdString();
        }
        ASSERT_NO_FATAL_FAILURE(closeMenu(menu));
    }
}

// Each command is chosen by its place in the menu, so its effect shows both the order and
// that the item works: About 1st, Settings 2nd, Maximize 4th, Minimize 5th, Close 6th.
TEST_F(MeterWindow, MenuItemsInOrderDoWhatTheySay)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const QPoint client = windowAt() + kClientGrip;

    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kAboutItem));
    std::optional<WindowId> about;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (WindowId window : x().findVisibleWindows("About Zarvello"))
                if (x().pid(window) == static_cast<long>(app_->pid()))
                    about = window;
            return about.has_value();
        },
        kReactionTimeout))
        << "item 1 did not open the about box";
    x().sendDeleteWindow(*about);
    ASSERT_TRUE(waitUntil([&] { return !x().isViewable(*about); }, kReactionTimeout));

    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kSettingsItem));
    std::optional<WindowId> settings;
    ASSERT_TRUE(waitUntil(
        [&] {
            settings = findSettingsWindow();
            return settings.has_value();
        },
        kReactionTimeout))
        << "item 2 did not open the settings dialog";
    x().sendDeleteWindow(*settings);
    ASSERT_TRUE(waitUntil([&] { return !x().isViewable(*settings); }, kReactionTimeout));

    // Maximize while not minimised changes nothing: the next menu still opens from the window
    // where it was, and only then does Minimize take it away.
    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kMaximizeItem));
    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kMinimizeItem));
    EXPECT_TRUE(waitUntil([&] { return isMinimised(); }, kReactionTimeout))
        << "item 5 did not minimise the window; WM_STATE " << x().wmState(window_).value_or(-1);

    const auto icon = trayIcon();
    ASSERT_TRUE(icon);
    ASSERT_NO_FATAL_FAILURE(runMenuItem(icon->center(), kMaximizeItem));
    EXPECT_TRUE(waitUntil([&] { return isShown(); }, kReactionTimeout))
        << "item 4 from the tray icon did not bring the window back";
    QPoint seen;
    EXPECT_TRUE(waitForWindowAt(client - kClientGrip, seen))
        << "restored at " << text(seen) << ", not where it was";
    EXPECT_EQ(frame().size(), kFirstRunSize) << "\"Maximize\" must not maximise the window";

    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kCloseItem));
    const auto status = app_->waitForExit();
    ASSERT_TRUE(status) << "item 6 did not end the program";
    EXPECT_TRUE(status->isCleanExit()) << status->describe();
}

// ---- Minimise and restore, task-bar entry ----------------------------------------------

TEST_F(MeterWindow, MinimizeTakesEveryWindowAndATrayDoubleClickBringsThemBack)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    const QPoint place = windowAt();
    const QPoint client = place + kClientGrip;
    EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << "task bar off: " << states();
    ASSERT_NO_FATAL_FAILURE(runMenuItem(client, kSettingsItem));
    std::optional<WindowId> settings;
    ASSERT_TRUE(waitUntil(
        [&] {
            settings = findSettingsWindow();
            return settings.has_value();
        },
        kReactionTimeout));
    const auto icon = trayIcon();
    ASSERT_TRUE(icon);

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(runMenuItem(windowAt() + kClientGrip, kMinimizeItem));
        EXPECT_TRUE(waitUntil([&] { return isMinimised() && !x().isViewable(*settings); },
                              kReactionTimeout))
            << "meter window iconic " << x().isIconic(window_) << ", settings dialog viewable "
            << x().isViewable(*settings);
        // Task bar off: no entry while minimised either.
        EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << states();

        xdotool({"mousemove", QString::number(icon->center().x()),
                 QString::number(icon->center().y()), "click", "--repeat", "2", "--delay", "80",
                 "1"});
        EXPECT_TRUE(
            waitUntil([&] { return isShown() && x().isViewable(*settings); }, kReactionTimeout))
            << "meter window WM_STATE " << x().wmState(window_).value_or(-1)
            << ", settings dialog viewable " << x().isViewable(*settings);
        QPoint seen;
        EXPECT_TRUE(waitForWindowAt(place, seen)) << "back at " << text(seen);
        EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << states();
    }
}

TEST_F(MeterWindow, StoredTaskBarOnKeepsAnEntryWhileMinimisedAndActivatingItRestores)
{
    ASSERT_NO_FATAL_FAILURE(storeOptions(with(combination(true, true, true, false, false),
                                              {{"TaskBar", 1}, {"Left", 300}, {"Top", 200}})));
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(300, 200), kFirstRunSize)));
    EXPECT_FALSE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << states();

    ASSERT_NO_FATAL_FAILURE(runMenuItem(windowAt() + kClientGrip, kMinimizeItem));
    ASSERT_TRUE(waitUntil([&] { return isMinimised(); }, kReactionTimeout));
    EXPECT_FALSE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << "minimised: " << states();
    const auto managed = x().clientList();
    EXPECT_NE(std::find(managed.begin(), managed.end(), window_), managed.end());

    // What a task bar does when its entry is clicked.
    ASSERT_TRUE(x().activate(window_));
    EXPECT_TRUE(waitUntil([&] { return isShown(); }, kReactionTimeout))
        << "activating the minimised window did not restore it";
    EXPECT_FALSE(hasState("_NET_WM_STATE_SKIP_TASKBAR")) << "restored: " << states();
}

// ---- Always on top ---------------------------------------------------------------------

TEST_F(MeterWindow, KeptAboveExceptWhileTheSettingsDialogIsOpen)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    EXPECT_TRUE(waitUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout))
        << states();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(runMenuItem(windowAt() + kClientGrip, kSettingsItem));
        std::optional<WindowId> settings;
        ASSERT_TRUE(waitUntil(
            [&] {
                settings = findSettingsWindow();
                return settings.has_value();
            },
            kReactionTimeout));
        EXPECT_TRUE(waitUntil([&] { return !hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout))
            << "still kept above with the settings dialog open: " << states();
        x().sendDeleteWindow(*settings);
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(*settings); }, kReactionTimeout));
        EXPECT_TRUE(waitUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout))
            << "not kept above again after the dialog closed: " << states();
    }
}

TEST_F(MeterWindow, StoredAlwaysOnTopOffIsNotKeptAboveBeforeOrAfterTheSettingsDialog)
{
    ASSERT_NO_FATAL_FAILURE(storeOptions(with(combination(true, true, true, false, false),
                                              {{"OnTop", 0}, {"Left", 300}, {"Top", 200}})));
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(300, 200), kFirstRunSize)));
    EXPECT_TRUE(waitUntil([&] { return !hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout))
        << states();
    ASSERT_NO_FATAL_FAILURE(runMenuItem(windowAt() + kClientGrip, kSettingsItem));
    std::optional<WindowId> settings;
    ASSERT_TRUE(waitUntil(
        [&] {
            settings = findSettingsWindow();
            return settings.has_value();
        },
        kReactionTimeout));
    x().sendDeleteWindow(*settings);
    ASSERT_TRUE(waitUntil([&] { return !x().isViewable(*settings); }, kReactionTimeout));
    // Nothing to wait for: what closing the dialog does is done once a later request is
    // answered; a drag is one, and it also shows the window still answers.
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kClientGrip, {350, 250}, {350, 250}));
    EXPECT_FALSE(hasState("_NET_WM_STATE_ABOVE")) << states();
}

// ---- Close box -------------------------------------------------------------------------

TEST_F(MeterWindow, CloseBoxEndsTheProgramAndTheNextStartComesBackToTheSamePlace)
{
    ASSERT_NO_FATAL_FAILURE(launchFirstRun());
    ASSERT_NO_FATAL_FAILURE(dragAndExpect(kCaptionGrip, {321, 234}, {321, 234}));
    const QPoint closeBox = windowAt() + QPoint(kFirstRunSize.width() - 3 - 7, 10);
    xdotool(
        {"mousemove", QString::number(closeBox.x()), QString::number(closeBox.y()), "click", "1"});
    const auto status = app_->waitForExit();
    ASSERT_TRUE(status) << "a click on the close box did not end the program";
    EXPECT_TRUE(status->isCleanExit()) << status->describe();
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(321, 234), kFirstRunSize)));
}

} // namespace
} // namespace zarvello::e2e
