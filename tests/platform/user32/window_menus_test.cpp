// Menus: building and lookups, menus from a program's tables, the system menu, and tracked menus
// whose choice the machine's user makes as the test scripted it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include "machine/control/resources.h"
#include <winbase.h>
#include "machine/menus.h"
#include "machine/processes.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

// A menu of the test's process, and what another process finds of it (its exit code: 1 when
// IsMenu knows the handle, 2 when GetMenuItemCount reads it, 4 when its own menu got that
// handle).
HMENU g_foreignMenu = nullptr;

int OtherProgramMain(int, wchar_t**) {
    int seen = 0;
    if (IsMenu(g_foreignMenu)) seen |= 1;
    if (GetMenuItemCount(g_foreignMenu) >= 0) seen |= 2;
    if (CreatePopupMenu() == g_foreignMenu) seen |= 4;
    return seen;
}

const resources::ModuleResources kTables{
    {},
    {{146, {{0, L"Skins", 0, {{32772, L"More Skins..", 0, {}}}}}},
     {200,
      {{0,
        L"File",
        0,
        {{1, L"&Open", MF_CHECKED, {}},
         {0, L"", MF_SEPARATOR, {}},
         {0, L"Recent", 0, {{2, L"one", MF_GRAYED, {}}}},
         {0, L"Empty", MF_POPUP, {}}}},
       {3, L"Help", 0, {}}}}},
    {},
};

class MenusTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
    }

    // A popup menu: 10 "&Open", a separator, "More" opening {20 "A", 21 "B" (grayed)}, 30 "Exit"
    // (checked), 40 "Off" (disabled).
    HMENU Sample() {
        HMENU menu = CreatePopupMenu();
        sub_ = CreatePopupMenu();
        EXPECT_TRUE(AppendMenuW(sub_, MF_STRING, 20, L"A"));
        EXPECT_TRUE(AppendMenuW(sub_, MF_STRING | MF_GRAYED, 21, L"B"));
        EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 10, L"&Open"));
        EXPECT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
        EXPECT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub_), L"More"));
        EXPECT_TRUE(AppendMenuW(menu, MF_STRING | MF_CHECKED, 30, L"Exit"));
        EXPECT_TRUE(AppendMenuW(menu, MF_STRING | MF_DISABLED, 40, L"Off"));
        return menu;
    }

    static std::wstring Text(HMENU menu, UINT item, UINT flags) {
        wchar_t buffer[64];
        int n = GetMenuStringW(menu, item, buffer, 64, flags);
        return std::wstring(buffer, buffer + n);
    }

    // The WM_COMMAND / WM_SYSCOMMAND wParams posted to the thread, dispatched.
    std::vector<std::pair<UINT, WPARAM>> Commands() {
        std::vector<std::pair<UINT, WPARAM>> out;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_COMMAND || msg.message == WM_SYSCOMMAND)
                out.push_back({msg.message, msg.wParam});
            DispatchMessageW(&msg);
        }
        return out;
    }

    HMENU sub_ = nullptr;
};

TEST_F(MenusTest, ItemsAreFoundByPositionAndByCommandInSubmenusToo) {
    HMENU menu = Sample();
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    EXPECT_EQ(GetMenuItemCount(sub_), 2);
    EXPECT_EQ(GetSubMenu(menu, 2), sub_);
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);

    struct Case {
        UINT item;
        UINT flags;
        UINT state;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, MF_BYPOSITION, MF_STRING, L"&Open"},
        {1, MF_BYPOSITION, MF_SEPARATOR, L""},
        {2, MF_BYPOSITION, (2u << 8) | MF_POPUP, L"More"},
        {3, MF_BYPOSITION, MF_CHECKED, L"Exit"},
        {10, MF_BYCOMMAND, MF_STRING, L"&Open"},
        {21, MF_BYCOMMAND, MF_GRAYED, L"B"},  // in the submenu
        {40, MF_BYCOMMAND, MF_DISABLED, L"Off"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        EXPECT_EQ(GetMenuState(menu, c.item, c.flags), c.state);
        EXPECT_EQ(Text(menu, c.item, c.flags), c.text);
    }
    EXPECT_EQ(GetMenuState(menu, 99, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(menu, 5, MF_BYPOSITION), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuStringW(menu, 99, nullptr, 0, MF_BYCOMMAND), 0);

    const UINT ids[] = {10, 0, static_cast<UINT>(-1), 30, 40, static_cast<UINT>(-1)};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetMenuItemID(menu, i), ids[i]) << i;
}

