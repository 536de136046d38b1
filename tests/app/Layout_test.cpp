#include "app/Layout.h"

#include <gtest/gtest.h>

#include <QSize>

#include <iterator>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace zarvello {
namespace {

// A preset's name lists the options that are on before the underscore and
// those that are off after it; reading it back checks the table's flags.
OptionCombination fromName(std::string_view name)
{
    const std::string_view onPart = name.substr(0, name.find('_'));
    auto has = [&](std::string_view word) { return onPart.find(word) != std::string_view::npos; };
    return {has("In"), has("Out"), has("Max"), has("Horiz"), has("Shrink")};
}

TEST(Layout, TheTwentyTwoPresetsInTheOrderTried)
{
    const struct
    {
        std::string_view name;
        int width, height;
    } rows[] = {
        {"In_OutMaxHorizShrink", 180, 63},  {"InOut_MaxHorizShrink", 180, 92},
        {"InOutMax_HorizShrink", 180, 103}, {"InOutMaxHoriz_Shrink", 405, 61},
        {"InOutMaxHorizShrink", 531, 40},   {"InOutHoriz_MaxShrink", 355, 61},
        {"Out_InMaxHorizShrink", 180, 57},  {"OutMax_InHorizShrink", 180, 70},
        {"OutMaxHoriz_InShrink", 230, 57},  {"OutMaxHorizShrink_In", 285, 40},
        {"Max_InOutHorizShrink", 75, 55},   {"MaxIn_OutHorizShrink", 180, 70},
        {"MaxHoriz_InOutShrink", 120, 40},  {"MaxInHoriz_OutShrink", 230, 57},
        {"MaxInHorizShrink_Out", 285, 40},  {"ShrinkInHoriz_MaxOut", 240, 40},
        {"ShrinkOutHoriz_MaxIn", 240, 40},  {"ShrinkOutHorizIn_Max", 482, 40},
        {"ShrinkHorizMax_InOut", 50, 40},   {"ShrinkIn_HorizMaxOut", 240, 40},
        {"ShrinkInOut_HorizMax", 240, 58},  {"ShrinkInOutMax_Horiz", 240, 75},
    };
    static_assert(std::size(rows) == std::tuple_size_v<std::decay_t<decltype(layoutPresets())>>);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const LayoutPreset& preset = layoutPresets()[i];
        EXPECT_EQ(preset.name, rows[i].name);
        EXPECT_EQ(fromName(preset.name), preset.options) << preset.name;
        EXPECT_EQ(presetFor(preset.options), &preset) << preset.name;
        EXPECT_EQ(QSize(preset.width, preset.height), QSize(rows[i].width, rows[i].height))
            << preset.name;
    }
}

TEST(Layout, EveryCombinationShowsExactlyItsGroups)
{
    for (int bits = 0; bits < 32; ++bits) {
        const OptionCombination c{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0,
                                  (bits & 8) != 0, (bits & 16) != 0};
        const LayoutPreset* preset = presetFor(c);
        if (!c.in && !c.out && !c.maxSpeed) {
            EXPECT_EQ(preset, nullptr) << bits;
            continue;
        }
        ASSERT_NE(preset, nullptr) << bits;
        const auto shown = [&](MeterControl m) { return (*preset)[m].visible; };
        EXPECT_EQ(shown(MeterControl::InSpeed) && shown(MeterControl::InBar), c.in) << bits;
        EXPECT_EQ(shown(MeterControl::InSpeed) || shown(MeterControl::InBar), c.in) << bits;
        EXPECT_EQ(shown(MeterControl::OutSpeed) && shown(MeterControl::OutBar), c.out) << bits;
        EXPECT_EQ(shown(MeterControl::OutSpeed) || shown(MeterControl::OutBar), c.out) << bits;
        EXPECT_EQ(shown(MeterControl::MaxSpeed), c.maxSpeed) << bits;
        // Less Info hides every caption and total; full info shows those of its groups.
        EXPECT_EQ(shown(MeterControl::InLabel) && shown(MeterControl::InTotal), c.in && !c.shrink);
        EXPECT_EQ(shown(MeterControl::OutLabel) && shown(MeterControl::OutTotal),
                  c.out && !c.shrink);
        EXPECT_EQ(shown(MeterControl::MaxSpeedLabel), c.maxSpeed && !c.shrink) << bits;
    }
}

} // namespace
} // namespace zarvello
