#pragma once

#include <QFlags>
#include <QObject>

#include <cstdint>

class QWidget;

namespace zarvello {

enum class ScreenEdge : std::uint8_t { Left = 0x1, Top = 0x2, Right = 0x4, Bottom = 0x8 };
Q_DECLARE_FLAGS(ScreenEdges, ScreenEdge)
Q_DECLARE_OPERATORS_FOR_FLAGS(ScreenEdges)
inline constexpr ScreenEdges kAllEdges{ScreenEdge::Left, ScreenEdge::Top, ScreenEdge::Right,
                                       ScreenEdge::Bottom};

// A window rectangle as the move loop proposes it: right and bottom exclusive.
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend constexpr bool operator==(Rect, Rect) = default;
};

// One snap step: pulls the proposed rectangle flush against any edge within
// `distance`. The left and top edges snap to the screen's 0, the right and
// bottom ones to the area's edges; later edges win over earlier ones. Returns
// the edges that snapped.
ScreenEdges snapToEdges(Rect& proposed, const Rect& area, int width, int height, int distance,
                        ScreenEdges edges);

// Makes its window snap to the screen edges while the user drags it by its caption.
class ScreenDocker : public QObject
{
    Q_OBJECT
public:
    // The owner must be a top-level window with no docker yet; otherwise this
    // throws std::logic_error and leaves the owner untouched.
    explicit ScreenDocker(QObject* owner);

    [[nodiscard]] bool isActive() const { return active_; }
    void setActive(bool value) { active_ = value; }

    // The window is being moved by its caption to `proposed`; returns where it
    // should go instead. The area is read afresh every time, so a changed
    // screen or panel is seen at once.
    [[nodiscard]] Rect moving(Rect proposed);

Q_SIGNALS:
    // Once for every edge a move step snapped to, left, top, right, bottom.
    void docked(ScreenEdge edge);

private:
    [[nodiscard]] Rect area() const;

    QWidget* window_ = nullptr;
    bool active_ = true;
};

} // namespace zarvello
