// Windows: classes, window records and what the window manager sends while it makes, shows,
// enables, moves and destroys them. Messages and queues are in user32/messages.cpp.
#include <winuser.h>
#include "platform/user32/classes.h"
#include "platform/user32/create_hook.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>

#include <winbase.h>
#include <winnls.h>
#include "platform/gdi32/draw_canvas.h"
#include "platform/user32/icons.h"
#include "platform/user32/routing.h"
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/menus.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/remote_windows.h"
#include "machine/windows.h"

using sim::Fail;

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

DWORD SelfPid() {
    return sim::CurrentProcess().info.pid;
}

int CopyText(const std::wstring& text, LPWSTR out, int maxCount) {
    if (out == nullptr || maxCount <= 0) return 0;
    auto n = static_cast<int>(text.size());
    if (n > maxCount - 1) n = maxCount - 1;
    std::wmemcpy(out, text.c_str(), static_cast<std::size_t>(n));
    out[n] = 0;
    return n;
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

std::atomic<ATOM> g_nextAtom{0xC000};

thread_local WindowCreationHook t_creationHook = nullptr;

// A class named by its atom (a small number in place of the name's pointer): classes are found
// by name only here, so such a name finds none.
bool ClassNamed(LPCWSTR name) {
    return reinterpret_cast<ULONG_PTR>(name) >= 0x10000;
}

// The window's frame: a sizing border, a dialog frame or a thin border, and a caption.
int FrameBorder(DWORD style) {
    return (style & WS_THICKFRAME) ? 4 : (style & WS_DLGFRAME) ? 3 : (style & WS_BORDER) ? 1 : 0;
}
int FrameCaption(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION ? 18 : 0;
}

// The default WM_NCCALCSIZE: the frame taken off the window rectangle.
void TakeFrame(DWORD style, RECT& r) {
    int border = FrameBorder(style);
    int caption = FrameCaption(style);
    r.left += border;
    r.right -= border;
    r.top += border + caption;
    r.bottom -= border;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
}

// Sends WM_DESTROY to the window and then to its descendants, parents first.
void SendDestroy(HWND window) {
    SendMessageW(window, WM_DESTROY, 0, 0);
    for (HWND child : Windows().Children(window)) SendDestroy(child);
}

// Sends WM_NCDESTROY to the descendants, children first, then to the window, and removes each
// record after its message.
void SendNcDestroy(HWND window) {
    for (HWND child : Windows().Children(window)) SendNcDestroy(child);
    SendMessageW(window, WM_NCDESTROY, 0, 0);
    Windows().Remove(window);
    sim::machine().menus().WindowGone(window);
}

}  // namespace

// ---- Classes ----

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    API_TRACE(Windows, RegisterClassExW, wc);
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXW) || wc->lpszClassName == nullptr ||
        *wc->lpszClassName == 0 || wc->lpfnWndProc == nullptr || wc->cbWndExtra < 0)
        return Fail<ATOM>(0, ERROR_INVALID_PARAMETER);
    sim::WindowClass c;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.procedure = wc->lpfnWndProc;
    c.windowExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    c.background = wc->hbrBackground;
    c.cursor = wc->hCursor;
    c.icon = wc->hIcon;
    c.smallIcon = wc->hIconSm;
    if (!Windows().RegisterClass(SelfPid(), c)) return Fail<ATOM>(0, ERROR_CLASS_ALREADY_EXISTS);
    // Classes are found by name; the atom only tells success.
    ATOM atom = g_nextAtom++;
    if (atom == 0) atom = g_nextAtom = 0xC000;
    return atom;
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
    API_TRACE(Windows, RegisterClassW, wc);
    if (wc == nullptr) return Fail<ATOM>(0, ERROR_INVALID_PARAMETER);
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
    API_TRACE(Windows, UnregisterClassW, className, instance);
    if (!ClassNamed(className)) return Fail(FALSE, ERROR_CLASS_DOES_NOT_EXIST);
    DWORD error = Windows().UnregisterClass(SelfPid(), className);
    return error == 0 ? TRUE : Fail(FALSE, error);
}

