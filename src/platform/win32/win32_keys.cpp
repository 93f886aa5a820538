#include "platform/win32/win32_keys.h"

#include <cstring>

namespace win32 {

bool ActsByPosition(UINT virtualKey) {
    const UINT vk = virtualKey & 0xFF;
    const bool digit = vk >= '0' && vk <= '9';
    const bool punctuation = (vk >= VK_OEM_1 && vk <= VK_OEM_3) ||
                             (vk >= VK_OEM_4 && vk <= VK_OEM_8) || vk == VK_OEM_102;
    return !digit && !punctuation;
}

BYTE CoreKeyCode(UINT virtualKey, wchar_t typed) {
    const BYTE vk = static_cast<BYTE>(virtualKey & 0xFF);
    if (ActsByPosition(vk)) return vk;
    switch (typed) {
    case L'[':
        return VK_OEM_4;
    case L']':
        return VK_OEM_6;
    case L'+':
    case L'=':
        return VK_OEM_PLUS;
    case L'-':
        return VK_OEM_MINUS;
    default:
        break;
    }
    // Unknown: as before, by key.
    if (typed == 0) return vk;
    if (vk == VK_OEM_4 || vk == VK_OEM_6 || vk == VK_OEM_PLUS || vk == VK_OEM_MINUS) return kNoKey;
    return vk;
}

wchar_t TypedCharacter(UINT virtualKey, UINT scanCode, const BYTE* state, HKL layout) {
    BYTE keys[256];
    std::memcpy(keys, state, sizeof keys);
    // AltGr is Control with Alt and picks the third level: kept.
    if ((keys[VK_CONTROL] & 0x80) && !(keys[VK_MENU] & 0x80))
        keys[VK_CONTROL] = keys[VK_LCONTROL] = keys[VK_RCONTROL] = 0;
    // A dead key would change the accent waiting for the next key.
    const UINT plain = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_CHAR, layout);
    if (plain & 0x80000000u) return static_cast<wchar_t>(plain & 0xFFFF);
    wchar_t out[4] = {};
    // Flag 4: the keyboard state stays as it is (Windows 10 1607 on).
    const int count = ToUnicodeEx(virtualKey, scanCode, keys, out, 4, 4, layout);
    if (count == 1 && out[0] >= 0x20) return out[0];
    return 0;
}

BYTE KeyPairing::Press(UINT virtualKey, wchar_t typed) {
    BYTE& slot = pressedAs_[virtualKey & 0xFF];
    // An auto-repeat keeps what the first press meant.
    if (slot == 0) slot = CoreKeyCode(virtualKey, typed);
    return slot;
}

BYTE KeyPairing::Release(UINT virtualKey, wchar_t typed) {
    BYTE& slot = pressedAs_[virtualKey & 0xFF];
    const BYTE code = slot != 0 ? slot : CoreKeyCode(virtualKey, typed);
    slot = 0;
    return code;
}

void KeyPairing::Clear() { std::memset(pressedAs_, 0, sizeof pressedAs_); }

}  // namespace win32
