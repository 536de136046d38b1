#include "app/Layout.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(Layout, EveryCombinationShowsExactlyItsGroups)
{
    for (int bits = 0; bits < 32; ++bits) {
        SCOPED_TRACE(bits);
        const OptionCombination c{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0,
                                  (bits & 8) != 0, (bits & 16) != 0};
        const LayoutPreset* preset = presetFor(c);
        if (!c.in && !c.out && !c.maxSpeed) {
            EXPECT_EQ(preset, nullptr);
            continue;
        }
        ASSERT_NE(preset, nullptr);
        const auto shown = [&](MeterControl m) { return (*preset)[m].visible; };
        EXPECT_EQ(shown(MeterControl::InSpeed) && shown(MeterControl::InBar), c.in);
        EXPECT_EQ(shown(MeterControl::InSpeed) || shown(MeterControl::InBar), c.in);
        EXPECT_EQ(shown(MeterControl::OutSpeed) && shown(MeterControl::OutBar), c.out);
        EXPECT_EQ(shown(MeterControl::OutSpeed) || shown(MeterControl::OutBar), c.out);
        EXPECT_EQ(shown(MeterControl::MaxSpeed), c.maxSpeed);
        // Less Info hides every caption and total; full info shows those of its groups.
        EXPECT_EQ(shown(MeterControl::InLabel) && shown(MeterControl::InTotal), c.in && !c.shrink);
        EXPECT_EQ(shown(MeterControl::OutLabel) && shown(MeterControl::OutTotal),
                  c.out && !c.shrink);
        EXPECT_EQ(shown(MeterControl::MaxSpeedLabel), c.maxSpeed && !c.shrink);
    }
}

} // namespace
} // namespace zarvello
