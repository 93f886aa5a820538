// Menus: kept as data (menu_tree), turned into Qt menus when a bar is
// attached or a popup is shown. A chosen entry queues WM_COMMAND.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <vector>

#include "platform/menu_tree.h"
#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {

namespace {

void PruneLiveActions() {
    auto& actions = State().liveActions;
    actions.erase(std::remove_if(actions.begin(), actions.end(),
                                 [](const LiveAction& a) { return a.action.isNull(); }),
                  actions.end());
}

void ShowCheck(QAction* action, bool checked) {
    // Only a checked entry shows a mark, as on Win32.
    if (checked) {
        action->setCheckable(true);
        action->setChecked(true);
    } else {
        action->setChecked(false);
        action->setCheckable(false);
    }
}

void Fill(QWidget* target, MenuHandle handle, WindowHandle owner, int depth) {
    const menus::Menu* data = menus::Find(handle);
    if (!data) return;
    for (const menus::Item& item : data->items) {
        const QString label = QString::fromLocal8Bit(item.label.c_str());
        switch (item.kind) {
            case menus::Item::Command: {
                auto* action = new QAction(label, target);
                ShowCheck(action, item.checked);
                const std::uint32_t id = item.id;
                QPointer<QAction> guard(action);
                QObject::connect(action, &QAction::triggered, action, [owner, handle, id, guard]() {
                    PostWindowMessage(owner, WM_COMMAND, id, 0);
                    // Qt toggled a checkable entry itself; the data decides.
                    const menus::Item* current = menus::FindCommand(handle, id);
                    if (guard) ShowCheck(guard, current && current->checked);
                });
                target->addAction(action);
                State().liveActions.push_back(LiveAction{handle, id, guard});
                break;
            }
            case menus::Item::Separator: {
                auto* separator = new QAction(target);
                separator->setSeparator(true);
                target->addAction(separator);
                break;
            }
            case menus::Item::Submenu: {
                if (menus::Find(item.submenu) && depth < menus::kMaxDepth) {
                    auto* submenu = new QMenu(label, target);
                    // Filled when first opened: a long jump list would
                    // otherwise cost its Qt objects on every rebuild.
                    const MenuHandle child = item.submenu;
                    QObject::connect(submenu, &QMenu::aboutToShow, submenu,
                                     [submenu, child, owner, depth]() {
                                         if (submenu->actions().isEmpty())
                                             Fill(submenu, child, owner, depth + 1);
                                     });
                    target->addAction(submenu->menuAction());
                } else {
                    // A discarded or missing submenu: shown, but it opens nothing.
                    auto* action = new QAction(label, target);
                    action->setEnabled(false);
                    target->addAction(action);
                }
                break;
            }
        }
    }
}

}  // namespace

void RefreshMenuBar(MainWindow* window) {
    if (!window->menuDirty) return;
    window->menuDirty = false;
    QMenuBar* bar = window->menuBar();
    const QList<QMenu*> old = bar->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    bar->clear();
    for (QMenu* menu : old) menu->deleteLater();
    PruneLiveActions();
    if (!menus::Find(window->attachedBar)) {
        bar->hide();
        return;
    }
    Fill(bar, window->attachedBar, window->Handle(), 0);
    bar->show();
}

}  // namespace qt

MenuHandle NewMenuBar() { return menus::Create(true); }

MenuHandle NewMenu() { return menus::Create(false); }

void AppendMenuItem(MenuHandle menu, std::uint32_t id, const char* label) {
    if (menus::AppendCommand(menu, id, label)) qt::MarkMenusChanged();
}

void AppendMenuSubmenu(MenuHandle menu, MenuHandle submenu, const char* label) {
    if (menus::AppendSubmenu(menu, submenu, label)) qt::MarkMenusChanged();
}

void AppendMenuSeparator(MenuHandle menu) {
    if (menus::AppendSeparator(menu)) qt::MarkMenusChanged();
}

void SetMenuItemChecked(MenuHandle menu, std::uint32_t id, bool checked) {
    MenuHandle holder = nullptr;
    if (!menus::SetChecked(menu, id, checked, &holder)) return;
    qt::PruneLiveActions();
    for (const qt::LiveAction& live : qt::State().liveActions)
        if (live.menu == holder && live.id == id && live.action) qt::ShowCheck(live.action, checked);
}

void DestroyMenuTree(MenuHandle menu) {
    if (menus::Destroy(menu)) qt::MarkMenusChanged();
}

void AttachMenuBar(WindowHandle window, MenuHandle bar) {
    qt::MainWindow* w = qt::FindWindow(window);
    if (!w) return;
    w->attachedBar = bar;
    w->menuDirty = true;
    qt::RefreshMenuBar(w);
}

void TrackPopup(MenuHandle menu, int x, int y, WindowHandle owner) {
    qt::MainWindow* w = qt::FindWindow(owner);
    if (!w || !menus::Find(menu)) return;
    QMenu popup(w);
    qt::Fill(&popup, menu, owner, 0);
    // Screen points arrive in device pixels; Qt places in logical ones.
    const qreal ratio = w->devicePixelRatioF();
    QPoint at(qRound(x / ratio), qRound(y / ratio));
    // Wayland hides where the window is, so screen points made from its
    // place miss: the pointer, in Qt's own frame, is where the user clicked.
    if (qt::OnWayland()) at = QCursor::pos(w->screen());
    qt::EnterModal();
    popup.exec(at);
    qt::LeaveModal();
}

}  // namespace platform
