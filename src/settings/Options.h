#pragma once

#include <array>
#include <cstddef>

namespace zarvello {

// The 27 options as a plain record, named as their stored values. Colours are
// indexes into the colour combos' list of 19 names (-1 = none); PeakSpeed is
// in thousands of bytes per second, 0 = measured.
struct OptionValues
{
    bool In{}, Out{}, MaxSpeed{}, Percent{}, Horiz{}, Shrink{}, OnTop{}, Dock{}, TaskBar{};
    bool KiloBytes{}, KiloBits{}, TrayIcon{}, TrayIconIn{}, TrayIconOut{}, TrayPercent{};
    bool TrayActual{}, SmallFont{}, LargeFont{};
    int InColor1{}, InColor2{}, OutColor1{}, OutColor2{}, TrayBakColor{}, TrayForColor{};
    int PeakSpeed{}, Left{}, Top{};

    friend bool operator==(const OptionValues&, const OptionValues&) = default;
};

// The options in the order the save writes them, which is also the order of
// the values in a new options file.
// clang-format off
enum class Option {
    Left, Top, Dock, OnTop, In, Out, MaxSpeed, Percent, Horiz, Shrink, TaskBar, KiloBytes,
    KiloBits, TrayIcon, TrayIconIn, TrayIconOut, TrayPercent, TrayActual, SmallFont, LargeFont,
    InColor1, InColor2, OutColor1, OutColor2, TrayBakColor, TrayForColor, PeakSpeed
};
// clang-format on
inline constexpr std::size_t kOptionCount = 27;

enum class OptionKind {
    Flag,   // a check box
    Choice, // one radio of a pair: choosing it clears its partner; both may be off
    Colour, // an index into the colour list, -1 = none
    Number,
};

struct OptionInfo
{
    Option option;
    const char* name; // of the stored value
    OptionKind kind;
    int formDefault; // what the dialog shows before the load
    int firstRun;    // what a missing or unreadable value loads as
    // The load reads the options in this order, each with the effects of a
    // user's change; Left and Top come last, once the window is arranged.
    int loadStep;
    bool OptionValues::*flag = nullptr; // where the record keeps it: one of these two
    int OptionValues::*number = nullptr;
    Option partner{}; // a Choice's other radio
};

// Every option once. Left and Top load as the top right corner of the work
// area when missing (see loadPosition); their form defaults are the window's
// design place, below the screen.
inline constexpr std::array<OptionInfo, kOptionCount> kOptions = [] {
    using enum Option;
    using enum OptionKind;
    using S = OptionValues;
    // clang-format off
    return std::array<OptionInfo, kOptionCount>{{
        // option, name, kind, form default, first run, load step, field, partner
        {Left, "Left", Number, 614, 0, 25, nullptr, &S::Left},
        {Top, "Top", Number, 5000, 0, 26, nullptr, &S::Top},
        {Dock, "Dock", Flag, 0, 1, 3, &S::Dock},
        {OnTop, "OnTop", Flag, 0, 1, 4, &S::OnTop},
        {In, "In", Flag, 0, 1, 0, &S::In},
        {Out, "Out", Flag, 0, 1, 1, &S::Out},
        {MaxSpeed, "MaxSpeed", Flag, 0, 1, 2, &S::MaxSpeed},
        {Percent, "Percent", Flag, 0, 0, 5, &S::Percent},
        {Horiz, "Horiz", Flag, 0, 0, 6, &S::Horiz},
        {Shrink, "Shrink", Flag, 0, 0, 7, &S::Shrink},
        {TaskBar, "TaskBar", Flag, 0, 0, 16, &S::TaskBar},
        {KiloBytes, "KiloBytes", Choice, 0, 1, 17, &S::KiloBytes, nullptr, KiloBits},
        {KiloBits, "KiloBits", Choice, 0, 0, 18, &S::KiloBits, nullptr, KiloBytes},
        {TrayIcon, "TrayIcon", Flag, 1, 1, 19, &S::TrayIcon},
        {TrayIconIn, "TrayIconIn", Choice, 0, 1, 20, &S::TrayIconIn, nullptr, TrayIconOut},
        {TrayIconOut, "TrayIconOut", Choice, 0, 0, 21, &S::TrayIconOut, nullptr, TrayIconIn},
        {TrayPercent, "TrayPercent", Choice, 0, 1, 8, &S::TrayPercent, nullptr, TrayActual},
        {TrayActual, "TrayActual", Choice, 0, 0, 9, &S::TrayActual, nullptr, TrayPercent},
        {SmallFont, "SmallFont", Choice, 0, 1, 22, &S::SmallFont, nullptr, LargeFont},
        {LargeFont, "LargeFont", Choice, 0, 0, 23, &S::LargeFont, nullptr, SmallFont},
        {InColor1, "InColor1", Colour, -1, 12, 10, nullptr, &S::InColor1},             // clBlue
        {InColor2, "InColor2", Colour, -1, 14, 11, nullptr, &S::InColor2},             // clAqua
        {OutColor1, "OutColor1", Colour, -1, 12, 12, nullptr, &S::OutColor1},          // clBlue
        {OutColor2, "OutColor2", Colour, -1, 9, 13, nullptr, &S::OutColor2},           // clRed
        {TrayBakColor, "TrayBakColor", Colour, -1, 8, 14, nullptr, &S::TrayBakColor},  // clSilver
        {TrayForColor, "TrayForColor", Colour, -1, 12, 15, nullptr, &S::TrayForColor}, // clBlue
        {PeakSpeed, "PeakSpeed", Number, 0, 0, 24, nullptr, &S::PeakSpeed},
    }};
    // clang-format on
}();

[[nodiscard]] constexpr const OptionInfo& optionInfo(Option o)
{
    return kOptions[static_cast<std::size_t>(o)];
}

[[nodiscard]] constexpr int valueOf(const OptionValues& s, Option o)
{
    const OptionInfo& info = optionInfo(o);
    return info.flag != nullptr ? int{s.*info.flag} : s.*info.number;
}

constexpr void setValueOf(OptionValues& s, Option o, int value)
{
    const OptionInfo& info = optionInfo(o);
    if (info.flag != nullptr) {
        s.*info.flag = value != 0;
    } else {
        s.*info.number = value;
    }
}

// The options in the order the load reads them.
inline constexpr std::array<Option, kOptionCount> kLoadOrder = [] {
    std::array<Option, kOptionCount> order{};
    for (const OptionInfo& info : kOptions) {
        order[static_cast<std::size_t>(info.loadStep)] = info.option;
    }
    return order;
}();

namespace detail {
constexpr OptionValues recordOf(int OptionInfo::*column)
{
    OptionValues s;
    for (const OptionInfo& info : kOptions) {
        setValueOf(s, info.option, info.*column);
    }
    return s;
}
} // namespace detail

// What the dialog shows when it is created, before the load.
[[nodiscard]] constexpr OptionValues formDefaultSettings()
{
    return detail::recordOf(&OptionInfo::formDefault);
}

// What a fresh installation starts with. The position is filled in by
// whoever knows the screen.
[[nodiscard]] constexpr OptionValues firstRunSettings()
{
    return detail::recordOf(&OptionInfo::firstRun);
}

} // namespace zarvello