TEST_F(MenusTest, MenuTextsAreCutToTheBufferAndMeasuredWithoutOne) {
    HMENU menu = Sample();
    wchar_t buffer[4];
    EXPECT_EQ(GetMenuStringW(menu, 10, buffer, 4, MF_BYCOMMAND), 3);
    EXPECT_STREQ(buffer, L"&Op");
    EXPECT_EQ(GetMenuStringW(menu, 10, nullptr, 0, MF_BYCOMMAND), 5);
}

TEST_F(MenusTest, InsertPutsTheItemBeforeTheOneNamedOrAppends) {
    HMENU menu = Sample();
    ASSERT_TRUE(InsertMenuW(menu, 1, MF_BYPOSITION | MF_STRING, 11, L"New"));
    ASSERT_TRUE(InsertMenuW(menu, 21, MF_BYCOMMAND | MF_STRING, 19, L"before B"));
    ASSERT_TRUE(InsertMenuW(menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, 50, L"last"));
    ASSERT_TRUE(InsertMenuW(menu, 99, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));
    SetLastError(0);
    EXPECT_FALSE(InsertMenuW(menu, 99, MF_BYCOMMAND | MF_STRING, 51, L"x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));

    std::vector<UINT> top;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) top.push_back(GetMenuItemID(menu, i));
    EXPECT_EQ(top, (std::vector<UINT>{10, 11, 0, static_cast<UINT>(-1), 30, 40, 50, 0}));
    std::vector<UINT> inSub;
    for (int i = 0; i < GetMenuItemCount(sub_); ++i) inSub.push_back(GetMenuItemID(sub_, i));
    EXPECT_EQ(inSub, (std::vector<UINT>{20, 19, 21}));
}

TEST_F(MenusTest, CheckAndEnableReturnThePreviousStateOrMinusOne) {
    HMENU menu = Sample();
    struct Case {
        bool check;
        UINT item;
        UINT flags;
        DWORD previous;
        UINT stateAfter;
    };
    const Case cases[] = {
        {true, 10, MF_BYCOMMAND | MF_CHECKED, MF_UNCHECKED, MF_CHECKED},
        {true, 10, MF_BYCOMMAND | MF_CHECKED, MF_CHECKED, MF_CHECKED},
        {true, 3, MF_BYPOSITION | MF_UNCHECKED, MF_CHECKED, 0},
        {false, 21, MF_BYCOMMAND | MF_ENABLED, MF_GRAYED, 0},
        {false, 20, MF_BYCOMMAND | MF_DISABLED, MF_ENABLED, MF_DISABLED},
        {false, 0, MF_BYPOSITION | MF_GRAYED, MF_ENABLED, MF_CHECKED | MF_GRAYED},
        {true, 99, MF_BYCOMMAND | MF_CHECKED, static_cast<DWORD>(-1), static_cast<UINT>(-1)},
        {false, 9, MF_BYPOSITION | MF_GRAYED, static_cast<DWORD>(-1), static_cast<UINT>(-1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        DWORD previous = c.check ? CheckMenuItem(menu, c.item, c.flags)
                                 : static_cast<DWORD>(EnableMenuItem(menu, c.item, c.flags));
        EXPECT_EQ(previous, c.previous);
        EXPECT_EQ(GetMenuState(menu, c.item, c.flags & MF_BYPOSITION), c.stateAfter);
    }
}

TEST_F(MenusTest, DeleteDestroysTheSubmenuRemoveLeavesIt) {
    HMENU menu = Sample();
    HMENU sub = sub_;
    ASSERT_TRUE(RemoveMenu(menu, 2, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(sub));
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    ASSERT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"again"));
    ASSERT_TRUE(DeleteMenu(menu, 4, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(sub));
    ASSERT_TRUE(DeleteMenu(menu, 30, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    SetLastError(0);
    EXPECT_FALSE(DeleteMenu(menu, 30, MF_BYCOMMAND));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
}

TEST_F(MenusTest, DestroyTakesTheSubmenusAlongAndHandlesAreNeverReused) {
    HMENU menu = Sample();
    HMENU sub = sub_;
    ASSERT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_FALSE(IsMenu(sub));
    SetLastError(0);
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
    HMENU again = CreateMenu();
    EXPECT_NE(again, menu);
    EXPECT_NE(again, sub);
}

TEST_F(MenusTest, AnotherProcessCannotUseTheMenu) {
    g_foreignMenu = Sample();
    M().WriteFile(L"C:\\Tools\\Other.exe", "MZ");
    M().processes().RegisterProgram(L"Other.exe", [](const sim::ProcessRun& run) {
        return sim::RunMain(run, &OtherProgramMain);
    });
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(L"C:\\Tools\\Other.exe", &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD seen = 99;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &seen));
    EXPECT_EQ(seen, 0u);
    EXPECT_TRUE(IsMenu(g_foreignMenu));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

TEST_F(MenusTest, BadItemsAndCyclesAreRefusedAndChangeNothing) {
    HMENU menu = Sample();
    struct Case {
        HMENU target;
        UINT flags;
        UINT_PTR newItem;
        DWORD error;
    };
    HMENU dead = CreatePopupMenu();
    DestroyMenu(dead);
    const Case cases[] = {
        {menu, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), ERROR_INVALID_PARAMETER},
        {sub_, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), ERROR_INVALID_PARAMETER},
        {menu, MF_POPUP, reinterpret_cast<UINT_PTR>(dead), ERROR_INVALID_MENU_HANDLE},
        {menu, MF_BITMAP, 5, ERROR_INVALID_PARAMETER},
        {menu, MF_OWNERDRAW, 5, ERROR_INVALID_PARAMETER},
        {dead, MF_STRING, 5, ERROR_INVALID_MENU_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        SetLastError(0);
        EXPECT_FALSE(AppendMenuW(c.target, c.flags, c.newItem, L"x"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
    }
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    EXPECT_EQ(GetMenuItemCount(sub_), 2);
}

TEST_F(MenusTest, LoadMenuBuildsSubmenusFromTheProgramsTable) {
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(200));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Text(menu, 0, MF_BYPOSITION), L"File");
    EXPECT_EQ(GetMenuItemID(menu, 1), 3u);
    ASSERT_EQ(GetMenuItemCount(file), 4);
    EXPECT_EQ(GetMenuState(file, 1, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION), MF_SEPARATOR);
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND), MF_GRAYED);  // two levels down
    HMENU empty = GetSubMenu(file, 3);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetMenuItemCount(empty), 0);

    HMENU skins = GetSubMenu(LoadMenuW(nullptr, MAKEINTRESOURCEW(146)), 0);
    EXPECT_EQ(GetMenuItemID(skins, 0), 32772u);
    EXPECT_EQ(Text(skins, 32772, MF_BYCOMMAND), L"More Skins..");

    SetLastError(0);
    EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(147)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(MenusTest, ReturnCmdGivesTheChosenCommandAndPostsNothing) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    struct Case {
        const char* name;
        bool scripted;
        UINT choice;
        BOOL result;
    };
    const Case cases[] = {
        {"command", true, 10, 10}, {"command in a submenu", true, 20, 20},
        {"dismissed", true, 0, 0}, {"unscripted", false, 0, 0},
        {"grayed", true, 21, 0},   {"disabled", true, 40, 0},
        {"absent", true, 99, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.scripted) M().menus().Script(c.choice);
        EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 5, 6, 0, owner, nullptr), c.result);
        EXPECT_EQ(M().menus().Pending(), 0u);
        EXPECT_TRUE(Commands().empty());
    }
}

