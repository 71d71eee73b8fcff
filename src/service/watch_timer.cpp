#include <vector>

#include <corecrt.h>
#include <windows.h>
#include "service/ulvane.h"
#include "support/auto_lock.h"
#include "support/platform_helpers.h"

namespace {

constexpr int kClassNameChars = 1024;

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[kClassNameChars] = {};
    GetClassNameW(window, name, kClassNameChars);
    return _wcsicmp(name, className) == 0;
}

BOOL CollectVisibleTopLevel(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

BOOL CollectVisibleChild(HWND window, LPARAM param) {
    if (IsWindow(window) && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::size_t CountChildren(HWND window, const wchar_t* className) {
    std::vector<HWND> children;
    FindChildWindowsByClass(window, className, children);
    return children.size();
}

}  // namespace

CWatchTimer::CWatchTimer() {
    InitializeCriticalSection(&m_lock);
}

CWatchTimer& CWatchTimer::Instance() {
    static CWatchTimer* timer = new CWatchTimer();  // used by threads until the process ends
    return *timer;
}

void CWatchTimer::Arm(DWORD timeoutMs) {
    if (GetOsVersionCode() != kOsWin2000) return;  // only Windows 2000 shows the warning
    CAutoLock lock(m_lock);
    m_timeout = timeoutMs;
    m_startTick = GetTickCount();
    m_active = true;
}

void CWatchTimer::Disarm() {
    CAutoLock lock(m_lock);
    m_timeout = 0;
    m_startTick = 0;
    m_active = false;
}

bool CWatchTimer::IsActive() {
    CAutoLock lock(m_lock);
    if (!m_active) return false;
    if (m_timeout == kNoLimit) return true;
    if (GetTickCount() - m_startTick > m_timeout) {
        Disarm();  // the section is re-entrant
        return false;
    }
    return true;
}

HWND GetUnSafeRemoveWnd2K() {
    std::vector<HWND> windows;
    EnumWindows(CollectVisibleTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (IsUnsafeRemovalWarning(window)) return window;
    return nullptr;
}

bool IsUnsafeRemovalWarning(HWND window) {
    return HasClass(window, L"#32770") && CountChildren(window, L"Static") == 6 &&
           CountChildren(window, L"Button") == 2 && CountChildren(window, L"SysListView32") == 1;
}

void FindChildWindowsByClass(HWND window, const wchar_t* className, std::vector<HWND>& out) {
    out.clear();
    if (!IsWindow(window)) return;
    std::vector<HWND> children;
    EnumChildWindows(window, CollectVisibleChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (HasClass(child, className)) out.push_back(child);
}
