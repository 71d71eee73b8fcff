// The framework's window object CWnd: a C++ object bound to a window handle.
//
// Handle maps: each thread keeps its own map of permanent objects (bound by Attach, CreateEx or
// SubclassWindow): FromHandlePermanent finds only the calling thread's. FromHandle gives a
// temporary object for a window without a permanent one; temporaries belong to the thread and are
// deleted at its next idle time (the message loops of CWinApp::Run and CDialog::DoModal, through
// CWinApp::OnIdle or DeleteTempMap) or when the thread ends.
//
// Messages reach a bound object through the framework's window procedure: WindowProc ->
// OnWndMsg, which cracks the messages it knows and calls the virtual handler (OnCreate, OnSize,
// OnCommand, ...); each base handler passes the message on with Default(). Messages OnWndMsg does
// not know go to DefWindowProc: the procedure the window had before it was bound (or
// DefWindowProcW). A derived class handles messages of its own by overriding OnWndMsg or
// WindowProc and calling the base for the rest.
//
// Reflection: WM_DRAWITEM, WM_CTLCOLOR* and WM_NOTIFY that a child control sends its parent are
// first offered to the child's permanent object (OnChildNotify, which handles them as the
// message WM_REFLECT_BASE + message in its OnWndMsg); only when it does not take them does the
// parent's own handler run.
//
// Run-time class checks are dynamic_cast on CWnd pointers.
#pragma once

#include "platform/commctrl.h"  // WM_NOTIFY, NMHDR
#include "platform/mfc_types.h"
#include "platform/user.h"
#include "platform/user_controls.h"  // WM_DRAWITEM, DRAWITEMSTRUCT
#include "platform/user_dialogs.h"   // WM_COMMAND, WM_INITDIALOG

class CDC;
class CFont;
class CMenu;

using LPCREATESTRUCT = CREATESTRUCTW*;

// A message reflected to the control that sent it arrives as this base plus the message.
#define WM_REFLECT_BASE 0xBC00u

