// The hot key on a real X server: this process holds the key through TGlobalHotKey and types
// with xdotool while a window of another client has the focus.
#include "platform/GlobalHotKey.h"

#include "ClientSession.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

int recordXError(Display*, XErrorEvent* error)
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
        XModifierKeymap* map = XGetModifierMapping(other_);
        const std::vector<unsigned char> keycodes(
            map->modifiermap, map->modifiermap + std::ptrdiff_t{8} * map->max_keypermod);
        const KeyCode numLock = XKeysymToKeycode(other_, XK_Num_Lock);
        numLockMask_ =
            numLockMaskOf(keycodes, map->max_keypermod,
                          [numLock](unsigned char keycode) { return keycode == numLock; });
        XFreeModifiermap(map);
        ASSERT_NE(numLockMask_, 0U) << "the test server's keyboard has no NumLock modifier";

        // Another program's window has the focus, as when the user works elsewhere.
        window_ = XCreateSimpleWindow(other_, root_, 100, 100, 300, 200, 0, 0, 0);
        XSelectInput(other_, window_, KeyPressMask);
        XMapWindow(other_, window_);
        XSync(other_, False);
        ASSERT_TRUE(waitUntil(
            [&] {
                Window focus = 0;
                int revert = 0;
                session->activate(window_);
                XGetInputFocus(other_, &focus, &revert);
                return focus == window_;
            },
            kTimeoutMs));
        takeKeyPresses();
    }

    void TearDown() override
    {
        if (other_ != nullptr) {
            XDestroyWindow(other_, window_);
            XCloseDisplay(other_);
        }
    }

    static void press(const QString& keys)
    {
        ASSERT_TRUE(session->runTool("xdotool", QStringList{"key"} + keys.split(' ')))
            << keys.toStdString();
    }

    // How many of the four lock variants of a chord some client holds: another client's grab
    // of a held variant is refused with BadAccess.
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
            if (errorCount > 0 && lastErrorCode == BadAccess)
                ++held;
            else
                XUngrabKey(other_, keycode, mask, root_);
        }
        XSync(other_, False);
        return held;
    }

    // Keycodes of the key presses the other client's window received since the last call.
    std::vector<unsigned int> takeKeyPresses()
    {
        XSync(other_, False);
        std::vector<unsigned int> keycodes;
        while (XPending(other_) > 0) {
            XEvent event{};
            XNextEvent(other_, &event);
            if (event.type == KeyPress)
                keycodes.push_back(event.xkey.keycode);
        }
        return keycodes;
    }

    bool otherReceivedM()
    {
        const auto keys = takeKeyPresses();
        return std::find(keys.begin(), keys.end(), XKeysymToKeycode(other_, XK_m)) != keys.end();
    }

    unsigned int lockState()
    {
        Window rootReturn = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        XQueryPointer(other_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
        return mask & (numLockMask_ | LockMask);
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

TEST_F(GlobalHotKeyE2e, CtrlMPressedElsewhereIsOursWhateverTheLocksAndOtherChordsAreNot)
{
    std::vector<KeyDown> calls;
    const auto hotKey = makeHotKey(kCtrlM, calls);
    const std::pair<QString, unsigned int> locks[] = {
        {"", 0},
        {"Num_Lock", numLockMask_},
        {"Caps_Lock", LockMask},
        {"Num_Lock Caps_Lock", numLockMask_ | LockMask}};
    for (const auto& [toggle, state] : locks) {
        SCOPED_TRACE(toggle.toStdString());
        if (!toggle.isEmpty())
            press(toggle); // on here, off again below
        ASSERT_TRUE(waitUntil([&] { return lockState() == state; }, kTimeoutMs));
        takeKeyPresses();
        const std::size_t before = calls.size();
        press("ctrl+m");
        ASSERT_TRUE(waitUntil([&] { return calls.size() > before; }, kTimeoutMs));
        EXPECT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().sender, hotKey.get());
        EXPECT_EQ(calls.back().key, 0x4D);
        EXPECT_EQ(calls.back().shift, Qt::ControlModifier);
        EXPECT_FALSE(otherReceivedM()) << "the focused window saw the M";
        if (!toggle.isEmpty())
            press(toggle);
        ASSERT_TRUE(waitUntil([&] { return lockState() == 0; }, kTimeoutMs));
    }

    for (const char* keys : {"m", "shift+m", "ctrl+shift+m", "alt+m"}) {
        SCOPED_TRACE(keys);
        press(keys);
        EXPECT_TRUE(waitUntil([&] { return otherReceivedM(); }, kTimeoutMs));
    }
    // Key events arrive in order: once this one is handled, any earlier one would have been.
    const std::size_t before = calls.size();
    press("ctrl+m");
    ASSERT_TRUE(waitUntil([&] { return calls.size() > before; }, kTimeoutMs));
    EXPECT_EQ(calls.size(), before + 1);
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
    hotKey->setHotKey(0);
    EXPECT_EQ(heldVariants(XK_F9, Mod1Mask), 0);

    hotKey->setHotKey(kCtrlM);
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 4);
    hotKey.reset();
    EXPECT_EQ(heldVariants(XK_m, ControlMask), 0);
}

TEST_F(GlobalHotKeyE2e, AKeyAnotherClientHoldsIsASilentNoOpUntilReleased)
{
    const KeyCode m = XKeysymToKeycode(other_, XK_m);
    const auto variants = grabModifierCombinations(ControlMask, numLockMask_);
    for (const unsigned int mask : variants)
        XGrabKey(other_, m, mask, root_, False, GrabModeAsync, GrabModeAsync);
    XSync(other_, False);

    // The program's own error handler stays in place and hears nothing of the refusal.
    errorCount = 0;
    const XErrorHandler previous = XSetErrorHandler(recordXError);
    std::vector<KeyDown> calls;
    const auto hotKey = makeHotKey(kCtrlM, calls);
    EXPECT_EQ(XSetErrorHandler(previous), &recordXError);
    EXPECT_EQ(errorCount, 0);
    press("ctrl+m");
    EXPECT_TRUE(waitUntil([&] { return otherReceivedM(); }, kTimeoutMs));

    // Once the other client lets go, switching the hot key off and on takes the key.
    for (const unsigned int mask : variants)
        XUngrabKey(other_, m, mask, root_);
    XSync(other_, False);
    hotKey->setActive(false);
    hotKey->setActive(true);
    press("ctrl+m");
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }, kTimeoutMs));
    EXPECT_EQ(calls.size(), 1U); // events come in order: the first press would be here by now
}

} // namespace
} // namespace zarvello
