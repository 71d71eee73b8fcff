// The machine's broadcasts to top-level windows (power, device nodes) and the window calls a
// tray program makes (BringWindowToTop, SwitchToThisWindow, CheckDlgButton).
#include <gtest/gtest.h>

#include <map>

#include "common/window_helper.h"
#include "machine/control/shell.h"
#include "machine/devices.h"
#include <dbt.h>

namespace {

class BroadcastTest : public WindowTest {};

TEST_F(BroadcastTest, ASuspendAndAResumeReachEveryTopLevelWindowOnce) {
    HWND shown = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND hidden = MakeWindow(WS_OVERLAPPEDWINDOW);
    HWND child = MakeWindow(WS_CHILD, shown, 1);
    ASSERT_TRUE(control::SuspendMachine());
    EXPECT_FALSE(control::SuspendMachine());  // suspended already
    ASSERT_TRUE(control::ResumeMachine());
    EXPECT_FALSE(control::ResumeMachine());
    Drain();
    for (HWND w : {shown, hidden}) {
        std::vector<WPARAM> events;
        for (const Logged& l : Entries(WM_POWERBROADCAST, w)) events.push_back(l.wParam);
        EXPECT_EQ(events, (std::vector<WPARAM>{PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC}));
    }
    EXPECT_TRUE(Entries(WM_POWERBROADCAST, child).empty());
}

TEST_F(BroadcastTest, EachDeviceNodeThatComesOrGoesGivesDevNodesChangedFirst) {
    HWND top = MakeWindow();
    sim::DeviceNodeSpec parent;
    parent.instanceId = L"USB\\VID_3A5C&PID_0001\\1";
    sim::DeviceNodeSpec modem;
    modem.instanceId = L"USB\\VID_3A5C&PID_0001&MI_00\\2";
    modem.interfaces = {
        {GUID{0x2C7089AA, 0x2E0E, 0x11D1, {0xB1, 0x14, 0, 0xC0, 0x4F, 0xC2, 0xAA, 0xE4}}, L""}};

    DWORD node = M().devices().Plug(parent);
    M().devices().Plug(modem, node);
    Drain();
    auto events = [&] {
        std::vector<WPARAM> out;
        for (const Logged& l : Entries(WM_DEVICECHANGE, top)) out.push_back(l.wParam);
        MessageLog().Clear();
        return out;
    };
    EXPECT_EQ(events(),
              (std::vector<WPARAM>{DBT_DEVNODES_CHANGED, DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL}));
    M().devices().Unplug(node);  // both nodes go at once: a burst of two
    Drain();
    EXPECT_EQ(events(), (std::vector<WPARAM>{DBT_DEVNODES_CHANGED, DBT_DEVNODES_CHANGED,
                                             DBT_DEVICEREMOVECOMPLETE}));
    M().devices().SetProblem(modem.instanceId, 10);  // no node comes or goes
    Drain();
    EXPECT_TRUE(events().empty());
}

class WindowCallsTest : public WindowTest {};

TEST_F(WindowCallsTest, SwitchingToAMinimisedWindowRestoresItAndBringsItForward) {
    HWND first = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND second = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ShowWindow(first, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(first));
    ASSERT_EQ(GetWindow(first, GW_HWNDFIRST), second);

    SwitchToThisWindow(first, TRUE);
    EXPECT_FALSE(IsIconic(first));
    EXPECT_FALSE(IsZoomed(first));
    EXPECT_EQ(GetWindow(first, GW_HWNDFIRST), first);
    EXPECT_EQ(GetForegroundWindow(), first);

    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, second, 3);
    EXPECT_TRUE(BringWindowToTop(child));  // its top-level window comes forward
    EXPECT_EQ(GetWindow(first, GW_HWNDFIRST), second);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_FALSE(BringWindowToTop(reinterpret_cast<HWND>(0x1234)));
}

TEST_F(WindowCallsTest, DialogButtonsAreCheckedById) {
    HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW);
    CreateWindowExW(0, L"Button", L"Redial", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 80, 20, parent,
                    reinterpret_cast<HMENU>(30111), nullptr, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(parent, 30111), BST_UNCHECKED);
    EXPECT_TRUE(CheckDlgButton(parent, 30111, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(parent, 30111), BST_CHECKED);
    EXPECT_FALSE(CheckDlgButton(parent, 999, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(parent, 999), 0u);
}

}  // namespace
