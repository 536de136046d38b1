#include "platform/GlobalHotKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <tuple>
#include <vector>

// Last: X's headers define macros (None, Bool, ...) that clash with others.
#include <X11/X.h>
#include <X11/keysym.h>

namespace zarvello {
namespace {

TEST(GlobalHotKeyDecode, SplitsTheShortCutIntoKeysymAndModifiers)
{
    const std::vector<std::tuple<int, unsigned long, unsigned int, Qt::KeyboardModifiers>> cases{
        {16461, XK_m, ControlMask, Qt::ControlModifier}, // Ctrl+M, the program's own
        {0x0041, XK_a, 0, Qt::NoModifier},
        {0x205A, XK_z, ShiftMask, Qt::ShiftModifier},
        {0x8030, XK_0, Mod1Mask, Qt::AltModifier},
        {0x6039, XK_9, ShiftMask | ControlMask, Qt::ShiftModifier | Qt::ControlModifier},
        {0xE070, XK_F1, ShiftMask | ControlMask | Mod1Mask,
         Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier},
        {0x4087, XK_F24, ControlMask, Qt::ControlModifier},
        {0x8060, XK_KP_0, Mod1Mask, Qt::AltModifier},
        {0x4069, XK_KP_9, ControlMask, Qt::ControlModifier},
        {0x4020, XK_space, ControlMask, Qt::ControlModifier},
        {0x802E, XK_Delete, Mod1Mask, Qt::AltModifier},
        {0x4021, XK_Prior, ControlMask, Qt::ControlModifier},
        // Bits outside the three flags and the key byte say nothing.
        {0x1F4D, XK_m, 0, Qt::NoModifier},
    };
    for (const auto& [shortCut, keysym, xModifiers, qtModifiers] : cases) {
        SCOPED_TRACE(testing::Message() << "shortcut 0x" << std::hex << shortCut);
        const std::optional<XKeyChord> chord = decodeShortCut(shortCut);
        ASSERT_TRUE(chord.has_value());
        EXPECT_EQ(chord->keysym, keysym);
        EXPECT_EQ(chord->modifiers, xModifiers);
        EXPECT_EQ(qtModifiersOfShortCut(shortCut), qtModifiers);
    }
}

TEST(GlobalHotKeyDecode, RefusesCodesWithoutAKnownKey)
{
    // No key at all, a modifier alone, mouse buttons, lower-case letters (not virtual keys),
    // the Windows keys, keypad operators, and the codes either side of each translated range.
    for (const int shortCut : {0x0000, 0x4000, 0xE000, 0x4001, 0x4002, 0x406D, 0x405B, 0x402F,
                               0x403A, 0x4040, 0x405F, 0x406A, 0x406F, 0x4088, 0x40FF, 0x4010}) {
        SCOPED_TRACE(testing::Message() << "shortcut 0x" << std::hex << shortCut);
        EXPECT_FALSE(decodeShortCut(shortCut).has_value());
        EXPECT_EQ(keysymOfVirtualKey(shortCut & 0xFF), 0UL);
    }
}

TEST(GlobalHotKeyGrab, CoversEveryNumLockAndCapsLockState)
{
    struct Case
    {
        unsigned int modifiers;
        unsigned int numLockMask;
        std::vector<unsigned int> expected;
    };
    const std::vector<Case> cases{
        {ControlMask,
         Mod2Mask,
         {ControlMask, ControlMask | LockMask, ControlMask | Mod2Mask,
          ControlMask | Mod2Mask | LockMask}},
        {ShiftMask | Mod1Mask,
         Mod4Mask,
         {ShiftMask | Mod1Mask, ShiftMask | Mod1Mask | LockMask, ShiftMask | Mod1Mask | Mod4Mask,
          ShiftMask | Mod1Mask | Mod4Mask | LockMask}},
        {0, Mod2Mask, {0, LockMask, Mod2Mask, Mod2Mask | LockMask}},
        // No modifier carries NumLock: only CapsLock varies.
        {ControlMask, 0, {ControlMask, ControlMask | LockMask}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "modifiers " << c.modifiers << ", NumLock " << c.numLockMask);
        std::vector<unsigned int> combinations =
            grabModifierCombinations(c.modifiers, c.numLockMask);
        std::sort(combinations.begin(), combinations.end());
        EXPECT_EQ(combinations, c.expected);
    }
}

TEST(GlobalHotKeyGrab, FindsTheModifierThatCarriesNumLock)
{
    constexpr unsigned char kNumLock = 77;
    const auto isNumLock = [](unsigned char keycode) { return keycode == kNumLock; };
    const auto rowsWith = [](std::size_t row, std::size_t slot, unsigned char keycode) {
        // Two keys per modifier, a few unrelated keys in the other rows.
        std::vector<unsigned char> map{50, 62, 66, 0, 37, 105, 64, 108, 0, 0, 0, 0, 133, 134, 0, 0};
        map[row * 2 + slot] = keycode;
        return map;
    };
    EXPECT_EQ(numLockMaskOf(rowsWith(4, 0, kNumLock), 2, isNumLock), Mod2Mask);
    EXPECT_EQ(numLockMaskOf(rowsWith(4, 1, kNumLock), 2, isNumLock), Mod2Mask);
    EXPECT_EQ(numLockMaskOf(rowsWith(7, 1, kNumLock), 2, isNumLock), Mod5Mask);
    EXPECT_EQ(numLockMaskOf(rowsWith(4, 0, 0), 2, isNumLock), 0U);
    // A map shorter than its rows claim is read no further than it goes.
    EXPECT_EQ(numLockMaskOf({0, 0, 0}, 2, isNumLock), 0U);
    EXPECT_EQ(numLockMaskOf({kNumLock}, 0, isNumLock), 0U);
}

TEST(GlobalHotKeyPress, MatchesTheChordWhateverTheLocks)
{
    constexpr unsigned int kM = 58;
    // keycode, state, the modifier that carries NumLock, whether it is the chord
    const std::vector<std::tuple<unsigned int, unsigned int, unsigned int, bool>> cases{
        {kM, ControlMask, Mod2Mask, true},
        {kM, ControlMask | LockMask, Mod2Mask, true},
        {kM, ControlMask | Mod2Mask, Mod2Mask, true},
        {kM, ControlMask | Mod2Mask | LockMask, Mod2Mask, true},
        // Mouse buttons held and the keyboard group live above the modifier byte.
        {kM, ControlMask | Button1Mask, Mod2Mask, true},
        {kM, ControlMask | (1U << 13), Mod2Mask, true},
        {kM, 0, Mod2Mask, false},
        {kM, ControlMask | ShiftMask, Mod2Mask, false},
        {kM, ControlMask | Mod1Mask | Mod2Mask, Mod2Mask, false},
        {kM, ControlMask | Mod4Mask, Mod2Mask, false},
        {kM + 1, ControlMask, Mod2Mask, false},
        // Without a NumLock modifier, Mod2 is an ordinary modifier that spoils the chord.
        {kM, ControlMask | Mod2Mask, 0, false},
        {kM, ControlMask | LockMask, 0, true},
    };
    for (const auto& [keycode, state, numLock, matches] : cases) {
        SCOPED_TRACE(testing::Message() << "keycode " << keycode << ", state 0x" << std::hex
                                        << state << ", NumLock 0x" << numLock);
        EXPECT_EQ(isChordPress(keycode, state, kM, ControlMask, numLock), matches);
    }
}

} // namespace
} // namespace zarvello
