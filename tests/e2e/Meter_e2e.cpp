// The meter window on a real desktop in the two runs a user makes: the first (corner place,
// window-manager states, tray, menus, snapping, the close box) and one with stored options
// (the hot key from elsewhere, SIGTERM after and before the load).
#include "E2e.h"

// Last: X's headers define macros (None, Bool, ...) that clash with others.
#include <X11/XKBlib.h>

using namespace zarvello::e2e;

// Grips relative to the window's corner: on the caption text, clear of the close box, and in
// the empty column right of the bars.
constexpr QPoint kCaptionGrip(40, 10);
constexpr QPoint kClientGrip(175, 59);
constexpr QSize kSize(180, 103);
enum MenuItem { kSettings = 2, kMinimize = 5, kInterfaces = 6 };

class Meter : public E2eTest
{
protected:
    void launch(const QRect& expected, const QString& program = ZARVELLO_PROGRAM,
                const QStringList& args = {})
    {
        app_ = &start(program, {}, {}, args);
        ASSERT_NE(w_ = windowOf(*app_), 0UL);
        // The stored place comes last in the load: this is the settled window.
        ASSERT_TRUE(waitUntil([&] { return x().frame(w_) == expected; }));
    }
    QPoint corner() { return x().frame(w_).topLeft(); }

    // Drags from `grip` towards `proposed` and expects the window's corner at `expected`. On
    // the way the window must follow the cursor exactly to a place clear of every edge, which
    // both synchronises with the program and shows the drag carries no offset.
    void drag(const QPoint& grip, const QPoint& proposed, const QPoint& expected)
    {
        const QPoint clear(500, 300);
        x().xdotool(at(corner() + grip, {"mousedown", "1"}) + at(clear + grip));
        const bool arrived = waitUntil([&] { return corner() == clear; }) &&
                             x().run("xdotool", at(proposed + grip)) &&
                             waitUntil([&] { return corner() == expected; });
        x().xdotool({"mouseup", "1"});
        EXPECT_TRUE(arrived) << "towards " << proposed.x() << "," << proposed.y();
    }

    // Opens the menu with a right click at `point` and runs its `item`-th command from the
    // keyboard. The first Down must visibly highlight an item: until the menu holds the
    // keyboard, keys go elsewhere. A loaded machine paints a menu in steps, so its picture
    // counts once unchanged for a while.
    void runMenuItem(const QPoint& point, int item, const QStringList& then = {"Return"})
    {
        x().xdotool(at(point, {"click", "3"}));
        Win menu = 0;
        ASSERT_TRUE(waitUntil([&] {
            const auto menus = x().menus(app_->pid());
            return !menus.empty() && (menu = menus.front());
        }));
        QByteArray plain;
        settles(menu, 300ms, kTimeout, plain);
        x().xdotool({"key", "Down"});
        ASSERT_TRUE(waitUntil([&] { return x().pixels(menu) != plain; }));
        x().xdotool(QStringList{"key", "--delay", "30"} +
                    QString("Down ").repeated(item - 1).split(' ', Qt::SkipEmptyParts) + then);
        ASSERT_TRUE(waitUntil([&] { return !x().viewable(menu); }));
    }

    // Whether the picture of `w` stays the same for `quiet` before `timeout`; `picture` is the
    // last one seen.
    bool settles(Win w, Ms quiet, Ms timeout, QByteArray& picture)
    {
        auto since = std::chrono::steady_clock::now();
        return waitUntil(
            [&] {
                if (auto now = x().pixels(w); now != picture)
                    picture = std::move(now), since = std::chrono::steady_clock::now();
                return !picture.isEmpty() && std::chrono::steady_clock::now() - since >= quiet;
            },
            timeout);
    }

    Child* app_ = nullptr;
    Win w_ = 0;
};

TEST_F(Meter, FirstRunCornerStatesTrayMenusSnappingAndTheCloseBox)
{
    const QRect area = x().workArea();
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(area.right() + 1 - kSize.width(), 0), kSize)));
    // Asked for before the first map: they must hold once openbox has taken the window on.
    EXPECT_TRUE(
        waitUntil([&] { return x().hasState(w_, "ABOVE") && x().hasState(w_, "SKIP_TASKBAR"); }));
    Win icon = 0;
    ASSERT_TRUE(waitUntil([&] { return (icon = x().trayIcon(app_->pid())) != 0; }, kStartTimeout));
    const QPoint iconAt = x().frame(icon).center();

    // Not kept above while the settings dialog is open; Minimize (from the tray icon's menu)
    // takes both windows, a double click on the icon brings both back where they were.
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
    ASSERT_TRUE(x().close(settings));
    EXPECT_TRUE(waitUntil([&] { return x().hasState(w_, "ABOVE"); }));

    // The caption docks to the work area's edges within ten pixels; the client area never.
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {10, 300}, {0, 300}));
    ASSERT_NO_FATAL_FAILURE(drag(kClientGrip, {5, 300}, {5, 300}));
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {321, 234}, {321, 234}));

    // The close box ends the program with a save, and the next run comes back there.
    EXPECT_FALSE(QFile::exists(optionsPath())) << "saved before the end";
    x().xdotool(at(corner() + QPoint(kSize.width() - 10, 10), {"click", "1"}));
    ASSERT_TRUE(app_->endsCleanly());
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(321, 234), kSize)));
}

