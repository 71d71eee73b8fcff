#include "machine/menus.h"

#include <winuser.h>

namespace sim {

namespace {

// Submenus nest no deeper than this (insertion refuses cycles; this bounds every walk anyway).
constexpr int kMaxDepth = 64;

ULONG_PTR Key(HMENU menu) {
    return reinterpret_cast<ULONG_PTR>(menu);
}

bool Chooseable(const MenuItemRec& item) {
    return !(item.flags & (MF_SEPARATOR | MF_POPUP));
}

}  // namespace

// ---- Records ----

HMENU Menus::Create(DWORD pid, bool popup) {
    std::lock_guard<std::mutex> lk(mu_);
    ULONG_PTR key = next_;
    next_ += 4;
    MenuRec& m = menus_[key];
    m.pid = pid;
    m.popup = popup;
    return reinterpret_cast<HMENU>(key);
}

bool Menus::Exists(DWORD pid, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    return FindLocked(pid, menu) != nullptr;
}

bool Menus::Destroy(DWORD pid, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    if (FindLocked(pid, menu) == nullptr) return false;
    DestroyLocked(menu, 0);
    return true;
}

std::optional<MenuRec> Menus::Get(DWORD pid, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    MenuRec* m = FindLocked(pid, menu);
    if (m == nullptr) return std::nullopt;
    return *m;
}

bool Menus::Reaches(DWORD pid, HMENU tree, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::pair<HMENU, int>> stack{{tree, 0}};
    while (!stack.empty()) {
        auto [h, depth] = stack.back();
        stack.pop_back();
        if (h == menu) return true;
        MenuRec* m = FindLocked(pid, h);
        if (m == nullptr || depth >= kMaxDepth) continue;
        for (const MenuItemRec& item : m->items)
            if (item.submenu != nullptr) stack.push_back({item.submenu, depth + 1});
    }
    return false;
}

MenuRec* Menus::FindLocked(DWORD pid, HMENU menu) {
    auto it = menus_.find(Key(menu));
    if (it == menus_.end() || it->second.pid != pid) return nullptr;
    return &it->second;
}

std::pair<MenuRec*, std::size_t> Menus::FindItemLocked(DWORD pid, HMENU menu, UINT item,
                                                       bool byPosition, int depth) {
    MenuRec* m = FindLocked(pid, menu);
    if (m == nullptr) return {nullptr, 0};
    if (byPosition) {
        if (item >= m->items.size()) return {nullptr, 0};
        return {m, item};
    }
    for (std::size_t i = 0; i < m->items.size(); ++i)
        if (m->items[i].submenu == nullptr && m->items[i].id == item) return {m, i};
    if (depth >= kMaxDepth) return {nullptr, 0};
    for (const MenuItemRec& sub : m->items) {
        if (sub.submenu == nullptr) continue;
        auto found = FindItemLocked(pid, sub.submenu, item, false, depth + 1);
        if (found.first) return found;
    }
    return {nullptr, 0};
}

std::optional<CommandPath> Menus::FindCommand(DWORD pid, HMENU menu, UINT id) {
    std::lock_guard<std::mutex> lk(mu_);
    CommandPath path;
    if (!FindCommandLocked(pid, menu, id, path, 0)) return std::nullopt;
    return path;
}

bool Menus::FindCommandLocked(DWORD pid, HMENU menu, UINT id, CommandPath& path, int depth) {
    MenuRec* m = FindLocked(pid, menu);
    if (m == nullptr) return false;
    for (const MenuItemRec& item : m->items) {
        if (Chooseable(item) && item.id == id) {
            path.flags = item.flags;
            return true;
        }
    }
    if (depth >= kMaxDepth) return false;
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        HMENU sub = m->items[i].submenu;
        if (sub == nullptr) continue;
        path.submenus.push_back({sub, static_cast<int>(i)});
        if (FindCommandLocked(pid, sub, id, path, depth + 1)) return true;
        path.submenus.pop_back();
    }
    return false;
}

void Menus::DestroyLocked(HMENU menu, int depth) {
    auto it = menus_.find(Key(menu));
    if (it == menus_.end()) return;
    std::vector<MenuItemRec> items = std::move(it->second.items);
    menus_.erase(it);
    if (depth >= kMaxDepth) return;
    for (const MenuItemRec& item : items)
        if (item.submenu != nullptr) DestroyLocked(item.submenu, depth + 1);
}

std::vector<TrackedItem> Menus::Snapshot(DWORD pid, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    return SnapshotLocked(pid, menu, 0);
}

std::vector<TrackedItem> Menus::SnapshotLocked(DWORD pid, HMENU menu, int depth) {
    std::vector<TrackedItem> out;
    MenuRec* m = FindLocked(pid, menu);
    if (m == nullptr) return out;
    for (const MenuItemRec& item : m->items) {
        TrackedItem t;
        t.separator = (item.flags & MF_SEPARATOR) != 0;
        t.id = Chooseable(item) ? item.id : 0;
        t.text = item.text;
        t.checked = (item.flags & MF_CHECKED) != 0;
        t.grayed = (item.flags & MF_GRAYED) != 0;
        t.disabled = (item.flags & MF_DISABLED) != 0;
        if (item.submenu != nullptr && depth < kMaxDepth)
            t.submenu = SnapshotLocked(pid, item.submenu, depth + 1);
        out.push_back(std::move(t));
    }
    return out;
}

// ---- System menus ----

HMENU Menus::SystemMenuOf(HWND window) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = systemMenus_.find(window);
    return it == systemMenus_.end() ? nullptr : it->second;
}

void Menus::SetSystemMenu(HWND window, HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    if (menu == nullptr)
        systemMenus_.erase(window);
    else
        systemMenus_[window] = menu;
}

HWND Menus::SystemMenuOwner(HMENU menu) {
    std::lock_guard<std::mutex> lk(mu_);
    for (const auto& [window, m] : systemMenus_)
        if (m == menu) return window;
    return nullptr;
}

void Menus::WindowGone(HWND window) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = systemMenus_.find(window);
    if (it == systemMenus_.end()) return;
    DestroyLocked(it->second, 0);
    systemMenus_.erase(it);
}

// ---- Tracking ----

bool Menus::BeginTrack(DWORD threadId) {
    std::lock_guard<std::mutex> lk(mu_);
    return tracking_.insert(threadId).second;
}

void Menus::EndTrack(DWORD threadId) {
    std::lock_guard<std::mutex> lk(mu_);
    tracking_.erase(threadId);
}

void Menus::Script(UINT choice) {
    std::lock_guard<std::mutex> lk(mu_);
    script_.push_back(choice);
}

std::size_t Menus::Pending() {
    std::lock_guard<std::mutex> lk(mu_);
    return script_.size();
}

std::vector<TrackedMenu> Menus::Journal() {
    std::lock_guard<std::mutex> lk(mu_);
    return journal_;
}

UINT Menus::TakeChoice() {
    std::lock_guard<std::mutex> lk(mu_);
    if (script_.empty()) return 0;
    UINT choice = script_.front();
    script_.pop_front();
    return choice;
}

void Menus::Record(TrackedMenu menu) {
    std::lock_guard<std::mutex> lk(mu_);
    journal_.push_back(std::move(menu));
}

}  // namespace sim
