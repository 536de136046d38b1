#include "app/StayOnTop.h"

#include "platform/x11/WindowStates.h"

#include <QWidget>

namespace zarvello {

StayOnTop::StayOnTop(QObject* owner) : QObject(owner)
{
    auto* widget = qobject_cast<QWidget*>(owner);
    form_ = widget != nullptr && widget->isWindow() ? widget : nullptr;
    setOnTop(true);
}

StayOnTop::~StayOnTop()
{
    // Usually the window is being taken down around us; never create one just to release it.
    if (form_ != nullptr && form_->internalWinId() != 0) {
        setOnTop(false);
    }
}

void StayOnTop::setOnTop(bool value)
{
    onTop_ = value;
    if (form_ != nullptr) {
        // Through the window manager's state, not Qt's window flags: changing
        // those re-creates and hides the window.
        setKeepAbove(form_, value);
    }
}

} // namespace zarvello
