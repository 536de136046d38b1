#include "platform/x11/GlobalHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>

#include <xcb/xproto.h>

#include "platform/x11/Connection.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace zarvello {
namespace {

constexpr int kVirtualKeyMask = 0xFF;

// X's core key and button state has the eight modifiers in its low byte; the bits above
// carry mouse buttons and the keyboard group, which have no say in a chord.
constexpr unsigned int kKeyModifierBits = 0xFF;

struct VirtualKeysym
{
    int virtualKey;
    unsigned long keysym;
};

constexpr std::array kNamedKeys{
    VirtualKeysym{0x08, XK_BackSpace}, VirtualKeysym{0x09, XK_Tab},
    VirtualKeysym{0x0D, XK_Return},    VirtualKeysym{0x13, XK_Pause},
    VirtualKeysym{0x1B, XK_Escape},    VirtualKeysym{0x20, XK_space},
    VirtualKeysym{0x21, XK_Prior},     VirtualKeysym{0x22, XK_Next},
    VirtualKeysym{0x23, XK_End},       VirtualKeysym{0x24, XK_Home},
    VirtualKeysym{0x25, XK_Left},      VirtualKeysym{0x26, XK_Up},
    VirtualKeysym{0x27, XK_Right},     VirtualKeysym{0x28, XK_Down},
    VirtualKeysym{0x2C, XK_Print},     VirtualKeysym{0x2D, XK_Insert},
    VirtualKeysym{0x2E, XK_Delete},
};

// What to grab on the X server for a shortcut code: a keysym and the X modifier mask
// (ShiftMask, ControlMask, Mod1Mask) that must be held with it.
struct XKeyChord
{
    unsigned long keysym = 0;
    unsigned int modifiers = 0;
};

// X reports errors asynchronously and the handler is process-wide. While this lives, errors
// of our own requests are dropped instead of reaching whoever else set a handler: a key that
// another client already holds answers BadAccess, which for us only means "no hot key".
class ScopedXErrorTrap
{
public:
    explicit ScopedXErrorTrap(Display* display) : display_(display)
    {
        // Earlier requests' errors still belong to the previous handler.
        XSync(display_, False);
        previous_ = XSetErrorHandler(&ignore);
    }
    ~ScopedXErrorTrap()
    {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    ScopedXErrorTrap(const ScopedXErrorTrap&) = delete;
    ScopedXErrorTrap& operator=(const ScopedXErrorTrap&) = delete;

private:
    static int ignore(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

    Display* display_;
    XErrorHandler previous_ = nullptr;
};

// The modifier mask whose row of the modifier map holds a NumLock key; 0 when none does.
unsigned int findNumLockMask(Display* display)
{
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map == nullptr) {
        return 0;
    }
    unsigned int mask = 0;
    const int perModifier = map->max_keypermod;
    for (int index = 0; index < 8 * perModifier && mask == 0; ++index) {
        const KeyCode keycode = map->modifiermap[index];
        if (keycode != 0 && XkbKeycodeToKeysym(display, keycode, 0, 0) == XK_Num_Lock) {
            mask = 1U << (index / perModifier);
        }
    }
    XFreeModifiermap(map);
    return mask;
}

// The keysym of a virtual-key code: letters, digits, the keypad digits, F1 to F24 and the
// common editing and cursor keys. 0 for any other code.
unsigned long keysymOfVirtualKey(int virtualKey)
{
    if (virtualKey >= '0' && virtualKey <= '9') {
        return XK_0 + static_cast<unsigned long>(virtualKey - '0');
    }
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        // Grabs name the unshifted symbol; Shift is a modifier of its own.
        return XK_a + static_cast<unsigned long>(virtualKey - 'A');
    }
    if (virtualKey >= 0x60 && virtualKey <= 0x69) {
        return XK_KP_0 + static_cast<unsigned long>(virtualKey - 0x60);
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {
        return XK_F1 + static_cast<unsigned long>(virtualKey - 0x70);
    }
    const auto* named = std::find_if(
        kNamedKeys.begin(), kNamedKeys.end(),
        [virtualKey](const VirtualKeysym& entry) { return entry.virtualKey == virtualKey; });
    return named != kNamedKeys.end() ? named->keysym : 0;
}

// A shortcut code's modifier flags, as X grabs them and as Qt reports them.
struct ModifierFlag
{
    int shortCut;
    unsigned int x;
    Qt::KeyboardModifier qt;
};
constexpr std::array kModifierFlags{ModifierFlag{kShortCutShift, ShiftMask, Qt::ShiftModifier},
                                    ModifierFlag{kShortCutCtrl, ControlMask, Qt::ControlModifier},
                                    ModifierFlag{kShortCutAlt, Mod1Mask, Qt::AltModifier}};

// Empty for 0 and for codes whose key has no keysym.
std::optional<XKeyChord> decodeShortCut(int shortCut)
{
    const unsigned long keysym = keysymOfVirtualKey(shortCut & kVirtualKeyMask);
    if (keysym == 0) {
        return std::nullopt;
    }
    XKeyChord chord{keysym, 0};
    for (const ModifierFlag& flag : kModifierFlags) {
        chord.modifiers |= (shortCut & flag.shortCut) != 0 ? flag.x : 0U;
    }
    return chord;
}

Qt::KeyboardModifiers qtModifiersOfShortCut(int shortCut)
{
    Qt::KeyboardModifiers modifiers;
    for (const ModifierFlag& flag : kModifierFlags) {
        modifiers.setFlag(flag.qt, (shortCut & flag.shortCut) != 0);
    }
    return modifiers;
}

// The masks to grab so the chord works whatever the state of NumLock and CapsLock.
std::vector<unsigned int> grabModifierCombinations(unsigned int modifiers, unsigned int numLockMask)
{
    std::vector<unsigned int> combinations;
    for (const unsigned int locks :
         {0U, static_cast<unsigned int>(LockMask), numLockMask, numLockMask | LockMask}) {
        const unsigned int mask = modifiers | locks;
        // Without a NumLock modifier the last two repeat the first two.
        if (std::find(combinations.begin(), combinations.end(), mask) == combinations.end()) {
            combinations.push_back(mask);
        }
    }
    return combinations;
}

// Whether a key press is the grabbed chord, NumLock and CapsLock aside.
bool isChordPress(unsigned int keycode, unsigned int state, unsigned int chordKeycode,
                  unsigned int chordModifiers, unsigned int numLockMask)
{
    const unsigned int locks = numLockMask | LockMask;
    return keycode == chordKeycode && (state & kKeyModifierBits & ~locks) == chordModifiers;
}

} // namespace

// Qt reads the X connection; key presses delivered to the root window under our grab come
// through here before Qt looks for a window of its own to give them to.
class GlobalHotKey::KeyFilter : public QAbstractNativeEventFilter
{
public:
    explicit KeyFilter(GlobalHotKey& owner) : owner_(owner) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
        if (eventType != "xcb_generic_event_t" || message == nullptr) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The top bit only says the event came from SendEvent.
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS) {
            return false;
        }
        const auto* press = static_cast<const xcb_key_press_event_t*>(message);
        return owner_.handleKeyPress(press->detail, press->state, press->root, press->event);
    }

