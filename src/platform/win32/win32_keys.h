// Keys by what they type. The core reads [ ] + = - as VK_OEM_4, VK_OEM_6,
// VK_OEM_PLUS and VK_OEM_MINUS, the codes of a US keyboard; on other
// layouts those characters sit on other keys (a German ] is AltGr+9 and
// arrives as VK 0x39), so such keys are named by the character they type.
// Letters, arrows, Escape and the other keys stay by key.
#pragma once

#include <windows.h>

namespace win32 {

// A code the core gives no meaning: a key that sits where the US layout
// has [ ] = or - but types something else.
constexpr BYTE kNoKey = 0xFF;

// Whether a key is named by its own code whatever it types: every key but
// the digit row and the punctuation keys.
bool ActsByPosition(UINT virtualKey);

// The core's code for a key that types `typed` (0: nothing known).
BYTE CoreKeyCode(UINT virtualKey, wchar_t typed);

// The one character the key types with `state` on `layout`, Control alone
// left out (it would make control characters of [ and ]); a dead key
// gives its accent; 0 for none. The keyboard's pending accent is left as
// it is where the system allows.
wchar_t TypedCharacter(UINT virtualKey, UINT scanCode, const BYTE* state, HKL layout);

// Gives each release the code of its press, so a key let go after its
// modifier (AltGr before 9) still releases what it pressed.
class KeyPairing {
public:
    BYTE Press(UINT virtualKey, wchar_t typed);
    // `typed` counts only for a key whose press was not seen.
    BYTE Release(UINT virtualKey, wchar_t typed);
    bool Pressed(UINT virtualKey) const { return pressedAs_[virtualKey & 0xFF] != 0; }
    // The focus went: no release will come for the keys held.
    void Clear();

private:
    BYTE pressedAs_[256] = {};
};

}  // namespace win32
