#include "platform/menu_tree.h"

#include <map>
#include <memory>
#include <utility>

namespace platform {
namespace menus {

namespace {

std::map<std::uintptr_t, std::unique_ptr<Menu>>& Registry() {
    static std::map<std::uintptr_t, std::unique_ptr<Menu>> registry;
    return registry;
}

std::uintptr_t nextId = 1;

bool Append(MenuHandle menu, Item item) {
    Menu* data = Find(menu);
    if (!data) return false;
    data->items.push_back(std::move(item));
    return true;
}

Item* FindCommandAt(MenuHandle menu, std::uint32_t id, MenuHandle* holder, int depth) {
    Menu* data = Find(menu);
    if (!data || depth > kMaxDepth) return nullptr;
    for (Item& item : data->items) {
        if (item.kind == Item::Command && item.id == id) {
            if (holder) *holder = menu;
            return &item;
        }
        if (item.kind == Item::Submenu)
            if (Item* found = FindCommandAt(item.submenu, id, holder, depth + 1)) return found;
    }
    return nullptr;
}

}  // namespace

MenuHandle Create(bool bar) {
    const std::uintptr_t id = nextId++;
    auto menu = std::make_unique<Menu>();
    menu->bar = bar;
    Registry()[id] = std::move(menu);
    return reinterpret_cast<MenuHandle>(id);
}

Menu* Find(MenuHandle handle) {
    auto it = Registry().find(reinterpret_cast<std::uintptr_t>(handle));
    return it == Registry().end() ? nullptr : it->second.get();
}

bool Destroy(MenuHandle handle) {
    auto it = Registry().find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == Registry().end()) return false;
    std::unique_ptr<Menu> menu = std::move(it->second);
    Registry().erase(it);
    for (const Item& item : menu->items)
        if (item.kind == Item::Submenu) Destroy(item.submenu);
    return true;
}

std::size_t LiveCount() { return Registry().size(); }

void DestroyAll() { Registry().clear(); }

bool AppendCommand(MenuHandle menu, std::uint32_t id, const char* label) {
    Item item;
    item.id = id;
    item.label = label ? label : "";
    return Append(menu, std::move(item));
}

bool AppendSubmenu(MenuHandle menu, MenuHandle submenu, const char* label) {
    Item item;
    item.kind = Item::Submenu;
    item.submenu = submenu;
    item.label = label ? label : "";
    return Append(menu, std::move(item));
}

bool AppendSeparator(MenuHandle menu) {
    Item item;
    item.kind = Item::Separator;
    return Append(menu, std::move(item));
}

Item* FindCommand(MenuHandle menu, std::uint32_t id, MenuHandle* holder) {
    return FindCommandAt(menu, id, holder, 0);
}

bool SetChecked(MenuHandle menu, std::uint32_t id, bool checked, MenuHandle* holder) {
    Item* item = FindCommand(menu, id, holder);
    if (!item) return false;
    item->checked = checked;
    return true;
}

}  // namespace menus
}  // namespace platform
