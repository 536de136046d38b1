// The meter window on a real desktop, in two runs a user might make: the first run (corner
// place, tray, menus, window-manager states, snapping, the close box) and a run with stored
// options (no docking, not on top, a task-bar entry, the menu's Close).
#include "E2eTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/inotify.h>
#include <unistd.h>

namespace zarvello::e2e {
namespace {

// Grips relative to the window's corner: on the caption text, clear of the close box, and in
// the empty column right of the bars in the three-row layout.
constexpr QPoint kCaptionGrip(40, 10);
constexpr QPoint kClientGrip(175, 59);
constexpr QSize kFirstRunSize(180, 103);
constexpr auto kQuietSpan = std::chrono::milliseconds(300);
enum MenuItem { kAbout = 1, kSettings = 2, kMaximize = 4, kMinimize = 5, kClose = 6 };

// Counts the times the options file is saved: each save creates it or renames a new one over it.
class SaveCounter
{
public:
    explicit SaveCounter(const QString& file)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), name_(QFileInfo(file).fileName())
    {
        inotify_add_watch(fd_, QFile::encodeName(QFileInfo(file).path()).constData(),
                          IN_MOVED_TO | IN_CREATE);
    }
    ~SaveCounter() { close(fd_); }
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                count_ += event->len && name_ == QString::fromUtf8(event->name) ? 1 : 0;
                at += sizeof(inotify_event) + event->len;
            }
        return count_;
    }

private:
    int fd_;
    QString name_;
    int count_ = 0;
};

class MeterWindow : public E2eTest
{
protected:
    void launch(const QRect& expected)
    {
        app_ = &startProgram();
        const auto window = app_->waitForMainWindow();
        ASSERT_TRUE(window) << app_->output().toStdString();
        window_ = *window;
        // The stored place comes last in the load: this is the settled window.
        ASSERT_TRUE(waitUntil([&] { return x().frame(window_) == expected; }, kReactionTimeout))
            << "window at " << x().frame(window_).x() << "," << x().frame(window_).y();
    }
    QPoint corner() { return x().frame(window_).topLeft(); }
    bool hasState(const char* atom) { return x().netWmState(window_).contains(atom); }

    // Drags from `grip` towards `proposed` and expects the window's corner at `expected`. On
    // the way the window must follow the cursor exactly to a place clear of every edge, which
    // both synchronises with the program and shows the drag carries no offset.
    void drag(const QPoint& grip, const QPoint& proposed, const QPoint& expected, int button = 1)
    {
        const QPoint clear(500, 300), from = corner() + grip, via = clear + grip,
                                      to = proposed + grip;
        xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown",
                 QString::number(button), "mousemove", QString::number(via.x()),
                 QString::number(via.y())});
        const bool followed = waitUntil([&] { return corner() == clear; }, kReactionTimeout);
        if (followed)
            xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())});
        const bool arrived =
            followed && waitUntil([&] { return corner() == expected; }, kReactionTimeout);
        xdotool({"mouseup", QString::number(button)});
        EXPECT_TRUE(followed && arrived) << "towards " << proposed.x() << "," << proposed.y()
                                         << ": at " << corner().x() << "," << corner().y();
    }

    // A right click at `at`; the popup menu it opened, 0 if none.
    WindowId openMenu(const QPoint& at)
    {
        const auto before = x().popupsOf(app_->pid());
        click(at, 3);
        WindowId menu = 0;
        waitUntil(
            [&] {
                for (WindowId window : x().popupsOf(app_->pid()))
                    if (std::find(before.begin(), before.end(), window) == before.end())
                        menu = window;
                return menu != 0;
            },
            kReactionTimeout);
        return menu;
    }
    // The menu's picture once painting has settled: unchanged for kQuietSpan, as a loaded
    // machine may paint a menu in steps further apart than two looks.
    std::vector<unsigned long> settled(WindowId menu)
    {
        std::vector<unsigned long> picture;
        auto since = std::chrono::steady_clock::now();
        waitUntil(
            [&] {
                if (auto now = x().pixels(menu); now != picture) {
                    picture = std::move(now);
                    since = std::chrono::steady_clock::now();
                }
                return !picture.empty() && std::chrono::steady_clock::now() - since >= kQuietSpan;
            },
            kReactionTimeout);
        return picture;
    }
    // Runs the menu's `item`-th command from the keyboard. The first Down must visibly highlight
    // an item first: until the menu holds the keyboard, keys go elsewhere.
    void runMenuItem(const QPoint& at, int item)
    {
        const WindowId menu = openMenu(at);
        ASSERT_NE(menu, 0UL) << "no menu at " << at.x() << "," << at.y();
        const auto plain = settled(menu);
        xdotool({"key", "Down"});
        ASSERT_TRUE(waitUntil([&] { return x().pixels(menu) != plain; }, kReactionTimeout));
        QStringList keys{"key", "--delay", "30"};
        for (int i = 1; i < item; ++i)
            keys << "Down";
        xdotool(keys << "Return");
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(menu); }, kReactionTimeout));
    }
    // The window titled `title` of the program, once viewable.
    WindowId waitForWindow(const QString& title)
    {
        WindowId found = 0;
        waitUntil(
            [&] {
                const auto windows = x().windowsOf(app_->pid(), title);
                found = windows.empty() ? 0 : windows.front();
                return found != 0;
            },
            kReactionTimeout);
        return found;
    }
    void closeDialog(WindowId dialog)
    {
        x().sendDeleteWindow(dialog);
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(dialog); }, kReactionTimeout));
    }
    QRect trayIcon()
    {
        WindowId icon = 0;
        waitUntil([&] { return (icon = x().trayIconOf(app_->pid())) != 0; }, kWindowTimeout);
        return icon ? x().frame(icon) : QRect();
    }

    AppProcess* app_ = nullptr;
    WindowId window_ = 0;
};

