// The shell's notification area: Shell_NotifyIconW's rules, clicks reaching the owner, the
// balloon on the screen, the shell's restart.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "common/golden_image.h"
#include "common/screen_shot.h"
#include "common/window_helper.h"
#include "machine/control/resources.h"
#include "machine/control/shell.h"
#include <shellapi.h>

extern const unsigned char icon_mainframe_png[];
extern const std::size_t icon_mainframe_png_size;

namespace {

constexpr UINT kTrayMessage = WM_USER + 327;

const resources::ModuleResources kTables{
    {}, {}, {}, {{128, icon_mainframe_png, icon_mainframe_png_size}}};

class TrayTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
        owner_ = MakeWindow(WS_OVERLAPPEDWINDOW);
        ASSERT_NE(owner_, nullptr);
    }
    NOTIFYICONDATAW Data(UINT id, UINT flags) {
        NOTIFYICONDATAW d{};
        d.cbSize = sizeof d;
        d.hWnd = owner_;
        d.uID = id;
        d.uFlags = flags;
        d.uCallbackMessage = kTrayMessage;
        d.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(128));
        return d;
    }
    BOOL Call(DWORD message, UINT id, UINT flags = 0) {
        NOTIFYICONDATAW d = Data(id, flags);
        return Shell_NotifyIconW(message, &d);
    }
    HWND owner_ = nullptr;
};

TEST_F(TrayTest, AnIconIsAddedOnceAndChangedOrRemovedOnlyWhileItIsThere) {
    struct Step {
        const char* what;
        DWORD message;
        UINT id;
        BOOL result;
        std::size_t iconsAfter;
    };
    const Step steps[] = {
        {"modify before add", NIM_MODIFY, 0, FALSE, 0},
        {"delete before add", NIM_DELETE, 0, FALSE, 0},
        {"add", NIM_ADD, 0, TRUE, 1},
        {"second add of the key", NIM_ADD, 0, FALSE, 1},
        {"add of another id", NIM_ADD, 1, TRUE, 2},
        {"modify", NIM_MODIFY, 0, TRUE, 2},
        {"delete", NIM_DELETE, 0, TRUE, 1},
        {"delete again", NIM_DELETE, 0, FALSE, 1},
        {"unknown message", 7, 1, FALSE, 1},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(Call(s.message, s.id, NIF_MESSAGE | NIF_ICON), s.result) << s.what;
        EXPECT_EQ(control::TrayIcons().size(), s.iconsAfter) << s.what;
    }
    NOTIFYICONDATAW d = Data(5, NIF_ICON);
    d.cbSize = 100;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &d));
    d.cbSize = NOTIFYICONDATAW_952_SIZE;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &d));
}

TEST_F(TrayTest, TextsAreCutAtTheirLimitsInUtf16Units) {
    ASSERT_TRUE(Call(NIM_ADD, 0, NIF_MESSAGE | NIF_ICON));
    NOTIFYICONDATAW d = Data(0, NIF_TIP | NIF_INFO);
    std::wmemset(d.szTip, L'a', 127);
    std::wmemset(d.szInfo, L'b', 255);
    d.szInfo[254] = 0x1F600;  // two units at 255..256: the whole character goes
    std::wmemset(d.szInfoTitle, L'c', 63);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    auto icons = control::TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].tip, std::wstring(127, L'a'));
    EXPECT_EQ(icons[0].balloonText, std::wstring(254, L'b'));
    EXPECT_EQ(icons[0].balloonTitle, std::wstring(63, L'c'));

    // A field filled to its end without a terminator: its first 127 units.
    std::wmemset(d.szTip, L'x', 128);
    d.uFlags = NIF_TIP;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    EXPECT_EQ(control::TrayIcons()[0].tip, std::wstring(127, L'x'));
}

TEST_F(TrayTest, ADoubleClickReachesAHiddenOwnerInOrder) {
    ASSERT_TRUE(Call(NIM_ADD, 3, NIF_MESSAGE | NIF_ICON));
    ASSERT_FALSE(IsWindowVisible(owner_));
    ASSERT_TRUE(control::ClickTrayIcon(owner_, 3, control::TrayClickKind::LeftDouble));
    EXPECT_TRUE(Entries(kTrayMessage).empty());  // posted: nothing until the owner's loop runs
    Drain();
    std::vector<LPARAM> mouse;
    for (const Logged& l : Entries(kTrayMessage, owner_)) {
        EXPECT_EQ(l.wParam, 3u);
        mouse.push_back(l.lParam);
    }
    EXPECT_EQ(mouse,
              (std::vector<LPARAM>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    EXPECT_FALSE(control::ClickTrayIcon(owner_, 4, control::TrayClickKind::Right));
    ASSERT_TRUE(Call(NIM_ADD, 4, NIF_ICON));  // no callback message asked for
    EXPECT_FALSE(control::ClickTrayIcon(owner_, 4, control::TrayClickKind::Right));
}

TEST_F(TrayTest, TheBalloonShowsOnTheScreenUntilItsTimeIsOver) {
    ASSERT_TRUE(Call(NIM_ADD, 0, NIF_MESSAGE | NIF_ICON));
    NOTIFYICONDATAW d = Data(0, NIF_INFO);
    std::wcscpy(d.szInfo, L"\u8B66\u544A: the device was removed.");
    std::wcscpy(d.szInfoTitle, L"\u63D0\u793A");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));

    const sim::Config& c = M().config();
    const RECT corner{c.screenWidth - 300, c.screenHeight - 120, c.screenWidth, c.screenHeight};
    cairo_surface_t* shot = ScreenShot(corner);
    KeepForReview(shot, "tray_balloon");
    // The icon (16 pixels, 7 below the 30-pixel bar's top) at the taskbar's right end, 6 pixels
    // from it; the balloon's pale face above it.
    const COLORREF iconBlue = ShotPixel(shot, 300 - 22 + 4, 120 - 30 + 7 + 2);
    EXPECT_NEAR(GetRValue(iconBlue), 0x1E, 2);
    EXPECT_NEAR(GetGValue(iconBlue), 0x64, 2);
    EXPECT_NEAR(GetBValue(iconBlue), 0xC8, 2);
    EXPECT_EQ(ShotPixel(shot, 120, 40), RGB(0xFF, 0xFF, 0xE1));
    cairo_surface_destroy(shot);

    Sleep(10001);  // the shortest a balloon shows
    cairo_surface_t* later = ScreenShot(corner);
    EXPECT_EQ(ShotPixel(later, 120, 40), RGB(0x3A, 0x6E, 0xA5));  // the desktop again
    cairo_surface_destroy(later);
    EXPECT_EQ(control::TrayIcons()[0].balloonText, L"\u8B66\u544A: the device was removed.");
}

TEST_F(TrayTest, TheShellsRestartEmptiesTheTrayAndBroadcastsTaskbarCreated) {
    const UINT created = RegisterWindowMessageW(L"TaskbarCreated");
    EXPECT_GE(created, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(L"taskbarcreated"), created);
    EXPECT_NE(RegisterWindowMessageW(L"Other"), created);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
    ASSERT_TRUE(Call(NIM_ADD, 0, NIF_MESSAGE | NIF_ICON));

    control::RestartShell();
    EXPECT_TRUE(control::TrayIcons().empty());
    Drain();
    EXPECT_EQ(Entries(created, owner_).size(), 1u);
    EXPECT_TRUE(Call(NIM_ADD, 0, NIF_MESSAGE | NIF_ICON));  // the owner adds it again
}

}  // namespace
