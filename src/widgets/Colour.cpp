#include "widgets/Colour.h"

#include <QGuiApplication>

#include <array>

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

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette roles nearest to the system colours, by index; unknown ones read as a window.
constexpr SystemRole kWindowRole{QPalette::Active, QPalette::Window};
constexpr std::array<SystemRole, 29> kSystemRoles{{
    {QPalette::Active, QPalette::Button},            // scroll bar
    {QPalette::Active, QPalette::Dark},              // desktop
    {QPalette::Active, QPalette::Highlight},         // active caption
    {QPalette::Inactive, QPalette::Mid},             // inactive caption
    kWindowRole,                                     // menu
    {QPalette::Active, QPalette::Base},              // window
    {QPalette::Active, QPalette::Shadow},            // window frame
    {QPalette::Active, QPalette::WindowText},        // menu text
    {QPalette::Active, QPalette::WindowText},        // window text
    {QPalette::Active, QPalette::HighlightedText},   // caption text
    kWindowRole,                                     // active border
    kWindowRole,                                     // inactive border
    {QPalette::Active, QPalette::Dark},              // application workspace
    {QPalette::Active, QPalette::Highlight},         // highlight
    {QPalette::Active, QPalette::HighlightedText},   // highlight text
    {QPalette::Active, QPalette::Button},            // button face
    {QPalette::Active, QPalette::Dark},              // button shadow
    {QPalette::Disabled, QPalette::Text},            // grey text
    {QPalette::Active, QPalette::ButtonText},        // button text
    {QPalette::Inactive, QPalette::HighlightedText}, // inactive caption text
    {QPalette::Active, QPalette::Light},             // button highlight
    {QPalette::Active, QPalette::Shadow},            // 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},          // 3-D light
    {QPalette::Active, QPalette::ToolTipText},       // info text
    {QPalette::Active, QPalette::ToolTipBase},       // info background
    kWindowRole,                                     // (unused)
    {QPalette::Active, QPalette::Link},              // hot light
    {QPalette::Active, QPalette::Highlight},         // gradient active caption
    {QPalette::Inactive, QPalette::Highlight},       // gradient inactive caption
}};

} // namespace

QColor toQColor(Colour colour, const QPalette& palette)
{
    if (colour.isSystem()) {
        const std::uint32_t index = colour.value & 0xFFu;
        const SystemRole& r = index < kSystemRoles.size() ? kSystemRoles[index] : kWindowRole;
        return palette.color(r.group, r.role);
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

std::optional<Colour> identToColour(std::string_view name)
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

std::optional<std::string_view> colourToIdent(Colour colour)
{
    for (const auto& ident : kIdents) {
        if (ident.colour == colour) {
            return ident.name;
        }
    }
    return std::nullopt;
}

} // namespace zarvello
