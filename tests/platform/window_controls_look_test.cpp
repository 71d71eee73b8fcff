// The standard controls' classic look on the screen: a dialog of buttons, a check box, radio
// buttons, a group box, statics, an edit with a selection and its caret, an IP address field and
// a tooltip, against its reference picture; and chosen pixels of each control's parts.
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "golden_image.h"
#include "platform/commctrl.h"
#include "platform/control/tooltips.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "platform/sim/screen.h"
#include "platform/user.h"
#include "platform/user_controls.h"
#include "window_helper.h"

namespace {

constexpr DWORD kClientEdge = 0x00000200;  // WS_EX_CLIENTEDGE
const RECT kDialog{40, 40, 400, 270};      // on the screen

constexpr COLORREF kFace = RGB(0xD4, 0xD0, 0xC8);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kShadow = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kDark = RGB(0x40, 0x40, 0x40);
constexpr COLORREF kHighlight = RGB(0x0A, 0x24, 0x6A);
constexpr COLORREF kInfo = RGB(0xFF, 0xFF, 0xE1);

class ControlsLookTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = L"LookDialog";
        ASSERT_NE(RegisterClassExW(&wc), 0);
        dialog_ = CreateWindowExW(0, L"LookDialog", L"", WS_POPUP | WS_VISIBLE, kDialog.left,
                                  kDialog.top, kDialog.right - kDialog.left,
                                  kDialog.bottom - kDialog.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(dialog_, nullptr);
    }
    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, DWORD ex = 0) {
        HWND h = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, dialog_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(++ids_)), nullptr,
                                 nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }
    // The screen's colour at a point of a window's client area, as a COLORREF.
    static COLORREF Pixel(HWND window, int x, int y) {
        POINT p{x, y};
        ClientToScreen(window, &p);
        unsigned rgb = sim::machine().screen().PixelAt(p.x, p.y);
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    // Whether any pixel of the client rectangle has the colour.
    static bool Shows(HWND window, RECT r, COLORREF color) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (Pixel(window, x, y) == color) return true;
        return false;
    }

    HWND dialog_ = nullptr;
    int ids_ = 100;
};

TEST_F(ControlsLookTest, TheDialogLooksLikeItsReference) {
    Child(L"Button", L"Connection", BS_GROUPBOX, {10, 8, 200, 150});
    HWND dial = Child(L"Button", L"Dial &up", BS_AUTORADIOBUTTON | WS_GROUP, {22, 28, 190, 46});
    Child(L"Button", L"Always on", BS_AUTORADIOBUTTON, {22, 48, 190, 66});
    HWND again = Child(L"Button", L"&Reconnect automatically", BS_AUTOCHECKBOX, {22, 70, 195, 88});
    Child(L"Static", L"Server address:", SS_LEFT, {22, 96, 190, 110});
    HWND ip = Child(WC_IPADDRESSW, L"", 0, {22, 112, 150, 133}, kClientEdge);
    Child(L"Static", L"Profile name:", SS_LEFT, {215, 12, 350, 26});
    HWND name = Child(L"Edit", L"Mobile Broadband", ES_AUTOHSCROLL | ES_NOHIDESEL,
                      {215, 28, 350, 49}, kClientEdge);
    Child(L"Static", L"Access point:", SS_LEFT, {215, 56, 350, 70});
    HWND apn = Child(L"Edit", L"internet", ES_AUTOHSCROLL, {215, 72, 350, 93}, kClientEdge);
    Child(L"Static", L"Signal is weak here; a better place helps.", SS_CENTER,
          {215, 100, 350, 130});
    Child(L"Button", L"Details...", WS_DISABLED, {215, 136, 300, 159});
    HWND connect = Child(L"Button", L"Connect", BS_DEFPUSHBUTTON, {180, 196, 262, 219});
    Child(L"Button", L"Cancel", BS_PUSHBUTTON, {270, 196, 350, 219});
    Drain();  // the dialog paints, then its controls

    SendMessageW(dial, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(again, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(ip, IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 1, 1));
    SendMessageW(name, EM_SETSEL, 7, 16);  // "Broadband"
    SetFocus(apn);
    SendMessageW(apn, EM_SETSEL, 8, 8);
    Drain();
    // One blink shows the caret, after "internet".
    Sleep(GetCaretBlinkTime());
    Drain();

    // The tooltip of the Connect button, below the mouse, under the dialog.
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, dialog_, nullptr,
                               nullptr, nullptr);
    TOOLINFOW ti{sizeof ti};
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = dialog_;
    ti.uId = reinterpret_cast<UINT_PTR>(connect);
    ti.lpszText = const_cast<LPWSTR>(L"Connects with the chosen profile");
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    MSG move{connect, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10), GetTickCount(), {200, 255}};
    SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    Sleep(500);
    Drain();
    ASSERT_TRUE(control::ShownTooltip());

    cairo_surface_t* screen = sim::machine().screen().Compose();
    cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 380, 280);
    cairo_t* cr = cairo_create(shot);
    cairo_set_source_surface(cr, screen, -(kDialog.left - 10), -(kDialog.top - 10));
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_TRUE(golden::Matches(shot, "controls_classic"));
    cairo_surface_destroy(shot);
    cairo_surface_destroy(screen);
}

}  // namespace
