#pragma once

class QWidget;

namespace zarvello {

// The look shared by the notice and the memory window: button-face
// background, "MS Sans Serif" 11 pixels high.
void applyDialogLook(QWidget& form);

// Centres the window on the screen it is on (the primary one if unknown).
void centreOnScreen(QWidget& form);

} // namespace zarvello
