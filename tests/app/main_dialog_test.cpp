// App's start, its main window, the tray and the skin menu, the device-lost warning, the exit
// paths and the hand-over of a skin, along the user's road.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "common/window_helper.h"
#include "docking/cell.h"
#include "docking/registry.h"
#include "docking/skin.h"
#include "machine/control/shell.h"
#include "machine/menus.h"
#include "machine/processes.h"
#include "textfiles/localizer.h"

namespace {

const std::wstring kExitQuestion = L"确定断开网络并退出程序吗?";
const std::wstring kApplyQuestion = L"下载完毕，是否应用该皮肤？";

// ---- Start ----

TEST_F(AppTest, StartShowsTheTitledWindowItsTrayTipAndHoldsTheSemaphore) {
    StartShown();
    wchar_t title[64] = {};
    GetWindowTextW(Main(), title, 64);
    EXPECT_STREQ(title, L"Raza Zevi");
    EXPECT_TRUE(IsWindowVisible(Main()));
    auto tray = Tray();
    ASSERT_TRUE(tray);
    EXPECT_EQ(tray->tip, L"Raza Zevi V1.0.0");
    EXPECT_TRUE(tray->hasPicture);
    // The language file was read from the program's "plugins" folder.
    EXPECT_EQ(CLocalizer::Instance().GetText(L"IDC_BUTTON_MAX", L""), L"最大化");
    // The system menu offers the About box.
    HMENU system = GetSystemMenu(Main(), FALSE);
    ASSERT_NE(system, nullptr);
    wchar_t about[64] = {};
    GetMenuStringW(system, IDM_ABOUTBOX, about, 64, MF_BYCOMMAND);
    EXPECT_STREQ(about, L"&About QOBUI...");
    // The connection view shows its connect button.
    EXPECT_NE(Control(7811), nullptr);
    // This instance holds the semaphore: another wait on it times out.
    HANDLE other = CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphoreName);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(other, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(other);
    EXPECT_TRUE(app_->HoldsSemaphore());
}

TEST_F(AppTest, AHeldSemaphoreRefusesTheStartWithAMessage) {
    HANDLE held = CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphoreName);
    ASSERT_EQ(WaitForSingleObject(held, 0), WAIT_OBJECT_0);
    // With a command line but no window of that title, the start falls through to the refusal.
    Start(L"abcdefghiblue");
    ASSERT_TRUE(WaitUntil([&] { return Ended(); }));
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"程序已经在运行");
    EXPECT_EQ(boxes[0].caption, L"提示");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_FALSE(app_->HoldsSemaphore());
    EXPECT_EQ(Main(), nullptr);
    EXPECT_EQ(app_->GdiplusToken(), 0u) << "App's GDI+ start has ended";
    // The held count was not given back by the refused instance.
    EXPECT_EQ(WaitForSingleObject(held, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ReleaseSemaphore(held, 1, nullptr);
    CloseHandle(held);
}

// ---- The tray ----

TEST_F(AppTest, MinimiseGoesToTheTrayAndADoubleClickOnTheIconBringsItBack) {
    StartShown();
    ClickControl(IDC_BUTTON_MIN);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(Main()); }));
    EXPECT_TRUE(Tray().has_value());
    ASSERT_TRUE(control::ClickTrayIcon(Main(), 0, control::TrayClickKind::LeftDouble));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) != FALSE; }));
    EXPECT_FALSE(IsIconic(Main()));
    EXPECT_EQ(GetForegroundWindow(), Main());
    // And a second double click hides it again.
    ASSERT_TRUE(control::ClickTrayIcon(Main(), 0, control::TrayClickKind::LeftDouble));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Main()); }));
}

TEST_F(AppTest, EscAndEnterLeaveTheWindowOpen) {
    StartShown();
    SetForegroundWindow(Main());
    ASSERT_TRUE(control::PressKey(VK_ESCAPE));
    ASSERT_TRUE(control::PressKey(VK_RETURN));
    WaitUntil([] { return false; }, 1000);
    EXPECT_FALSE(Ended());
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_TRUE(Boxes().empty());
}

// ---- The frame ----

