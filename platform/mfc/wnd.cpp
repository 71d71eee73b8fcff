#include <afxwin.h>

#include <map>
#include <vector>

#include <winbase.h>
#include <afxcmn.h>
#include "platform/mfc/temp_map.h"
#include "platform/user32/create_hook.h"

namespace {

constexpr UINT kCtlColorFirst = WM_CTLCOLORMSGBOX;
constexpr UINT kCtlColorLast = WM_CTLCOLORSTATIC;
constexpr UINT kKeyFirst = 0x0100;
constexpr UINT kKeyLast = 0x0109;
constexpr UINT kMouseFirst = 0x0200;
constexpr UINT kMouseLast = 0x020E;

// What the framework keeps per thread for its window objects.
struct ThreadWindows {
    std::map<HWND, CWnd*> permanent;
    MSG current{};                 // the message being handled now (Default)
    CWnd* creating = nullptr;      // bound to the next window the thread makes
    int waitCursors = 0;           // BeginWaitCursor calls not yet ended
    HCURSOR beforeWait = nullptr;  // the cursor the outermost BeginWaitCursor replaced
};

thread_local ThreadWindows t_windows;
thread_local TemporaryObjects<CWnd, HWND, &CWnd::m_hWnd> t_temporaryWindows;

// The current message for the length of one call of a window procedure.
class CurrentMessage {
public:
    explicit CurrentMessage(const MSG& msg) : saved_(t_windows.current) { t_windows.current = msg; }
    ~CurrentMessage() { t_windows.current = saved_; }
    CurrentMessage(const CurrentMessage&) = delete;
    CurrentMessage& operator=(const CurrentMessage&) = delete;

private:
    MSG saved_;
};

CPoint PointOf(LPARAM lParam) {
    return CPoint(static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))),
                  static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam))));
}

}  // namespace

// ---- The framework's window procedure ----

LRESULT AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(window);
    if (wnd == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result;
    {
        CurrentMessage current(MSG{window, message, wParam, lParam, 0, {}});
        result = wnd->WindowProc(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // An object whose WM_NCDESTROY handling left it bound is unbound now: the handle dies.
        auto it = t_windows.permanent.find(window);
        if (it != t_windows.permanent.end()) {
            it->second->m_hWnd = nullptr;
            t_windows.permanent.erase(it);
        }
    }
    return result;
}

// ---- Handle maps ----

CWnd::~CWnd() {
    if (m_hWnd == nullptr) return;
    if (FromHandlePermanent(m_hWnd) == this &&
        ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(m_hWnd);  // its WM_NCDESTROY unbinds it
    if (m_hWnd != nullptr) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    if (window == nullptr) return nullptr;
    auto it = t_windows.permanent.find(window);
    return it == t_windows.permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (CWnd* permanent = FromHandlePermanent(window)) return permanent;
    return t_temporaryWindows.For(window);  // null for null
}

std::size_t CWnd::TemporaryCount() {
    return t_temporaryWindows.Size();
}

void CWnd::DeleteTempMap() {
    t_temporaryWindows.Clear();
}

BOOL CWnd::Attach(HWND window) {
    if (window == nullptr || m_hWnd != nullptr || FromHandlePermanent(window) != nullptr)
        return FALSE;
    t_windows.permanent[window] = this;
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (window == nullptr) return nullptr;
    auto it = t_windows.permanent.find(window);
    if (it != t_windows.permanent.end() && it->second == this) t_windows.permanent.erase(it);
    m_hWnd = nullptr;
    return window;
}

// ---- Making, binding and destroying ----

void CWnd::ArmCreation(CWnd* window) {
    t_windows.creating = window;
    ::SetWindowCreationHook(&CWnd::CreationHook);
}

bool CWnd::DisarmCreation() {
    bool bound = t_windows.creating == nullptr;
    t_windows.creating = nullptr;
    ::SetWindowCreationHook(nullptr);
    return bound;
}

void CWnd::CreationHook(HWND window) {
    CWnd* wnd = t_windows.creating;
    if (wnd == nullptr) return;
    t_windows.creating = nullptr;
    if (wnd->Attach(window)) wnd->HookProcedure();
}

void CWnd::HookProcedure() {
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old != &AfxWndProc) m_pfnSuper = old;
}

namespace {

// The framework's default window class, registered for the process on first use.
LPCWSTR DefaultWindowClass() {
    static constexpr wchar_t kName[] = L"AfxWnd";
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kName;
    ::RegisterClassW(&wc);  // fails harmlessly when the process has it already
    return kName;
}

}  // namespace

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu, LPVOID param) {
    if (m_hWnd != nullptr) return FALSE;
    if (className == nullptr) className = DefaultWindowClass();
    ArmCreation(this);
    HWND made = ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                  parent, idOrMenu, AfxGetInstanceHandle(), param);
    DisarmCreation();
    // A window refused while being made has been unbound by its WM_NCDESTROY.
    return made != nullptr && m_hWnd == made ? TRUE : FALSE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id, LPVOID param) {
    return CreateEx(exStyle, className, windowName, style, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top,
                    parent != nullptr ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!::IsWindow(window) ||
        ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId())
        return FALSE;
    if (!Attach(window)) return FALSE;
    PreSubclassWindow();
    HookProcedure();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (parent == nullptr) return FALSE;
    HWND item = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return item != nullptr && SubclassWindow(item);
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd == nullptr) return nullptr;
    WNDPROC old = m_pfnSuper != nullptr ? m_pfnSuper : &::DefWindowProcW;
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

