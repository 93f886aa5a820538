// Menus kept as data, for backends whose toolkit has no menu handles of
// the Win32 kind. Handles are never reused, so a stale handle (a submenu
// already discarded) is recognised and ignored, as Win32 ignores it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace menus {

struct Item {
    enum Kind { Command, Submenu, Separator } kind = Command;
    std::uint32_t id = 0;
    std::string label;
    MenuHandle submenu = nullptr;
    bool checked = false;
};

struct Menu {
    bool bar = false;
    std::vector<Item> items;
};

MenuHandle Create(bool bar);
// Null for a handle that was never made or is already discarded.
Menu* Find(MenuHandle handle);
// Discards the menu and, recursively, the live submenus it holds.
// Returns false for a stale or null handle.
bool Destroy(MenuHandle handle);
std::size_t LiveCount();
// Discards every menu (test isolation).
void DestroyAll();

}  // namespace menus
}  // namespace platform
