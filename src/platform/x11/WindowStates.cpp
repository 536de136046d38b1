#include "platform/x11/WindowStates.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// Xlib's macros (Expose, None, ...) clash with Qt's names: take those first.
namespace {
constexpr QEvent::Type kExposeEvent = QEvent::Expose;
} // namespace

#include "platform/x11/Connection.h"

#include <X11/Xatom.h>

#include <map>
#include <vector>

namespace zarvello {
namespace {

std::vector<Atom> currentStates(Display* display, Window window)
{
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<Atom> atoms;
    if (XGetWindowProperty(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            const auto* values = reinterpret_cast<const Atom*>(data);
            atoms.assign(values, values + count);
        }
        XFree(data);
    }
    return atoms;
}

// Before the window manager manages a window the property is the client's;
// the manager reads it when it takes the window over.
void writeStateProperty(Display* display, Window window, Atom state, bool on)
{
    std::vector<Atom> atoms = currentStates(display, window);
    std::erase(atoms, state);
    if (on) {
        atoms.push_back(state);
    }
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

// A managed window's state belongs to the window manager: ask it.
void requestState(Display* display, Window window, Atom state, bool on)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    event.xclient.data.l[1] = static_cast<long>(state);
    event.xclient.data.l[3] = 1; // from a normal application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// The states asked for on one window. A hidden window's property is ours; a
// shown one's belongs to the window manager, which may not have taken the
// window over yet when it is asked, and which drops the states of a window
// that is hidden. So what was asked for is asked again once it is on screen.
class RequestedStates final : public QObject
{
public:
    explicit RequestedStates(QWidget* widget) : QObject(widget), widget_(widget)
    {
        setObjectName(kName);
        widget->installEventFilter(this);
        watchHandle();
    }

    static RequestedStates* of(QWidget* widget)
    {
        // Found by name: without its own meta-object, findChild cannot tell it by type.
        auto* states = widget->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly);
        return states != nullptr ? static_cast<RequestedStates*>(states)
                                 : new RequestedStates(widget);
    }

    void set(Display* display, Atom state, bool on)
    {
        states_[state] = on;
        const auto id = static_cast<Window>(widget_->winId());
        watchHandle();
        if (!widget_->isVisible()) {
            writeStateProperty(display, id, state, on);
        } else {
            requestState(display, id, state, on);
        }
        // Not on screen yet, or minimised: ask again once it is.
        resend_ = resend_ || !handle_->isExposed();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::Hide) {
            resend_ = true;
        } else if (watched == widget_ && event->type() == QEvent::Show) {
            watchHandle();
        } else if (watched == handle_ && event->type() == kExposeEvent && resend_ &&
                   handle_->isExposed()) {
            resend_ = false;
            if (Display* display = x11Connection()) {
                const auto id = static_cast<Window>(widget_->internalWinId());
                for (const auto& [state, on] : states_) {
                    requestState(display, id, state, on);
                }
                XFlush(display);
            }
        }
        return false;
    }

private:
    static constexpr QLatin1StringView kName{"zarvello-requested-net-wm-states"};

    void watchHandle()
    {
        if (QWindow* handle = widget_->windowHandle(); handle != nullptr && handle != handle_) {
            handle->installEventFilter(this);
            handle_ = handle;
        }
    }

    QWidget* widget_;
    QPointer<QWindow> handle_;
    std::map<Atom, bool> states_;
    bool resend_ = false;
};

// Adds or removes one of the _NET_WM_STATE_* states.
void setNetWmState(QWidget* window, const char* stateName, bool on)
{
    Display* display = x11Connection();
    if (display == nullptr || window == nullptr) {
        return;
    }
    RequestedStates::of(window)->set(display, XInternAtom(display, stateName, False), on);
    XFlush(display);
}

} // namespace

void setSkipTaskbar(QWidget* window, bool skip)
{
    setNetWmState(window, "_NET_WM_STATE_SKIP_TASKBAR", skip);
}

void setKeepAbove(QWidget* window, bool above)
{
    setNetWmState(window, "_NET_WM_STATE_ABOVE", above);
}

} // namespace zarvello
