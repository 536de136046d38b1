#pragma once

#include <array>
#include <cstddef>

namespace zarvello {

// The 27 options as a plain record, named as their stored values. Colours are
// indexes into the colour combos' list of 19 names (-1 = none); PeakSpeed is
// in thousands of bytes per second, 0 = measured.
struct TSettings
{
    bool In{}, Out{}, MaxSpeed{}, Percent{}, Horiz{}, Shrink{}, OnTop{}, Dock{}, TaskBar{};
    bool KiloBytes{}, KiloBits{}, TrayIcon{}, TrayIconIn{}, TrayIconOut{}, TrayPercent{};
    bool TrayActual{}, SmallFont{}, LargeFont{};
    int InColor1{}, InColor2{}, OutColor1{}, OutColor2{}, TrayBakColor{}, TrayForColor{};
    int PeakSpeed{}, Left{}, Top{};

    friend bool operator==(const TSettings&, const TSettings&) = default;
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
    Option partner; // a Choice's other radio; the option itself otherwise
    bool TSettings::*flag;
    int TSettings::*number;
};

namespace detail {
constexpr OptionInfo flag(Option o, const char* name, int formDefault, int firstRun, int step,
                          bool TSettings::*field)
{
    return {o, name, OptionKind::Flag, formDefault, firstRun, step, o, field, nullptr};
}
constexpr OptionInfo choice(Option o, const char* name, int firstRun, int step, Option partner,
                            bool TSettings::*field)
{
    return {o, name, OptionKind::Choice, 0, firstRun, step, partner, field, nullptr};
}
constexpr OptionInfo number(Option o, const char* name, OptionKind kind, int formDefault,
                            int firstRun, int step, int TSettings::*field)
{
    return {o, name, kind, formDefault, firstRun, step, o, nullptr, field};
}
} // namespace detail

// Every option once. Left and Top load as the top right corner of the work
// area when missing (see loadPosition); their form defaults are the window's
// design place, below the screen.
inline constexpr std::array<OptionInfo, kOptionCount> kOptions{{
    // clang-format off
    detail::number(Option::Left, "Left", OptionKind::Number, 614, 0, 25, &TSettings::Left),
    detail::number(Option::Top, "Top", OptionKind::Number, 5000, 0, 26, &TSettings::Top),
    detail::flag(Option::Dock, "Dock", 0, 1, 3, &TSettings::Dock),
    detail::flag(Option::OnTop, "OnTop", 0, 1, 4, &TSettings::OnTop),
    detail::flag(Option::In, "In", 0, 1, 0, &TSettings::In),
    detail::flag(Option::Out, "Out", 0, 1, 1, &TSettings::Out),
    detail::flag(Option::MaxSpeed, "MaxSpeed", 0, 1, 2, &TSettings::MaxSpeed),
    detail::flag(Option::Percent, "Percent", 0, 0, 5, &TSettings::Percent),
    detail::flag(Option::Horiz, "Horiz", 0, 0, 6, &TSettings::Horiz),
    detail::flag(Option::Shrink, "Shrink", 0, 0, 7, &TSettings::Shrink),
    detail::flag(Option::TaskBar, "TaskBar", 0, 0, 16, &TSettings::TaskBar),
    detail::choice(Option::KiloBytes, "KiloBytes", 1, 17, Option::KiloBits, &TSettings::KiloBytes),
    detail::choice(Option::KiloBits, "KiloBits", 0, 18, Option::KiloBytes, &TSettings::KiloBits),
    detail::flag(Option::TrayIcon, "TrayIcon", 1, 1, 19, &TSettings::TrayIcon),
    detail::choice(Option::TrayIconIn, "TrayIconIn", 1, 20, Option::TrayIconOut, &TSettings::TrayIconIn),
    detail::choice(Option::TrayIconOut, "TrayIconOut", 0, 21, Option::TrayIconIn, &TSettings::TrayIconOut),
    detail::choice(Option::TrayPercent, "TrayPercent", 1, 8, Option::TrayActual, &TSettings::TrayPercent),
    detail::choice(Option::TrayActual, "TrayActual", 0, 9, Option::TrayPercent, &TSettings::TrayActual),
    detail::choice(Option::SmallFont, "SmallFont", 1, 22, Option::LargeFont, &TSettings::SmallFont),
    detail::choice(Option::LargeFont, "LargeFont", 0, 23, Option::SmallFont, &TSettings::LargeFont),
    detail::number(Option::InColor1, "InColor1", OptionKind::Colour, -1, 12, 10, &TSettings::InColor1),         // clBlue
    detail::number(Option::InColor2, "InColor2", OptionKind::Colour, -1, 14, 11, &TSettings::InColor2),         // clAqua
    detail::number(Option::OutColor1, "OutColor1", OptionKind::Colour, -1, 12, 12, &TSettings::OutColor1),      // clBlue
    detail::number(Option::OutColor2, "OutColor2", OptionKind::Colour, -1, 9, 13, &TSettings::OutColor2),       // clRed
    detail::number(Option::TrayBakColor, "TrayBakColor", OptionKind::Colour, -1, 8, 14, &TSettings::TrayBakColor), // clSilver
    detail::number(Option::TrayForColor, "TrayForColor", OptionKind::Colour, -1, 12, 15, &TSettings::TrayForColor), // clBlue
    detail::number(Option::PeakSpeed, "PeakSpeed", OptionKind::Number, 0, 0, 24, &TSettings::PeakSpeed),
    // clang-format on
}};

[[nodiscard]] constexpr const OptionInfo& optionInfo(Option o)
{
    return kOptions[static_cast<std::size_t>(o)];
}

[[nodiscard]] constexpr int valueOf(const TSettings& s, Option o)
{
    const OptionInfo& info = optionInfo(o);
    return info.flag != nullptr ? int{s.*info.flag} : s.*info.number;
}

constexpr void setValueOf(TSettings& s, Option o, int value)
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
constexpr TSettings recordOf(int OptionInfo::*column)
{
    TSettings s;
    for (const OptionInfo& info : kOptions) {
        setValueOf(s, info.option, info.*column);
    }
    return s;
}
constexpr bool tableIsConsistent()
{
    std::array<bool, kOptionCount> stepTaken{};
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        const OptionInfo& info = kOptions[i];
        const auto step = static_cast<std::size_t>(info.loadStep);
        if (static_cast<std::size_t>(info.option) != i || step >= kOptionCount || stepTaken[step] ||
            (info.flag == nullptr) == (info.number == nullptr) ||
            optionInfo(info.partner).partner != info.option) {
            return false;
        }
        stepTaken[step] = true;
    }
    return true;
}
static_assert(tableIsConsistent());
} // namespace detail

// What the dialog shows when it is created, before the load.
[[nodiscard]] constexpr TSettings formDefaultSettings()
{
    return detail::recordOf(&OptionInfo::formDefault);
}

// What a fresh installation starts with. The position is filled in by
// whoever knows the screen.
[[nodiscard]] constexpr TSettings firstRunSettings()
{
    return detail::recordOf(&OptionInfo::firstRun);
}

} // namespace zarvello
