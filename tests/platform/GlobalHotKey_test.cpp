#include "platform/GlobalHotKey.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

// Last: X's headers define macros (None, Bool, ...) that clash with others.
#include <X11/X.h>
#include <X11/keysym.h>

namespace zarvello {
namespace {

// Ctrl+M and the locks are tried against a real X server elsewhere; these are
// the other short cuts a user can set.
TEST(GlobalHotKey, DecodesTheShortCutIntoKeysymAndModifiers)
{
    const std::tuple<int, unsigned long, unsigned int> cases[] = {
        {0x0041, XK_a, 0},
        {0x6039, XK_9, ShiftMask | ControlMask},
        {0xE070, XK_F1, ShiftMask | ControlMask | Mod1Mask},
        {0x4087, XK_F24, ControlMask},
        {0x8060, XK_KP_0, Mod1Mask},
        {0x4069, XK_KP_9, ControlMask},
        {0x1F4D, XK_m, 0}, // bits outside the three flags and the key byte say nothing
    };
    for (const auto& [shortCut, keysym, modifiers] : cases) {
        const std::optional<XKeyChord> chord = decodeShortCut(shortCut);
        ASSERT_TRUE(chord.has_value()) << shortCut;
        EXPECT_EQ(std::pair(chord->keysym, chord->modifiers), std::pair(keysym, modifiers));
    }
    for (const int noKey : {0x0000, 0x4000, 0x406D, 0x405F, 0x406A, 0x4088}) {
        EXPECT_FALSE(decodeShortCut(noKey).has_value()) << noKey;
    }
}

} // namespace
} // namespace zarvello
