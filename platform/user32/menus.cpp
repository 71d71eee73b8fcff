// Windows: menus and their tracking. The machine keeps the records and the user's scripted
// choices (machine/menus.h); this checks the arguments and sends the owner its messages.
#include <winuser.h>

#include <algorithm>
#include <cwchar>

#include <winbase.h>
#include <winres.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/menus.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/windows.h"

using sim::Fail;

namespace {

sim::Menus& Menus() {
    return sim::machine().menus();
}

DWORD Pid() {
    return sim::CurrentProcess().info.pid;
}

// The flags an item keeps.
constexpr UINT kItemBits = MF_SEPARATOR | MF_POPUP | MF_CHECKED | MF_GRAYED | MF_DISABLED;
constexpr UINT kEnableBits = MF_GRAYED | MF_DISABLED;

// The item that InsertMenuW and AppendMenuW add; ERROR_* when the arguments make none.
DWORD MakeItem(HMENU menu, UINT flags, UINT_PTR newItem, LPCWSTR text, sim::MenuItemRec& item) {
    if (!Menus().Exists(Pid(), menu)) return ERROR_INVALID_MENU_HANDLE;
    // Pictures and owner-drawn items: the layer keeps no pictures in menus.
    if (flags & (MF_BITMAP | MF_OWNERDRAW)) return ERROR_INVALID_PARAMETER;
    item.flags = flags & kItemBits;
    if (flags & MF_SEPARATOR) {
        item.flags &= ~MF_POPUP;
        item.id = static_cast<UINT>(newItem);
        return 0;
    }
    item.text = text != nullptr ? text : L"";
    if (flags & MF_POPUP) {
        auto* sub = reinterpret_cast<HMENU>(newItem);
        if (!Menus().Exists(Pid(), sub)) return ERROR_INVALID_MENU_HANDLE;
        // A menu cannot open itself, nor a menu that opens it.
        if (Menus().Reaches(Pid(), sub, menu)) return ERROR_INVALID_PARAMETER;
        item.submenu = sub;
        return 0;
    }
    item.id = static_cast<UINT>(newItem);
    return 0;
}

// Adds the item before `position` (by position: -1 or past the end appends).
BOOL AddItem(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, LPCWSTR text) {
    sim::MenuItemRec item;
    if (DWORD error = MakeItem(menu, flags, newItem, text, item)) return Fail(FALSE, error);
    if (flags & MF_BYPOSITION) {
        Menus().Modify(Pid(), menu, [&](sim::MenuRec& m) {
            std::size_t at = std::min<std::size_t>(position, m.items.size());
            m.items.insert(m.items.begin() + static_cast<std::ptrdiff_t>(at), item);
        });
        return TRUE;
    }
    bool found =
        Menus().ModifyItem(Pid(), menu, position, false, [&](sim::MenuRec& m, std::size_t i) {
            m.items.insert(m.items.begin() + static_cast<std::ptrdiff_t>(i), item);
        });
    return found ? TRUE : Fail(FALSE, ERROR_MENU_ITEM_NOT_FOUND);
}

// Takes the item away; its submenu, if any, is returned through `submenu`.
BOOL TakeItem(HMENU menu, UINT item, UINT flags, HMENU& submenu) {
    if (!Menus().Exists(Pid(), menu)) return Fail(FALSE, ERROR_INVALID_MENU_HANDLE);
    submenu = nullptr;
    bool found = Menus().ModifyItem(
        Pid(), menu, item, (flags & MF_BYPOSITION) != 0, [&](sim::MenuRec& m, std::size_t i) {
            submenu = m.items[i].submenu;
            m.items.erase(m.items.begin() + static_cast<std::ptrdiff_t>(i));
        });
    return found ? TRUE : Fail(FALSE, ERROR_MENU_ITEM_NOT_FOUND);
}

// Replaces the item's `bits` with those of `flags`; the previous bits, or -1 without the item.
DWORD ChangeState(HMENU menu, UINT item, UINT flags, UINT bits) {
    if (!Menus().Exists(Pid(), menu))
        return Fail(static_cast<DWORD>(-1), ERROR_INVALID_MENU_HANDLE);
    DWORD previous = static_cast<DWORD>(-1);
    Menus().ModifyItem(Pid(), menu, item, (flags & MF_BYPOSITION) != 0,
                       [&](sim::MenuRec& m, std::size_t i) {
                           previous = m.items[i].flags & bits;
                           m.items[i].flags = (m.items[i].flags & ~bits) | (flags & bits);
                       });
    return previous;
}

// A copy of the item; nothing when there is none.
std::optional<sim::MenuItemRec> ReadItem(HMENU menu, UINT item, UINT flags) {
    std::optional<sim::MenuItemRec> out;
    Menus().ModifyItem(Pid(), menu, item, (flags & MF_BYPOSITION) != 0,
                       [&](sim::MenuRec& m, std::size_t i) { out = m.items[i]; });
    return out;
}

HMENU BuildMenu(const std::vector<resources::MenuItem>& items, bool popup) {
    HMENU menu = Menus().Create(Pid(), popup);
    for (const resources::MenuItem& t : items) {
        UINT flags = t.flags & ~MF_BYPOSITION;
        UINT_PTR newItem = t.id;
        if (!t.popup.empty() || (flags & MF_POPUP)) {
            newItem = reinterpret_cast<UINT_PTR>(BuildMenu(t.popup, true));
            flags |= MF_POPUP;
        }
        AddItem(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, newItem, t.text);
    }
    return menu;
}

// The standard system menu's items.
struct SystemItem {
    UINT id;
    LPCWSTR text;
};
const SystemItem kSystemItems[] = {
    {SC_RESTORE, L"&Restore"},     {SC_MOVE, L"&Move"},         {SC_SIZE, L"&Size"},
    {SC_MINIMIZE, L"Mi&nimize"},   {SC_MAXIMIZE, L"Ma&ximize"}, {0, nullptr},
    {SC_CLOSE, L"&Close\tAlt+F4"},
};

BOOL Track(HMENU menu, UINT flags, int x, int y, HWND owner) {
    if (!Menus().Exists(Pid(), menu)) return Fail(FALSE, ERROR_INVALID_MENU_HANDLE);
    if (!IsWindow(owner)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    DWORD thread = sim::CurrentThread().id;
    bool began = Menus().BeginTrack(thread);
    if (!began && !(flags & TPM_RECURSE)) return Fail(FALSE, ERROR_POPUP_ALREADY_ACTIVE);

    bool system = Menus().SystemMenuOwner(menu) != nullptr;
    bool notify = !(flags & TPM_NONOTIFY);
    if (notify) {
        SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(0, system ? TRUE : FALSE));
    }
    UINT choice = Menus().TakeChoice();
    UINT chosen = 0;
    if (choice != 0) {
        if (auto path = Menus().FindCommand(Pid(), menu, choice)) {
            if (notify)
                for (const auto& [sub, position] : path->submenus)
                    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub),
                                 MAKELPARAM(position, FALSE));
            // The owner may have changed the item while its submenus opened.
            path = Menus().FindCommand(Pid(), menu, choice);
            if (path && !(path->flags & kEnableBits)) chosen = choice;
        }
    }
    sim::TrackedMenu record;
    record.owner = owner;
    record.position = {x, y};
    record.flags = flags;
    record.systemMenu = system;
    record.items = Menus().Snapshot(Pid(), menu);
    record.choice = chosen;
    Menus().Record(std::move(record));
    if (notify) SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
    if (began) Menus().EndTrack(thread);

    if (flags & TPM_RETURNCMD) {
        SetLastError(ERROR_SUCCESS);
        return static_cast<BOOL>(chosen);
    }
    if (chosen != 0) {
        if (system)
            PostMessageW(owner, WM_SYSCOMMAND, chosen, 0);
        else
            PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<int>(chosen), 0), 0);
    }
    return TRUE;
}

}  // namespace