TEST_F(MenusTest, WithoutReturnCmdTheChoiceIsPostedAsACommand) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    M().menus().Script(20);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RIGHTBUTTON, 5, 6, 0, owner, nullptr), TRUE);
    M().menus().Script(21);  // grayed: dismissed
    EXPECT_EQ(TrackPopupMenuEx(menu, 0, 5, 6, owner, nullptr), TRUE);
    M().menus().Script(0);
    EXPECT_EQ(TrackPopupMenuEx(menu, 0, 5, 6, owner, nullptr), TRUE);
    auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].first, WM_COMMAND);
    EXPECT_EQ(commands[0].second, MAKEWPARAM(20, 0));
    auto received = Entries(WM_COMMAND, owner);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].lParam, 0);
}

TEST_F(MenusTest, TheOwnerHearsTheMenuLoopAndEachSubmenuOpenedOnTheWay) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    MessageLog().Clear();
    M().menus().Script(20);
    TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr);
    const std::set<UINT> kinds{WM_ENTERMENULOOP, WM_INITMENUPOPUP, WM_EXITMENULOOP};
    EXPECT_EQ(Messages(kinds, owner), (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENUPOPUP,
                                                         WM_INITMENUPOPUP, WM_EXITMENULOOP}));
    auto inits = Entries(WM_INITMENUPOPUP, owner);
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_EQ(inits[0].wParam, reinterpret_cast<WPARAM>(menu));
    EXPECT_EQ(inits[0].lParam, MAKELPARAM(0, FALSE));
    EXPECT_EQ(inits[1].wParam, reinterpret_cast<WPARAM>(sub_));
    EXPECT_EQ(inits[1].lParam, MAKELPARAM(2, FALSE));
    EXPECT_EQ(Entries(WM_ENTERMENULOOP, owner)[0].wParam, static_cast<WPARAM>(TRUE));

    MessageLog().Clear();
    M().menus().Script(10);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 0, 0, 0, owner, nullptr), 10);
    EXPECT_TRUE(Messages(kinds, owner).empty());
}

