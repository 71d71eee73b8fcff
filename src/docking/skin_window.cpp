#include "docking/skin_window.h"

#include <windows.h>

namespace System::Docking {

CWnd* SkinWindowObjectOf(HWND window) {
    if (window == nullptr || !IsWindow(window)) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return nullptr;
    CWnd* permanent = CWnd::FromHandlePermanent(window);
    if (permanent == nullptr) return nullptr;
    const LRESULT answer = SendMessageW(window, WM_DOCKING_GETOBJECT, 0, 0);
    return reinterpret_cast<CWnd*>(answer) == permanent ? permanent : nullptr;
}

bool StillBound(HWND window, const CWnd* object) {
    return window != nullptr && IsWindow(window) && CWnd::FromHandlePermanent(window) == object;
}

}  // namespace System::Docking
