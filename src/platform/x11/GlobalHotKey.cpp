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
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace zarvello {
namespace {

// X's core key and button state has the eight modifiers in its low byte; the bits above
// carry mouse buttons and the keyboard group, which have no say in a chord.
constexpr unsigned int kKeyModifierBits = 0xFF;
// Shift, Lock, Control and Mod1 to Mod5: the rows of the modifier map.
constexpr int kModifierCount = 8;
// Set in an event's type when it came from SendEvent.
constexpr std::uint8_t kSentEventBit = 0x80;

struct NamedKey
{
    Qt::Key key;
    unsigned long keysym;
};

// clang-format off
constexpr std::array kNamedKeys{
    NamedKey{Qt::Key_Backspace, XK_BackSpace}, NamedKey{Qt::Key_Tab, XK_Tab},
    NamedKey{Qt::Key_Return, XK_Return},       NamedKey{Qt::Key_Pause, XK_Pause},
    NamedKey{Qt::Key_Escape, XK_Escape},       NamedKey{Qt::Key_Space, XK_space},
    NamedKey{Qt::Key_PageUp, XK_Prior},        NamedKey{Qt::Key_PageDown, XK_Next},
    NamedKey{Qt::Key_End, XK_End},             NamedKey{Qt::Key_Home, XK_Home},
    NamedKey{Qt::Key_Left, XK_Left},           NamedKey{Qt::Key_Up, XK_Up},
    NamedKey{Qt::Key_Right, XK_Right},         NamedKey{Qt::Key_Down, XK_Down},
    NamedKey{Qt::Key_Print, XK_Print},         NamedKey{Qt::Key_Insert, XK_Insert},
    NamedKey{Qt::Key_Delete, XK_Delete},
};
// clang-format on

// What to grab on the X server for a hot key: a keysym and the X modifier mask
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
    Q_DISABLE_COPY_MOVE(ScopedXErrorTrap)

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
    for (int index = 0; index < kModifierCount * perModifier && mask == 0; ++index) {
        const KeyCode keycode = map->modifiermap[index];
        if (keycode != 0 && XkbKeycodeToKeysym(display, keycode, 0, 0) == XK_Num_Lock) {
            mask = 1U << (index / perModifier);
        }
    }
    XFreeModifiermap(map);
    return mask;
}

// The keysym of a key: letters, digits, the keypad digits, F1 to F24 and the common editing
// and cursor keys. 0 for any other key.
unsigned long keysymOfKey(QKeyCombination combination)
{
    const int key = combination.key();
    const auto offset = [key](int first) { return static_cast<unsigned long>(key - first); };
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const bool keypad = combination.keyboardModifiers().testFlag(Qt::KeypadModifier);
        return (keypad ? XK_KP_0 : XK_0) + offset(Qt::Key_0);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        // Grabs name the unshifted symbol; Shift is a modifier of its own.
        return XK_a + offset(Qt::Key_A);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return XK_F1 + offset(Qt::Key_F1);
    }
    const auto* named = std::find_if(kNamedKeys.begin(), kNamedKeys.end(),
                                     [key](const NamedKey& entry) { return entry.key == key; });
    return named != kNamedKeys.end() ? named->keysym : 0;
}

// Empty for keys that have no keysym.
std::optional<XKeyChord> decodeHotKey(QKeyCombination combination)
{
    const unsigned long keysym = keysymOfKey(combination);
    if (keysym == 0) {
        return std::nullopt;
    }
    const Qt::KeyboardModifiers held = combination.keyboardModifiers();
    XKeyChord chord{keysym, 0};
    for (const auto& [qt, x] :
         {std::pair{Qt::ShiftModifier, ShiftMask}, std::pair{Qt::ControlModifier, ControlMask},
          std::pair{Qt::AltModifier, Mod1Mask}}) {
        chord.modifiers |= held.testFlag(qt) ? static_cast<unsigned int>(x) : 0U;
    }
    return chord;
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
        if ((event->response_type & ~kSentEventBit) != XCB_KEY_PRESS) {
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

void GlobalHotKey::setHotKey(QKeyCombination value)
{
    regrabWith(hotKey_, value);
}

void GlobalHotKey::setActive(bool value)
{
    regrabWith(active_, value);
}

void GlobalHotKey::grab()
{
    const std::optional<XKeyChord> chord = decodeHotKey(hotKey_);
    Display* display = active_ && chord ? x11Connection() : nullptr;
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
    // NumLock and CapsLock aside, the state must be the grabbed chord's.
    const unsigned int locks = numLockMask_ | LockMask;
    if (!grabbed_ || root != root_ || window != root_ || keycode != keycode_ ||
        (state & kKeyModifierBits & ~locks) != modifiers_) {
        return false;
    }
    // A slot may change or destroy this object: nothing is touched after.
    Q_EMIT activated();
    return true;
}

} // namespace zarvello