TEST_F(MeterWindow, FirstRunCornerTrayMenusStatesSnappingAndTheCloseBox)
{
    ASSERT_TRUE(QDir().mkpath(configHome() + "/zarvello"));
    SaveCounter saves(optionsPath());
    const QRect area = x().workArea();
    ASSERT_NO_FATAL_FAILURE(
        launch(QRect(QPoint(area.right() + 1 - kFirstRunSize.width(), area.top()), kFirstRunSize)));
    EXPECT_TRUE(waitUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout));
    EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR"));

    // One menu, whether from the client area, the caption, the border or the tray icon; on the
    // window it opens where the click was.
    const QRect icon = trayIcon();
    ASSERT_FALSE(icon.isEmpty()) << "no tray icon";
    std::vector<unsigned long> reference;
    for (const QPoint& at : {corner() + kClientGrip, corner() + kCaptionGrip,
                             corner() + QPoint(1, 50), icon.center()}) {
        const WindowId menu = openMenu(at);
        ASSERT_NE(menu, 0UL) << "no menu at " << at.x() << "," << at.y();
        EXPECT_TRUE(at == icon.center() || x().frame(menu).adjusted(-1, -1, 1, 1).contains(at));
        if (reference.empty())
            reference = settled(menu);
        else
            EXPECT_TRUE(waitUntil([&] { return x().pixels(menu) == reference; }, kReactionTimeout))
                << "the menu at " << at.x() << "," << at.y() << " looks different";
        xdotool({"key", "Escape"});
        ASSERT_TRUE(waitUntil([&] { return !x().isViewable(menu); }, kReactionTimeout));
    }

    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kClientGrip, kAbout));
    const WindowId about = waitForWindow("About Zarvello");
    ASSERT_NE(about, 0UL);
    ASSERT_NO_FATAL_FAILURE(closeDialog(about));

    // Not kept above while the settings dialog is open, and again after; Minimize takes both
    // windows, a double click on the tray icon brings both back where they were.
    const QPoint place = corner();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kClientGrip, kSettings));
        const WindowId settings = waitForWindow("Settings");
        ASSERT_NE(settings, 0UL);
        EXPECT_TRUE(waitUntil([&] { return !hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout));
        if (round == 1) {
            ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kClientGrip, kMinimize));
            EXPECT_TRUE(
                waitUntil([&] { return x().isMinimised(window_) && !x().isViewable(settings); },
                          kReactionTimeout));
            EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR"));
            xdotool({"mousemove", QString::number(icon.center().x()),
                     QString::number(icon.center().y()), "click", "--repeat", "2", "--delay", "80",
                     "1"});
            EXPECT_TRUE(waitUntil([&] { return x().isShown(window_) && x().isViewable(settings); },
                                  kReactionTimeout));
            EXPECT_TRUE(waitUntil([&] { return corner() == place; }, kReactionTimeout));
        }
        ASSERT_NO_FATAL_FAILURE(closeDialog(settings));
        EXPECT_TRUE(waitUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }, kReactionTimeout));
    }

    // Maximize only restores: on a shown window it does nothing (the next menu still opens
    // there), from the tray after Minimize it brings the window back as it was.
    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kClientGrip, kMaximize));
    ASSERT_NO_FATAL_FAILURE(runMenuItem(place + kClientGrip, kMinimize));
    ASSERT_TRUE(waitUntil([&] { return x().isMinimised(window_); }, kReactionTimeout));
    ASSERT_NO_FATAL_FAILURE(runMenuItem(icon.center(), kMaximize));
    EXPECT_TRUE(
        waitUntil([&] { return x().isShown(window_) && corner() == place; }, kReactionTimeout));
    EXPECT_EQ(x().frame(window_).size(), kFirstRunSize);

    // A right-button drag on the client area moves the window and opens the menu on release.
    const std::size_t popups = x().popupsOf(app_->pid()).size();
    ASSERT_NO_FATAL_FAILURE(drag(kClientGrip, {300, 200}, {300, 200}, 3));
    EXPECT_TRUE(
        waitUntil([&] { return x().popupsOf(app_->pid()).size() > popups; }, kReactionTimeout));
    xdotool({"key", "Escape"});
    // Presses on the "In:" label or the bar start no drag: the client drag after them (handled
    // after them) moves the window by its own step only.
    for (const QPoint& grip : {QPoint(9, 27), QPoint(84, 44)}) {
        const QPoint at = QPoint(300, 200) + grip;
        xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "mousedown", "1",
                 "mousemove", QString::number(at.x() + 120), QString::number(at.y() + 150),
                 "mouseup", "1"});
    }
    const QPoint grip = QPoint(300, 200) + kClientGrip;
    xdotool({"mousemove", QString::number(grip.x()), QString::number(grip.y()), "mousedown", "1",
             "mousemove", QString::number(grip.x() + 50), QString::number(grip.y() + 40)});
    EXPECT_TRUE(waitUntil([&] { return corner() == QPoint(350, 240); }, kReactionTimeout));
    xdotool({"mouseup", "1"});

    // The caption docks to the work area's edges within ten pixels; the client area never.
    const int bottom = area.bottom() + 1 - kFirstRunSize.height();
    const int right = area.right() + 1 - kFirstRunSize.width();
    struct Drag
    {
        QPoint grip, proposed, expected;
    };
    const Drag drags[] = {
        {kCaptionGrip, {10, 300}, {0, 300}},
        {kCaptionGrip, {11, 300}, {11, 300}},
        {kCaptionGrip, {-10, 300}, {0, 300}},
        {kCaptionGrip, {-11, 300}, {-11, 300}},
        {kCaptionGrip, {400, 8}, {400, 0}},
        {kCaptionGrip, {400, bottom - 10}, {400, bottom}},
        {kCaptionGrip, {400, bottom + 10}, {400, bottom}},
        {kCaptionGrip, {400, bottom - 11}, {400, bottom - 11}},
        {kCaptionGrip, {right - 6, 300}, {right, 300}},
        {kCaptionGrip, {-4, bottom + 3}, {0, bottom}},
        {kClientGrip, {5, 300}, {5, 300}},
        {kClientGrip, {400, 4}, {400, 4}},
        {kClientGrip, {400, bottom - 5}, {400, bottom - 5}},
        {kCaptionGrip, {321, 234}, {321, 234}},
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(testing::Message() << "to " << d.proposed.x() << "," << d.proposed.y());
        ASSERT_NO_FATAL_FAILURE(drag(d.grip, d.proposed, d.expected));
    }

    // The close box ends the program with one save, and the next run comes back there.
    EXPECT_EQ(saves.count(), 0);
    click(corner() + QPoint(kFirstRunSize.width() - 10, 10), 1);
    const auto status = app_->waitForExit();
    ASSERT_TRUE(status && status->isCleanExit());
    EXPECT_EQ(saves.count(), 1);
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(321, 234), kFirstRunSize)));
}