TEST_F(AppTest, TheSkinsBordersShowTheSizingCursors) {
    StartShown();
    ASSERT_TRUE(SetWindowPos(Main(), nullptr, 60, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    RECT r{};
    GetWindowRect(Main(), &r);
    const int midY = (r.top + r.bottom) / 2, midX = (r.left + r.right) / 2;
    struct Case {
        POINT at;
        LPCWSTR cursor;
    };
    const std::vector<Case> cases = {
        {{r.left + 1, midY}, IDC_SIZEWE},      {{r.right - 2, midY}, IDC_SIZEWE},
        {{midX, r.bottom - 2}, IDC_SIZENS},    {{r.left + 1, r.top + 1}, IDC_SIZENWSE},
        {{r.right - 2, r.bottom - 2}, IDC_SIZENWSE}, {{r.right - 2, r.top + 1}, IDC_SIZENESW},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(control::MoveMouse(c.at));
        EXPECT_TRUE(WaitUntil([&] { return control::CurrentCursor() == LoadCursorW(nullptr, c.cursor); }))
            << c.at.x << "," << c.at.y;
    }
}

TEST_F(AppTest, MaximisedTheMaximiseButtonShowsItsRestoreGlyph) {
    StartShown();
    auto* cell = dynamic_cast<System::Docking::CDockingCell*>(
        System::Docking::FindRenderableByWindow(Control(IDC_BUTTON_MAX)));
    ASSERT_NE(cell, nullptr);
    PostMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsZoomed(Main()) != FALSE && cell->background.y == -19; }));
    PostMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsZoomed(Main()) && cell->background.y == 0; }));
}

TEST_F(AppTest, ASkinWithoutTheMaximiseButtonMaximisesWithoutIt) {
    M().WriteFile(Folder() + L"skin\\Bare\\QOBUIDialog.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><docking id=\"bare\">"
                  "<cell index=\"11\" id=\"connectViewCell\" width=\"-1\" height=\"-1\"/>"
                  "</docking></root>");
    System::Docking::ApplySkin(L"Bare");
    StartShown();
    EXPECT_EQ(System::Docking::FindRenderableByWindow(Control(IDC_BUTTON_MAX)), nullptr);
    PostMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsZoomed(Main()) != FALSE; }));
    PostMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsZoomed(Main()); }));
    EXPECT_FALSE(Ended());
}

TEST_F(AppTest, TheSystemMenusAboutItemOpensTheAboutBox) {
    StartShown();
    PostMessageW(Main(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindWindowW(L"#32770", L"About QOBUI")) != nullptr; }));
    wchar_t version[64] = {};
    GetDlgItemTextW(about, IDC_ABOUT_VERSION, version, 64);
    EXPECT_STREQ(version, L"QOBUI Version 1.0");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_FALSE(Ended());
}

// ---- The skin menu ----

TEST_F(AppTest, TheSkinMenuListsTheSkinFoldersChecksTheCurrentOneAndAPickReloads) {
    M().WriteFile(Folder() + L"Skin\\Blue\\readme.txt", "x");
    M().WriteFile(Folder() + L"Skin\\image\\a.png", "x");
    M().WriteFile(Folder() + L"Skin\\notes.txt", "x");
    StartShown();
    M().menus().Script(1);  // "Blue"
    ClickControl(IDC_BUTTON_SKIN);
    ASSERT_TRUE(WaitUntil([&] { return System::Docking::GetCurrentSkin() == L"Blue"; }));
    auto menus = M().menus().Journal();
    ASSERT_EQ(menus.size(), 1u);
    std::vector<std::wstring> texts;
    std::vector<bool> checked;
    for (const auto& item : menus[0].items) {
        texts.push_back(item.text);
        checked.push_back(item.checked);
    }
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Blue", L"default", L"image", L"", L"More Skins.."}));
    EXPECT_EQ(checked, (std::vector<bool>{false, true, false, false, false}));
    EXPECT_NE(menus[0].flags & TPM_RETURNCMD, 0u);
    // The window loads itself again in the new skin.
    EXPECT_TRUE(WaitUntil([&] { return Main() != nullptr && IsWindowVisible(Main()); }));

    // "More Skins.." and a dismissal change nothing.
    for (UINT choice : {ID_MORE_SKINS, 0u}) {
        M().menus().Script(choice);
        ClickControl(IDC_BUTTON_SKIN);
        ASSERT_TRUE(WaitUntil([&] { return M().menus().Pending() == 0; }));
        WaitUntil([] { return false; }, 200);
        EXPECT_EQ(System::Docking::GetCurrentSkin(), L"Blue");
    }
}

TEST_F(AppTest, TheImageFolderIsNoSkin) {
    M().WriteFile(Folder() + L"Skin\\Image\\a.png", "x");
    M().WriteFile(Folder() + L"Skin\\Blue\\a.xml", "x");
    EXPECT_EQ(ListSkins(), (std::vector<std::wstring>{L"Blue", L"default"}));
}

// ---- The modem unplugged ----

