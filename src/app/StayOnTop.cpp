#include "app/StayOnTop.h"

#include "platform/x11/WindowStates.h"

#include <QWidget>

namespace zarvello {

StayOnTop::StayOnTop(QObject* owner) : QObject(owner)
{
    auto* widget = qobject_cast<QWidget*>(owner);
    window_ = widget != nullptr && widget->isWindow() ? widget : nullptr;
    setOnTop(true);
}

StayOnTop::~StayOnTop()
{
    // Usually the window is being taken down around us; never create one just to release it.
    if (window_ != nullptr && window_->internalWinId() != 0) {
        setOnTop(false);
    }
}

void StayOnTop::setOnTop(bool value)
{
    onTop_ = value;
    if (window_ != nullptr) {
        // Through the window manager's state, not Qt's window flags: changing
        // those re-creates and hides the window.
        setKeepAbove(window_, value);
    }
}

} // namespace zarvello
