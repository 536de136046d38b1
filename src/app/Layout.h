#pragma once

#include <array>
#include <string_view>

namespace zarvello {

// The meter window's ten display controls, in table order.
// clang-format off
enum class MeterControl {
    InLabel, InTotal, InSpeed, InBar, OutLabel, OutTotal, OutSpeed, OutBar, MaxSpeedLabel, MaxSpeed
};
// clang-format on
inline constexpr int kMeterControls = 10;

// The five options that choose the layout.
struct OptionCombination
{
    bool in = false;
    bool out = false;
    bool maxSpeed = false;
    bool horiz = false;
    bool shrink = false;

    friend constexpr bool operator==(OptionCombination, OptionCombination) = default;
};

struct Placement
{
    bool visible = false;
    int left = 0; // client-area pixels
    int top = 0;
};

// One fixed layout: every control's place and the window's outer size.
struct LayoutPreset
{
    std::string_view name;
    OptionCombination options;
    std::array<Placement, kMeterControls> controls;
    int width;
    int height;
};

// The preset for a combination. The six combinations without one of their own
// borrow the nearest preset, so no control of a group just switched off stays
// on show. Nothing when no group is on: the guard deals with that.
[[nodiscard]] const LayoutPreset* presetFor(OptionCombination options);

} // namespace zarvello
