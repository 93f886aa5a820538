// Qt key codes to the Win32 virtual-key codes the core polls.
#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {

namespace {

std::uint8_t KeypadKey(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<std::uint8_t>(0x60 + (key - Qt::Key_0));
    switch (key) {
        case Qt::Key_Asterisk: return 0x6A;  // VK_MULTIPLY
        case Qt::Key_Plus: return 0x6B;      // VK_ADD, not the main "+" key
        case Qt::Key_Minus: return 0x6D;     // VK_SUBTRACT
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;     // VK_DECIMAL
        case Qt::Key_Slash: return 0x6F;     // VK_DIVIDE
        default: return 0;
    }
}

}  // namespace

std::uint8_t VirtualKeyFor(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (std::uint8_t vk = KeypadKey(key)) return vk;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<std::uint8_t>(key);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<std::uint8_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<std::uint8_t>(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Escape: return VK_ESCAPE;
        case Qt::Key_Return:
        case Qt::Key_Enter: return VK_RETURN;
        case Qt::Key_Space: return VK_SPACE;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return VK_TAB;
        case Qt::Key_Backspace: return VK_BACK;
        case Qt::Key_Shift: return VK_SHIFT;
        case Qt::Key_Control: return VK_CONTROL;
        case Qt::Key_Alt:
        case Qt::Key_AltGr: return VK_MENU;
        case Qt::Key_Meta: return 0x5B;  // VK_LWIN
        case Qt::Key_Menu: return 0x5D;  // VK_APPS
        case Qt::Key_Pause: return 0x13;
        case Qt::Key_CapsLock: return 0x14;
        case Qt::Key_PageUp: return VK_PRIOR;
        case Qt::Key_PageDown: return VK_NEXT;
        case Qt::Key_End: return VK_END;
        case Qt::Key_Home: return VK_HOME;
        case Qt::Key_Left: return VK_LEFT;
        case Qt::Key_Up: return VK_UP;
        case Qt::Key_Right: return VK_RIGHT;
        case Qt::Key_Down: return VK_DOWN;
        case Qt::Key_Print: return 0x2C;
        case Qt::Key_Insert: return VK_INSERT;
        case Qt::Key_Delete: return VK_DELETE;
        case Qt::Key_NumLock: return 0x90;
        case Qt::Key_ScrollLock: return 0x91;
        // Shifted symbols report the key they sit on (US layout), as Win32 does.
        case Qt::Key_Plus:
        case Qt::Key_Equal: return VK_OEM_PLUS;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: return VK_OEM_MINUS;
        case Qt::Key_Comma:
        case Qt::Key_Less: return VK_OEM_COMMA;
        case Qt::Key_Period:
        case Qt::Key_Greater: return VK_OEM_PERIOD;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: return VK_OEM_4;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: return VK_OEM_6;
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: return 0xBA;
        case Qt::Key_Slash:
        case Qt::Key_Question: return 0xBF;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: return 0xC0;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: return 0xDC;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: return 0xDE;
        case Qt::Key_Exclam: return '1';
        case Qt::Key_At: return '2';
        case Qt::Key_NumberSign: return '3';
        case Qt::Key_Dollar: return '4';
        case Qt::Key_Percent: return '5';
        case Qt::Key_AsciiCircum: return '6';
        case Qt::Key_Ampersand: return '7';
        case Qt::Key_Asterisk: return '8';
        case Qt::Key_ParenLeft: return '9';
        case Qt::Key_ParenRight: return '0';
        default: return 0;
    }
}

}  // namespace qt
}  // namespace platform