TEST_F(AppTest, AnUnpluggedModemShowsOneBalloonAndTheDialRedialsAfterItsPause) {
    StartShown();
    Connect();
    const int dials = Ras().DialCount();
    modem_->Unplug();
    Ras().DropLine(ERROR_PORT_DISCONNECTED);
    ASSERT_TRUE(WaitUntil([&] { return Tray() && !Tray()->balloonText.empty(); }));
    EXPECT_EQ(Tray()->balloonText,
              L"警告:\n硬件设备丢失!\n设备在使用中拔出可能会导致该设备或计算机系统损坏。");
    EXPECT_EQ(Tray()->balloonTitle, L"提示");
    const auto firstBalloon = Tray()->balloonTick;
    // The modem comes back and goes again: no second balloon.
    modem_->Replug();
    modem_->Unplug();
    WaitUntil([] { return false; }, 3000);
    EXPECT_EQ(Tray()->balloonTick, firstBalloon);
    EXPECT_TRUE(DeviceLostWarningShown());
    // The dropped line is dialled again at once; that dial fails without the modem, and the next
    // one comes after the 15-second pause.
    ASSERT_TRUE(WaitUntil([&] { return Ras().DialCount() >= dials + 2; }, 60000));
    auto all = Ras().Dials();
    EXPECT_GE(all[dials + 1].tick - all[dials].tick, 15000u);
    EXPECT_FALSE(Ended());
}

// ---- Exit ----

TEST_F(AppTest, ExitWhileConnectedAsksCancelKeepsRunningOkDisconnectsAndEnds) {
    StartShown();
    Connect();
    M().boxes().Script(IDCANCEL);
    ClickControl(IDC_BUTTON_CLOSE);
    ASSERT_TRUE(WaitUntil([&] { return Boxes().size() == 1; }));
    WaitUntil([] { return false; }, 500);
    EXPECT_FALSE(Ended());
    EXPECT_EQ(Ras().CurrentState(), RASCS_Connected);
    EXPECT_EQ(Tray()->tip, L"Raza Zevi V1.0.0");
    auto boxes = Boxes();
    EXPECT_EQ(boxes[0].text, kExitQuestion);
    EXPECT_EQ(boxes[0].caption, L"提示");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));

    const HWND main = Main();
    M().boxes().Script(IDOK);
    ClickControl(IDC_BUTTON_CLOSE);
    ASSERT_TRUE(WaitUntil([&] { return Ended(); }, 60000));
    EXPECT_EQ(Boxes().size(), 2u);
    EXPECT_GE(Ras().HangUpCount(), 1);
    EXPECT_EQ(Ras().OpenConnections(), 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(control::TrayIcons().empty());
    EXPECT_FALSE(app_->HoldsSemaphore()) << "released at exit";
}

// Every exit path while a dial is still connecting: no question, the dial's thread is stopped and
// joined, the line hung up and the icon removed.
TEST_F(AppTest, EveryExitPathWhileConnectingEndsWithoutAQuestionAndJoinsTheDial) {
    enum class Path { CloseButton, TrayMenu, AltF4, Suspend };
    for (Path path : {Path::CloseButton, Path::TrayMenu, Path::AltF4, Path::Suspend}) {
        SCOPED_TRACE(static_cast<int>(path));
        sim::Machine::Reset(MachineConfig());
        SetUp();
        Ras().SetDefaultScript(sim::DialScript::Hang());
        StartShown();
        ClickControl(7811);
        ASSERT_TRUE(WaitUntil([&] { return Ras().DialCount() == 1; }));
        const HWND main = Main();
        switch (path) {
            case Path::CloseButton:
                ClickControl(IDC_BUTTON_CLOSE);
                break;
            case Path::TrayMenu:
                M().menus().Script(ID_TRAY_EXIT);
                ASSERT_TRUE(control::ClickTrayIcon(main, 0, control::TrayClickKind::Right));
                break;
            case Path::AltF4:
                PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case Path::Suspend:
                ASSERT_TRUE(control::SuspendMachine());
                break;
        }
        ASSERT_TRUE(WaitUntil([&] { return Ended(); }, 60000));
        EXPECT_TRUE(Boxes().empty());
        EXPECT_GE(Ras().HangUpCalls(), 1);
        EXPECT_EQ(Ras().OpenConnections(), 0);
        EXPECT_FALSE(IsWindow(main));
        EXPECT_TRUE(control::TrayIcons().empty());
        CloseHandle(thread_);
        thread_ = nullptr;
        app_.reset();
        modem_.reset();
    }
}