private:
    GlobalHotKey& owner_;
};

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {}

GlobalHotKey::~GlobalHotKey()
{
    ungrab();
}

// What is held on the server follows every change of the key or the switch.
template <typename T> void GlobalHotKey::regrabWith(T& field, T value)
{
    if (value == field) {
        return;
    }
    ungrab();
    field = value;
    grab();
}

void GlobalHotKey::setHotKey(int value)
{
    regrabWith(hotKey_, value);
}

void GlobalHotKey::setActive(bool value)
{
    regrabWith(active_, value);
}

void GlobalHotKey::grab()
{
    if (!active_ || hotKey_ == 0) {
        return;
    }
    const std::optional<XKeyChord> chord = decodeShortCut(hotKey_);
    if (!chord) {
        return;
    }
    Display* display = x11Connection();
    if (display == nullptr) {
        return;
    }
    const KeyCode keycode = XKeysymToKeycode(display, chord->keysym);
    if (keycode == 0) {
        return; // the keyboard has no such key
    }
    const Window root = DefaultRootWindow(display);
    const unsigned int numLockMask = findNumLockMask(display);
    {
        ScopedXErrorTrap trap(display);
        for (const unsigned int mask : grabModifierCombinations(chord->modifiers, numLockMask)) {
            XGrabKey(display, keycode, mask, root, False, GrabModeAsync, GrabModeAsync);
        }
    }
    grabbed_ = true;
    root_ = root;
    keycode_ = keycode;
    modifiers_ = chord->modifiers;
    numLockMask_ = numLockMask;
    filter_ = std::make_unique<KeyFilter>(*this);
    QCoreApplication::instance()->installNativeEventFilter(filter_.get());
}

void GlobalHotKey::ungrab()
{
    if (!grabbed_) {
        return;
    }
    grabbed_ = false;
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(filter_.get());
    }
    filter_.reset();
    Display* display = x11Connection();
    if (display == nullptr) {
        return; // the connection is gone, and the server dropped our grabs with it
    }
    ScopedXErrorTrap trap(display);
    for (const unsigned int mask : grabModifierCombinations(modifiers_, numLockMask_)) {
        XUngrabKey(display, static_cast<int>(keycode_), mask, root_);
    }
}

bool GlobalHotKey::handleKeyPress(unsigned int keycode, unsigned int state, unsigned long root,
                                  unsigned long window)
{
    if (!grabbed_ || root != root_ || window != root_ ||
        !isChordPress(keycode, state, keycode_, modifiers_, numLockMask_)) {
        return false;
    }
    // The handler may change or destroy this object: call a copy and touch nothing after.
    const KeyDownHandler handler = onKeyDown_;
    if (handler) {
        handler(this, hotKey_ & kVirtualKeyMask, qtModifiersOfShortCut(hotKey_));
    }
    return true;
}

} // namespace zarvello
