// The hot key on a real X server: this process is a Qt client of a private Xvfb (with openbox
// and a tray, as the other real-window tests), holds the key through TGlobalHotKey, and drives
// the keyboard with xdotool while a window of another client has the focus.

#include "platform/GlobalHotKey.h"

#include "ClientSession.h"
#include "support/Wait.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Last: X's headers define macros (None, Bool, ...) that clash with others.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace zarvello {
namespace {

constexpr int kCtrlM = 16461;
constexpr int kAltF9 = kShortCutAlt | 0x78;
constexpr int kTimeoutMs = 10000;

int lastErrorCode = 0;
int errorCount = 0;

int recordXError(Display* /*display*/, XErrorEvent* error)
{
    lastErrorCode = error->error_code;
    ++errorCount;
    return 0;
}

struct KeyDown
{
    TGlobalHotKey* sender = nullptr;
    int key = 0;
    Qt::KeyboardModifiers shift;
};

class GlobalHotKeyE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(session, nullptr);
        other_ = XOpenDisplay(session->display().toLocal8Bit().constData());
        ASSERT_NE(other_, nullptr);
        root_ = DefaultRootWindow(other_);
        numLockMask_ = numLockMask();
        ASSERT_NE(numLockMask_, 0U) << "the test server's keyboard has no NumLock modifier";

        // Another program's window has the focus, as when the user works elsewhere.
        const int screen = DefaultScreen(other_);
        window_ = XCreateSimpleWindow(other_, root_, 100, 100, 300, 200, 0,
                                      BlackPixel(other_, screen), WhitePixel(other_, screen));
        XStoreName(other_, window_, "Elsewhere");
        XSelectInput(other_, window_, KeyPressMask);
        XMapWindow(other_, window_);
        XSync(other_, False);
        ASSERT_TRUE(waitUntil(
            [&] {
                XWindowAttributes attributes{};
                return XGetWindowAttributes(other_, window_, &attributes) != 0 &&
                       attributes.map_state == IsViewable;
            },
            kTimeoutMs));
        ASSERT_TRUE(waitUntil(
            [&] {
                session->activate(window_);
                Window focus = 0;
                int revert = 0;
                XGetInputFocus(other_, &focus, &revert);
                return focus == window_;
            },
            kTimeoutMs));
        // Locks a failed test left on would spoil the next.
        if ((lockState() & numLockMask_) != 0) {
            press("Num_Lock");
        }
        if ((lockState() & LockMask) != 0) {
            press("Caps_Lock");
        }
        ASSERT_TRUE(waitUntil([&] { return lockState() == 0; }, kTimeoutMs));
        takeKeyPresses();
    }

    void TearDown() override
    {
        if (other_ != nullptr) {
            XDestroyWindow(other_, window_);
            XCloseDisplay(other_);
        }
    }

    static void press(const char* keys)
    {
        const e2e::ToolResult result = session->runTool("xdotool", {"key", keys});
        ASSERT_TRUE(result.ok()) << keys << ": " << result.errors.toStdString();
    }

    // How many of the four lock variants of a chord some client holds: another client's
    // grab of the same variant is refused with BadAccess.
    int heldVariants(unsigned long keysym, unsigned int modifiers)
    {
        const KeyCode keycode = XKeysymToKeycode(other_, keysym);
        int held = 0;
        for (const unsigned int mask : grabModifierCombinations(modifiers, numLockMask_)) {
            XSync(other_, False);
            errorCount = 0;
            const XErrorHandler previous = XSetErrorHandler(recordXError);
            XGrabKey(other_, keycode, mask, root_, False, GrabModeAsync, GrabModeAsync);
            XSync(other_, False);
            XSetErrorHandler(previous);
            if (errorCount > 0 && lastErrorCode == BadAccess) {
                ++held;
            } else {
                XUngrabKey(other_, keycode, mask, root_);
            }
        }
        XSync(other_, False);
        return held;
    }

    // Keycodes of the key presses the other client's window received so far.
    std::vector<unsigned int> takeKeyPresses()
    {
        XSync(other_, False);
        std::vector<unsigned int> keycodes;
        while (XPending(other_) > 0) {
            XEvent event{};
            XNextEvent(other_, &event);
            if (event.type == KeyPress) {
                keycodes.push_back(event.xkey.keycode);
            }
        }
        return keycodes;
    }

    bool otherReceived(unsigned long keysym)
    {
        const unsigned int keycode = XKeysymToKeycode(other_, keysym);
        for (const unsigned int received : takeKeyPresses()) {
            if (received == keycode) {
                return true;
            }
        }
        return false;
    }

    unsigned int lockState()
    {
        Window rootReturn = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int x = 0;
        int y = 0;
        unsigned int mask = 0;
        XQueryPointer(other_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
        return mask & (numLockMask_ | LockMask);
    }

    unsigned int numLockMask()
    {
        XModifierKeymap* map = XGetModifierMapping(other_);
        const std::vector<unsigned char> keycodes(
            map->modifiermap, map->modifiermap + std::ptrdiff_t{8} * map->max_keypermod);
        const int perModifier = map->max_keypermod;
        XFreeModifiermap(map);
        const KeyCode numLock = XKeysymToKeycode(other_, XK_Num_Lock);
        return numLockMaskOf(keycodes, perModifier,
                             [numLock](unsigned char keycode) { return keycode == numLock; });
    }

    static std::unique_ptr<TGlobalHotKey> makeHotKey(int shortCut, std::vector<KeyDown>& calls)
    {
        auto hotKey = std::make_unique<TGlobalHotKey>();
        hotKey->setOnKeyDown([&calls](TGlobalHotKey* sender, int key, Qt::KeyboardModifiers shift) {
            calls.push_back({sender, key, shift});
        });
        hotKey->setHotKey(shortCut);
        hotKey->setActive(true);
        return hotKey;
    }

    Display* other_ = nullptr;
    Window root_ = 0;
    Window window_ = 0;
    unsigned int numLockMask_ = 0;
};

