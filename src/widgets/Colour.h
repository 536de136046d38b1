#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarvello {

// A colour as the program stores it: 0x00BBGGRR, a system colour
// (0x80000000 + index, resolved through the palette when drawn), or clNone.
struct TColor
{
    std::uint32_t value = 0;

    [[nodiscard]] constexpr bool isSystem() const { return (value & 0xFF000000u) == 0x80000000u; }
    [[nodiscard]] constexpr int red() const { return static_cast<int>(value & 0xFFu); }
    [[nodiscard]] constexpr int green() const { return static_cast<int>((value >> 8) & 0xFFu); }
    [[nodiscard]] constexpr int blue() const { return static_cast<int>((value >> 16) & 0xFFu); }

    friend constexpr bool operator==(TColor, TColor) = default;
};

inline constexpr TColor clBlack{0x000000};
inline constexpr TColor clMaroon{0x000080};
inline constexpr TColor clGreen{0x008000};
inline constexpr TColor clOlive{0x008080};
inline constexpr TColor clNavy{0x800000};
inline constexpr TColor clPurple{0x800080};
inline constexpr TColor clTeal{0x808000};
inline constexpr TColor clGray{0x808080};
inline constexpr TColor clSilver{0xC0C0C0};
inline constexpr TColor clRed{0x0000FF};
inline constexpr TColor clLime{0x00FF00};
inline constexpr TColor clYellow{0x00FFFF};
inline constexpr TColor clBlue{0xFF0000};
inline constexpr TColor clFuchsia{0xFF00FF};
inline constexpr TColor clAqua{0xFFFF00};
inline constexpr TColor clWhite{0xFFFFFF};
inline constexpr TColor clNone{0x1FFFFFFF};
inline constexpr TColor clDefault{0x20000000};

inline constexpr TColor clScrollBar{0x80000000};
inline constexpr TColor clBackground{0x80000001};
inline constexpr TColor clActiveCaption{0x80000002};
inline constexpr TColor clInactiveCaption{0x80000003};
inline constexpr TColor clMenu{0x80000004};
inline constexpr TColor clWindow{0x80000005};
inline constexpr TColor clWindowFrame{0x80000006};
inline constexpr TColor clMenuText{0x80000007};
inline constexpr TColor clWindowText{0x80000008};
inline constexpr TColor clCaptionText{0x80000009};
inline constexpr TColor clActiveBorder{0x8000000A};
inline constexpr TColor clInactiveBorder{0x8000000B};
inline constexpr TColor clAppWorkSpace{0x8000000C};
inline constexpr TColor clHighlight{0x8000000D};
inline constexpr TColor clHighlightText{0x8000000E};
inline constexpr TColor clBtnFace{0x8000000F};
inline constexpr TColor clBtnShadow{0x80000010};
inline constexpr TColor clGrayText{0x80000011};
inline constexpr TColor clBtnText{0x80000012};
inline constexpr TColor clInactiveCaptionText{0x80000013};
inline constexpr TColor clBtnHighlight{0x80000014};
inline constexpr TColor cl3DDkShadow{0x80000015};
inline constexpr TColor cl3DLight{0x80000016};
inline constexpr TColor clInfoText{0x80000017};
inline constexpr TColor clInfoBk{0x80000018};
inline constexpr TColor clGradientActiveCaption{0x8000001B};
inline constexpr TColor clGradientInactiveCaption{0x8000001C};

// The colour as drawn: system colours through the palette's nearest role,
// clNone (and any other non-RGB value) as white.
[[nodiscard]] QColor toQColor(TColor colour, const QPalette& palette);
[[nodiscard]] QColor toQColor(TColor colour); // with the application palette

// The identifier table: "clBlack" … "clWhite", the system colour names and "clNone".
[[nodiscard]] std::optional<TColor> identToColor(std::string_view name);
[[nodiscard]] std::optional<std::string_view> colorToIdent(TColor colour);

} // namespace zarvello
