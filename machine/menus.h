// The machine's menus: the menu records of every process (items with their ids, texts, states and
// submenus; each window's copy of the system menu), the choices that tests and demos script for
// the menus programs track, and the journal of every tracked menu.
//
// Handles are per process and never reused while the machine runs. Nothing here sends a message:
// the layer does, on the calling thread.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <winuser.h>
#include <windef.h>

namespace sim {

struct MenuItemRec {
    UINT id = 0;
    std::wstring text;
    UINT flags = 0;           // the MF_* type and state bits it was given
    HMENU submenu = nullptr;  // set for an item with MF_POPUP
};

struct MenuRec {
    DWORD pid = 0;
    bool popup = false;  // made by CreatePopupMenu (or as a submenu of a template)
    std::vector<MenuItemRec> items;
};

// One item of a tracked menu as the user saw it.
struct TrackedItem {
    UINT id = 0;  // 0 for a separator and for an item that opens a submenu
    std::wstring text;
    bool separator = false;
    bool checked = false;
    bool grayed = false;
    bool disabled = false;
    std::vector<TrackedItem> submenu;  // the items of the submenu the item opens
};

// One tracked menu.
struct TrackedMenu {
    HWND owner = nullptr;
    POINT position{0, 0};
    UINT flags = 0;  // the TPM_* flags as given
    bool systemMenu = false;
    std::vector<TrackedItem> items;
    UINT choice = 0;  // the command chosen; 0 when the menu was dismissed
};

// Where a command lies: the submenus opened on the way to it (each with the position of the item
// that opens it in its parent), and the item's flags.
struct CommandPath {
    std::vector<std::pair<HMENU, int>> submenus;
    UINT flags = 0;
};

class Menus {
public:
    // ---- Records ----
    HMENU Create(DWORD pid, bool popup);
    // The menu exists and belongs to the process.
    bool Exists(DWORD pid, HMENU menu);
    // Removes the menu and the submenus its items open (all the way down).
    bool Destroy(DWORD pid, HMENU menu);
    std::optional<MenuRec> Get(DWORD pid, HMENU menu);
    // Whether `menu` is `tree` or a submenu somewhere below it.
    bool Reaches(DWORD pid, HMENU tree, HMENU menu);

    // Runs change(record) under the lock; false when the menu is not the process's.
    template <class F>
    bool Modify(DWORD pid, HMENU menu, F change) {
        std::lock_guard<std::mutex> lk(mu_);
        MenuRec* m = FindLocked(pid, menu);
        if (m == nullptr) return false;
        change(*m);
        return true;
    }
    // Runs change(record, index) on the record holding the item under the lock: by position in
    // the menu, or by command in the menu and then in its submenus, depth first. False when there
    // is no such item.
    template <class F>
    bool ModifyItem(DWORD pid, HMENU menu, UINT item, bool byPosition, F change) {
        std::lock_guard<std::mutex> lk(mu_);
        auto found = FindItemLocked(pid, menu, item, byPosition, 0);
        if (!found.first) return false;
        change(*found.first, found.second);
        return true;
    }
    std::optional<CommandPath> FindCommand(DWORD pid, HMENU menu, UINT id);
    // The menu's items as a journal shows them.
    std::vector<TrackedItem> Snapshot(DWORD pid, HMENU menu);

    // ---- Each window's copy of the system menu ----
    HMENU SystemMenuOf(HWND window);
    void SetSystemMenu(HWND window, HMENU menu);
    // Whether the menu is some window's system menu, and which.
    HWND SystemMenuOwner(HMENU menu);
    // A window is gone: its copy goes with it.
    void WindowGone(HWND window);

    // ---- Tracking ----
    // The thread starts tracking a menu; false when it is tracking one already.
    bool BeginTrack(DWORD threadId);
    void EndTrack(DWORD threadId);

    // Control: how the simulated user answers the next tracked menu: the command's id, or 0 to
    // dismiss it. An unscripted menu is dismissed; a command that is absent, grayed or disabled
    // when the menu comes up dismisses it too.
    void Script(UINT choice);
    // Scripted choices not used yet.
    std::size_t Pending();
    // Control: every tracked menu, the first first.
    std::vector<TrackedMenu> Journal();

    // For the layer: the next scripted choice (0 when none is left), and the journal entry.
    UINT TakeChoice();
    void Record(TrackedMenu menu);

private:
    MenuRec* FindLocked(DWORD pid, HMENU menu);
    std::pair<MenuRec*, std::size_t> FindItemLocked(DWORD pid, HMENU menu, UINT item,
                                                    bool byPosition, int depth);
    bool FindCommandLocked(DWORD pid, HMENU menu, UINT id, CommandPath& path, int depth);
    void DestroyLocked(HMENU menu, int depth);
    std::vector<TrackedItem> SnapshotLocked(DWORD pid, HMENU menu, int depth);

    std::mutex mu_;
    ULONG_PTR next_ = 0x40010;
    std::map<ULONG_PTR, MenuRec> menus_;
    std::map<HWND, HMENU> systemMenus_;
    std::set<DWORD> tracking_;
    std::deque<UINT> script_;
    std::vector<TrackedMenu> journal_;
};

}  // namespace sim
