// Native menus. The bar comes from CreateMenu; every drop-down, submenu
// and popup from CreatePopupMenu, since a popup made by CreateMenu sends
// no WM_COMMAND under Wine.
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32/win32_internal.h"

namespace {

using win32::Hmenu;

constexpr int kMaxDepth = 16;  // guards against a menu that holds itself

// Menus holding each submenu. A discarded submenu is taken out of the
// menus that still hold it, so none keeps a handle that the system may
// later hand out again for a new menu.
std::map<HMENU, std::vector<HMENU>>& Parents() {
    static std::map<HMENU, std::vector<HMENU>> parents;
    return parents;
}

void CollectTree(HMENU menu, std::vector<HMENU>* tree, int depth) {
    if (depth > kMaxDepth || !IsMenu(menu)) return;
    if (std::find(tree->begin(), tree->end(), menu) != tree->end()) return;
    tree->push_back(menu);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (HMENU sub = GetSubMenu(menu, i)) CollectTree(sub, tree, depth + 1);
}

// Labels are UTF-8 (file names among them); the menus take UTF-16.
std::wstring Label(const char* label) { return win32::Widen(label ? label : ""); }

void Detach(HMENU parent, HMENU child) {
    if (!IsMenu(parent)) return;
    for (int i = GetMenuItemCount(parent) - 1; i >= 0; --i)
        if (GetSubMenu(parent, i) == child) RemoveMenu(parent, static_cast<UINT>(i), MF_BYPOSITION);
}

}  // namespace

namespace platform {

MenuHandle NewMenuBar() { return reinterpret_cast<MenuHandle>(CreateMenu()); }

MenuHandle NewMenu() { return reinterpret_cast<MenuHandle>(CreatePopupMenu()); }

void AppendMenuItem(MenuHandle menu, std::uint32_t id, const char* label) {
    AppendMenuW(Hmenu(menu), MF_STRING, id, Label(label).c_str());
}

void AppendMenuSubmenu(MenuHandle menu, MenuHandle submenu, const char* label) {
    const HMENU parent = Hmenu(menu);
    const HMENU child = Hmenu(submenu);
    if (!child || !IsMenu(child)) {
        // Shown, but it opens nothing and sends no command.
        AppendMenuW(parent, MF_STRING | MF_GRAYED, 0, Label(label).c_str());
        return;
    }
    if (AppendMenuW(parent, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(child),
                    Label(label).c_str()))
        Parents()[child].push_back(parent);
}

void AppendMenuSeparator(MenuHandle menu) { AppendMenuW(Hmenu(menu), MF_SEPARATOR, 0, nullptr); }

void SetMenuItemChecked(MenuHandle menu, std::uint32_t id, bool checked) {
    CheckMenuItem(Hmenu(menu), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void DestroyMenuTree(MenuHandle menu) {
    const HMENU root = Hmenu(menu);
    auto& parents = Parents();
    if (!root || !IsMenu(root)) {
        parents.erase(root);
        return;
    }
    std::vector<HMENU> tree;
    CollectTree(root, &tree, 0);
    for (HMENU member : tree) {
        auto it = parents.find(member);
        if (it == parents.end()) continue;
        for (HMENU holder : it->second)
            if (std::find(tree.begin(), tree.end(), holder) == tree.end()) Detach(holder, member);
        parents.erase(it);
    }
    // Also discards every submenu still held.
    DestroyMenu(root);
}

void AttachMenuBar(WindowHandle window, MenuHandle bar) { SetMenu(win32::Hwnd(window), Hmenu(bar)); }

void TrackPopup(MenuHandle menu, int x, int y, WindowHandle owner) {
    TrackPopupMenuEx(Hmenu(menu), 0, x, y, win32::Hwnd(owner), nullptr);
}

}  // namespace platform
