#include "app/ScreenDocker.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <stdexcept>

namespace zarvello {
namespace {

// How near an edge the window snaps to it; the right and bottom edges are
// those of the work area, so the window stops at a panel.
constexpr int kDockDistance = 10;

bool within(int value, int target, int distance)
{
    return target - distance <= value && value <= target + distance;
}

} // namespace

ScreenEdges snapToEdges(Rect& r, const Rect& area, int width, int height, int distance,
                        ScreenEdges edges)
{
    ScreenEdges snapped;
    if (edges.testFlag(ScreenEdge::Left) && within(r.left, 0, distance)) {
        r.left = 0;
        r.right = width;
        snapped |= ScreenEdge::Left;
    }
    if (edges.testFlag(ScreenEdge::Top) && within(r.top, 0, distance)) {
        r.top = 0;
        r.bottom = height;
        snapped |= ScreenEdge::Top;
    }
    if (edges.testFlag(ScreenEdge::Right) && within(r.right, area.right, distance)) {
        r.right = area.right;
        r.left = area.right - width;
        snapped |= ScreenEdge::Right;
    }
    if (edges.testFlag(ScreenEdge::Bottom) && within(r.bottom, area.bottom, distance)) {
        r.bottom = area.bottom;
        r.top = area.bottom - height;
        snapped |= ScreenEdge::Bottom;
    }
    return snapped;
}

ScreenDocker::ScreenDocker(QObject* owner) : QObject(nullptr)
{
    // Checked before taking a parent, so a refused docker leaves no trace on the form.
    auto* window = qobject_cast<QWidget*>(owner);
    if (window == nullptr || !window->isWindow()) {
        throw std::logic_error("TScreenDocker can only be placed on a TForm.");
    }
    if (!window->findChildren<ScreenDocker*>(Qt::FindDirectChildrenOnly).isEmpty()) {
        throw std::logic_error("Only one instance of TScreenDocker is allowed per form.");
    }
    window_ = window;
    setParent(window);
}

Rect ScreenDocker::area() const
{
    const QScreen* screen =
        window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QRect r = screen->availableGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

Rect ScreenDocker::moving(Rect proposed)
{
    if (!active_) {
        return proposed;
    }
    const ScreenEdges snapped = snapToEdges(proposed, area(), window_->width(), window_->height(),
                                            kDockDistance, kAllEdges);
    for (const ScreenEdge edge :
         {ScreenEdge::Left, ScreenEdge::Top, ScreenEdge::Right, ScreenEdge::Bottom}) {
        if (snapped.testFlag(edge)) {
            Q_EMIT docked(edge);
        }
    }
    return proposed;
}

} // namespace zarvello
