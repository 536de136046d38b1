#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace zarvello {

enum ScreenEdge : std::uint8_t { seLeft, seTop, seRight, seBottom };

// A set of edges, one bit per ScreenEdge; all four is 15.
using TDockableTo = std::uint8_t;
inline constexpr TDockableTo kAllEdges = 0x0F;
constexpr TDockableTo edgeBit(ScreenEdge edge)
{
    return static_cast<TDockableTo>(1u << edge);
}

enum DockArea : std::uint8_t { daScreen, daWorkArea };

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
// bottom ones to the area's edges; later edges win over earlier ones. Calls
// onDocked for every edge that snapped and tells whether any did.
bool snapToEdges(Rect& proposed, const Rect& area, int width, int height, int distance,
                 TDockableTo edges, const std::function<void(ScreenEdge)>& onDocked = {});

// Makes its window snap to the screen edges while the user drags it by its caption.
class ScreenDocker : public QObject
{
    Q_OBJECT
public:
    using TOnDockedEvent = std::function<void(ScreenDocker* sender, ScreenEdge& edgeDocked)>;

    // The owner must be a top-level window with no docker yet; otherwise this
    // throws std::logic_error and leaves the owner untouched.
    explicit ScreenDocker(QObject* owner);

    [[nodiscard]] QString About() const;
    [[nodiscard]] bool Active() const { return active_; }
    void setActive(bool value) { active_ = value; }
    [[nodiscard]] TDockableTo DockableTo() const { return dockableTo_; }
    void setDockableTo(TDockableTo value) { dockableTo_ = value; }
    [[nodiscard]] const TOnDockedEvent& OnDocked() const { return onDocked_; }
    void setOnDocked(TOnDockedEvent value) { onDocked_ = std::move(value); }
    [[nodiscard]] DockArea dockArea() const { return dockArea_; }
    void setDockArea(DockArea value) { dockArea_ = value; }
    [[nodiscard]] int DockDistance() const { return dockDistance_; }
    void setDockDistance(int value) { dockDistance_ = value; }

    // The window is being moved by its caption to `proposed`; returns where it
    // should go instead. The area is read afresh every time, so a changed
    // screen or panel is seen at once.
    [[nodiscard]] Rect moving(Rect proposed);

private:
    [[nodiscard]] Rect area() const;

    QWidget* form_ = nullptr;
    bool active_ = true;
    TDockableTo dockableTo_ = kAllEdges;
    TOnDockedEvent onDocked_;
    DockArea dockArea_ = daWorkArea;
    int dockDistance_ = 10;
};

} // namespace zarvello
