#include "platform/x11/Display.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include "platform/x11/Connection.h"

#include <cstdio>

namespace zarvello {

bool chooseX11Platform()
{
    // The windows are small and change in small patches once a second. Shared
    // memory saves no copy worth having there, and its completion event after
    // every flush wakes the server, Qt's event reader and our main thread.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
    }
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return true;
    }
    // The only connection of our own: Qt opens the one the program uses.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    return true;
}

Display* x11Connection()
{
    // A plain QCoreApplication (or none) has no display at all, and says nothing.
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return nullptr;
    }
    // Other platforms may offer the X11 interface too (offscreen does), but their windows
    // are not the server's.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
        return x11 != nullptr ? x11->display() : nullptr;
    }
    [[maybe_unused]] static const bool told = [] {
        std::fprintf(stderr,
                     "Zarvello: the Qt platform is \"%s\", not X11 (xcb): staying on top, hiding "
                     "from the task bar and the Ctrl+M key will not work\n",
                     qPrintable(QGuiApplication::platformName()));
        return true;
    }();
    return nullptr;
}

} // namespace zarvello
