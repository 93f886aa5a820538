// Conversions between the core's opaque handles and Win32 handles.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace win32 {

inline HWND Hwnd(platform::WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline HDC Hdc(platform::DeviceContext dc) { return reinterpret_cast<HDC>(dc); }
inline HGLRC Hglrc(platform::RenderContext rc) { return reinterpret_cast<HGLRC>(rc); }
inline HMENU Hmenu(platform::MenuHandle menu) { return reinterpret_cast<HMENU>(menu); }
inline HINSTANCE Hinstance(platform::InstanceHandle instance) {
    return reinterpret_cast<HINSTANCE>(instance);
}

}  // namespace win32
