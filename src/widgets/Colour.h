#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarvello {

// A colour as the program stores it: 0x00BBGGRR, a system colour
// (0x80000000 + index, resolved through the palette when drawn), or clNone.
struct Colour
{
    std::uint32_t value = 0;

    [[nodiscard]] constexpr bool isSystem() const { return (value & 0xFF000000u) == 0x80000000u; }
    [[nodiscard]] constexpr int red() const { return static_cast<int>(value & 0xFFu); }
    [[nodiscard]] constexpr int green() const { return static_cast<int>((value >> 8) & 0xFFu); }
    [[nodiscard]] constexpr int blue() const { return static_cast<int>((value >> 16) & 0xFFu); }

    friend constexpr bool operator==(Colour, Colour) = default;
};

inline constexpr Colour clBlack{0x000000};
inline constexpr Colour clMaroon{0x000080};
inline constexpr Colour clGreen{0x008000};
inline constexpr Colour clOlive{0x008080};
inline constexpr Colour clNavy{0x800000};
inline constexpr Colour clPurple{0x800080};
inline constexpr Colour clTeal{0x808000};
inline constexpr Colour clGray{0x808080};
inline constexpr Colour clSilver{0xC0C0C0};
inline constexpr Colour clRed{0x0000FF};
inline constexpr Colour clLime{0x00FF00};
inline constexpr Colour clYellow{0x00FFFF};
inline constexpr Colour clBlue{0xFF0000};
inline constexpr Colour clFuchsia{0xFF00FF};
inline constexpr Colour clAqua{0xFFFF00};
inline constexpr Colour clWhite{0xFFFFFF};
inline constexpr Colour clNone{0x1FFFFFFF};
inline constexpr Colour clDefault{0x20000000};

inline constexpr Colour clScrollBar{0x80000000};
inline constexpr Colour clBackground{0x80000001};
inline constexpr Colour clActiveCaption{0x80000002};
inline constexpr Colour clInactiveCaption{0x80000003};
inline constexpr Colour clMenu{0x80000004};
inline constexpr Colour clWindow{0x80000005};
inline constexpr Colour clWindowFrame{0x80000006};
inline constexpr Colour clMenuText{0x80000007};
inline constexpr Colour clWindowText{0x80000008};
inline constexpr Colour clCaptionText{0x80000009};
inline constexpr Colour clActiveBorder{0x8000000A};
inline constexpr Colour clInactiveBorder{0x8000000B};
inline constexpr Colour clAppWorkSpace{0x8000000C};
inline constexpr Colour clHighlight{0x8000000D};
inline constexpr Colour clHighlightText{0x8000000E};
inline constexpr Colour clBtnFace{0x8000000F};
inline constexpr Colour clBtnShadow{0x80000010};
inline constexpr Colour clGrayText{0x80000011};
inline constexpr Colour clBtnText{0x80000012};
inline constexpr Colour clInactiveCaptionText{0x80000013};
inline constexpr Colour clBtnHighlight{0x80000014};
inline constexpr Colour cl3DDkShadow{0x80000015};
inline constexpr Colour cl3DLight{0x80000016};
inline constexpr Colour clInfoText{0x80000017};
inline constexpr Colour clInfoBk{0x80000018};
inline constexpr Colour clGradientActiveCaption{0x8000001B};
inline constexpr Colour clGradientInactiveCaption{0x8000001C};

// The colour as drawn: system colours through the palette's nearest role,
// clNone (and any other non-RGB value) as white.
[[nodiscard]] QColor toQColor(Colour colour, const QPalette& palette);
[[nodiscard]] QColor toQColor(Colour colour); // with the application palette

// The identifier table: "clBlack" … "clWhite", the system colour names and "clNone".
[[nodiscard]] std::optional<Colour> identToColour(std::string_view name);
[[nodiscard]] std::optional<std::string_view> colourToIdent(Colour colour);

} // namespace zarvello