TEST_F(MeterWindow, StoredOptionsHoldAcrossDragsDialogsAndMinimiseAndTheMenusCloseSavesOnce)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(kOptionsHeader + storedValues(200, 150)));
    SaveCounter saves(optionsPath());
    ASSERT_NO_FATAL_FAILURE(launch(QRect(200, 150, 405, 61)));
    EXPECT_FALSE(hasState("_NET_WM_STATE_ABOVE"));
    EXPECT_FALSE(hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {6, 300}, {6, 300}));

    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kCaptionGrip, kSettings));
    const WindowId settings = waitForWindow("Settings");
    ASSERT_NE(settings, 0UL);
    ASSERT_NO_FATAL_FAILURE(closeDialog(settings));
    // A drag is answered only after the dialog's close is handled: the state is final then.
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {400, 5}, {400, 5}));
    EXPECT_FALSE(hasState("_NET_WM_STATE_ABOVE"));

    // Minimised, the task-bar entry stays, and activating it (as a task bar does) restores.
    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kCaptionGrip, kMinimize));
    ASSERT_TRUE(waitUntil([&] { return x().isMinimised(window_); }, kReactionTimeout));
    EXPECT_FALSE(hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    ASSERT_TRUE(x().activate(window_));
    EXPECT_TRUE(waitUntil([&] { return x().isShown(window_); }, kReactionTimeout));

    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kCaptionGrip, kClose));
    const auto status = app_->waitForExit();
    ASSERT_TRUE(status && status->isCleanExit());
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(savedValues().toStdString(), storedValues(400, 5).toStdString());
}

} // namespace
} // namespace zarvello::e2e
