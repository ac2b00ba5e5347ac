// Menus: plain data addressed by position until they are shown, then built
// into Qt menus (pop-up menus and menu bars).
//
// A pop-up menu is copied when it is shown and does not block anybody: the
// item chosen reaches the owner window later as a Command message, and the
// menu closes as if cancelled when Exit closes everything modal.

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <map>
#include <mutex>
#include <vector>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

struct MenuItem {
    enum Kind { String, Separator, Sub } kind = String;
    int32_t state = 0;
    int32_t id = 0;
    std::u16string text;
    MenuId sub = 0;
};

// A menu copied with its sub-menus, as it is when shown.
struct MenuCopy {
    struct Item {
        MenuItem item;
        std::shared_ptr<MenuCopy> sub;
    };
    std::vector<Item> items;
};

std::mutex g_menu_mutex;
std::map<MenuId, std::vector<MenuItem>> g_menus;
MenuId g_next_menu = 1;

bool insert_item(MenuId menu, int32_t position, MenuItem item) {
    std::lock_guard lock(g_menu_mutex);
    auto it = g_menus.find(menu);
    if (it == g_menus.end()) return false;
    auto& items = it->second;
    // Positions past the end append, as classic menu insertion does.
    const size_t pos =
        position < 0 ? items.size() : std::min(items.size(), static_cast<size_t>(position));
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
    return true;
}

// Menu mutex held. A menu inserted into itself (or deeper than any real
// menu goes) is cut off.
std::shared_ptr<MenuCopy> copy_menu(MenuId menu, int depth) {
    auto copy = std::make_shared<MenuCopy>();
    auto it = g_menus.find(menu);
    if (it == g_menus.end() || depth > 8) return copy;
    for (const MenuItem& item : it->second) {
        MenuCopy::Item entry{item, nullptr};
        if (item.kind == MenuItem::Sub) entry.sub = copy_menu(item.sub, depth + 1);
        copy->items.push_back(std::move(entry));
    }
    return copy;
}

std::shared_ptr<MenuCopy> copy_menu(MenuId menu) {
    std::lock_guard lock(g_menu_mutex);
    return copy_menu(menu, 0);
}

void build(QWidget* target, const MenuCopy& copy) {
    auto* qmenu = qobject_cast<QMenu*>(target);
    auto* bar = qobject_cast<QMenuBar*>(target);
    for (const MenuCopy::Item& entry : copy.items) {
        const MenuItem& item = entry.item;
        const QString text = detail::to_qstring(item.text);
        if (item.kind == MenuItem::Separator) {
            if (qmenu) qmenu->addSeparator();
            if (bar) bar->addSeparator();
            continue;
        }
        if (item.kind == MenuItem::Sub) {
            auto* sub = new QMenu(text, target);
            if (entry.sub) build(sub, *entry.sub);
            if (qmenu) qmenu->addMenu(sub);
            if (bar) bar->addMenu(sub);
            continue;
        }
        auto* action = new QAction(text, target);
        action->setData(item.id);
        action->setEnabled((item.state & kMenuGrayed) == 0);
        if (item.state & kMenuChecked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        target->addAction(action);
    }
}

}  // namespace

void detail::fill_qmenu(QWidget* menu_or_bar, MenuId menu) {
    build(menu_or_bar, *copy_menu(menu));
}

MenuId create_menu() {
    std::lock_guard lock(g_menu_mutex);
    const MenuId id = g_next_menu++;
    g_menus[id];
    return id;
}

void destroy_menu(MenuId menu) {
    std::vector<MenuId> subs;
    {
        std::lock_guard lock(g_menu_mutex);
        auto it = g_menus.find(menu);
        if (it == g_menus.end()) return;
        for (const MenuItem& item : it->second)
            if (item.kind == MenuItem::Sub && item.sub != menu) subs.push_back(item.sub);
        g_menus.erase(it);
    }
    for (MenuId sub : subs) destroy_menu(sub);
}

bool insert_menu_item(MenuId menu, int32_t position, int32_t state, int32_t id,
                      const std::u16string& text) {
    return insert_item(menu, position, MenuItem{MenuItem::String, state, id, text, 0});
}

bool insert_menu_separator(MenuId menu, int32_t position) {
    return insert_item(menu, position, MenuItem{MenuItem::Separator, 0, 0, {}, 0});
}

bool insert_submenu(MenuId menu, MenuId sub, int32_t position, const std::u16string& text) {
    return insert_item(menu, position, MenuItem{MenuItem::Sub, 0, 0, text, sub});
}

int32_t menu_item_count(MenuId menu) {
    std::lock_guard lock(g_menu_mutex);
    auto it = g_menus.find(menu);
    return it == g_menus.end() ? -1 : static_cast<int32_t>(it->second.size());
}

void track_popup_menu(MenuId menu, WindowId owner) {
    if (detail::modal_refused()) return;
    std::shared_ptr<MenuCopy> copy = copy_menu(menu);
    detail::on_gui([copy, owner] {
        auto* qmenu = new QMenu;
        qmenu->setAttribute(Qt::WA_DeleteOnClose);
        build(qmenu, *copy);
        // Items of sub-menus are reported by the top menu too.
        QObject::connect(qmenu, &QMenu::triggered, [owner](QAction* a) {
            const int32_t id = a->data().toInt();
            if (id != 0) post_command(owner, id);
        });
        detail::register_modal(qmenu);
        qmenu->popup(QCursor::pos());
    });
}

}  // namespace kaplo::platform
