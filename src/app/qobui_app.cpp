#include "app/qobui_app.h"

#include <corecrt.h>
#include <clocale>
#include <locale>
#include <memory>
#include <stdexcept>

#include "app/qobui_dlg.h"
#include "docking/hooks.h"
#include "support/platform_helpers.h"
#include "textfiles/encoding.h"
#include "textfiles/localizer.h"
#include <commctrl.h>
#include <gdiplus.h>
#include <windows.h>

namespace {

// The two parts between the program folder and the language file's name.
const std::wstring kLanguageFolder = L"plugins\\";
const std::wstring kLanguageMiddle;

// The process-wide locale after the user's default: the runtime library's and the standard
// library's global one.
void SetUserLocale() {
    _wsetlocale(LC_ALL, L"");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
        // A locale the runtime cannot make leaves the classic one.
    }
}

}  // namespace

void LoadAppLanguage(const std::wstring& name) {
    LoadLanguageFile(GetModuleFolder() + kLanguageFolder + kLanguageMiddle + name);
}

int AppWinMain(int showCommand) {
    return AfxWinMain(GetModuleHandleW(nullptr), nullptr, _wwincmdln(), showCommand);
}

CQOBUIApp::CQOBUIApp()
    : m_semaphore(CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphoreName)) {}

CQOBUIApp::~CQOBUIApp() {
    if (m_semaphore != nullptr) CloseHandle(m_semaphore);
}

BOOL CQOBUIApp::InitInstance() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    SetUserLocale();
    LoadAppLanguage(L"lang_zh_cn");

    bool mayRun = true;
    if (m_lpCmdLine != nullptr && m_lpCmdLine[0] != L'\0') mayRun = ForwardCommandLine();
    if (mayRun) mayRun = AcquireInstanceSemaphore();
    if (mayRun) {
        InitCommonControls();
        CWinApp::InitInstance();
        // The dialog object goes (with what it holds of the skin) before App's GDI+ start ends.
        auto dialog = std::make_unique<CQOBUIDlg>();
        m_pMainWnd = dialog.get();
        dialog->DoModal();
        m_pMainWnd = nullptr;
        dialog.reset();
    }
    Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    return FALSE;
}

bool CQOBUIApp::ForwardCommandLine() {
    const std::wstring title = CLocalizer::Instance().GetText(L"Raza Zevi", L"");
    HWND running = FindWindowW(nullptr, title.c_str());
    if (running == nullptr) return true;
    // The command line as UTF-16 units, without a terminator.
    std::u16string text = WideToUtf16(m_lpCmdLine != nullptr ? m_lpCmdLine : L"");
    COPYDATASTRUCT data{};
    data.dwData = COPYDATA_ID;
    data.cbData = static_cast<DWORD>(text.size() * sizeof(char16_t));
    data.lpData = text.data();
    SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return false;
}

bool CQOBUIApp::AcquireInstanceSemaphore() {
    if (WaitForSingleObject(m_semaphore, 10) == WAIT_OBJECT_0) {
        m_held = true;
        return true;
    }
    m_held = false;
    CLocalizer& texts = CLocalizer::Instance();
    const std::wstring text = texts.GetText(L"程序已经在运行", L"");
    const std::wstring caption = texts.GetText(L"提示", L"");
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    return false;
}

int CQOBUIApp::ExitInstance() {
    if (m_held) {
        ReleaseSemaphore(m_semaphore, 1, nullptr);
        m_held = false;
    }
    return CWinApp::ExitInstance();
}

BOOL CQOBUIApp::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_SYSTIMER && msg->wParam == SYSTIMER_CARET_BLINK &&
        IsWindow(msg->hwnd))
        System::Docking::Skin::OnCaretBlink(msg->hwnd);
    return CWinApp::PreTranslateMessage(msg);
}

void CQOBUIApp::WinHelp(DWORD_PTR data, UINT command) {
    if (command == HELP_CONTEXT) return;
    CWinApp::WinHelp(data, command);
}
