#include "widgets/Colour.h"

#include <QGuiApplication>

#include <array>
#include <utility>

namespace zarvello {
namespace {

struct Ident
{
    Colour colour;
    std::string_view name;
};

// Standard colours first, so a value shared by two names finds the standard one.
constexpr std::array kIdents{
    Ident{clBlack, "clBlack"},
    Ident{clMaroon, "clMaroon"},
    Ident{clGreen, "clGreen"},
    Ident{clOlive, "clOlive"},
    Ident{clNavy, "clNavy"},
    Ident{clPurple, "clPurple"},
    Ident{clTeal, "clTeal"},
    Ident{clGray, "clGray"},
    Ident{clSilver, "clSilver"},
    Ident{clRed, "clRed"},
    Ident{clLime, "clLime"},
    Ident{clYellow, "clYellow"},
    Ident{clBlue, "clBlue"},
    Ident{clFuchsia, "clFuchsia"},
    Ident{clAqua, "clAqua"},
    Ident{clWhite, "clWhite"},
    Ident{clScrollBar, "clScrollBar"},
    Ident{clBackground, "clBackground"},
    Ident{clActiveCaption, "clActiveCaption"},
    Ident{clInactiveCaption, "clInactiveCaption"},
    Ident{clMenu, "clMenu"},
    Ident{clWindow, "clWindow"},
    Ident{clWindowFrame, "clWindowFrame"},
    Ident{clMenuText, "clMenuText"},
    Ident{clWindowText, "clWindowText"},
    Ident{clCaptionText, "clCaptionText"},
    Ident{clActiveBorder, "clActiveBorder"},
    Ident{clInactiveBorder, "clInactiveBorder"},
    Ident{clAppWorkSpace, "clAppWorkSpace"},
    Ident{clHighlight, "clHighlight"},
    Ident{clHighlightText, "clHighlightText"},
    Ident{clBtnFace, "clBtnFace"},
    Ident{clBtnShadow, "clBtnShadow"},
    Ident{clGrayText, "clGrayText"},
    Ident{clBtnText, "clBtnText"},
    Ident{clInactiveCaptionText, "clInactiveCaptionText"},
    Ident{clBtnHighlight, "clBtnHighlight"},
    Ident{cl3DDkShadow, "cl3DDkShadow"},
    Ident{cl3DLight, "cl3DLight"},
    Ident{clInfoText, "clInfoText"},
    Ident{clInfoBk, "clInfoBk"},
    Ident{clGradientActiveCaption, "clGradientActiveCaption"},
    Ident{clGradientInactiveCaption, "clGradientInactiveCaption"},
    Ident{clNone, "clNone"},
};

std::pair<QPalette::ColorGroup, QPalette::ColorRole> systemRole(std::uint32_t index)
{
    using P = QPalette;
    switch (index) {
    case 0:
        return {P::Active, P::Button}; // scroll bar
    case 1:
        return {P::Active, P::Dark}; // desktop
    case 2:
        return {P::Active, P::Highlight}; // active caption
    case 3:
        return {P::Inactive, P::Mid}; // inactive caption
    case 4:
        return {P::Active, P::Window}; // menu
    case 5:
        return {P::Active, P::Base}; // window
    case 6:
        return {P::Active, P::Shadow}; // window frame
    case 7:                            // menu text
    case 8:                            // window text
        return {P::Active, P::WindowText};
    case 9:
        return {P::Active, P::HighlightedText}; // caption text
    case 10:
    case 11:
        return {P::Active, P::Window}; // borders
    case 12:
        return {P::Active, P::Dark}; // application workspace
    case 13:
        return {P::Active, P::Highlight};
    case 14:
        return {P::Active, P::HighlightedText};
    case 15:
        return {P::Active, P::Button}; // button face
    case 16:
        return {P::Active, P::Dark}; // button shadow
    case 17:
        return {P::Disabled, P::Text}; // grey text
    case 18:
        return {P::Active, P::ButtonText};
    case 19:
        return {P::Inactive, P::HighlightedText}; // inactive caption text
    case 20:
        return {P::Active, P::Light}; // button highlight
    case 21:
        return {P::Active, P::Shadow}; // 3-D dark shadow
    case 22:
        return {P::Active, P::Midlight}; // 3-D light
    case 23:
        return {P::Active, P::ToolTipText};
    case 24:
        return {P::Active, P::ToolTipBase};
    case 26:
        return {P::Active, P::Link}; // hot light
    case 27:
        return {P::Active, P::Highlight}; // gradient active caption
    case 28:
        return {P::Inactive, P::Highlight}; // gradient inactive caption
    default:
        return {P::Active, P::Window};
    }
}

} // namespace

QColor toQColor(Colour colour, const QPalette& palette)
{
    if (colour.isSystem()) {
        const auto [group, role] = systemRole(colour.value & 0xFFu);
        return palette.color(group, role);
    }
    if ((colour.value & 0xFF000000u) != 0) {
        return {Qt::white};
    }
    return {colour.red(), colour.green(), colour.blue()};
}

QColor toQColor(Colour colour)
{
    return toQColor(colour, QGuiApplication::palette());
}

std::optional<Colour> identToColor(std::string_view name)
{
    for (const auto& ident : kIdents) {
        if (ident.name.size() == name.size() &&
            QString::fromLatin1(ident.name.data(), static_cast<qsizetype>(ident.name.size()))
                    .compare(QLatin1StringView(name.data(), static_cast<qsizetype>(name.size())),
                             Qt::CaseInsensitive) == 0) {
            return ident.colour;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> colorToIdent(Colour colour)
{
    for (const auto& ident : kIdents) {
        if (ident.colour == colour) {
            return ident.name;
        }
    }
    return std::nullopt;
}

} // namespace zarvello