// ---- Making and destroying windows ----

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    API_TRACE(Windows, CreateWindowExW, exStyle, className, windowName, style, x, y, width, height,
              parent, menu, instance, param);
    auto cls = ClassNamed(className) ? Windows().FindClass(SelfPid(), className) : std::nullopt;
    if (!cls && ClassNamed(className)) cls = FindSystemClass(className);
    if (!cls) return Fail<HWND>(nullptr, ERROR_CANNOT_FIND_WND_CLASS);
    bool child = (style & WS_CHILD) != 0;
    if (child && parent == nullptr) return Fail<HWND>(nullptr, ERROR_TLW_WITH_WSCHILD);
    if (parent != nullptr && !Windows().Exists(parent))
        return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);

    const sim::Config& config = sim::machine().config();
    if (x == CW_USEDEFAULT) {
        x = child ? 0 : config.screenWidth / 8;
        y = child ? 0 : config.screenHeight / 8;
    }
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : config.screenWidth * 3 / 4;
        height = child ? 0 : config.screenHeight * 3 / 4;
    }
    if (width < 0) width = 0;
    if (height < 0) height = 0;

    sim::ThreadRec& self = sim::CurrentThread();
    sim::WindowInfo info;
    info.className = cls->name;
    info.classStyle = cls->style;
    info.classBackground = cls->background;
    info.classCursor = cls->cursor;
    info.classIcon = cls->icon;
    info.classSmallIcon = cls->smallIcon;
    info.style = style & ~WS_VISIBLE;  // shown at the end
    info.exStyle = exStyle;
    info.rect = {x, y, x + width, y + height};
    info.client = info.rect;
    if (child) {
        info.parent = parent;
        info.id = reinterpret_cast<LONG_PTR>(menu);
    } else {
        // The owner of a top-level window is the top-level window of the one given.
        for (HWND h = parent; h != nullptr; h = GetParent(h)) {
            info.owner = h;
            if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) break;
        }
    }
    info.thread = self.shared_from_this();
    info.pid = SelfPid();
    info.procedure = cls->procedure;
    info.instance = instance;
    info.extra.assign(static_cast<std::size_t>(cls->windowExtra), 0);
    Windows().EnsureQueue(self);
    HWND window = Windows().Add(std::move(info));
    if (window == nullptr) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);

    CREATESTRUCTW cs{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (t_creationHook != nullptr) t_creationHook(window);
    if (!SendMessageW(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        if (Windows().Exists(window)) {
            SendMessageW(window, WM_NCDESTROY, 0, 0);
            Windows().Remove(window);
        }
        return nullptr;
    }
    RECT client{x, y, x + width, y + height};
    SendMessageW(window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&client));
    Windows().Modify(window, [&](sim::WindowInfo& w) { w.client = client; });
    if (SendMessageW(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if (!Windows().Exists(window)) return nullptr;  // destroyed while being made
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(Width(client), Height(client)));
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL DestroyWindow(HWND window) {
    API_TRACE(Windows, DestroyWindow, window);
    auto info = Windows().Get(window);
    if (!info) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (info->thread.get() != &sim::CurrentThread()) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (info->destroying) return TRUE;  // already on its way (a call from its own WM_DESTROY)
    for (HWND h : Windows().Descendants(window))
        Windows().Modify(h, [](sim::WindowInfo& w) { w.destroying = true; });
    Windows().Modify(window, [](sim::WindowInfo& w) { w.destroying = true; });
    for (HWND owned : Windows().Owned(window)) DestroyWindow(owned);
    // Hidden first (without messages here), so nothing of it is painted any more.
    Windows().SetVisible(window, false);
    SendDestroy(window);
    SendNcDestroy(window);
    return TRUE;
}

WindowCreationHook SetWindowCreationHook(WindowCreationHook hook) {
    WindowCreationHook old = t_creationHook;
    t_creationHook = hook;
    return old;
}

// ---- Window procedures ----

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, DefWindowProcW, window, message, wParam, lParam);
    switch (message) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            if (cs != nullptr && cs->lpszName != nullptr)
                Windows().Modify(window, [&](sim::WindowInfo& w) { w.text = cs->lpszName; });
            return TRUE;
        }
        case WM_NCCALCSIZE: {
            // wParam TRUE passes NCCALCSIZE_PARAMS, whose first member is the rectangle.
            auto* r = reinterpret_cast<RECT*>(lParam);
            auto info = Windows().Get(window);
            if (r != nullptr && info) TakeFrame(info->style, *r);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_GETTEXT: {
            auto info = Windows().Get(window);
            if (!info) return 0;
            return CopyText(info->text, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
        }
        case WM_GETTEXTLENGTH: {
            auto info = Windows().Get(window);
            return info ? static_cast<LRESULT>(info->text.size()) : 0;
        }
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCWSTR>(lParam);
            return Windows().Modify(window, [&](sim::WindowInfo& w) { w.text = text ? text : L""; })
                       ? TRUE
                       : FALSE;
        }
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            auto info = Windows().Get(window);
            if (pos == nullptr || !info) return 0;
            const RECT& c = info->client;
            WPARAM type = (info->style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                          : (info->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                        : SIZE_RESTORED;
            if (!(pos->flags & SWP_NOSIZE))
                SendMessageW(window, WM_SIZE, type, MAKELPARAM(Width(c), Height(c)));
            if (!(pos->flags & SWP_NOMOVE))
                SendMessageW(window, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (BeginPaint(window, &ps) != nullptr) EndPaint(window, &ps);
            return 0;
        }
        case WM_ACTIVATE:  // a window activated takes the focus
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(window);
            return 0;
        case WM_ERASEBKGND: {
            // The class brush (a brush, or a system colour index + 1) fills the client area.
            auto info = Windows().Get(window);
            if (!info || info->classBackground == nullptr) return 0;
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, info->classBackground);
            return 1;
        }
        case WM_SYSTIMER:
            if (wParam == SYSTIMER_CARET_BLINK) BlinkCaret(window);
            return 0;
        case WM_SETICON:
        case WM_GETICON:
        case WM_QUERYDRAGICON:
        case WM_ICONERASEBKGND:
            return DefWindowProcIcon(window, message, wParam, lParam);
        case WM_NCHITTEST:
        case WM_NCLBUTTONDOWN:
        case WM_SETCURSOR:
        case WM_MOUSEACTIVATE:
        case WM_MOUSEWHEEL:
        case WM_SYSCOMMAND:
        case WM_PRINT:
            return DefWindowProcFrame(window, message, wParam, lParam);
        default:
            return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    API_TRACE(Windows, CallWindowProcW, procedure, window, message, wParam, lParam);
    if (procedure == nullptr) return 0;
    return procedure(window, message, wParam, lParam);
}

// ---- Window data ----

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    API_TRACE(Windows, GetWindowLongPtrW, window, index);
    auto info = Windows().Get(window);
    if (!info) return Fail<LONG_PTR>(0, ERROR_INVALID_WINDOW_HANDLE);
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG_PTR>(info->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(info->exStyle);
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(info->procedure);
        case GWLP_USERDATA:
            return info->userData;
        case GWLP_ID:
            return info->id;
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(info->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(info->parent ? info->parent : info->owner);
        default:
            break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > info->extra.size())
        return Fail<LONG_PTR>(0, ERROR_INVALID_INDEX);
    LONG_PTR value;
    std::memcpy(&value, info->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    API_TRACE(Windows, SetWindowLongPtrW, window, index, value);
    auto info = Windows().Get(window);
    if (!info) return Fail<LONG_PTR>(0, ERROR_INVALID_WINDOW_HANDLE);
    if (info->pid != SelfPid()) return Fail<LONG_PTR>(0, ERROR_ACCESS_DENIED);
    LONG_PTR old = 0;
    bool known = true;
    Windows().Modify(window, [&](sim::WindowInfo& w) {
        switch (index) {
            case GWL_STYLE:
                old = static_cast<LONG_PTR>(w.style);
                w.style = static_cast<DWORD>(value);
                break;
            case GWL_EXSTYLE:
                old = static_cast<LONG_PTR>(w.exStyle);
                w.exStyle = static_cast<DWORD>(value);
                break;
            case GWLP_WNDPROC:
                old = reinterpret_cast<LONG_PTR>(w.procedure);
                w.procedure = reinterpret_cast<WNDPROC>(value);
                break;
            case GWLP_USERDATA:
                old = w.userData;
                w.userData = value;
                break;
            case GWLP_ID:
                old = w.id;
                w.id = value;
                break;
            default:
                if (index < 0 ||
                    static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w.extra.size()) {
                    known = false;
                    break;
                }
                std::memcpy(&old, w.extra.data() + index, sizeof old);
                std::memcpy(w.extra.data() + index, &value, sizeof value);
        }
    });
    if (!known) return Fail<LONG_PTR>(0, ERROR_INVALID_INDEX);
    if (index == GWL_STYLE) Windows().RefreshPaint(window);
    SetLastError(ERROR_SUCCESS);
    return old;
}

// ---- Geometry ----

namespace {

// The window rectangle in screen coordinates, or the client rectangle from (0, 0).
BOOL ReadRect(HWND window, LPRECT rect, bool client) {
    auto info = Windows().Get(window);
    if (!info) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (client) {
        *rect = {0, 0, Width(info->client), Height(info->client)};
        return TRUE;
    }
    POINT origin = info->parent ? Windows().ClientOrigin(info->parent) : POINT{0, 0};
    *rect = {info->rect.left + origin.x, info->rect.top + origin.y, info->rect.right + origin.x,
             info->rect.bottom + origin.y};
    return TRUE;
}

}  // namespace

BOOL GetWindowRect(HWND window, LPRECT rect) {
    API_TRACE(Windows, GetWindowRect, window, rect);
    return ReadRect(window, rect, false);
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    API_TRACE(Windows, GetClientRect, window, rect);
    return ReadRect(window, rect, true);
}

namespace {

// Adds the client origin's coordinates times `sign` to the point.
BOOL ShiftByClientOrigin(HWND window, LPPOINT point, int sign) {
    if (!Windows().Exists(window)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (point == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    POINT origin = Windows().ClientOrigin(window);
    point->x += sign * origin.x;
    point->y += sign * origin.y;
    return TRUE;
}

}  // namespace

BOOL ClientToScreen(HWND window, LPPOINT point) {
    API_TRACE(Windows, ClientToScreen, window, point);
    return ShiftByClientOrigin(window, point, 1);
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
    API_TRACE(Windows, ScreenToClient, window, point);
    return ShiftByClientOrigin(window, point, -1);
}

int GetSystemMetrics(int index) {
    API_TRACE(Windows, GetSystemMetrics, index);
    const sim::Config& config = sim::machine().config();
    if (index == SM_CXSCREEN) return config.screenWidth;
    if (index == SM_CYSCREEN) return config.screenHeight;
    if (index == SM_CXICON || index == SM_CYICON) return 32;
    if (index == SM_CXSMICON || index == SM_CYSMICON) return SmallIconSize();
    return 0;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    API_TRACE(Windows, AdjustWindowRectEx, rect, style, menu, exStyle);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    int border = FrameBorder(style);
    rect->left -= border;
    rect->right += border;
    rect->top -= border + FrameCaption(style);
    rect->bottom += border;
    return TRUE;
}

// ---- Relations and lookups ----

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
    return Windows().Exists(window) || sim::WindowOfOtherProcess(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    API_TRACE(Windows, IsWindowVisible, window);
    return Windows().IsVisible(window) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    API_TRACE(Windows, IsWindowEnabled, window);
    auto info = Windows().Get(window);
    if (!info) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return (info->style & WS_DISABLED) ? FALSE : TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    API_TRACE(Windows, GetWindowThreadProcessId, window, processId);
    auto info = Windows().Get(window);
    if (!info) {
        auto other = sim::WindowOfOtherProcess(window);
        if (!other) return Fail<DWORD>(0, ERROR_INVALID_WINDOW_HANDLE);
        if (processId != nullptr) *processId = other->pid;
        return other->thread;
    }
    if (processId != nullptr) *processId = info->pid;
    return info->thread ? info->thread->id : 0;
}

int GetClassNameW(HWND window, LPWSTR className, int maxCount) {
    API_TRACE(Windows, GetClassNameW, window, className, maxCount);
    auto w = Windows().Get(window);
    if (!w) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    if (className == nullptr || maxCount <= 0) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
    return CopyText(w->className, className, maxCount);
}

int GetWindowTextW(HWND window, LPWSTR text, int maxCount) {
    API_TRACE(Windows, GetWindowTextW, window, text, maxCount);
    auto w = Windows().Get(window);
    if (!w) {
        // Another process's window: its title as the machine keeps it.
        auto other = sim::WindowOfOtherProcess(window);
        if (!other) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
        return CopyText(other->title, text, maxCount);
    }
    if (text == nullptr || maxCount <= 0) return 0;
    text[0] = 0;
    if (w->pid == SelfPid())
        return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                             reinterpret_cast<LPARAM>(text)));
    return CopyText(w->text, text, maxCount);
}

int GetWindowTextLengthW(HWND window) {
    API_TRACE(Windows, GetWindowTextLengthW, window);
    auto w = Windows().Get(window);
    if (!w) {
        auto other = sim::WindowOfOtherProcess(window);
        if (!other) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
        return static_cast<int>(other->title.size());
    }
    if (w->pid == SelfPid()) return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    return static_cast<int>(w->text.size());
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    API_TRACE(Windows, SetWindowTextW, window, text);
    if (!Windows().Exists(window)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    API_TRACE(Windows, FindWindowW, className, windowName);
    if (className != nullptr && !ClassNamed(className)) return nullptr;
    // On a machine server: every process's windows, in the machine's z-order.
    if (auto found = sim::FindWindowOnServer(className, windowName)) return *found;
    for (HWND h : Windows().TopLevel()) {
        auto w = Windows().Get(h);
        if (!w) continue;
        if (className != nullptr &&
            (!ClassNamed(className) || sim::Lower(w->className) != sim::Lower(className)))
            continue;
        // The whole title, case ignored.
        if (windowName != nullptr && sim::Lower(w->text) != sim::Lower(windowName)) continue;
        return h;
    }
    return nullptr;
}

HWND GetParent(HWND window) {
    API_TRACE(Windows, GetParent, window);
    auto w = Windows().Get(window);
    if (!w) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    if (w->style & WS_CHILD) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND GetWindow(HWND window, UINT relation) {
    API_TRACE(Windows, GetWindow, window, relation);
    if (!Windows().Exists(window)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    if (relation > GW_CHILD) return Fail<HWND>(nullptr, ERROR_INVALID_PARAMETER);
    return Windows().Relative(window, relation);
}

HWND GetDlgItem(HWND dialog, int id) {
    API_TRACE(Windows, GetDlgItem, dialog, id);
    if (!Windows().Exists(dialog)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    for (HWND child : Windows().Children(dialog)) {
        auto w = Windows().Get(child);
        if (w && w->id == id) return child;
    }
    return Fail<HWND>(nullptr, ERROR_CONTROL_ID_NOT_FOUND);
}

int GetDlgCtrlID(HWND window) {
    API_TRACE(Windows, GetDlgCtrlID, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<int>(w->id);
}

// ---- Showing, enabling, moving ----

BOOL EnableWindow(HWND window, BOOL enable) {
    API_TRACE(Windows, EnableWindow, window, enable);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
    Windows().Modify(window, [&](sim::WindowInfo& r) {
        r.style = enable ? (r.style & ~WS_DISABLED) : (r.style | WS_DISABLED);
    });
    SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    API_TRACE(Windows, SetWindowPos, window, insertAfter, x, y, width, height, flags);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    const RECT old = w->rect;
    const RECT oldClient = w->client;
    WINDOWPOS pos{window, insertAfter, x, y, width, height, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = old.left;
        pos.y = old.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = Width(old);
        pos.cy = Height(old);
    }
    SendMessageW(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (pos.cx < 0) pos.cx = 0;
    if (pos.cy < 0) pos.cy = 0;
    RECT now{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    bool moved = now.left != old.left || now.top != old.top;
    bool sized = Width(now) != Width(old) || Height(now) != Height(old);
    RECT client{oldClient.left + now.left - old.left, oldClient.top + now.top - old.top,
                oldClient.right + now.left - old.left, oldClient.bottom + now.top - old.top};
    if (sized || (pos.flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS params{{now, old, oldClient}, &pos};
        SendMessageW(window, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        client = params.rgrc[0];
    }
    Windows().Modify(window, [&](sim::WindowInfo& r) {
        r.rect = now;
        r.client = client;
        if (pos.flags & SWP_SHOWWINDOW) r.style |= WS_VISIBLE;
        if (pos.flags & SWP_HIDEWINDOW) r.style &= ~WS_VISIBLE;
    });
    if (!(pos.flags & SWP_NOZORDER)) Windows().PlaceAfter(window, pos.hwndInsertAfter);
    Windows().RefreshPaint(window);
    bool shown = (pos.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE);
    if ((sized && !(pos.flags & SWP_NOREDRAW)) || shown)
        Windows().Invalidate(window, nullptr, true);
    if (!moved) pos.flags |= SWP_NOMOVE;
    if (!sized) pos.flags |= SWP_NOSIZE;
    SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    API_TRACE(Windows, MoveWindow, window, x, y, width, height, repaint);
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

// ---- Painting ----

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    API_TRACE(Windows, InvalidateRect, window, rect, erase);
    // (The platform takes NULL for every window; nothing here needs that.)
    if (!Windows().Invalidate(window, rect, erase != FALSE))
        return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    API_TRACE(Windows, ValidateRect, window, rect);
    if (!Windows().Validate(window, rect)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return TRUE;
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase) {
    API_TRACE(Windows, GetUpdateRect, window, rect, erase);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (rect != nullptr) *rect = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
    return w->hasUpdate ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    API_TRACE(Windows, UpdateWindow, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (w->hasUpdate && Windows().IsVisible(window)) SendMessageW(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    API_TRACE(Windows, BeginPaint, window, paint);
    auto w = Windows().Get(window);
    if (!w) return Fail<HDC>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    if (paint == nullptr) return Fail<HDC>(nullptr, ERROR_INVALID_PARAMETER);
    *paint = PAINTSTRUCT{};
    paint->rcPaint = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
    auto dc = std::make_shared<sim::GdiDc>();
    dc->kind = sim::DcKind::Paint;
    dc->window = window;
    dc->paintRect = paint->rcPaint;
    dc->font = sim::GdiTable::Get().SystemFont(GetACP());
    gdi::GiveStockTools(*dc);
    paint->hdc = static_cast<HDC>(sim::GdiTable::Get().Add(dc));
    Windows().Validate(window, nullptr);
    if (w->hasUpdate && w->erase)
        paint->fErase =
            SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) == 0;
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    API_TRACE(Windows, EndPaint, window, paint);
    if (paint == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto dc = sim::GdiTable::Get().FindAs<sim::GdiDc>(paint->hdc);
    if (dc && dc->window == window) sim::GdiTable::Get().Remove(paint->hdc);
    return TRUE;
}
