#include <afxwin.h>

#include <vector>

#include <afxcmn.h>
#include "platform/mfc/temp_map.h"

namespace {
thread_local TemporaryObjects<CMenu, HMENU, &CMenu::m_hMenu> t_temporaryMenus;
}

CMenu* CMenu::FromHandle(HMENU menu) {
    return t_temporaryMenus.For(menu);
}

void CMenu::DeleteTempMap() {
    t_temporaryMenus.Clear();
}

std::size_t CMenu::TemporaryCount() {
    return t_temporaryMenus.Size();
}

BOOL CMenu::Attach(HMENU menu) {
    return AttachHandle(m_hMenu, menu);
}

HMENU CMenu::Detach() {
    return DetachHandle(m_hMenu);
}

BOOL CMenu::CreateMenu() {
    return m_hMenu == nullptr && Attach(::CreateMenu());
}

BOOL CMenu::CreatePopupMenu() {
    return m_hMenu == nullptr && Attach(::CreatePopupMenu());
}

BOOL CMenu::LoadMenu(UINT id) {
    return m_hMenu == nullptr &&
           Attach(::LoadMenuW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(static_cast<WORD>(id))));
}

BOOL CMenu::DestroyMenu() {
    if (m_hMenu == nullptr) return FALSE;
    return ::DestroyMenu(Detach());
}

CMenu* CMenu::GetSubMenu(int position) const {
    return FromHandle(::GetSubMenu(m_hMenu, position));
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCWSTR text) {
    return ::AppendMenuW(m_hMenu, flags, id, text);
}

BOOL CMenu::InsertMenu(UINT item, UINT flags, UINT_PTR id, LPCWSTR text) {
    return ::InsertMenuW(m_hMenu, item, flags, id, text);
}

UINT CMenu::CheckMenuItem(UINT item, UINT check) {
    return static_cast<UINT>(::CheckMenuItem(m_hMenu, item, check));
}

UINT CMenu::EnableMenuItem(UINT item, UINT enable) {
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, item, enable));
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    text.Empty();
    int length = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
    if (length <= 0) return 0;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, 0);
    int copied = ::GetMenuStringW(m_hMenu, item, buffer.data(), length + 1, flags);
    text = CString(buffer.data(), copied);
    return copied;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect) {
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner != nullptr ? owner->m_hWnd : nullptr,
                            rect);
}
