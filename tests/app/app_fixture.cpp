#include "app/app_fixture.h"

#include <gdiplus.h>

namespace {

// The program's resources, linked into processes of the image "App.exe" (the test's own program
// carries that name).
const resources::ModuleLink kAppResources(L"App.exe", &AppResources);

struct Found {
    int id;
    HWND window;
};

BOOL CALLBACK FindById(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    if (GetDlgCtrlID(window) != found->id) return TRUE;
    found->window = window;
    return FALSE;
}

}  // namespace

void AppTest::SetUp() {
    SimTest::SetUp();
    const std::filesystem::path assets = std::filesystem::path(MODEM_SOURCE_DIR) / "assets";
    ASSERT_GT(M().CopyFromHost(assets / "skin", Folder() + L"skin\\"), 0);
    ASSERT_GT(M().CopyFromHost(assets / "plugins", Folder() + L"plugins\\"), 0);
    // The modem driver's .inf names the modem; the modem is plugged in, in modem mode.
    M().WriteFile(Folder() + L"..\\Driver\\WinXP\\CT_VARNI_U_MDM.inf",
                  "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
                  "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\n"
                  "[Manufacturer]\r\nVarni=VarniModem\r\n"
                  "[VarniModem]\r\nModem=Modem.Install,USB\\VID_3A5C&PID_FFF1&MI_00\r\n");
    sim::ModemOptions options;
    options.startInModemMode = true;
    modem_ = sim::SimModem::Plug(options);
}

void AppTest::TearDown() {
    if (thread_ == nullptr) return;
    if (!Ended()) {
        // The user ends App, answering a question with OK.
        M().boxes().Script(IDOK);
        M().boxes().Script(IDOK);
        PostMessageW(Main(), WM_COMMAND, IDC_BUTTON_CLOSE, 0);
        EXPECT_TRUE(WaitUntil([&] { return Ended(); }, 120000));
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    app_.reset();
}

void AppTest::Start(const std::wstring& commandLine) {
    app_ = std::make_unique<CQOBUIApp>();
    commandLine_ = commandLine;
    thread_ = StartThread([this] {
        return static_cast<DWORD>(
            AfxWinMain(GetModuleHandleW(nullptr), nullptr, commandLine_.data(), SW_SHOW));
    });
    ASSERT_NE(thread_, nullptr);
}

void AppTest::StartShown(const std::wstring& commandLine) {
    Start(commandLine);
    ASSERT_TRUE(WaitUntil([&] { return Main() != nullptr && Tray().has_value(); }));
}

bool AppTest::Ended() {
    return thread_ == nullptr || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

DWORD AppTest::ExitCode() {
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(thread_, &code);
    return code;
}

HWND AppTest::Main() {
    HWND main = FindWindowW(L"#32770", L"Raza Zevi");
    return main != nullptr && GetDlgItem(main, IDC_BUTTON_CLOSE) != nullptr ? main : nullptr;
}

HWND AppTest::Control(int id) {
    Found found{id, nullptr};
    if (HWND main = Main()) EnumChildWindows(main, FindById, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

void AppTest::ClickControl(int id) {
    HWND control = Control(id);
    ASSERT_NE(control, nullptr) << id;
    RECT r{};
    GetWindowRect(control, &r);
    ASSERT_TRUE(control::Click({(r.left + r.right) / 2, (r.top + r.bottom) / 2})) << id;
}

std::optional<control::TrayIconInfo> AppTest::Tray() {
    HWND main = Main();
    for (const control::TrayIconInfo& icon : control::TrayIcons())
        if (main != nullptr && icon.owner == main && icon.id == 0) return icon;
    return std::nullopt;
}

void AppTest::Connect() {
    ClickControl(7811);
    ASSERT_TRUE(WaitUntil([&] { return Ras().CurrentState() == RASCS_Connected; }));
    // App has heard of it once the status window has reported it to the view.
    auto* dialog = dynamic_cast<CQOBUIDlg*>(app_->m_pMainWnd);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return dialog->ConnectView()->Connection().IsConnected(); }));
}