// The keyboard's locked modifiers, as the server holds them.
static unsigned lockedModifiers(const QString& display)
{
    XkbStateRec state{};
    if (Display* d = XOpenDisplay(display.toLatin1().constData())) {
        XkbGetState(d, XkbUseCoreKbd, &state);
        XCloseDisplay(d);
    }
    return state.locked_mods;
}

TEST_F(Meter, TheHotKeyWorksFromElsewhereAndSigtermSavesOnlyWhatWasLoaded)
{
    // A place, no docking, not on top.
    ASSERT_NO_FATAL_FAILURE(writeOptions(kHeader + dword("Left", 200) + "\n" + dword("Top", 150) +
                                         "\n" + dword("Dock", 0) + "\n" + dword("OnTop", 0) +
                                         "\n"));
    ASSERT_NO_FATAL_FAILURE(launch(QRect(QPoint(200, 150), kSize)));
    ASSERT_NO_FATAL_FAILURE(drag(kCaptionGrip, {400, 5}, {400, 5})); // not docking

    // Ctrl+M pressed in another program's window opens the memory window, whatever the locks.
    const Win other = otherWindow();
    ASSERT_NE(other, 0UL);
    const QString display = x().env().value("DISPLAY");
    for (const auto& [lock, mask] : {std::pair{"Num_Lock", Mod2Mask}, {"Caps_Lock", LockMask}}) {
        SCOPED_TRACE(lock);
        x().xdotool({"key", lock}); // on here, off again below
        ASSERT_TRUE(waitUntil([&] { return lockedModifiers(display) == unsigned(mask); }));
        ASSERT_TRUE(waitUntil([&] { return x().activate(other); }));
        x().xdotool({"key", "ctrl+m"});
        const Win memory = windowOf(*app_, "Memory", kTimeout);
        EXPECT_TRUE(memory && x().close(memory)) << "no memory window";
        x().xdotool({"key", lock});
        ASSERT_TRUE(waitUntil([&] { return lockedModifiers(display) == 0; }));
    }

    app_->signal(SIGTERM);
    ASSERT_TRUE(app_->endsCleanly());
    EXPECT_TRUE(app_->groupGone()) << "processes left behind";
    EXPECT_TRUE(savedAt(400, 5));

    // A SIGTERM before the load (a tenth of a second after the window) leaves the file alone,
    // or saves it as loaded if the load won the race; never the defaults.
    Child& early = start();
    ASSERT_TRUE(
        waitUntil([&] { return !x().windows(early.pid(), {}, false).empty(); }, kStartTimeout));
    early.signal(SIGTERM);
    ASSERT_TRUE(early.endsCleanly());
    EXPECT_TRUE(savedAt(400, 5));
}

// In a network namespace of its own, where only loopback exists, iperf3's loopback traffic
// leaves the window still with "*,!lo" stored; ticking "lo" in the Interfaces submenu counts
// it from the next ticks on, unticking leaves it out again, and the choice is saved.
TEST_F(Meter, TheInterfacesMenuChoosesWhetherLoopbackTrafficCounts)
{
    ASSERT_NO_FATAL_FAILURE(writeOptions(kHeader + dword("Left", 200) + "\n" + dword("Top", 150) +
                                         "\n\"Interfaces\"=\"*,!lo\"\n"));
    ASSERT_NO_FATAL_FAILURE(
        launch(QRect(QPoint(200, 150), kSize), "unshare",
               {"-n", "sh", "-c", "ip link set lo up && exec " ZARVELLO_PROGRAM}));
    const QStringList inside{"-t", QString::number(app_->pid()), "-n"};
    Child server("nsenter", inside + QStringList{"iperf3", "-s", "-B", "127.0.0.1"}, x().env());
    const auto listens = [&] { return x().run("nsenter", inside + QStringList{"ss", "-ltnH"}); };
    ASSERT_TRUE(waitUntil([&] { return listens().value_or("").contains(":5201"); }));
    const QStringList send{"iperf3", "-c", "127.0.0.1", "-t", "600", "-b", "40M"};
    Child client("nsenter", inside + send, x().env());
    // Three ticks without a change.
    auto still = [&, picture = QByteArray()](Ms timeout) mutable {
        return settles(w_, 3200ms, timeout, picture);
    };
    EXPECT_TRUE(still(15s));
    for (const bool counted : {true, false}) { // "lo" ticked, then unticked
        ASSERT_NO_FATAL_FAILURE(
            runMenuItem(corner() + kClientGrip, kInterfaces, {"Right", "Down", "Return"}));
        EXPECT_EQ(still(counted ? 8s : 15s), !counted) << "loopback counted " << counted;
    }
    ASSERT_TRUE(x().close(w_));
    ASSERT_TRUE(app_->endsCleanly());
    QFile saved(optionsPath());
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly) &&
                saved.readAll().contains("\"Interfaces\"=\"!*\""));
}
