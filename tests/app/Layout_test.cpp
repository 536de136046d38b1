#include "app/Layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zarvello {
namespace {

// A preset's name lists the options that are on before the underscore and
// those that are off after it; reading it back checks the table's flags.
OptionCombination fromName(std::string_view name)
{
    const auto underscore = name.find('_');
    const std::string_view onPart = name.substr(0, underscore);
    auto has = [&](std::string_view word) { return onPart.find(word) != std::string_view::npos; };
    return {has("In"), has("Out"), has("Max"), has("Horiz"), has("Shrink")};
}

TEST(Layout, TwentyTwoDistinctPresetsWhoseNamesMatchTheirOptions)
{
    std::set<std::string_view> names;
    for (const auto& preset : layoutPresets()) {
        EXPECT_EQ(fromName(preset.name), preset.options) << preset.name;
        EXPECT_EQ(presetFor(preset.options), &preset) << preset.name;
        names.insert(preset.name);
    }
    EXPECT_EQ(names.size(), 22u);
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
        EXPECT_EQ(shown(MeterControl::InSpeed), c.in) << preset->name;
        EXPECT_EQ(shown(MeterControl::InBar), c.in) << preset->name;
        EXPECT_EQ(shown(MeterControl::OutSpeed), c.out) << preset->name;
        EXPECT_EQ(shown(MeterControl::OutBar), c.out) << preset->name;
        EXPECT_EQ(shown(MeterControl::MaxSpeed), c.maxSpeed) << preset->name;
        // Less Info hides every caption and total.
        for (const auto m : {MeterControl::InLabel, MeterControl::InTotal, MeterControl::OutLabel,
                             MeterControl::OutTotal, MeterControl::MaxSpeedLabel}) {
            if (c.shrink) {
                EXPECT_FALSE(shown(m)) << preset->name;
            }
        }
    }
}

TEST(Layout, SizesAndPlacesOfTheDocumentedCases)
{
    struct Case
    {
        OptionCombination options;
        std::string_view name;
        int width;
        int height;
    };
    for (const Case& c : {
             Case{{true, false, false, false, false}, "In_OutMaxHorizShrink", 180, 63},
             Case{{false, true, false, false, false}, "Out_InMaxHorizShrink", 180, 57},
             Case{{true, true, true, true, true}, "InOutMaxHorizShrink", 531, 40},
             Case{{false, false, true, false, false}, "Max_InOutHorizShrink", 75, 55},
             Case{{false, false, true, true, false}, "MaxHoriz_InOutShrink", 120, 40},
             Case{{false, false, true, true, true}, "ShrinkHorizMax_InOut", 50, 40},
             Case{{true, false, false, true, true}, "ShrinkInHoriz_MaxOut", 240, 40},
             Case{{true, false, false, false, true}, "ShrinkIn_HorizMaxOut", 240, 40},
             // Borrowed by the combinations without a preset.
             Case{{true, false, false, true, false}, "In_OutMaxHorizShrink", 180, 63},
             Case{{false, true, true, false, true}, "OutMaxHorizShrink_In", 285, 40},
         }) {
        const LayoutPreset* preset = presetFor(c.options);
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(preset->name, c.name);
        EXPECT_EQ(preset->width, c.width) << c.name;
        EXPECT_EQ(preset->height, c.height) << c.name;
    }
    const LayoutPreset& all = *presetFor({true, true, true, true, true});
    EXPECT_EQ(all[MeterControl::OutBar].left, 305);
    EXPECT_EQ(all[MeterControl::MaxSpeed].left, 476);
    const LayoutPreset& max = *presetFor({false, false, true, false, false});
    EXPECT_EQ(max[MeterControl::MaxSpeed].top, 15);
}

} // namespace
} // namespace zarvello
