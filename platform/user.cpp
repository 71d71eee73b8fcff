#include "platform/user.h"

#include <cwchar>
#include <string>

#include "platform/kernel.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/windows.h"
#include "platform/sim/trace.h"

using sim::Fail;

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

int CopyText(const std::wstring& text, LPWSTR out, int maxCount) {
    if (out == nullptr || maxCount <= 0) return 0;
    auto n = static_cast<int>(text.size());
    if (n > maxCount - 1) n = maxCount - 1;
    std::wmemcpy(out, text.c_str(), static_cast<std::size_t>(n));
    out[n] = 0;
    return n;
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
    API_TRACE(Windows, EnumWindows, callback, param);
    if (callback == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    for (HWND h : Windows().TopLevel()) {
        if (!Windows().Exists(h)) continue;  // gone meanwhile
        if (!callback(h, param)) break;
    }
    return TRUE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
    API_TRACE(Windows, EnumChildWindows, parent, callback, param);
    if (parent == nullptr) return EnumWindows(callback, param);
    if (callback == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    for (HWND h : Windows().Descendants(parent)) {
        if (!Windows().Exists(h)) continue;
        if (!callback(h, param)) break;
    }
    return TRUE;
}

BOOL IsWindow(HWND window) {
    API_TRACE(Windows, IsWindow, window);
    return Windows().Exists(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    API_TRACE(Windows, IsWindowVisible, window);
    return Windows().IsVisible(window) ? TRUE : FALSE;
}

int GetClassNameW(HWND window, LPWSTR className, int maxCount) {
    API_TRACE(Windows, GetClassNameW, window, className, maxCount);
    auto w = Windows().Get(window);
    if (!w) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    if (className == nullptr || maxCount <= 0) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
    return CopyText(w->spec.className, className, maxCount);
}

int GetWindowTextW(HWND window, LPWSTR text, int maxCount) {
    API_TRACE(Windows, GetWindowTextW, window, text, maxCount);
    auto w = Windows().Get(window);
    if (!w) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    return CopyText(w->spec.title, text, maxCount);
}

HWND GetParent(HWND window) {
    API_TRACE(Windows, GetParent, window);
    auto w = Windows().Get(window);
    if (!w) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    return w->spec.parent;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, PostMessageW, window, message, wParam, lParam);
    if (!Windows().Post(window, message, wParam, lParam))
        return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return TRUE;
}
