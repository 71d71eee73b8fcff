// The framework's menu object: CMenu holds a menu handle and destroys the menu with it (unless
// detached). FromHandle and GetSubMenu give temporary objects (mfc_temp_map.h) that own nothing.
#pragma once

#include "platform/mfc_types.h"
#include "platform/mfc_wnd.h"
#include "platform/user_menus.h"

class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }  // NOLINT: implicit, as the framework's
    HMENU GetSafeHmenu() const { return m_hMenu; }

    static CMenu* FromHandle(HMENU menu);
    static void DeleteTempMap();
    static std::size_t TemporaryCount();
    // FALSE for null or when a menu is held already.
    BOOL Attach(HMENU menu);
    HMENU Detach();

    // Each FALSE when a menu is held already or the call fails.
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL LoadMenu(UINT id);
    // Destroys the held menu; FALSE when none is held.
    BOOL DestroyMenu();

    CMenu* GetSubMenu(int position) const;
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr);
    BOOL InsertMenu(UINT item, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr);
    BOOL DeleteMenu(UINT item, UINT flags) { return ::DeleteMenu(m_hMenu, item, flags); }
    BOOL RemoveMenu(UINT item, UINT flags) { return ::RemoveMenu(m_hMenu, item, flags); }
    UINT CheckMenuItem(UINT item, UINT check);
    UINT EnableMenuItem(UINT item, UINT enable);
    UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
    int GetMenuString(UINT item, CString& text, UINT flags) const;
    // As TrackPopupMenu for the owner's window.
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);
};
