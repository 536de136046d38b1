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
constexpr OptionInfo colour(Option o, const char* name, int firstRun, int step,
                            int TSettings::*field)
{
    return {o, name, OptionKind::Colour, -1, firstRun, step, o, nullptr, field};
}
constexpr OptionInfo number(Option o, const char* name, int formDefault, int step,
                            int TSettings::*field)
{
    return {o, name, OptionKind::Number, formDefault, 0, step, o, nullptr, field};
}
} // namespace detail

// Every option once: name, form default, first-run value, load step. Left and
// Top load as the top right corner of the work area when missing (see
// loadPosition); their form defaults are the window's design place, below the screen.
inline constexpr std::array<OptionInfo, kOptionCount> kOptions = [] {
    using namespace detail;
    using enum Option;
    using S = TSettings;
    return std::array<OptionInfo, kOptionCount>{{
        // clang-format off
        number(Left, "Left", 614, 25, &S::Left),
        number(Top, "Top", 5000, 26, &S::Top),
        flag(Dock, "Dock", 0, 1, 3, &S::Dock),
        flag(OnTop, "OnTop", 0, 1, 4, &S::OnTop),
        flag(In, "In", 0, 1, 0, &S::In),
        flag(Out, "Out", 0, 1, 1, &S::Out),
        flag(MaxSpeed, "MaxSpeed", 0, 1, 2, &S::MaxSpeed),
        flag(Percent, "Percent", 0, 0, 5, &S::Percent),
        flag(Horiz, "Horiz", 0, 0, 6, &S::Horiz),
        flag(Shrink, "Shrink", 0, 0, 7, &S::Shrink),
        flag(TaskBar, "TaskBar", 0, 0, 16, &S::TaskBar),
        choice(KiloBytes, "KiloBytes", 1, 17, KiloBits, &S::KiloBytes),
        choice(KiloBits, "KiloBits", 0, 18, KiloBytes, &S::KiloBits),
        flag(TrayIcon, "TrayIcon", 1, 1, 19, &S::TrayIcon),
        choice(TrayIconIn, "TrayIconIn", 1, 20, TrayIconOut, &S::TrayIconIn),
        choice(TrayIconOut, "TrayIconOut", 0, 21, TrayIconIn, &S::TrayIconOut),
        choice(TrayPercent, "TrayPercent", 1, 8, TrayActual, &S::TrayPercent),
        choice(TrayActual, "TrayActual", 0, 9, TrayPercent, &S::TrayActual),
        choice(SmallFont, "SmallFont", 1, 22, LargeFont, &S::SmallFont),
        choice(LargeFont, "LargeFont", 0, 23, SmallFont, &S::LargeFont),
        colour(InColor1, "InColor1", 12, 10, &S::InColor1),             // clBlue
        colour(InColor2, "InColor2", 14, 11, &S::InColor2),             // clAqua
        colour(OutColor1, "OutColor1", 12, 12, &S::OutColor1),          // clBlue
        colour(OutColor2, "OutColor2", 9, 13, &S::OutColor2),           // clRed
        colour(TrayBakColor, "TrayBakColor", 8, 14, &S::TrayBakColor),  // clSilver
        colour(TrayForColor, "TrayForColor", 12, 15, &S::TrayForColor), // clBlue
        number(PeakSpeed, "PeakSpeed", 0, 24, &S::PeakSpeed),
        // clang-format on
    }};
}();

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
