// The classic look of the trackbar and the date and time picker on the screen against their
// reference pictures, and every standard control printing the same picture it paints.
#include <cairo.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "platform/dib_canvas.h"
#include "common/look_dialog.h"
#include <commctrl.h>
#include <wingdi.h>
#include <winuser.h>

namespace {

constexpr DWORD kClientEdge = 0x00000200;  // WS_EX_CLIENTEDGE
const RECT kDialog{40, 40, 300, 200};
constexpr SYSTEMTIME kWhen{2026, 3, 0, 15, 14, 5, 9, 0};

class ComctlLookTest : public LookDialogTest {
public:
    ComctlLookTest() : LookDialogTest(kDialog) {}
    void SetUp() override {
        LookDialogTest::SetUp();
        Drain();  // the dialog paints before its controls come
    }
    HWND Picker(DWORD style, RECT r) {
        HWND h = Child(DATETIMEPICK_CLASSW, L"", style, r, kClientEdge);
        SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&kWhen));
        return h;
    }
    // How many pixels of the window's client area the screen shows otherwise than the canvas.
    static int DiffersFromScreen(HWND window, const DibCanvas& canvas, int width, int height) {
        cairo_surface_t* shot = ClientShot(window, {0, 0, width, height});
        int differ = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) differ += canvas.At(x, y) != ShotPixel(shot, x, y);
        cairo_surface_destroy(shot);
        return differ;
    }
};

TEST_F(ComctlLookTest, TrackbarsLookLikeTheirReference) {
    HWND ticks = Child(TRACKBAR_CLASSW, L"", TBS_AUTOTICKS, {10, 10, 250, 42});
    SendMessageW(ticks, TBM_SETRANGE, FALSE, MAKELPARAM(0, 10));
    SendMessageW(ticks, TBM_SETPOS, TRUE, 3);
    HWND plain = Child(TRACKBAR_CLASSW, L"", 0, {10, 50, 250, 82});
    SendMessageW(plain, TBM_SETPOS, TRUE, 100);
    HWND bare = Child(TRACKBAR_CLASSW, L"", TBS_NOTICKS, {10, 90, 250, 116});
    SendMessageW(bare, TBM_SETPOS, TRUE, 50);
    HWND top = Child(TRACKBAR_CLASSW, L"", TBS_AUTOTICKS | TBS_TOP, {10, 120, 250, 152});
    SendMessageW(top, TBM_SETRANGE, FALSE, MAKELPARAM(0, 4));
    SendMessageW(top, TBM_SETPOS, TRUE, 1);
    Drain();
    EXPECT_TRUE(LooksLike("trackbar_classic"));
}

TEST_F(ComctlLookTest, DateTimePickersLookLikeTheirReference) {
    Picker(DTS_SHORTDATEFORMAT, {10, 10, 130, 31});
    Picker(DTS_LONGDATEFORMAT, {10, 40, 250, 61});
    HWND time = Picker(DTS_TIMEFORMAT, {10, 70, 130, 91});
    HWND none = Picker(DTS_SHOWNONE, {10, 100, 150, 121});
    SendMessageW(none, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    HWND disabled = Picker(DTS_SHORTDATEFORMAT | WS_DISABLED, {140, 70, 250, 91});
    ASSERT_NE(disabled, nullptr);
    SetFocus(time);
    SendMessageW(time, WM_KEYDOWN, VK_RIGHT, 0);  // the minutes selected
    Drain();
    EXPECT_TRUE(LooksLike("datetime_classic"));
}

TEST_F(ComctlLookTest, EveryControlPrintsWhatItPaints) {
    struct Case {
        const wchar_t* cls;
        const wchar_t* text;
        DWORD style;
        DWORD ex;
    };
    const Case cases[] = {
        {L"Button", L"Connect", BS_DEFPUSHBUTTON, 0},
        {L"Button", L"Again", BS_AUTOCHECKBOX, 0},
        {L"Static", L"Signal", SS_LEFT, 0},
        {L"Edit", L"apn", 0, kClientEdge},
        {WC_IPADDRESSW, L"10.0.0.1", 0, kClientEdge},
        {TRACKBAR_CLASSW, L"", TBS_AUTOTICKS, 0},
        {DATETIMEPICK_CLASSW, L"", DTS_TIMEFORMAT, kClientEdge},
        {DATETIMEPICK_CLASSW, L"", DTS_SHOWNONE, kClientEdge},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        HWND control = Child(c.cls, c.text, c.style, {10, 10, 170, 42}, c.ex);
        if (c.cls == std::wstring(DATETIMEPICK_CLASSW))
            SendMessageW(control, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&kWhen));
        Drain();
        DibCanvas canvas(160, 32);
        SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                     PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
        EXPECT_EQ(DiffersFromScreen(control, canvas, 160, 32), 0) << "case " << i;
        DestroyWindow(control);
    }
}

}  // namespace
