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
// clang-format off
// Each colour under its own identifier.
#define IDENT(colour) Ident{colour, #colour}
constexpr std::array kIdents{
    IDENT(clBlack),                   IDENT(clMaroon),                  IDENT(clGreen),
    IDENT(clOlive),                   IDENT(clNavy),                    IDENT(clPurple),
    IDENT(clTeal),                    IDENT(clGray),                    IDENT(clSilver),
    IDENT(clRed),                     IDENT(clLime),                    IDENT(clYellow),
    IDENT(clBlue),                    IDENT(clFuchsia),                 IDENT(clAqua),
    IDENT(clWhite),                   IDENT(clScrollBar),               IDENT(clBackground),
    IDENT(clActiveCaption),           IDENT(clInactiveCaption),         IDENT(clMenu),
    IDENT(clWindow),                  IDENT(clWindowFrame),             IDENT(clMenuText),
    IDENT(clWindowText),              IDENT(clCaptionText),             IDENT(clActiveBorder),
    IDENT(clInactiveBorder),          IDENT(clAppWorkSpace),            IDENT(clHighlight),
    IDENT(clHighlightText),           IDENT(clBtnFace),                 IDENT(clBtnShadow),
    IDENT(clGrayText),                IDENT(clBtnText),                 IDENT(clInactiveCaptionText),
    IDENT(clBtnHighlight),            IDENT(cl3DDkShadow),              IDENT(cl3DLight),
    IDENT(clInfoText),                IDENT(clInfoBk),                  IDENT(clGradientActiveCaption),
    IDENT(clGradientInactiveCaption), IDENT(clNone)
};
// clang-format on
#undef IDENT

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
        if (QLatin1StringView(ident.name.data(), ident.name.data() + ident.name.size())
                .compare(QLatin1StringView(name.data(), name.data() + name.size()),
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