TEST_F(MenusTest, StatesTheOwnerSetsAsTheMenuOpensDecideAndAreJournaled) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    Answers() = [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == menu) {
            CheckMenuItem(menu, 10, MF_BYCOMMAND | MF_CHECKED);
            EnableMenuItem(menu, 30, MF_BYCOMMAND | MF_GRAYED);
        }
        if (m == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == sub_)
            EnableMenuItem(sub_, 20, MF_BYCOMMAND | MF_DISABLED);
        return std::nullopt;
    };
    M().menus().Script(30);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
    M().menus().Script(20);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);

    auto journal = M().menus().Journal();
    ASSERT_EQ(journal.size(), 2u);
    const auto& items = journal[0].items;
    ASSERT_EQ(items.size(), 5u);
    EXPECT_TRUE(items[0].checked);
    EXPECT_TRUE(items[3].grayed);
    EXPECT_EQ(journal[0].choice, 0u);
    EXPECT_TRUE(journal[1].items[2].submenu[0].disabled);
}

TEST_F(MenusTest, TheJournalHoldsOwnerPositionFlagsItemsAndChoice) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    M().menus().Script(20);
    TrackPopupMenu(menu, TPM_RETURNCMD | TPM_VERTICAL, 33, 44, 0, owner, nullptr);
    auto journal = M().menus().Journal();
    ASSERT_EQ(journal.size(), 1u);
    const sim::TrackedMenu& t = journal[0];
    EXPECT_EQ(t.owner, owner);
    EXPECT_EQ(t.position.x, 33);
    EXPECT_EQ(t.position.y, 44);
    EXPECT_EQ(t.flags, TPM_RETURNCMD | TPM_VERTICAL);
    EXPECT_FALSE(t.systemMenu);
    EXPECT_EQ(t.choice, 20u);

    struct Expected {
        UINT id;
        const wchar_t* text;
        bool separator, checked, grayed, disabled;
        std::size_t submenu;
    };
    const Expected expected[] = {
        {10, L"&Open", false, false, false, false, 0}, {0, L"", true, false, false, false, 0},
        {0, L"More", false, false, false, false, 2},   {30, L"Exit", false, true, false, false, 0},
        {40, L"Off", false, false, false, true, 0},
    };
    ASSERT_EQ(t.items.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const sim::TrackedItem& item = t.items[i];
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.text, expected[i].text);
        EXPECT_EQ(item.separator, expected[i].separator);
        EXPECT_EQ(item.checked, expected[i].checked);
        EXPECT_EQ(item.grayed, expected[i].grayed);
        EXPECT_EQ(item.disabled, expected[i].disabled);
        EXPECT_EQ(item.submenu.size(), expected[i].submenu);
    }
    EXPECT_EQ(t.items[2].submenu[1].id, 21u);
    EXPECT_EQ(t.items[2].submenu[1].text, L"B");
    EXPECT_TRUE(t.items[2].submenu[1].grayed);
}

