#pragma once

namespace zarvello {

// The 27 options, named as their stored values. Colours are indexes into the
// colour combos' list of 19 names (-1 = none); PeakSpeed is in thousands of
// bytes per second, 0 = measured.
struct TSettings
{
    bool In = true;
    bool Out = true;
    bool MaxSpeed = true;
    bool Percent = false;
    bool Horiz = false;
    bool Shrink = false;
    bool OnTop = true;
    bool Dock = true;
    bool TaskBar = false;
    bool KiloBytes = true;
    bool KiloBits = false;
    bool TrayIcon = true;
    bool TrayIconIn = true;
    bool TrayIconOut = false;
    bool TrayPercent = true;
    bool TrayActual = false;
    bool SmallFont = true;
    bool LargeFont = false;
    int InColor1 = 12;     // clBlue
    int InColor2 = 14;     // clAqua
    int OutColor1 = 12;    // clBlue
    int OutColor2 = 9;     // clRed
    int TrayBakColor = 8;  // clSilver
    int TrayForColor = 12; // clBlue
    int PeakSpeed = 0;
    int Left = 0;
    int Top = 0;

    friend bool operator==(const TSettings&, const TSettings&) = default;
};

// What a fresh installation starts with: the defaults above. The position is
// filled in by whoever knows the screen.
[[nodiscard]] inline TSettings firstRunSettings()
{
    return {};
}

} // namespace zarvello
