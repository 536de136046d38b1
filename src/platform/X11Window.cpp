#include "platform/X11Window.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace zarvello {
namespace {

Display* x11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

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

} // namespace

void setNetWmState(QWidget* window, const char* stateName, bool on)
{
    Display* display = x11Display();
    if (display == nullptr || window == nullptr) {
        return;
    }
    const auto id = static_cast<Window>(window->winId());
    const Atom netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom state = XInternAtom(display, stateName, False);
    if (window->isVisible()) {
        // A mapped window's state belongs to the window manager: ask it.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = id;
        event.xclient.message_type = netWmState;
        event.xclient.format = 32;
        event.xclient.data.l[0] = on ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
        event.xclient.data.l[1] = static_cast<long>(state);
        event.xclient.data.l[3] = 1; // from a normal application
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        // Before mapping the property is ours; the window manager reads it at map time.
        std::vector<Atom> atoms = currentStates(display, id);
        std::erase(atoms, state);
        if (on) {
            atoms.push_back(state);
        }
        XChangeProperty(display, id, netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(atoms.data()),
                        static_cast<int>(atoms.size()));
    }
    XFlush(display);
}

bool hasNetWmState(QWidget* window, const char* stateName)
{
    Display* display = x11Display();
    if (display == nullptr || window == nullptr) {
        return false;
    }
    const Atom state = XInternAtom(display, stateName, False);
    const auto atoms = currentStates(display, static_cast<Window>(window->winId()));
    return std::find(atoms.begin(), atoms.end(), state) != atoms.end();
}

} // namespace zarvello
