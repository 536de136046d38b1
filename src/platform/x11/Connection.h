#pragma once

// Only for this folder's sources: Xlib's macros (None, Bool, Expose, ...) come with it, so
// include it after Qt's headers.
#include <X11/Xlib.h>

namespace zarvello {

// The application's X connection, which Qt opened; null without a GUI application or off
// X11. The first time a GUI application is found off X11, one line on standard error says
// what will not work, and from then on those features quietly do nothing.
Display* x11Connection();

} // namespace zarvello
