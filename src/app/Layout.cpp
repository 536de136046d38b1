#include "app/Layout.h"

#include <algorithm>

namespace zarvello {
namespace {

constexpr Placement kHidden{};
constexpr Placement at(int left, int top)
{
    return {true, left, top};
}

// Shorthands for the option combinations: In, Out, MaxSpeed, Horiz, Shrink.
constexpr OptionCombination on(bool in, bool out, bool maxSpeed, bool horiz, bool shrink)
{
    return {in, out, maxSpeed, horiz, shrink};
}

using P = LayoutPreset;
// clang-format off
constexpr std::array<LayoutPreset, 22> kPresets{{
    //                                                      InLabel    InTotal     InSpeed     InBar      OutLabel     OutTotal     OutSpeed     OutBar       MaxSpeedLabel MaxSpeed     W    H
    P{"In_OutMaxHorizShrink",   on(1, 0, 0, 0, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), kHidden,     kHidden,     kHidden,     kHidden,     kHidden,     kHidden},     180, 63},
    P{"InOut_MaxHorizShrink",   on(1, 1, 0, 0, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), at(1, 33),   at(26, 33),  at(95, 33),  at(1, 48),   kHidden,     kHidden},     180, 92},
    P{"InOutMax_HorizShrink",   on(1, 1, 1, 0, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), at(1, 33),   at(26, 33),  at(95, 33),  at(1, 48),   at(1, 64),   at(95, 64)},  180, 103},
    P{"InOutMaxHoriz_Shrink",   on(1, 1, 1, 1, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), at(175, 2),  at(200, 2),  at(269, 2),  at(175, 17), at(333, 2),  at(351, 19)}, 405, 61},
    P{"InOutMaxHorizShrink",    on(1, 1, 1, 1, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     at(240, 2),  at(305, 1),  kHidden,     at(476, 2)},  531, 40},
    P{"InOutHoriz_MaxShrink",   on(1, 1, 0, 1, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), at(175, 2),  at(200, 2),  at(269, 2),  at(175, 17), kHidden,     kHidden},     355, 61},
    P{"Out_InMaxHorizShrink",   on(0, 1, 0, 0, 0), {kHidden,  kHidden,    kHidden,   kHidden,   at(1, 2),    at(26, 2),   at(95, 2),   at(1, 17),   kHidden,     kHidden},     180, 57},
    P{"OutMax_InHorizShrink",   on(0, 1, 1, 0, 0), {kHidden,  kHidden,    kHidden,   kHidden,   at(1, 2),    at(26, 2),   at(95, 2),   at(1, 17),   at(1, 33),   at(95, 33)},  180, 70},
    P{"OutMaxHoriz_InShrink",   on(0, 1, 1, 1, 0), {kHidden,  kHidden,    kHidden,   kHidden,   at(1, 2),    at(26, 2),   at(95, 2),   at(1, 17),   at(160, 2),  at(178, 19)}, 230, 57},
    P{"OutMaxHorizShrink_In",   on(0, 1, 1, 1, 1), {kHidden,  kHidden,    kHidden,   kHidden,   kHidden,     kHidden,     at(1, 2),    at(64, 1),   kHidden,     at(240, 2)},  285, 40},
    P{"Max_InOutHorizShrink",   on(0, 0, 1, 0, 0), {kHidden,  kHidden,    kHidden,   kHidden,   kHidden,     kHidden,     kHidden,     kHidden,     at(1, 2),    at(1, 15)},   75, 55},
    P{"MaxIn_OutHorizShrink",   on(1, 0, 1, 0, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), kHidden,     kHidden,     kHidden,     kHidden,     at(1, 33),   at(95, 33)},  180, 70},
    P{"MaxHoriz_InOutShrink",   on(0, 0, 1, 1, 0), {kHidden,  kHidden,    kHidden,   kHidden,   kHidden,     kHidden,     kHidden,     kHidden,     at(1, 2),    at(70, 2)},   120, 40},
    P{"MaxInHoriz_OutShrink",   on(1, 0, 1, 1, 0), {at(1, 2), at(26, 2), at(95, 2), at(1, 17), kHidden,     kHidden,     kHidden,     kHidden,     at(160, 2),  at(178, 19)}, 230, 57},
    P{"MaxInHorizShrink_Out",   on(1, 0, 1, 1, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     kHidden,     kHidden,     kHidden,     at(240, 2)},  285, 40},
    P{"ShrinkInHoriz_MaxOut",   on(1, 0, 0, 1, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     kHidden,     kHidden,     kHidden,     kHidden},     240, 40},
    P{"ShrinkOutHoriz_MaxIn",   on(0, 1, 0, 1, 1), {kHidden,  kHidden,    kHidden,   kHidden,   kHidden,     kHidden,     at(1, 2),    at(64, 1),   kHidden,     kHidden},     240, 40},
    P{"ShrinkOutHorizIn_Max",   on(1, 1, 0, 1, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     at(240, 2),  at(305, 1),  kHidden,     kHidden},     482, 40},
    P{"ShrinkHorizMax_InOut",   on(0, 0, 1, 1, 1), {kHidden,  kHidden,    kHidden,   kHidden,   kHidden,     kHidden,     kHidden,     kHidden,     kHidden,     at(1, 2)},    50, 40},
    P{"ShrinkIn_HorizMaxOut",   on(1, 0, 0, 0, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     kHidden,     kHidden,     kHidden,     kHidden},     240, 40},
    P{"ShrinkInOut_HorizMax",   on(1, 1, 0, 0, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     at(1, 19),   at(64, 19),  kHidden,     kHidden},     240, 58},
    P{"ShrinkInOutMax_Horiz",   on(1, 1, 1, 0, 1), {kHidden,  kHidden,    at(1, 2),  at(64, 1), kHidden,     kHidden,     at(1, 19),   at(64, 19),  kHidden,     at(100, 35)}, 240, 75},
}};
// clang-format on

struct Borrowed
{
    OptionCombination combination;
    std::string_view preset;
};

// Combinations with no preset of their own, and the nearest one they take.
constexpr std::array<Borrowed, 6> kBorrowed{{
    {on(1, 0, 0, 1, 0), "In_OutMaxHorizShrink"},
    {on(0, 1, 0, 1, 0), "Out_InMaxHorizShrink"},
    {on(0, 1, 0, 0, 1), "ShrinkOutHoriz_MaxIn"},
    {on(0, 0, 1, 0, 1), "ShrinkHorizMax_InOut"},
    {on(1, 0, 1, 0, 1), "MaxInHorizShrink_Out"},
    {on(0, 1, 1, 0, 1), "OutMaxHorizShrink_In"},
}};

const LayoutPreset* byName(std::string_view name)
{
    const auto it = std::find_if(kPresets.begin(), kPresets.end(),
                                 [&](const LayoutPreset& p) { return p.name == name; });
    return it == kPresets.end() ? nullptr : &*it;
}

} // namespace

const LayoutPreset* presetFor(OptionCombination options)
{
    for (const LayoutPreset& preset : kPresets) {
        if (preset.options == options) {
            return &preset;
        }
    }
    for (const Borrowed& borrowed : kBorrowed) {
        if (borrowed.combination == options) {
            return byName(borrowed.preset);
        }
    }
    return nullptr;
}

} // namespace zarvello
