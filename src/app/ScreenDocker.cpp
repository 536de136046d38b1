#include "app/ScreenDocker.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <stdexcept>

namespace zarvello {
namespace {

bool within(int value, int target, int distance)
{
    return target - distance <= value && value <= target + distance;
}

Rect toRect(const QRect& r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

bool snapToEdges(Rect& r, const Rect& area, int width, int height, int distance, TDockableTo edges,
                 const std::function<void(ScreenEdge)>& onDocked)
{
    bool snapped = false;
    auto docked = [&](ScreenEdge edge) {
        snapped = true;
        if (onDocked) {
            onDocked(edge);
        }
    };
    if ((edges & edgeBit(seLeft)) != 0 && within(r.left, 0, distance)) {
        r.left = 0;
        r.right = width;
        docked(seLeft);
    }
    if ((edges & edgeBit(seTop)) != 0 && within(r.top, 0, distance)) {
        r.top = 0;
        r.bottom = height;
        docked(seTop);
    }
    if ((edges & edgeBit(seRight)) != 0 && within(r.right, area.right, distance)) {
        r.right = area.right;
        r.left = area.right - width;
        docked(seRight);
    }
    if ((edges & edgeBit(seBottom)) != 0 && within(r.bottom, area.bottom, distance)) {
        r.bottom = area.bottom;
        r.top = area.bottom - height;
        docked(seBottom);
    }
    return snapped;
}

ScreenDocker::ScreenDocker(QObject* owner) : QObject(nullptr)
{
    // Checked before taking a parent, so a refused docker leaves no trace on the form.
    auto* form = qobject_cast<QWidget*>(owner);
    if (form == nullptr || !form->isWindow()) {
        throw std::logic_error("TScreenDocker can only be placed on a TForm.");
    }
    if (!form->findChildren<ScreenDocker*>(Qt::FindDirectChildrenOnly).isEmpty()) {
        throw std::logic_error("Only one instance of TScreenDocker is allowed per form.");
    }
    form_ = form;
    setParent(form);
}

QString ScreenDocker::About() const
{
    return QStringLiteral("ScreenDocker version 1.00");
}

Rect ScreenDocker::area() const
{
    const QScreen* screen = form_->screen() ? form_->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return toRect(dockArea_ == daScreen ? screen->virtualGeometry() : screen->availableGeometry());
}

Rect ScreenDocker::moving(Rect proposed)
{
    if (!active_) {
        return proposed;
    }
    snapToEdges(proposed, area(), form_->width(), form_->height(), dockDistance_, dockableTo_,
                [this](ScreenEdge edge) {
                    if (onDocked_) {
                        onDocked_(this, edge);
                    }
                });
    return proposed;
}

} // namespace zarvello
