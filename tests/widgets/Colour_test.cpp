#include "widgets/Colour.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(Colour, IdentifiersRoundTripAndUnknownsAreRefused)
{
    struct Case {
        std::string_view name;
        std::uint32_t value;
    };
    for (const Case c : {Case{"clBlack", 0x000000}, Case{"clRed", 0x0000FF},
                         Case{"clAqua", 0xFFFF00}, Case{"clBtnFace", 0x8000000F},
                         Case{"clNone", 0x1FFFFFFF}}) {
        ASSERT_EQ(identToColor(c.name), TColor{c.value}) << c.name;
        EXPECT_EQ(colorToIdent(TColor{c.value}), c.name);
    }
    EXPECT_EQ(identToColor("clred"), clRed) << "identifiers are case-insensitive";
    EXPECT_FALSE(identToColor("clPink"));
    EXPECT_FALSE(colorToIdent(clDefault)) << "0x20000000 has no name";
}

TEST(Colour, ResolvesRgbSystemAndNone)
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    EXPECT_EQ(toQColor(TColor{0x00336699}, palette), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(toQColor(clBtnFace, palette), QColor(1, 2, 3));
    EXPECT_EQ(toQColor(clNone, palette), QColor(Qt::white));
    EXPECT_EQ(clBtnFace.red(), 15) << "raw channels ignore the system flag";
}

} // namespace
} // namespace zarvello