TEST_F(MenusTest, BadMenuOrOwnerFailsAndIsNotJournaled) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    HMENU dead = CreatePopupMenu();
    DestroyMenu(dead);
    SetLastError(0);
    EXPECT_FALSE(TrackPopupMenu(dead, 0, 0, 0, 0, owner, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 0, 0, 0, WindowOfEndedThread(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(M().menus().Journal().empty());
}

TEST_F(MenusTest, AMenuTrackedWhileAnotherIsUpIsRefusedUnlessRecursive) {
    HWND owner = MakeWindow();
    HMENU menu = Sample();
    HMENU inner = CreatePopupMenu();
    AppendMenuW(inner, MF_STRING, 7, L"inner");
    std::vector<std::pair<BOOL, DWORD>> nested;
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == menu) {
            SetLastError(0);
            BOOL r = TrackPopupMenu(inner, TPM_RETURNCMD, 0, 0, 0, w, nullptr);
            nested.push_back({r, GetLastError()});
            r = TrackPopupMenu(inner, TPM_RETURNCMD | TPM_RECURSE, 0, 0, 0, w, nullptr);
            nested.push_back({r, 0});
        }
        return std::nullopt;
    };
    M().menus().Script(10);  // the outer menu's choice is taken after its WM_INITMENUPOPUP...
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
    // ...so the recursive inner menu took it, found no command 10 and was dismissed; the outer
    // menu had no choice left.
    ASSERT_EQ(nested.size(), 2u);
    EXPECT_EQ(nested[0], std::make_pair(FALSE, static_cast<DWORD>(ERROR_POPUP_ALREADY_ACTIVE)));
    EXPECT_EQ(nested[1].first, 0);
    Answers() = nullptr;
    M().menus().Script(10);  // the thread tracks again once the outer menu is done
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 10);
}

TEST_F(MenusTest, TheSystemMenuIsTheWindowsOwnCopyAndItsChoiceIsASysCommand) {
    HWND owner = MakeWindow();
    HWND other = MakeWindow();
    HMENU menu = GetSystemMenu(owner, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetSystemMenu(owner, FALSE), menu);
    EXPECT_NE(GetSystemMenu(other, FALSE), menu);
    const UINT standard[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(GetMenuItemID(menu, i), standard[i]) << i;
    EXPECT_EQ(GetMenuState(menu, 5, MF_BYPOSITION), MF_SEPARATOR);

    // The program adds its own item, as an About box entry.
    ASSERT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
    ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 16, L"&About"));
    EXPECT_EQ(GetMenuItemCount(GetSystemMenu(other, FALSE)), 7);  // the other's copy is unchanged

    MessageLog().Clear();
    M().menus().Script(16);
    EXPECT_EQ(TrackPopupMenu(menu, 0, 1, 2, 0, owner, nullptr), TRUE);
    auto inits = Entries(WM_INITMENUPOPUP, owner);
    ASSERT_EQ(inits.size(), 1u);
    EXPECT_EQ(HIWORD(static_cast<ULONG_PTR>(inits[0].lParam)), TRUE);
    EXPECT_EQ(Commands(), (std::vector<std::pair<UINT, WPARAM>>{{WM_SYSCOMMAND, 16}}));
    auto received = Entries(WM_SYSCOMMAND, owner);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, 16u);
    EXPECT_TRUE(M().menus().Journal().back().systemMenu);
}

TEST_F(MenusTest, TheSystemMenuCopyGoesWithRevertAndWithTheWindow) {
    HWND owner = MakeWindow();
    HMENU first = GetSystemMenu(owner, FALSE);
    AppendMenuW(first, MF_STRING, 16, L"&About");
    EXPECT_EQ(GetSystemMenu(owner, TRUE), nullptr);
    EXPECT_FALSE(IsMenu(first));
    HMENU second = GetSystemMenu(owner, FALSE);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetMenuItemCount(second), 7);
    DestroyWindow(owner);
    EXPECT_FALSE(IsMenu(second));
    SetLastError(0);
    EXPECT_EQ(GetSystemMenu(owner, FALSE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