// ---- Making and destroying menus ----

HMENU CreateMenu() {
    API_TRACE(Windows, CreateMenu);
    return Menus().Create(Pid(), false);
}

HMENU CreatePopupMenu() {
    API_TRACE(Windows, CreatePopupMenu);
    return Menus().Create(Pid(), true);
}

BOOL DestroyMenu(HMENU menu) {
    API_TRACE(Windows, DestroyMenu, menu);
    return Menus().Destroy(Pid(), menu) ? TRUE : Fail(FALSE, ERROR_INVALID_MENU_HANDLE);
}

BOOL IsMenu(HMENU menu) {
    API_TRACE(Windows, IsMenu, menu);
    return Menus().Exists(Pid(), menu) ? TRUE : FALSE;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    API_TRACE(Windows, LoadMenuW, instance, name);
    const resources::MenuTemplate* t = resources::FindMenu(instance, name);
    if (t == nullptr) return Fail<HMENU>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
    return BuildMenu(t->items, false);
}

// ---- Items ----

BOOL InsertMenuW(HMENU menu, UINT item, UINT flags, UINT_PTR newItem, LPCWSTR text) {
    API_TRACE(Windows, InsertMenuW, menu, item, flags, newItem, text);
    return AddItem(menu, item, flags, newItem, text);
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR newItem, LPCWSTR text) {
    API_TRACE(Windows, AppendMenuW, menu, flags, newItem, text);
    return AddItem(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, newItem, text);
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) {
    API_TRACE(Windows, DeleteMenu, menu, item, flags);
    HMENU submenu = nullptr;
    if (!TakeItem(menu, item, flags, submenu)) return FALSE;
    if (submenu != nullptr) Menus().Destroy(Pid(), submenu);
    return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) {
    API_TRACE(Windows, RemoveMenu, menu, item, flags);
    HMENU submenu = nullptr;
    return TakeItem(menu, item, flags, submenu);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    API_TRACE(Windows, CheckMenuItem, menu, item, flags);
    return ChangeState(menu, item, flags, MF_CHECKED);
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    API_TRACE(Windows, EnableMenuItem, menu, item, flags);
    return static_cast<BOOL>(ChangeState(menu, item, flags, kEnableBits));
}