// ---- Wait cursor ----

void CWnd::BeginWaitCursor() {
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    if (t_windows.waitCursors++ == 0) t_windows.beforeWait = previous;
}

void CWnd::EndWaitCursor() {
    if (t_windows.waitCursors == 0) return;
    if (--t_windows.waitCursors == 0) ::SetCursor(t_windows.beforeWait);
}

// ---- Message handling ----

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG& msg = t_windows.current;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

HWND CWnd::ReflectionSource(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return header != nullptr ? header->hwndFrom : nullptr;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return item != nullptr && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    if (message >= kCtlColorFirst && message <= kCtlColorLast)
        return reinterpret_cast<HWND>(lParam);
    return nullptr;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return ReflectChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT r = 0;
    if (!OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, &r)) return FALSE;
    if (result != nullptr) *result = r;
    return TRUE;
}

BOOL CWnd::ReflectLastMsg(HWND child, LRESULT* result) {
    CWnd* control = FromHandlePermanent(child);
    if (control == nullptr) return FALSE;
    const MSG& msg = t_windows.current;
    return control->OnChildNotify(msg.message, msg.wParam, msg.lParam, result);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    // A child's message is the child's first.
    if (HWND child = ReflectionSource(message, wParam, lParam);
        child != nullptr && child != m_hWnd) {
        if (CWnd* control = FromHandlePermanent(child)) {
            LRESULT r = 0;
            if (control->OnChildNotify(message, wParam, lParam, &r)) {
                if (result != nullptr) *result = r;
                return TRUE;
            }
        }
    }
    LRESULT r = 0;
    switch (message) {
        case WM_COMMAND:
            if (!OnCommand(wParam, lParam)) return FALSE;
            break;
        case WM_NOTIFY:
            if (!OnNotify(wParam, lParam, &r)) return FALSE;
            break;
        case WM_NCCREATE:
            r = OnNcCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
            break;
        case WM_CREATE:
            r = OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
            break;
        case WM_DESTROY:
            OnDestroy();
            break;
        case WM_NCDESTROY:
            OnNcDestroy();  // the object may be gone now
            break;
        case WM_NCCALCSIZE:
            OnNcCalcSize(static_cast<BOOL>(wParam), reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam));
            break;
        case WM_PAINT:
            OnPaint();
            break;
        case WM_ERASEBKGND:
            r = OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
            break;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<ULONG_PTR>(lParam)),
                   HIWORD(static_cast<ULONG_PTR>(lParam)));
            break;
        case WM_MOVE: {
            CPoint p = PointOf(lParam);
            OnMove(p.x, p.y);
            break;
        }
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
            break;
        case WM_ENABLE:
            OnEnable(static_cast<BOOL>(wParam));
            break;
        case WM_CLOSE:
            OnClose();
            break;
        case WM_TIMER:
            OnTimer(wParam);
            break;
        case WM_SETFOCUS:
            OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
            break;
        case WM_KILLFOCUS:
            OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
            break;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<UINT>(wParam), LOWORD(static_cast<ULONG_PTR>(lParam)),
                      HIWORD(static_cast<ULONG_PTR>(lParam)));
            break;
        case WM_CHAR:
            OnChar(static_cast<UINT>(wParam), LOWORD(static_cast<ULONG_PTR>(lParam)),
                   HIWORD(static_cast<ULONG_PTR>(lParam)));
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_RBUTTONDOWN:
            OnRButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_RBUTTONUP:
            OnRButtonUp(static_cast<UINT>(wParam), PointOf(lParam));
            break;
        case WM_DEVICECHANGE:
            r = OnDeviceChange(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam));
            break;
        case WM_COPYDATA:
            r = OnCopyData(FromHandle(reinterpret_cast<HWND>(wParam)),
                           reinterpret_cast<COPYDATASTRUCT*>(lParam));
            break;
        case WM_SETCURSOR:
            r = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)),
                            LOWORD(static_cast<ULONG_PTR>(lParam)),
                            HIWORD(static_cast<ULONG_PTR>(lParam)));
            break;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            break;
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            break;
        case WM_QUERYDRAGICON:
            r = reinterpret_cast<LRESULT>(OnQueryDragIcon());
            break;
        case WM_POWERBROADCAST:
            r = static_cast<LRESULT>(OnPowerBroadcast(static_cast<UINT>(wParam), lParam));
            break;
        case WM_DRAWITEM:
            OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
            r = TRUE;
            break;
        default:
            if (message >= kCtlColorFirst && message <= kCtlColorLast) {
                r = reinterpret_cast<LRESULT>(OnCtlColor(
                    CDC::FromHandle(reinterpret_cast<HDC>(wParam)),
                    FromHandle(reinterpret_cast<HWND>(lParam)), message - kCtlColorFirst));
                break;
            }
            return FALSE;
    }
    if (result != nullptr) *result = r;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CWnd::PreTranslateInput(MSG* msg) {
    if (msg == nullptr) return FALSE;
    bool key = msg->message >= kKeyFirst && msg->message <= kKeyLast;
    bool mouse = msg->message >= kMouseFirst && msg->message <= kMouseLast;
    if (!key && !mouse) return FALSE;
    return IsDialogMessage(msg);
}

