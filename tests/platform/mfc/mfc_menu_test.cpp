// The framework's menu object over the window manager's menus.
#include <gtest/gtest.h>

#include "machine/control/resources.h"
#include <afxwin.h>
#include <afxcmn.h>
#include "machine/machine.h"
#include "machine/menus.h"
#include "common/window_helper.h"

namespace {

const resources::ModuleResources kTables{
    {},
    {{146, {{0, L"Skins", 0, {{32772, L"More Skins..", 0, {}}}}}}},
    {},
};

class MfcMenuTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
    }
    void TearDown() override { AfxDeleteTemporaryObjects(); }
};

TEST_F(MfcMenuTest, ALoadedSubmenuTakesItemsBeforeACommandAndReturnsTheScriptedChoice) {
    HWND owner = MakeWindow();
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(146));
    EXPECT_FALSE(menu.LoadMenu(146)) << "a menu is held already";
    CMenu* skins = menu.GetSubMenu(0);
    ASSERT_NE(skins, nullptr);
    const wchar_t* names[] = {L"default", L"blue"};
    for (UINT i = 0; i < 2; ++i)
        EXPECT_TRUE(skins->InsertMenu(32772, MF_BYCOMMAND | MF_STRING, i + 1, names[i]));
    EXPECT_TRUE(skins->InsertMenu(32772, MF_BYCOMMAND | MF_SEPARATOR));
    EXPECT_EQ(skins->CheckMenuItem(2, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(skins->GetMenuItemCount(), 4u);
    CString text;
    EXPECT_EQ(skins->GetMenuString(1, text, MF_BYPOSITION), 4);
    EXPECT_STREQ(text, L"blue");
    EXPECT_EQ(skins->GetMenuState(2, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);

    CWnd window;
    ASSERT_TRUE(window.Attach(owner));
    M().menus().Script(2);
    EXPECT_EQ(skins->TrackPopupMenu(TPM_RETURNCMD | TPM_VERTICAL, 30, 40, &window), 2);
    auto journal = M().menus().Journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].owner, owner);
    EXPECT_EQ(journal[0].position.x, 30);
    ASSERT_EQ(journal[0].items.size(), 4u);
    EXPECT_EQ(journal[0].items[0].text, L"default");
    EXPECT_TRUE(journal[0].items[1].checked);
    EXPECT_TRUE(journal[0].items[2].separator);
    EXPECT_EQ(journal[0].items[3].id, 32772u);
    window.Detach();
}

TEST_F(MfcMenuTest, TheObjectDestroysItsMenuButTemporariesAndDetachedMenusStay) {
    HMENU kept;
    HMENU destroyed;
    HMENU sub;
    {
        CMenu detached;
        ASSERT_TRUE(detached.CreatePopupMenu());
        kept = detached.Detach();
        CMenu owning;
        ASSERT_TRUE(owning.LoadMenu(146));
        destroyed = owning.m_hMenu;
        sub = owning.GetSubMenu(0)->m_hMenu;
        EXPECT_EQ(CMenu::FromHandle(sub), owning.GetSubMenu(0)) << "one temporary per handle";
        AfxDeleteTemporaryObjects();
        EXPECT_TRUE(IsMenu(sub)) << "a temporary owns nothing";
    }
    EXPECT_TRUE(IsMenu(kept));
    EXPECT_FALSE(IsMenu(destroyed));
    EXPECT_FALSE(IsMenu(sub)) << "the submenu goes with its menu";
    EXPECT_TRUE(DestroyMenu(kept));
    CMenu none;
    EXPECT_FALSE(none.DestroyMenu());
    EXPECT_FALSE(none.LoadMenu(999));
    EXPECT_EQ(none.m_hMenu, nullptr);
}

class Commands : public CWnd {
public:
    std::vector<UINT> commands;
    void OnSysCommand(UINT id, LPARAM) override { commands.push_back(id); }
};

TEST_F(MfcMenuTest, AnItemAddedToTheSystemMenuArrivesAsASystemCommand) {
    Commands window;
    ASSERT_TRUE(window.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                nullptr));
    CMenu* system = window.GetSystemMenu(FALSE);
    ASSERT_NE(system, nullptr);
    UINT count = system->GetMenuItemCount();
    EXPECT_TRUE(system->AppendMenu(MF_SEPARATOR));
    EXPECT_TRUE(system->AppendMenu(MF_STRING, 16, L"&About..."));
    EXPECT_EQ(system->GetMenuItemCount(), count + 2);
    M().menus().Script(16);
    EXPECT_TRUE(system->TrackPopupMenu(0, 0, 0, &window));
    Drain();
    EXPECT_EQ(window.commands, std::vector<UINT>{16});
}

}  // namespace
