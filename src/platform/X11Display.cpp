#include "platform/X11Display.h"

#include <QByteArray>
#include <QtGlobal>
#include <X11/Xlib.h>

namespace zarvello {

bool chooseX11Platform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return true;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    return true;
}

} // namespace zarvello