int GetMenuItemCount(HMENU menu) {
    API_TRACE(Windows, GetMenuItemCount, menu);
    auto m = Menus().Get(Pid(), menu);
    if (!m) return Fail(-1, ERROR_INVALID_MENU_HANDLE);
    return static_cast<int>(m->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    API_TRACE(Windows, GetMenuItemID, menu, position);
    if (position < 0) return static_cast<UINT>(-1);
    auto item = ReadItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    if (!item || item->submenu != nullptr) return static_cast<UINT>(-1);
    return item->id;
}

HMENU GetSubMenu(HMENU menu, int position) {
    API_TRACE(Windows, GetSubMenu, menu, position);
    if (!Menus().Exists(Pid(), menu)) return Fail<HMENU>(nullptr, ERROR_INVALID_MENU_HANDLE);
    if (position < 0) return nullptr;
    auto item = ReadItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return item ? item->submenu : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    API_TRACE(Windows, GetMenuState, menu, item, flags);
    auto found = ReadItem(menu, item, flags);
    if (!found) return static_cast<UINT>(-1);
    if (found->submenu == nullptr) return found->flags;
    auto sub = Menus().Get(Pid(), found->submenu);
    UINT count = sub ? static_cast<UINT>(std::min<std::size_t>(sub->items.size(), 0xFF)) : 0;
    return (count << 8) | (found->flags & 0xFF);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR text, int maxCount, UINT flags) {
    API_TRACE(Windows, GetMenuStringW, menu, item, text, maxCount, flags);
    auto found = ReadItem(menu, item, flags);
    if (!found) return 0;
    auto length = static_cast<int>(found->text.size());
    if (text == nullptr || maxCount == 0) return length;
    if (maxCount < 0) return Fail(0, ERROR_INVALID_PARAMETER);
    int n = std::min(length, maxCount - 1);
    std::wmemcpy(text, found->text.c_str(), static_cast<std::size_t>(n));
    text[n] = 0;
    return n;
}

// ---- The system menu ----

HMENU GetSystemMenu(HWND window, BOOL revert) {
    API_TRACE(Windows, GetSystemMenu, window, revert);
    auto w = sim::machine().windows().Get(window);
    if (!w) return Fail<HMENU>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    HMENU current = Menus().SystemMenuOf(window);
    if (revert) {
        if (current != nullptr) Menus().Destroy(w->pid, current);
        Menus().SetSystemMenu(window, nullptr);
        return nullptr;
    }
    if (current != nullptr && Menus().Exists(w->pid, current)) return current;
    HMENU menu = Menus().Create(w->pid, true);
    Menus().Modify(w->pid, menu, [](sim::MenuRec& m) {
        for (const SystemItem& s : kSystemItems) {
            sim::MenuItemRec item;
            item.id = s.id;
            if (s.text != nullptr)
                item.text = s.text;
            else
                item.flags = MF_SEPARATOR;
            m.items.push_back(item);
        }
    });
    Menus().SetSystemMenu(window, menu);
    return menu;
}

// ---- Tracking ----

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* ignored) {
    API_TRACE(Windows, TrackPopupMenu, menu, flags, x, y, reserved, owner, ignored);
    return Track(menu, flags, x, y, owner);
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    API_TRACE(Windows, TrackPopupMenuEx, menu, flags, x, y, owner, params);
    return Track(menu, flags, x, y, owner);
}
