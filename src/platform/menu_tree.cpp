#include "platform/menu_tree.h"

#include <map>
#include <memory>

namespace platform {
namespace menus {

namespace {

std::map<std::uintptr_t, std::unique_ptr<Menu>>& Registry() {
    static std::map<std::uintptr_t, std::unique_ptr<Menu>> registry;
    return registry;
}

std::uintptr_t nextId = 1;

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

}  // namespace menus
}  // namespace platform
