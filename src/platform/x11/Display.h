#pragma once

namespace zarvello {

// Everything the program does with windows (placing its own, staying on top,
// hiding from the task bar, a global key) needs X11; under a Wayland session
// that is XWayland. Unless the platform was chosen explicitly (QT_QPA_PLATFORM),
// picks Qt's X11 platform when an X display answers. Returns false when none
// does, before any Qt object exists. Also sends window contents to the server
// in plain requests, unless QT_XCB_NO_MITSHM says otherwise.
bool chooseX11Platform();

} // namespace zarvello
