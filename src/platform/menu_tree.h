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

// The menu-building calls over the data, shared by every backend that
// keeps menus this way. Each returns false for a stale or null handle.
bool AppendCommand(MenuHandle menu, std::uint32_t id, const char* label);
bool AppendSubmenu(MenuHandle menu, MenuHandle submenu, const char* label);
bool AppendSeparator(MenuHandle menu);
// The command entry with `id`, searched depth first through submenus as
// Win32 searches by command; `holder`, when given, gets its menu.
Item* FindCommand(MenuHandle menu, std::uint32_t id, MenuHandle* holder = nullptr);
// Sets the check mark of that entry; false when there is none.
bool SetChecked(MenuHandle menu, std::uint32_t id, bool checked, MenuHandle* holder = nullptr);
// Deepest nesting followed, so a menu that holds itself cannot loop.
constexpr int kMaxDepth = 16;
// Discards every menu (test isolation).
void DestroyAll();

}  // namespace menus
}  // namespace platform
