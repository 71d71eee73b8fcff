// The application framework's windows: the GDI object wrappers, windows and their handle maps
// (CWnd), the application object, device contexts, dialogs and menus. The value types are in
// <afx.h>, the control wrappers in <afxcmn.h>.
//
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

#include <cstddef>

#include <commctrl.h>  // WM_NOTIFY, NMHDR
#include <afx.h>
#include <winuser.h>
#include <wingdi.h>

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
    // A child window (WS_CHILD is added) with the id. Without a class name (here and in
    // CreateEx) the window is of the framework's default class "AfxWnd" (CS_DBLCLKS, the arrow
    // cursor, no background), registered for the process on first use.
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
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    void BringWindowToTop() const { ::BringWindowToTop(m_hWnd); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
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
    // WM_GETICON.
    HICON GetIcon(BOOL big) const;
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

// The framework's application object and start-up. A program has one CWinApp object; it
// registers itself with its process when constructed (AfxGetApp answers per process).
// AfxWinMain runs it: InitInstance, then the message loop of Run, or, when InitInstance returns
// FALSE, ExitInstance at once.

// WinHelp's commands.
#define HELP_CONTEXT 0x0001u

class CWinApp {
public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's start; the base returns TRUE.
    virtual BOOL InitInstance();
    // The message loop: idle work while the queue is empty (OnIdle), then each message through
    // PreTranslateMessage, TranslateMessage and DispatchMessageW; WM_QUIT ends it with
    // ExitInstance's result.
    virtual int Run();
    // The program's end; the base returns the exit code of the WM_QUIT that ended Run (0 when
    // there was none).
    virtual int ExitInstance();
    // The base offers the message to the permanent window objects from its window up to the
    // main window (CWnd::WalkPreTranslateTree); TRUE: the message is done.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Idle work of the loops; the base deletes the thread's temporary objects and asks for no
    // more calls (FALSE).
    virtual BOOL OnIdle(LONG count);
    // Help is not available on this machine: the base does nothing.
    virtual void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);
    void OnHelp() { WinHelp(0, HELP_CONTEXT); }
    // Takes one message (waiting for it) and handles it as Run does; FALSE for WM_QUIT.
    BOOL PumpMessage();
    CWnd* GetMainWnd() const { return m_pMainWnd; }

    LPCWSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;
    // The main window: destroying it posts WM_QUIT and clears this.
    CWnd* m_pMainWnd = nullptr;
    MSG m_msgCur{};  // the message Run handles now
};

// The calling process's application object, or null.
CWinApp* AfxGetApp();
// Its main window, or null.
CWnd* AfxGetMainWnd();
// A message taken by a framework loop: the application's PreTranslateMessage (without an
// application object, the walk up from the message's window); TRUE: done.
BOOL AfxPreTranslateMessage(MSG* msg);
// The program's entry: AfxWinInit, InitInstance, then Run, or (when InitInstance fails)
// ExitInstance after destroying a main window left behind. -1 without an application object.
int AfxWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);

// The framework's device contexts: CDC holds a device context handle; CPaintDC paints a window
// (BeginPaint/EndPaint), CClientDC draws on its client area (GetDC/ReleaseDC). Their drawing
// calls come with the drawing facility.

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }  // NOLINT: implicit, as the framework's
    HDC GetSafeHdc() const { return m_hDC; }

    // A temporary object for the handle (null for null): see mfc/temp_map.h.
    static CDC* FromHandle(HDC dc);
    static void DeleteTempMap();
    static std::size_t TemporaryCount();
    // FALSE for null or when a handle is held already.
    BOOL Attach(HDC dc);
    HDC Detach();
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);  // null: the screen
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

// The framework's dialog: a CWnd bound to a dialog window made from the module's template.
//
// DoModal makes the dialog as a modeless window with its owner disabled, shows it once the
// messages its initialisation posted are handled, and runs a modal loop that takes every message
// through the application's PreTranslateMessage chain (AfxPreTranslateMessage; the dialog's own
// PreTranslateMessage hands keyboard and mouse messages to the dialog manager) until EndDialog;
// then it hides the dialog, enables the owner again, destroys the window and returns EndDialog's
// result. WM_QUIT ends the loop too (it is posted again for the loop outside; the result is then
// -1, as when the dialog cannot be made).
//
// Create makes a modeless dialog; a template with WS_CHILD makes a child of the parent given.

class CDialog : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    // FALSE when the template does not exist or the window cannot be made.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends the modal loop with the result (the loop returns when the message being handled is
    // done); for a modeless dialog, the dialog manager's EndDialog.
    void EndDialog(int result);

    // WM_INITDIALOG; the base returns TRUE (the dialog manager then focuses the first control).
    virtual BOOL OnInitDialog();
    // The IDOK and IDCANCEL commands: the base ends the dialog with that id.
    virtual void OnOK();
    virtual void OnCancel();

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    INT_PTR m_nModalResult = -1;

private:
    // Makes the dialog window from the template with the object bound; FALSE when it cannot.
    BOOL MakeWindow(HWND parent);
    // The window that owns a modal run: the parent given, else the main window (not this one),
    // as the top-level window it sits in.
    HWND ModalOwner() const;
    void RunModalLoop();
    bool m_continueModal = false;
};

// The dialog procedure of the framework's dialogs: the framework's window procedure has handled
// every message before, so it leaves each to the dialog manager's default handling.
INT_PTR AfxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The framework's menu object: CMenu holds a menu handle and destroys the menu with it (unless
// detached). FromHandle and GetSubMenu give temporary objects (mfc/temp_map.h) that own nothing.

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

// Owns a GDI object and deletes it when destroyed.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Deletes the held object; FALSE when none was held.
    BOOL DeleteObject();
    // Takes over the object (deleting one held before); FALSE for NULL.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();

    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
public:
    // A temporary object for the handle (null for null), which does not own the font: see
    // mfc/temp_map.h.
    static CFont* FromHandle(HFONT font);
    static void DeleteTempMap();
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTW* font);
    // A font of pointSize tenths of a point on the screen: the height becomes the negative pixel
    // height at the screen's dots per inch; every other field 0 but the default character set.
    BOOL CreatePointFont(int pointSize, LPCWSTR faceName);
    BOOL CreatePointFontIndirect(const LOGFONTW* font);
};

// Deletes the calling thread's temporary objects (windows, device contexts, menus, fonts).
void AfxDeleteTemporaryObjects();
// How many temporary objects the calling thread holds now.
std::size_t AfxTemporaryObjectCount();

// ---- Start-up ----
// Records the program's instance handle for the framework, and the instance, command line and
// show command in the application object if there is one; FALSE when the instance handle is
// null.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                int showCommand);
// The handle that AfxWinInit recorded (null before).
HINSTANCE AfxGetInstanceHandle();
