// Keys by the character they type, on the layouts where [ ] + = - sit
// elsewhere than on a US keyboard. Each case is what Windows' own layout
// types for the key; where the system has the layout (not under Wine),
// the character is asked of the layout itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win32_keys.h"

namespace {

enum Modifiers { kPlain, kShift, kAltGr, kCtrl };

struct KeyCase {
    UINT vk;
    Modifiers modifiers;
    wchar_t typed;  // what the layout types; 0xFFFF: a dead key
    BYTE expected;
};

std::string Describe(const KeyCase& c) {
    static const char* const names[] = {"plain", "shift", "altgr", "ctrl"};
    return "vk " + std::to_string(c.vk) + " " + names[c.modifiers] + " typing U+" +
           std::to_string(static_cast<unsigned>(c.typed));
}

void State(Modifiers modifiers, BYTE* state) {
    std::fill(state, state + 256, BYTE{0});
    if (modifiers == kShift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (modifiers == kAltGr)
        state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x80;
    if (modifiers == kCtrl) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
}

// The layout when the system really has it, else null.
HKL Layout(const wchar_t* id, WORD language) {
    const HKL layout = LoadKeyboardLayoutW(id, KLF_NOTELLSHELL);
    return layout && LOWORD(reinterpret_cast<UINT_PTR>(layout)) == language ? layout : nullptr;
}

void CheckLayout(HKL layout, const std::vector<KeyCase>& cases) {
    for (const KeyCase& c : cases) {
        wchar_t typed = c.typed;
        if (layout) {
            BYTE state[256];
            State(c.modifiers, state);
            typed = win32::TypedCharacter(c.vk, MapVirtualKeyExW(c.vk, MAPVK_VK_TO_VSC, layout), state,
                                          layout);
            // A dead key gives its accent; the table marks it only as dead.
            if (c.typed != 0xFFFF) {
                EXPECT_EQ(typed, c.typed) << Describe(c);
            }
        }
        if (typed == 0xFFFF) typed = L'\u00b4';
        EXPECT_EQ(win32::CoreKeyCode(c.vk, typed), c.expected) << Describe(c);
    }
}

TEST(Win32Keys, GermanLayoutActsByTheCharacter) {
    const std::vector<KeyCase> german{
        {'8', kAltGr, L'[', VK_OEM_4},          // not Magnify 8
        {'9', kAltGr, L']', VK_OEM_6},
        {'0', kShift, L'=', VK_OEM_PLUS},
        {VK_OEM_PLUS, kPlain, L'+', VK_OEM_PLUS},
        {VK_OEM_PLUS, kShift, L'*', win32::kNoKey},
        {VK_OEM_MINUS, kPlain, L'-', VK_OEM_MINUS},
        {VK_OEM_4, kPlain, L'\u00df', win32::kNoKey},  // ß is not [
        {VK_OEM_6, kPlain, 0xFFFF, win32::kNoKey},   // the dead acute is not ]
        {'8', kPlain, L'8', '8'},
        {'9', kPlain, L'9', '9'},
        {'7', kAltGr, L'{', '7'},
        {VK_OEM_2, kPlain, L'#', VK_OEM_2},
    };
    CheckLayout(Layout(L"00000407", 0x0407), german);
}

TEST(Win32Keys, FrenchLayoutActsByTheCharacter) {
    const std::vector<KeyCase> french{
        {'5', kAltGr, L'[', VK_OEM_4},
        {VK_OEM_4, kAltGr, L']', VK_OEM_6},
        {VK_OEM_4, kPlain, L')', win32::kNoKey},  // ) is not [
        {VK_OEM_PLUS, kPlain, L'=', VK_OEM_PLUS},
        {VK_OEM_PLUS, kShift, L'+', VK_OEM_PLUS},
        {'6', kPlain, L'-', VK_OEM_MINUS},
        {'6', kShift, L'6', '6'},
        {'8', kPlain, L'_', '8'},
        {'1', kPlain, L'&', '1'},
        {VK_OEM_6, kPlain, 0xFFFF, win32::kNoKey},  // the dead circumflex is not ]
    };
    CheckLayout(Layout(L"0000040C", 0x040C), french);
}

TEST(Win32Keys, UsLayoutKeepsItsCodesAndControlDoesNotHideTheCharacter) {
    const HKL us = Layout(L"00000409", 0x0409);
    ASSERT_NE(us, nullptr);
    const std::vector<KeyCase> keys{
        {VK_OEM_4, kPlain, L'[', VK_OEM_4},      {VK_OEM_6, kPlain, L']', VK_OEM_6},
        {VK_OEM_6, kShift, L'}', win32::kNoKey}, {VK_OEM_PLUS, kPlain, L'=', VK_OEM_PLUS},
        {VK_OEM_PLUS, kShift, L'+', VK_OEM_PLUS}, {VK_OEM_MINUS, kPlain, L'-', VK_OEM_MINUS},
        {VK_OEM_6, kCtrl, L']', VK_OEM_6},       {'3', kPlain, L'3', '3'},
    };
    CheckLayout(us, keys);
}

TEST(Win32Keys, LettersArrowsEscapeAndTheKeypadStayByKey) {
    for (const UINT vk : {UINT{'A'}, UINT{'R'}, UINT{'Q'}, UINT{'Z'}, UINT{VK_LEFT}, UINT{VK_RIGHT},
                          UINT{VK_UP}, UINT{VK_DOWN}, UINT{VK_ESCAPE}, UINT{VK_F5}, UINT{VK_ADD},
                          UINT{VK_SUBTRACT}, UINT{VK_SPACE}, UINT{VK_CONTROL}, UINT{VK_RETURN}}) {
        EXPECT_TRUE(win32::ActsByPosition(vk)) << vk;
        // Never renamed, whatever they type.
        EXPECT_EQ(win32::CoreKeyCode(vk, L']'), vk) << vk;
    }
    for (const UINT vk : {UINT{'0'}, UINT{'9'}, UINT{VK_OEM_1}, UINT{VK_OEM_PLUS}, UINT{VK_OEM_3},
                          UINT{VK_OEM_4}, UINT{VK_OEM_8}, UINT{VK_OEM_102}})
        EXPECT_FALSE(win32::ActsByPosition(vk)) << vk;
    // Nothing known typed: as before, by key.
    EXPECT_EQ(win32::CoreKeyCode(VK_OEM_6, 0), VK_OEM_6);
}

TEST(Win32Keys, ReleaseMatchesItsPressWhateverTheModifiersDidMeanwhile) {
    win32::KeyPairing keys;
    // German AltGr+9, AltGr let go first: 9 now types 9 but releases ].
    EXPECT_EQ(keys.Press('9', L']'), VK_OEM_6);
    EXPECT_TRUE(keys.Pressed('9'));
    EXPECT_EQ(keys.Press('9', L']'), VK_OEM_6);  // auto-repeat
    EXPECT_EQ(keys.Release('9', L'9'), VK_OEM_6);
    EXPECT_FALSE(keys.Pressed('9'));
    // Pressed plain afterwards: the digit again.
    EXPECT_EQ(keys.Press('9', L'9'), '9');
    EXPECT_EQ(keys.Release('9', L']'), '9');

    // French ) then AltGr on the same key while it is held: it stays ).
    EXPECT_EQ(keys.Press(VK_OEM_4, L')'), win32::kNoKey);
    EXPECT_EQ(keys.Press(VK_OEM_4, L']'), win32::kNoKey);
    EXPECT_EQ(keys.Release(VK_OEM_4, L']'), win32::kNoKey);

    // The focus went while keys were held: their releases never come.
    EXPECT_EQ(keys.Press('8', L'['), VK_OEM_4);
    EXPECT_EQ(keys.Press(VK_OEM_MINUS, L'-'), VK_OEM_MINUS);
    keys.Clear();
    EXPECT_FALSE(keys.Pressed('8'));
    EXPECT_FALSE(keys.Pressed(VK_OEM_MINUS));
    // A release whose press was not seen goes by what the key types now.
    EXPECT_EQ(keys.Release('8', L'8'), '8');
    // Letters and arrows pass through untouched.
    EXPECT_EQ(keys.Press(VK_RIGHT, 0), VK_RIGHT);
    EXPECT_EQ(keys.Release(VK_RIGHT, 0), VK_RIGHT);
}

}  // namespace
