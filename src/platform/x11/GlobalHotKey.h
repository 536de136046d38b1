#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace zarvello {

// Modifier flags of a shortcut code; the low byte holds a Windows-style virtual-key code.
inline constexpr int kShortCutShift = 0x2000;
inline constexpr int kShortCutCtrl = 0x4000;
inline constexpr int kShortCutAlt = 0x8000;

// A system-wide hot key: while Active and given a HotKey it holds that key on the X server,
// and a press of it anywhere on the desktop calls OnKeyDown. If another client already holds
// the key, nothing is reported and the key simply does nothing. Off X11 it does nothing.
class GlobalHotKey : public QObject
{
    Q_OBJECT

public:
    using KeyDownHandler =
        std::function<void(GlobalHotKey* sender, int key, Qt::KeyboardModifiers shift)>;

    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

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

    template <typename T> void regrabWith(T& field, T value);
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
