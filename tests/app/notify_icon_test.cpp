#include <gtest/gtest.h>

#include <string>

#include "app/notify_icon.h"
#include "common/window_helper.h"
#include "machine/control/shell.h"

namespace {

class NotifyIconTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        owner_ = MakeWindow();
        ASSERT_NE(owner_, nullptr);
        ASSERT_TRUE(ownerObject_.Attach(owner_));
        icon_ = LoadIconW(nullptr, IDI_APPLICATION);
    }
    void TearDown() override { ownerObject_.Detach(); }

    // The icon of the owner as the shell shows it.
    std::optional<control::TrayIconInfo> Shown(UINT id) {
        for (const control::TrayIconInfo& i : control::TrayIcons())
            if (i.owner == owner_ && i.id == id) return i;
        return std::nullopt;
    }

    HWND owner_ = nullptr;
    CWnd ownerObject_;
    HICON icon_ = nullptr;
};

TEST_F(NotifyIconTest, TextsAreCutToTheFieldsLimits) {
    CNotifyIconEx tray(&ownerObject_);
    ASSERT_TRUE(tray.Add(0, icon_));
    const std::wstring tip(200, L'a'), text(300, L'b'), title(100, L'c');
    EXPECT_TRUE(tray.SetTip(0, tip));
    EXPECT_TRUE(tray.ShowBalloon(0, text, title));
    auto shown = Shown(0);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->hasPicture);
    EXPECT_EQ(shown->tip, tip.substr(0, 127));
    EXPECT_EQ(shown->balloonText, text.substr(0, 255));
    EXPECT_EQ(shown->balloonTitle, title.substr(0, 63));
    // The record keeps the whole texts.
    EXPECT_EQ(tray.Texts().at(0).tip, tip);
    EXPECT_EQ(tray.Texts().at(0).balloonTitle, title);
}

TEST_F(NotifyIconTest, ClicksReachTheOwnerAsTrayNotifications) {
    CNotifyIcon tray(&ownerObject_);
    ASSERT_TRUE(tray.Add(7, icon_));
    ASSERT_TRUE(control::ClickTrayIcon(owner_, 7, control::TrayClickKind::LeftDouble));
    Drain();
    auto notes = Entries(WM_TRAY_NOTIFY, owner_);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().wParam, 7u);
    EXPECT_TRUE(tray.Delete(7));
    EXPECT_FALSE(Shown(7));
}

TEST_F(NotifyIconTest, TheMapFollowsAddAndDeleteAndReappliesTips) {
    CNotifyIconEx tray(&ownerObject_);
    ASSERT_TRUE(tray.Add(1, icon_));
    ASSERT_TRUE(tray.Add(2, icon_));
    EXPECT_EQ(tray.Texts().size(), 2u);
    // An id never added: the shell refuses, the map stays as it was.
    EXPECT_FALSE(tray.Delete(9));
    EXPECT_EQ(tray.Texts().size(), 2u);

    ASSERT_TRUE(tray.SetTip(1, L"Raza Zevi V1.0.0"));
    // Someone else changes the shown tip; icon 2 has none of its own.
    NOTIFYICONDATAW other{};
    other.cbSize = sizeof other;
    other.hWnd = owner_;
    other.uID = 1;
    other.uFlags = NIF_TIP;
    wcscpy(other.szTip, L"other");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &other));
    tray.ReapplyTips();
    EXPECT_EQ(Shown(1)->tip, L"Raza Zevi V1.0.0");
    EXPECT_EQ(Shown(2)->tip, L"");

    EXPECT_TRUE(tray.Delete(1));
    EXPECT_EQ(tray.Texts().count(1), 0u);
    EXPECT_FALSE(Shown(1));
}

TEST_F(NotifyIconTest, WithoutAnOwnerTheShellIsAskedForWindowZero) {
    CNotifyIcon tray;
    // The shell takes no icon of window 0.
    EXPECT_FALSE(tray.Add(3, icon_));
    EXPECT_TRUE(control::TrayIcons().empty());
    tray.SetOwner(&ownerObject_);
    EXPECT_TRUE(tray.Add(3, icon_));
    EXPECT_TRUE(Shown(3));
}

}  // namespace
