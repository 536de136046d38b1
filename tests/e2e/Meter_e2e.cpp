// The meter window on a real desktop in the two runs a user makes: the first (corner place,
// window-manager states, tray, menus, snapping, the close box) and one with stored options
// (no docking, not on top, a task-bar entry, the hot key, SIGTERM).
#include "E2e.h"

// Last: X's headers define macros (None, Bool, ...) that clash with others.
#include <X11/XKBlib.h>

namespace zarvello::e2e {
namespace {

// Grips relative to the window's corner: on the caption text, clear of the close box, and in
// the empty column right of the bars in the three-row layout.
constexpr QPoint kCaptionGrip(40, 10);
constexpr QPoint kClientGrip(175, 59);
constexpr QSize kFirstRunSize(180, 103);
enum MenuItem { kSettings = 2, kMinimize = 5 };

class Meter : public E2eTest
{
protected:
    void launch(const QRect& expected)
    {
        app_ = &start();
        ASSERT_NE(w_ = windowOf(*app_), 0UL);
        // The stored place comes last in the load: this is the settled window.
        ASSERT_TRUE(waitUntil([&] { return x().frame(w_) == expected; }))
            << "window at " << corner().x() << "," << corner().y();
    }
    QPoint corner() { return x().frame(w_).topLeft(); }

    // Drags from `grip` towards `proposed` and expects the window's corner at `expected`. On
    // the way the window must follow the cursor exactly to a place clear of every edge, which
    // both synchronises with the program and shows the drag carries no offset.
    void drag(const QPoint& grip, const QPoint& proposed, const QPoint& expected)
    {
        const QPoint clear(500, 300);
        x().xdotool(at(corner() + grip, {"mousedown", "1"}) + at(clear + grip));
        const bool followed = waitUntil([&] { return corner() == clear; });
        if (followed)
            x().xdotool(at(proposed + grip));
        const bool arrived = followed && waitUntil([&] { return corner() == expected; });
        x().xdotool({"mouseup", "1"});
        EXPECT_TRUE(arrived) << "towards " << proposed.x() << "," << proposed.y() << ": at "
                             << corner().x() << "," << corner().y();
    }

    // Opens the menu with a right click at `point` and runs its `item`-th command from the
    // keyboard. The first Down must visibly highlight an item: until the menu holds the
    // keyboard, keys go elsewhere. A loaded machine paints a menu in steps, so its picture
    // counts once unchanged for a while.
    void runMenuItem(const QPoint& point, int item)
    {
        const auto before = x().menus(app_->pid());
        x().xdotool(at(point, {"click", "3"}));
        Win menu = 0;
        waitUntil([&] {
            for (const Win w : x().menus(app_->pid()))
                if (std::find(before.begin(), before.end(), w) == before.end())
                    menu = w;
            return menu != 0;
        });
        ASSERT_NE(menu, 0UL) << "no menu at " << point.x() << "," << point.y();
        QByteArray plain;
        auto since = std::chrono::steady_clock::now();
        waitUntil([&] {
            if (auto now = x().pixels(menu); now != plain) {
                plain = std::move(now);
                since = std::chrono::steady_clock::now();
            }
            return !plain.isEmpty() && std::chrono::steady_clock::now() - since >= 300ms;
        });
        x().xdotool({"key", "Down"});
        ASSERT_TRUE(waitUntil([&] { return x().pixels(menu) != plain; }));
        QStringList keys{"key", "--delay", "30"};
        for (int i = 1; i < item; ++i)
            keys << "Down";
        x().xdotool(keys << "Return");
        ASSERT_TRUE(waitUntil([&] { return !x().viewable(menu); }));
    }

