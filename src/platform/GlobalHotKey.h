#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zarvello {

// Modifier flags of a shortcut code; the low byte holds a Windows-style virtual-key code.
inline constexpr int kShortCutShift = 0x2000;
inline constexpr int kShortCutCtrl = 0x4000;
inline constexpr int kShortCutAlt = 0x8000;

// What to grab on the X server for a shortcut code: a keysym and the X modifier mask
// (ShiftMask, ControlMask, Mod1Mask) that must be held with it.
struct XKeyChord
{
    unsigned long keysym = 0;
    unsigned int modifiers = 0;

    friend bool operator==(const XKeyChord&, const XKeyChord&) = default;
};

// The keysym of a virtual-key code: letters, digits, the keypad digits, F1 to F24 and the
// common editing and cursor keys. 0 for any other code.
[[nodiscard]] unsigned long keysymOfVirtualKey(int virtualKey);

// The chord for a shortcut code; empty for 0 and for codes whose key has no keysym above.
[[nodiscard]] std::optional<XKeyChord> decodeShortCut(int shortCut);

// The shortcut code's modifier flags as Qt modifiers.
[[nodiscard]] Qt::KeyboardModifiers qtModifiersOfShortCut(int shortCut);

// The modifier masks to grab so the chord works whatever the state of NumLock (held on the
// modifier `numLockMask`, 0 when no modifier carries it) and CapsLock.
[[nodiscard]] std::vector<unsigned int> grabModifierCombinations(unsigned int modifiers,
                                                                 unsigned int numLockMask);

// The modifier mask whose row of an X modifier map (8 rows of `keysPerModifier` keycodes,
// 0 for an empty slot) holds a NumLock key; 0 when none does.
[[nodiscard]] unsigned int numLockMaskOf(const std::vector<unsigned char>& modifierMap,
                                         int keysPerModifier,
                                         const std::function<bool(unsigned char)>& isNumLock);

// Whether a key press (its keycode and state) is the grabbed chord, NumLock and CapsLock
// aside.
[[nodiscard]] bool isChordPress(unsigned int keycode, unsigned int state, unsigned int chordKeycode,
                                unsigned int chordModifiers, unsigned int numLockMask);

// A system-wide hot key: while Active and given a HotKey it holds that key on the X server,
// and a press of it anywhere on the desktop calls OnKeyDown. If another client already holds
// the key, nothing is reported and the key simply does nothing. Off X11 it does nothing.
class TGlobalHotKey : public QObject
{
    Q_OBJECT

public:
    using KeyDownHandler =
        std::function<void(TGlobalHotKey* sender, int key, Qt::KeyboardModifiers shift)>;

    explicit TGlobalHotKey(QObject* parent = nullptr);
    ~TGlobalHotKey() override;
    TGlobalHotKey(const TGlobalHotKey&) = delete;
    TGlobalHotKey& operator=(const TGlobalHotKey&) = delete;

    // The shortcut code (kShortCut* flags plus a virtual-key code); 0 for none.
    int HotKey() const { return hotKey_; }
    void setHotKey(int value);

    bool Active() const { return active_; }
    void setActive(bool value);

    // Called with the virtual-key code and the modifiers of HotKey.
    const KeyDownHandler& OnKeyDown() const { return onKeyDown_; }
    void setOnKeyDown(KeyDownHandler handler) { onKeyDown_ = std::move(handler); }

private:
    class KeyFilter;
    friend class KeyFilter;

    void grab();
    void ungrab();
    bool handleKeyPress(unsigned int keycode, unsigned int state, unsigned long root,
                        unsigned long window);

    int hotKey_ = 0;
    bool active_ = false;
    KeyDownHandler onKeyDown_;

    // What is held on the server while grabbed_.
    bool grabbed_ = false;
    unsigned long root_ = 0;
    unsigned int keycode_ = 0;
    unsigned int modifiers_ = 0;
    unsigned int numLockMask_ = 0;
    std::unique_ptr<KeyFilter> filter_;
};

} // namespace zarvello