TEST_F(AppTest, TheSavedValuesShowAtTheNextStartAndAutoConnectDials) {
    M().WriteFile(GetUserDataFolder() + L"Setting.txt",
                  "[DialSetting]\r\nNumber=#888\r\nUser=saved\r\nAutoRun=1\r\nSaveInfo=1\r\n");
    StartShown();
    ASSERT_TRUE(WaitUntil([&] { return Ras().DialCount() == 1; }));
    EXPECT_EQ(Ras().Dials()[0].phoneNumber, L"#888");
    EXPECT_EQ(Ras().Dials()[0].userName, L"saved");
    wchar_t number[32] = {};
    GetWindowTextW(Control(30113), number, 32);
    EXPECT_STREQ(number, L"#888");
}

// ---- The hand-over ----

TEST_F(AppTest, AHandedOverTextAsksAndAppliesTheSkinFolderName) {
    StartShown();
    const HWND main = Main();
    M().boxes().Script(IDOK);
    // UTF-16 units without a terminator, sent from another thread as a second instance does; an
    // odd byte count rounds down.
    std::u16string text = u"abcdefghiblue?x=1";
    OnAnotherThread([&] {
        COPYDATASTRUCT data{COPYDATA_ID, static_cast<DWORD>(text.size() * 2 + 1), text.data()};
        return SendMessageW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    });
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kApplyQuestion);
    EXPECT_EQ(boxes[0].caption, L"Raza Zevi");
    EXPECT_EQ(boxes[0].type, 0x81u);
    EXPECT_EQ(boxes[0].owner, main);
    ASSERT_TRUE(WaitUntil([&] { return System::Docking::GetCurrentSkin() == L"blue"; }));

    // A skin downloaded message from another thread is ignored, as is one posted.
    static const wchar_t kOther[] = L"abcdefghired";
    OnAnotherThread([&] {
        return SendMessageW(main, WM_SKIN_DOWNLOADED, reinterpret_cast<WPARAM>(kOther), 0);
    });
    PostMessageW(main, WM_SKIN_DOWNLOADED, reinterpret_cast<WPARAM>(kOther), 0);
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(System::Docking::GetCurrentSkin(), L"blue");
}

TEST(HandOverTest, TheSkinNameIsTheFolderNameAfterTheNineCharacterPrefix) {
    struct Case {
        std::wstring text;
        std::wstring name;  // empty: ignored
    };
    const std::vector<Case> cases = {
        {L"abcdefghiblue?x=1", L"blue"},
        {L"abcdefghiblue", L"blue"},
        {L"abc?efghiblue", L"blue"},  // a "?" in the prefix does not end the name
        {L"abcdefghi", L""},
        {L"short", L""},
        {L"abcdefghi?x=1", L""},
        {L"abcdefghi..?x", L""},
        {L"abcdefghi../../x", L""},
        {L"abcdefghia/b", L""},
        {L"abcdefghia\\b", L""},
        {L"abcdefghiC:", L""},
        {L"abcdefghiBlue Sky", L"Blue Sky"},
    };
    for (const Case& c : cases) EXPECT_EQ(HandedOverSkinName(c.text), c.name) << sim::ToUtf8(c.text);
}

}  // namespace

// ---- A second start, as a process of its own ----

class SecondStartTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        M().WriteFile(Folder() + L"App.exe", "MZ");
        M().processes().RegisterProgram(L"App.exe", [](const sim::ProcessRun&) {
            CQOBUIApp second;
            return static_cast<DWORD>(AppWinMain(SW_SHOW));
        });
    }
    // Runs a second App with the arguments to its end; its exit code.
    DWORD RunSecond(const std::wstring& arguments) {
        PROCESS_INFORMATION pi{};
        std::wstring line = L"\"" + Folder() + L"App.exe\"" + arguments;
        EXPECT_TRUE(StartProgram(line, &pi));
        EXPECT_TRUE(WaitUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }));
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return code;
    }
};

TEST_F(SecondStartTest, WithArgumentsItHandsTheTextOverAndEndsSilently) {
    StartShown();
    M().boxes().Script(IDOK);
    RunSecond(L"  abcdefghiblue?x=1");
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << "only the first instance asks";
    EXPECT_EQ(boxes[0].text, kApplyQuestion);
    EXPECT_EQ(boxes[0].owner, Main());
    EXPECT_TRUE(WaitUntil([&] { return System::Docking::GetCurrentSkin() == L"blue"; }));
    EXPECT_FALSE(Ended());
}

TEST_F(SecondStartTest, WithoutArgumentsItIsRefusedAndTheFirstIsNotTold) {
    StartShown();
    RunSecond(L"");
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"程序已经在运行");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_FALSE(Ended());
    EXPECT_TRUE(app_->HoldsSemaphore());
    EXPECT_EQ(System::Docking::GetCurrentSkin(), L"default");
}