    Child* app_ = nullptr;
    Win w_ = 0;
};

TEST_F(Meter, FirstRunCornerStatesTrayMenusSnappingAndTheCloseBox)
{
    const QRect area = x().workArea();
    ASSERT_NO_FATAL_FAILURE(
        launch(QRect(QPoint(area.right() + 1 - kFirstRunSize.width(), area.top()), kFirstRunSize)));
    // Asked for before the first map: they must hold once openbox has taken the window on.
    EXPECT_TRUE(
        waitUntil([&] { return x().hasState(w_, "ABOVE") && x().hasState(w_, "SKIP_TASKBAR"); }));

    Win icon = 0;
    ASSERT_TRUE(waitUntil([&] { return (icon = x().trayIcon(app_->pid())) != 0; }, kStartTimeout));
    const QPoint iconAt = x().frame(icon).center();

    // Not kept above while the settings dialog is open; Minimize (from the tray icon's menu)
    // takes both windows, a double click on the icon brings both back where they were, states
    // and all.
    const QPoint place = corner();
    ASSERT_NO_FATAL_FAILURE(runMenuItem(place + kClientGrip, kSettings));
    const Win settings = windowOf(*app_, "Settings", kTimeout);
    ASSERT_NE(settings, 0UL);
    EXPECT_TRUE(waitUntil([&] { return !x().hasState(w_, "ABOVE"); }));
    ASSERT_NO_FATAL_FAILURE(runMenuItem(iconAt, kMinimize));
    EXPECT_TRUE(waitUntil([&] { return x().minimised(w_) && !x().viewable(settings); }));
    x().xdotool(at(iconAt, {"click", "--repeat", "2", "--delay", "80", "1"}));
    EXPECT_TRUE(
        waitUntil([&] { return x().shown(w_) && x().viewable(settings) && corner() == place; }));
    EXPECT_TRUE(x().hasState(w_, "SKIP_TASKBAR"));
    ASSERT_TRUE(x().close(settings));
    EXPECT_TRUE(waitUntil([&] { return x().hasState(w_, "ABOVE"); }));

    // The caption docks to the work area's edges within ten pixels; the client area never.
    const int bottom = area.bottom() + 1 - kFirstRunSize.height();
    const int right = area.right() + 1 - kFirstRunSize.width();
    const struct
    {
        QPoint grip, proposed, expected;
    } drags[] = {
        {kCaptionGrip, {10, 300}, {0, 300}},
        {kCaptionGrip, {11, 300}, {11, 300}},
        {kCaptionGrip, {-10, 300}, {0, 300}},
        {kCaptionGrip, {400, 8}, {400, 0}},
        {kCaptionGrip, {400, bottom + 10}, {400, bottom}},
        {kCaptionGrip, {right - 6, 300}, {right, 300}},
        {kCaptionGrip, {-4, bottom + 3}, {0, bottom}},
        {kClientGrip, {5, 300}, {5, 300}},
        {kClientGrip, {400, bottom - 5}, {400, bottom - 5}},
        {kCaptionGrip, {321, 234}, {321, 234}},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(testing::Message() << "to " << d.proposed.x() << "," << d.proposed.y());
        ASSERT_NO_FATAL_FAILURE(drag(d.grip, d.proposed, d.expected));
    }

    // The close box ends the program with a save, and the next run comes back there.
    EXPECT_FALSE(QFile::exists(optionsPath())) << "saved before the end";
    x().xdotool(at(corner() + QPoint(kFirstRunSize.width() - 10, 10), {"click", "1"}));
    ASSERT_TRUE(app_->endsCleanly());
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(321, 234), kFirstRunSize)));
}

// The keyboard's locked modifiers, as the server holds them.
unsigned lockedModifiers(const QString& display)
{
    XkbStateRec state{};
    if (Display* d = XOpenDisplay(display.toLatin1().constData())) {
        XkbGetState(d, XkbUseCoreKbd, &state);
        XCloseDisplay(d);
    }
    return state.locked_mods;
}

TEST_F(Meter, StoredOptionsHoldTheHotKeyWorksFromElsewhereAndSigtermSaves)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(kHeader + storedValues(200, 150)));
    ASSERT_NO_FATAL_FAILURE(launch(QRect(200, 150, 405, 61)));
    EXPECT_FALSE(x().hasState(w_, "ABOVE") || x().hasState(w_, "SKIP_TASKBAR"));
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {6, 300}, {6, 300}));

    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kCaptionGrip, kSettings));
    const Win settings = windowOf(*app_, "Settings", kTimeout);
    ASSERT_TRUE(settings && x().close(settings));
    // A drag is answered only after the dialog's close is handled: the state is final then.
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {400, 5}, {400, 5}));
    EXPECT_FALSE(x().hasState(w_, "ABOVE"));

    // Minimised, the task-bar entry stays, and activating it (as a task bar does) restores.
    ASSERT_NO_FATAL_FAILURE(runMenuItem(corner() + kCaptionGrip, kMinimize));
    ASSERT_TRUE(waitUntil([&] { return x().minimised(w_); }));
    EXPECT_FALSE(x().hasState(w_, "SKIP_TASKBAR"));
    x().xdotool({"windowactivate", QString::number(w_)});
    EXPECT_TRUE(waitUntil([&] { return x().shown(w_); }));

    // Ctrl+M pressed in another program's window opens the memory window, whatever the locks.
    const Win other = otherWindow();
    ASSERT_NE(other, 0UL);
    for (const auto& [lock, mask] : {std::pair{"Num_Lock", Mod2Mask}, {"Caps_Lock", LockMask}}) {
        SCOPED_TRACE(lock);
        x().xdotool({"key", lock}); // on here, off again below
        ASSERT_TRUE(waitUntil(
            [&] { return lockedModifiers(x().env().value("DISPLAY")) == unsigned(mask); }));
        ASSERT_TRUE(waitUntil([&] { return x().activate(other); }));
        x().xdotool({"key", "ctrl+m"});
        const Win memory = windowOf(*app_, "Memory", kTimeout);
        EXPECT_TRUE(memory && x().close(memory)) << "no memory window";
        x().xdotool({"key", lock});
        ASSERT_TRUE(waitUntil([&] { return lockedModifiers(x().env().value("DISPLAY")) == 0; }));
    }

    app_->signal(SIGTERM);
    ASSERT_TRUE(app_->endsCleanly());
    EXPECT_TRUE(app_->groupGone()) << "processes left behind";
    EXPECT_EQ(savedValues().toStdString(), storedValues(400, 5).toStdString());
}

} // namespace
} // namespace zarvello::e2e
