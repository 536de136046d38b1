#pragma once

#include "../X11Session.h"

namespace zarvello {

// The private X session (Xvfb, openbox, tray) this test process is a Qt client of.
extern e2e::X11Session* session;

} // namespace zarvello
