// The Windows 2000 removal-warning watcher: its timer, the dialog's recipe, and the worker that
// closes it.
#include <gtest/gtest.h>

#include <algorithm>

#include "machine/control/windows.h"
#include <winuser.h>
#include "ulvane_fixture.h"

namespace {

class Watcher2000Test : public UlvaneTest {
protected:
    sim::Config BaseConfig() override {
        sim::Config c = sim::Config::Windows2000();
        c.startTick = startTick_;
        return c;
    }
    void TearDown() override {
        CWatchTimer::Instance().Disarm();
        UlvaneTest::TearDown();
    }

    // The unsafe-removal warning: a dialog with its controls (one of them inside a group).
    HWND AddWarning(int lists = 1, bool visible = true) {
        using control::AddMachineWindow;
        HWND dialog = AddMachineWindow({L"#32770", L"Unsafe Removal of Device", visible, nullptr});
        for (int i = 0; i < 5; ++i) AddMachineWindow({L"Static", L"", true, dialog});
        HWND group = AddMachineWindow({L"Button", L"", true, dialog});
        AddMachineWindow({L"static", L"", true, group});
        AddMachineWindow({L"Button", L"OK", true, dialog});
        AddMachineWindow({L"Static", L"hidden", false, dialog});
        for (int i = 0; i < lists; ++i) AddMachineWindow({L"SysListView32", L"", true, dialog});
        return dialog;
    }
    DWORD startTick_ = 0;
};

TEST_F(Watcher2000Test, ArmedTimerExpiresAfterItsTimeoutAcrossTheTickWrap) {
    startTick_ = 0xFFFFFFFFu - 3000;
    sim::Machine::Reset(MachineConfig());
    CWatchTimer& timer = CWatchTimer::Instance();
    timer.Arm(10000);
    Sleep(9000);  // the tick count has wrapped meanwhile
    EXPECT_LT(GetTickCount(), 10000u);
    EXPECT_TRUE(timer.IsActive());
    Sleep(1000);
    EXPECT_TRUE(timer.IsActive());
    Sleep(1);
    EXPECT_FALSE(timer.IsActive());
    Sleep(100);
    EXPECT_FALSE(timer.IsActive());  // disarmed for good

    timer.Arm(CWatchTimer::kNoLimit);
    Sleep(3600000);
    EXPECT_TRUE(timer.IsActive());
    timer.Disarm();
    EXPECT_FALSE(timer.IsActive());
}

TEST_F(Watcher2000Test, TheWarningIsRecognisedByItsVisibleControls) {
    HWND warning = AddWarning();
    control::AddMachineWindow({L"#32770", L"Other dialog", true, nullptr});
    EXPECT_TRUE(IsUnsafeRemovalWarning(warning));
    EXPECT_EQ(GetUnSafeRemoveWnd2K(), warning);

    std::vector<HWND> statics;
    FindChildWindowsByClass(warning, L"STATIC", statics);
    EXPECT_EQ(statics.size(), 6u);  // the hidden one is not counted, the nested one is
    FindChildWindowsByClass(nullptr, L"Static", statics);
    EXPECT_TRUE(statics.empty());
}

TEST_F(Watcher2000Test, DialogsWithOtherControlsOrHiddenAreNotTheWarning) {
    HWND twoLists = AddWarning(2);
    EXPECT_FALSE(IsUnsafeRemovalWarning(twoLists));
    EXPECT_EQ(GetUnSafeRemoveWnd2K(), nullptr);
    AddWarning(1, false);  // hidden
    EXPECT_EQ(GetUnSafeRemoveWnd2K(), nullptr);
    HWND plain = control::AddMachineWindow({L"Notepad", L"", true, nullptr});
    for (int i = 0; i < 6; ++i) control::AddMachineWindow({L"Static", L"", true, plain});
    EXPECT_FALSE(IsUnsafeRemovalWarning(plain));
}

TEST_F(Watcher2000Test, TheServiceClosesTheWarningWhileArmed) {
    HWND warning = AddWarning();
    StartService();
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(warning); }, 1000));
    EXPECT_GE(CountContaining(L"StartMonitoring...."), 1);
    EXPECT_EQ(Count(L"GetUnSafeRemoveWnd2K OK."), 1);
    // The warning got one WM_CLOSE, which its own thread answered by destroying it.
    std::vector<UINT> seen;
    for (const control::JournalEntry& e : control::MachineWindowJournal())
        if (e.hwnd == warning) seen.push_back(e.message);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_CLOSE), 1);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), WM_NCDESTROY);

    // Ten seconds after the start the watcher stops looking.
    Sleep(11000);
    int looks = CountContaining(L"StartMonitoring....");
    EXPECT_LE(looks, 101);
    HWND late = AddWarning();
    Sleep(2000);
    EXPECT_TRUE(IsWindow(late));
    EXPECT_EQ(CountContaining(L"StartMonitoring...."), looks);
}

class WatcherXpTest : public UlvaneTest {};

TEST_F(WatcherXpTest, OnOtherVersionsTheWatcherNeverArms) {
    CWatchTimer::Instance().Arm(10000);
    EXPECT_FALSE(CWatchTimer::Instance().IsActive());
    using control::AddMachineWindow;
    HWND dialog = AddMachineWindow({L"#32770", L"", true, nullptr});
    for (int i = 0; i < 6; ++i) AddMachineWindow({L"Static", L"", true, dialog});
    for (int i = 0; i < 2; ++i) AddMachineWindow({L"Button", L"", true, dialog});
    AddMachineWindow({L"SysListView32", L"", true, dialog});
    StartService();
    Sleep(5000);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(CountContaining(L"StartMonitoring"), 0);
}

}  // namespace