TEST_F(GlobalHotKeyE2e, CtrlMPressedElsewhereReachesTheHandlerWhateverTheLocks)
{
    std::vector<KeyDown> calls;
    const auto hotKey = makeHotKey(kCtrlM, calls);

    struct Locks
    {
        const char* toggle; // keys that switch the locks on, and off again after
        unsigned int state;
    };
    const std::vector<Locks> cases{
        {"", 0},
        {"Num_Lock", numLockMask_},
        {"Caps_Lock", LockMask},
        {"Num_Lock Caps_Lock", numLockMask_ | LockMask},
    };
    for (const Locks& locks : cases) {
        SCOPED_TRACE(testing::Message() << "locks: '" << locks.toggle << "'");
        if (*locks.toggle != '\0') {
            const e2e::ToolResult on =
                session->runTool("xdotool", QStringList{"key"} + QString(locks.toggle).split(' '));
            ASSERT_TRUE(on.ok());
        }
        ASSERT_TRUE(waitUntil([&] { return lockState() == locks.state; }, kTimeoutMs))
            << "lock state 0x" << std::hex << lockState();
        takeKeyPresses();

        const std::size_t before = calls.size();
        press("ctrl+m");
        ASSERT_TRUE(waitUntil([&] { return calls.size() > before; }, kTimeoutMs));
        EXPECT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().sender, hotKey.get());
        EXPECT_EQ(calls.back().key, 0x4D);
        EXPECT_EQ(calls.back().shift, Qt::ControlModifier);
        // The press was ours alone: the focused window never saw the M.
        EXPECT_FALSE(otherReceived(XK_m));

        if (*locks.toggle != '\0') {
            const e2e::ToolResult off =
                session->runTool("xdotool", QStringList{"key"} + QString(locks.toggle).split(' '));
            ASSERT_TRUE(off.ok());
            ASSERT_TRUE(waitUntil([&] { return lockState() == 0; }, kTimeoutMs));
        }
    }
}

TEST_F(GlobalHotKeyE2e, OtherChordsOfTheKeyStillGoToTheFocusedWindow)
{
    std::vector<KeyDown> calls;
    const auto hotKey = makeHotKey(kCtrlM, calls);

    for (const char* keys : {"m", "shift+m", "ctrl+shift+m", "alt+m"}) {
        SCOPED_TRACE(keys);
        press(keys);
        EXPECT_TRUE(waitUntil([&] { return otherReceived(XK_m); }, kTimeoutMs));
    }
    // Key events arrive in order: once this one is handled, any earlier press would have been.
    press("ctrl+m");
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }, kTimeoutMs));
    EXPECT_EQ(calls.size(), 1U);
}

TEST_F(GlobalHotKeyE2e, HoldsTheKeyOnlyWhileActiveAndGivesItBackWhenDestroyed)
{
    std::vector<KeyDown> calls;
    ASSERT_EQ(heldVariants(XK_m, ControlMask), 0);

    auto hotKey = makeHotKey(kCtrlM, calls);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 4);

    hotKey->setActive(false);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 0);
    hotKey->setActive(true);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 4);

    // A new key replaces the old one.
    hotKey->setHotKey(kAltF9);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 0);
    EXPECT_EQ(heldVariants(XK_F9, Mod1Mask), 4);
    press("alt+F9");
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }, kTimeoutMs));
    EXPECT_EQ(calls.back().key, 0x78);
    EXPECT_EQ(calls.back().shift, Qt::AltModifier);

    // No key at all.
    hotKey->setHotKey(0);
    EXPECT_EQ(heldVariants(XK_F9, Mod1Mask), 0);

    hotKey->setHotKey(kCtrlM);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 4);
    hotKey.reset();
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 0);
}

TEST_F(GlobalHotKeyE2e, AKeyAnotherClientHoldsIsASilentNoOp)
{
    const KeyCode m = XKeysymToKeycode(other_, XK_m);
    const std::vector<unsigned int> variants = grabModifierCombinations(ControlMask, numLockMask_);
    for (const unsigned int mask : variants) {
        XGrabKey(other_, m, mask, root_, False, GrabModeAsync, GrabModeAsync);
    }
    XSync(other_, False);

    // Whatever handler the program had stays in place and hears nothing of the refusal.
    errorCount = 0;
    const XErrorHandler previous = XSetErrorHandler(recordXError);
    std::vector<KeyDown> calls;
    const auto hotKey = makeHotKey(kCtrlM, calls);
    const XErrorHandler afterwards = XSetErrorHandler(previous);
    EXPECT_EQ(afterwards, &recordXError);
    EXPECT_EQ(errorCount, 0);

    press("ctrl+m");
    EXPECT_TRUE(waitUntil([&] { return otherReceived(XK_m); }, kTimeoutMs));

    // Once the other client lets go, switching the hot key off and on takes the key.
    for (const unsigned int mask : variants) {
        XUngrabKey(other_, m, mask, root_);
    }
    XSync(other_, False);
    hotKey->setActive(false);
    hotKey->setActive(true);
    press("ctrl+m");
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }, kTimeoutMs));
    // Events come in order, so the first press would have been handled by now had it come.
    EXPECT_EQ(calls.size(), 1U);
}

} // namespace
} // namespace zarvello
