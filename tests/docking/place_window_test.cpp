#include <gtest/gtest.h>

#include <string>

#include "docking/draw.h"
#include "docking/messages.h"
#include "common/window_helper.h"

using namespace System::Docking;

namespace {

// The window's rectangle in the host's client coordinates.
RECT InHost(HWND host, HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    POINT o{0, 0};
    ClientToScreen(host, &o);
    return {r.left - o.x, r.top - o.y, r.right - o.x, r.bottom - o.y};
}

struct PlaceCase {
    const char* name;
    RECT start;  // in the host's client coordinates
    RECT target;
    std::wstring style;
    RECT expected;
    bool moved;
};
void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaceCellWindowTest : public SimTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(PlaceCellWindowTest, PlacesTheWindowOverItsCell) {
    const PlaceCase& c = GetParam();
    RegisterTestClass();
    HWND host = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, L"", {50, 60, 450, 460});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, host, 7, L"", c.start);
    MessageLog().Clear();
    PlaceCellWindow(host, c.target, child, c.style);
    const RECT now = InHost(host, child);
    EXPECT_EQ(now.left, c.expected.left);
    EXPECT_EQ(now.top, c.expected.top);
    EXPECT_EQ(now.right, c.expected.right);
    EXPECT_EQ(now.bottom, c.expected.bottom);
    const auto messages = Messages({WM_DOCKING_ENSUREDOCKING, WM_WINDOWPOSCHANGED}, child);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), WM_DOCKING_ENSUREDOCKING);
    EXPECT_EQ(messages.size() > 1, c.moved);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceCellWindowTest,
    ::testing::Values(
        PlaceCase{
            "already_there", {10, 10, 60, 30}, {10, 10, 60, 30}, L"", {10, 10, 60, 30}, false},
        PlaceCase{
            "moved_and_sized", {10, 10, 60, 30}, {20, 40, 120, 60}, L"", {20, 40, 120, 60}, true},
        PlaceCase{"noresize_at_the_corner_stays",
                  {10, 10, 60, 30},
                  {10, 10, 90, 50},
                  L"noresize",
                  {10, 10, 60, 30},
                  false},
        PlaceCase{"noresize_elsewhere_moves",
                  {10, 10, 60, 30},
                  {20, 10, 90, 50},
                  L"noresize",
                  {20, 10, 90, 50},
                  true},
        PlaceCase{"nomove_of_same_size_stays",
                  {10, 10, 60, 30},
                  {30, 40, 80, 60},
                  L"nomove",
                  {10, 10, 60, 30},
                  false},
        PlaceCase{"nomove_of_other_size_moves",
                  {10, 10, 60, 30},
                  {30, 40, 90, 60},
                  L"clip|nomove",
                  {30, 40, 90, 60},
                  true}));

using PlaceCellWindowNested = SimTest;

TEST_F(PlaceCellWindowNested, PlacesAGrandchildRelativeToItsOwnParent) {
    RegisterTestClass();
    HWND host = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, L"", {50, 60, 450, 460});
    HWND panel = MakeWindow(WS_CHILD | WS_VISIBLE, host, 1, L"", {100, 50, 300, 250});
    HWND button = MakeWindow(WS_CHILD | WS_VISIBLE, panel, 2, L"", {0, 0, 10, 10});
    PlaceCellWindow(host, {120, 80, 170, 100}, button, L"");
    const RECT now = InHost(host, button);
    EXPECT_EQ(now.left, 120);
    EXPECT_EQ(now.top, 80);
    EXPECT_EQ(now.right, 170);
    EXPECT_EQ(now.bottom, 100);
}

}  // namespace
