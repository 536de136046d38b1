#pragma once

#include <QKeyCombination>
#include <QObject>

#include <memory>

namespace zarvello {

// A system-wide hot key: while active and given a key it holds that key on the X server, and
// a press of it anywhere on the desktop emits activated(). If another client already holds
// the key, nothing is reported and the key simply does nothing. Off X11 it does nothing.
class GlobalHotKey : public QObject
{
    Q_OBJECT

public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;

    // Shift, Ctrl and Alt with a letter, a digit (Qt::KeypadModifier for the keypad's), F1 to
    // F24 or a common editing or cursor key, e.g. Qt::CTRL | Qt::Key_M; none by default.
    [[nodiscard]] QKeyCombination hotKey() const { return hotKey_; }
    void setHotKey(QKeyCombination value);

    [[nodiscard]] bool isActive() const { return active_; }
    void setActive(bool value);

Q_SIGNALS:
    // A slot may change or destroy the hot key.
    void activated();

private:
    class KeyFilter; // a member, so it may call handleKeyPress

    template <typename T> void regrabWith(T& field, T value);
    void grab();
    void ungrab();
    bool handleKeyPress(unsigned int keycode, unsigned int state, unsigned long root,
                        unsigned long window);

    QKeyCombination hotKey_;
    bool active_ = false;

    // What is held on the server while grabbed_.
    bool grabbed_ = false;
    unsigned long root_ = 0;
    unsigned int keycode_ = 0;
    unsigned int modifiers_ = 0;
    unsigned int numLockMask_ = 0;
    std::unique_ptr<KeyFilter> filter_;
};

} // namespace zarvello