// The framework's window procedure: the procedure of every window bound to a CWnd.
LRESULT AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class CWnd {
public:
    CWnd() = default;
    // A window still bound is destroyed (when the calling thread owns it) or unbound.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }  // NOLINT: implicit, as the framework's
    HWND GetSafeHwnd() const { return m_hWnd; }

    // ---- Handle maps ----
    // The permanent object, else a temporary one (null for a null handle).
    static CWnd* FromHandle(HWND window);
    // The calling thread's permanent object for the window, or null.
    static CWnd* FromHandlePermanent(HWND window);
    // Deletes the calling thread's temporary objects.
    static void DeleteTempMap();
    static std::size_t TemporaryCount();
    // Binds the object to a window without changing its procedure; FALSE for a null handle, an
    // object already bound, or a window that has a permanent object on this thread.
    BOOL Attach(HWND window);
    HWND Detach();

    // ---- Making, binding and destroying ----
    // Makes the window with the object bound from before its first message (WM_NCCREATE and
    // WM_CREATE reach its handlers); the class's procedure becomes DefWindowProc's target.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id, LPVOID param = nullptr);
    // A child window (WS_CHILD is added) with the id.
    virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id);
    // Binds the object to an existing window of the calling thread's process: Attach, then
    // PreSubclassWindow, then the window's procedure becomes the framework's (the old one is
    // kept for DefWindowProc). FALSE when either is already bound or the window does not exist.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Gives the window its old procedure back and unbinds; the handle, or null.
    HWND UnsubclassWindow();
    virtual BOOL DestroyWindow();

    // ---- Message handling ----
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Dispatches the messages it knows to their handlers: TRUE with *result set when it did.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window's procedure from before binding (DefWindowProcW when none).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc with the message this thread is handling now.
    LRESULT Default();
    // Called for every message a framework loop takes from the queue before it is dispatched;
    // TRUE: the message is done.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Keyboard and mouse messages go to the dialog manager (IsDialogMessage); others: FALSE.
    BOOL PreTranslateInput(MSG* msg);
    BOOL IsDialogMessage(MSG* msg);
    // Offers the message to the permanent objects from its window up through the parents
    // (GetParent) until `stop` (included) or the top; TRUE as soon as one takes it.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);
    // Called by SubclassWindow once bound, before the window's procedure is swapped.
    virtual void PreSubclassWindow() {}
    // The wait cursor while a long operation runs: Begin shows it, the matching End puts back the
    // cursor that was there before the outermost Begin; the pairs nest (counted per thread). In
    // the framework these belong to the command target base, which this layer folds into CWnd.
    void BeginWaitCursor();
    void EndWaitCursor();
    // Called last for WM_NCDESTROY, once the object is unbound: a self-deleting class deletes
    // itself here.
    virtual void PostNcDestroy() {}
    // WM_COMMAND (TRUE: handled); the base offers a control's notification to nobody and
    // returns FALSE.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY (TRUE: handled, *result the answer); the base returns FALSE.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A message the parent got from this control, offered to the control first: the base
    // handles it as the reflected message (ReflectChildNotify).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Offers the message being handled now to the child's permanent object.
    static BOOL ReflectLastMsg(HWND child, LRESULT* result = nullptr);

    // ---- Handlers (each base passes the message on with Default()) ----
    virtual BOOL OnNcCreate(LPCREATESTRUCT cs);
    virtual int OnCreate(LPCREATESTRUCT cs);
    virtual void OnDestroy();
    // Clears the application's main window when it is this one (posting WM_QUIT), passes the
    // message on, unbinds, then calls PostNcDestroy.
    virtual void OnNcDestroy();
    virtual void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual void OnEnable(BOOL enable);
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSetFocus(CWnd* oldWnd);
    virtual void OnKillFocus(CWnd* newWnd);
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnChar(UINT ch, UINT repeat, UINT flags);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnRButtonDown(UINT flags, CPoint point);
    virtual void OnRButtonUp(UINT flags, CPoint point);
    virtual BOOL OnDeviceChange(UINT event, DWORD_PTR data);
    virtual BOOL OnCopyData(CWnd* from, COPYDATASTRUCT* data);
    virtual BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
    virtual void OnMouseLeave();
    virtual void OnSysCommand(UINT id, LPARAM lParam);
    virtual HCURSOR OnQueryDragIcon();
    virtual UINT OnPowerBroadcast(UINT event, LPARAM data);
    // WM_DRAWITEM that no child took.
    virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT item);
    // WM_CTLCOLOR* that no child took; type is the message less WM_CTLCOLORMSGBOX.
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT type);

    // ---- Thin wrappers ----
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
    void SetDlgItemText(int id, LPCWSTR text);
    int GetDlgItemText(int id, CString& text) const;
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC procedure = nullptr);
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    CWnd* GetParent() const;
    // The top-level window this one sits in (itself when it is top-level).
    CWnd* GetTopLevelParent() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Removes then adds the bits; TRUE when the style changed. Flags other than 0 call
    // SetWindowPos with them (and SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE).
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    void SetFont(CFont* font, BOOL redraw = TRUE);
    // The window's system menu (a temporary object), or null; see GetSystemMenu.
    CMenu* GetSystemMenu(BOOL revert) const;
    // WM_SETICON: the icon set before.
    HICON SetIcon(HICON icon, BOOL big);
    // The font the window answers WM_GETFONT with (a temporary object), or null.
    CFont* GetFont() const;

protected:
    // The procedure the window had before it was bound (null: DefWindowProcW).
    WNDPROC m_pfnSuper = nullptr;

    // The next window the calling thread makes is bound to `window` before its first message
    // (CreateEx, and CDialog for its dialog window); DisarmCreation ends that and tells whether
    // a window was bound meanwhile.
    static void ArmCreation(CWnd* window);
    static bool DisarmCreation();

private:
    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    static void CreationHook(HWND window);
    // Makes the framework's procedure the window's, keeping the old one.
    void HookProcedure();
    // The child control a WM_DRAWITEM, WM_CTLCOLOR* or WM_NOTIFY comes from (null: none).
    static HWND ReflectionSource(UINT message, WPARAM wParam, LPARAM lParam);
};
