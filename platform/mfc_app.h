// The framework's application object and start-up. A program has one CWinApp object; it
// registers itself with its process when constructed (AfxGetApp answers per process).
// AfxWinMain runs it: InitInstance, then the message loop of Run, or, when InitInstance returns
// FALSE, ExitInstance at once.
#pragma once

#include "platform/mfc_wnd.h"

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