BOOL CWnd::IsDialogMessage(MSG* msg) {
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg) {
    if (msg == nullptr) return FALSE;
    for (HWND h = msg->hwnd; h != nullptr; h = ::GetParent(h)) {
        if (CWnd* wnd = FromHandlePermanent(h))
            if (wnd->PreTranslateMessage(msg)) return TRUE;
        if (h == stop) break;
    }
    return FALSE;
}

// ---- Handlers ----

BOOL CWnd::OnNcCreate(LPCREATESTRUCT) {
    return static_cast<BOOL>(Default());
}
int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    Default();
    Detach();
    PostNcDestroy();
}
void CWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
void CWnd::OnEnable(BOOL) {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint) {
    Default();
}
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) {
    return static_cast<BOOL>(Default());
}
BOOL CWnd::OnCopyData(CWnd*, COPYDATASTRUCT*) {
    return static_cast<BOOL>(Default());
}

BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnMouseLeave() {
    Default();
}
void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}
UINT CWnd::OnPowerBroadcast(UINT, LPARAM) {
    return static_cast<UINT>(Default());
}
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) {
    Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}

// ---- Thin wrappers ----

CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, 0);
    int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    text = CString(buffer.data(), copied);
}

void CWnd::SetDlgItemText(int id, LPCWSTR text) {
    if (HWND item = ::GetDlgItem(m_hWnd, id)) ::SetWindowTextW(item, text);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
    text.Empty();
    CWnd* item = GetDlgItem(id);
    if (item == nullptr) return 0;
    item->GetWindowText(text);
    return text.GetLength();
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
    if (rect == nullptr) return;
    MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter != nullptr ? insertAfter->m_hWnd : nullptr, x, y, cx,
                          cy, flags);
}

void CWnd::ClientToScreen(LPPOINT point) const {
    ::ClientToScreen(m_hWnd, point);
}

void CWnd::ClientToScreen(LPRECT rect) const {
    if (rect == nullptr) return;
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->right));
}

void CWnd::ScreenToClient(LPPOINT point) const {
    ::ScreenToClient(m_hWnd, point);
}

void CWnd::ScreenToClient(LPRECT rect) const {
    if (rect == nullptr) return;
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rect->left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rect->right));
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    return ::SetTimer(m_hWnd, id, elapse, procedure);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

CWnd* CWnd::GetTopLevelParent() const {
    HWND h = m_hWnd;
    if (h == nullptr) return nullptr;
    while (::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) {
        HWND parent = ::GetParent(h);
        if (parent == nullptr) break;
        h = parent;
    }
    return FromHandle(h);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

namespace {

BOOL ModifyLong(HWND window, int index, DWORD remove, DWORD add, UINT flags) {
    auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, index));
    DWORD changed = (style & ~remove) | add;
    if (changed == style) return FALSE;
    ::SetWindowLongPtrW(window, index, static_cast<LONG_PTR>(changed));
    if (flags != 0)
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    return ModifyLong(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font->m_hObject : nullptr),
                redraw);
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const {
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, revert));
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HICON CWnd::GetIcon(BOOL big) const {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0));
}

CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}
