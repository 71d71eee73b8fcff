#include <afxwin.h>

#include <afxcmn.h>
#include "machine/processes.h"

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName) {
    sim::CurrentProcess().afxApp.Set(this);
}

CWinApp::~CWinApp() {
    auto& app = sim::CurrentProcess().afxApp;
    if (app.Get() == this) app.Set(nullptr);
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    for (;;) {
        MSG next;
        for (LONG count = 0; !::PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE);)
            if (!OnIdle(count++)) break;
        if (!PumpMessage()) return ExitInstance();
    }
}

int CWinApp::ExitInstance() {
    return m_msgCur.message == WM_QUIT ? static_cast<int>(m_msgCur.wParam) : 0;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
    return CWnd::WalkPreTranslateTree(m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr, msg);
}

BOOL CWinApp::OnIdle(LONG) {
    AfxDeleteTemporaryObjects();
    return FALSE;
}

void CWinApp::WinHelp(DWORD_PTR, UINT) {}

BOOL CWinApp::PumpMessage() {
    if (::GetMessageW(&m_msgCur, nullptr, 0, 0) <= 0) return FALSE;
    if (!AfxPreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return TRUE;
}

CWinApp* AfxGetApp() {
    return sim::CurrentProcess().afxApp.Get();
}

CWnd* AfxGetMainWnd() {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->m_pMainWnd : nullptr;
}

BOOL AfxPreTranslateMessage(MSG* msg) {
    if (CWinApp* app = AfxGetApp()) return app->PreTranslateMessage(msg);
    return CWnd::WalkPreTranslateTree(nullptr, msg);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
               int showCommand) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr || !AfxWinInit(instance, previousInstance, commandLine, showCommand))
        return -1;
    if (!app->InitInstance()) {
        if (app->m_pMainWnd != nullptr) app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}
