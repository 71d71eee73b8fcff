// The standard controls' classic look on the screen: a dialog of buttons, a check box, radio
// buttons, a group box, statics, an edit with a selection and its caret, an IP address field and
// a tooltip, against its reference picture; and chosen pixels of each control's parts.
#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dib_canvas.h"
#include "common/look_dialog.h"
#include <commctrl.h>
#include "machine/control/tooltips.h"
#include <wingdi.h>
#include <winbase.h>
#include "machine/screen.h"
#include <winuser.h>

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

class ControlsLookTest : public LookDialogTest {
public:
    ControlsLookTest() : LookDialogTest(kDialog) {}
    // The screen's colour at a point of a window's client area, as a COLORREF.
    static COLORREF Pixel(HWND window, int x, int y) {
        POINT p{x, y};
        ClientToScreen(window, &p);
        unsigned rgb = sim::machine().screen().PixelAt(p.x, p.y);
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    // Whether any pixel of the client rectangle has the colour, within a little (text is
    // anti-aliased). The screen is composed once for the look.
    static bool Shows(HWND window, RECT r, COLORREF color) {
        auto near = [](int a, int b) { return a - b < 0x30 && b - a < 0x30; };
        cairo_surface_t* shot = ClientShot(window, r);
        bool found = false;
        for (int y = 0; y < r.bottom - r.top && !found; ++y)
            for (int x = 0; x < r.right - r.left && !found; ++x) {
                const COLORREF p = ShotPixel(shot, x, y);
                found = near(GetRValue(p), GetRValue(color)) &&
                        near(GetGValue(p), GetGValue(color)) &&
                        near(GetBValue(p), GetBValue(color));
            }
        cairo_surface_destroy(shot);
        return found;
    }

    // A tooltip with the tool window's tip, shown as after the mouse rested at `at` (screen).
    HWND ShowTip(HWND tool, const wchar_t* text, POINT at) {
        HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, dialog_,
                                   nullptr, nullptr, nullptr);
        TOOLINFOW ti{sizeof ti};
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = dialog_;
        ti.uId = reinterpret_cast<UINT_PTR>(tool);
        ti.lpszText = const_cast<LPWSTR>(text);
        EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
        POINT client = at;
        ScreenToClient(tool, &client);
        MSG move{tool, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y), GetTickCount(), at};
        SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
        Sleep(500);
        Drain();
        return tip;
    }
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
    ShowTip(connect, L"Connects with the chosen profile", {200, 255});
    ASSERT_TRUE(control::ShownTooltip());

    EXPECT_TRUE(LooksLike("controls_classic", 30));  // with the tooltip below the dialog
}

TEST_F(ControlsLookTest, EachControlShowsItsParts) {
    struct Case {
        const char* name;
        std::function<HWND(ControlsLookTest&)> make;
        RECT probe;  // client rectangle to look in
        COLORREF color;
        bool shows;
    };
    auto button = [](const wchar_t* text, DWORD style) {
        return [=](ControlsLookTest& t) {
            return t.Child(L"Button", text, style, {10, 10, 90, 33});
        };
    };
    auto checked = [](DWORD style, WPARAM check) {
        return [=](ControlsLookTest& t) {
            HWND h = t.Child(L"Button", L"Choice", style, {10, 10, 120, 30});
            SendMessageW(h, BM_SETCHECK, check, 0);
            return h;
        };
    };
    auto edit = [](DWORD style, bool focus) {
        return [=](ControlsLookTest& t) {
            HWND h = t.Child(L"Edit", L"abcdef", style, {10, 10, 150, 31}, kClientEdge);
            if (focus) SetFocus(h);
            SendMessageW(h, EM_SETSEL, 0, 3);
            return h;
        };
    };
    const std::vector<Case> cases = {
        {"a push button's raised edge", button(L"OK", 0), {0, 0, 1, 1}, kFace, true},
        {"a push button's dark corner", button(L"OK", 0), {79, 22, 80, 23}, kDark, true},
        {"a default button's frame", button(L"OK", BS_DEFPUSHBUTTON), {0, 0, 80, 1}, kBlack, true},
        {"a push button's text", button(L"OK", 0), {2, 2, 78, 21}, kBlack, true},
        {"a disabled button's text is grey",
         button(L"OK", WS_DISABLED),
         {2, 2, 78, 21},
         kShadow,
         true},
        {"a disabled button has no black text",
         button(L"OK", WS_DISABLED),
         {2, 2, 78, 21},
         kBlack,
         false},
        {"a checked box's mark",
         checked(BS_AUTOCHECKBOX, BST_CHECKED),
         {2, 5, 11, 14},
         kBlack,
         true},
        {"an unchecked box's well is white",
         checked(BS_AUTOCHECKBOX, BST_UNCHECKED),
         {2, 5, 11, 14},
         kBlack,
         false},
        {"a checked radio button's dot",
         checked(BS_AUTORADIOBUTTON, BST_CHECKED),
         {4, 8, 8, 12},
         kBlack,
         true},
        {"an unchecked radio button has no dot",
         checked(BS_AUTORADIOBUTTON, BST_UNCHECKED),
         {4, 8, 8, 12},
         kBlack,
         false},
        {"a group box's etched frame",
         button(L"Group", BS_GROUPBOX),
         {0, 14, 1, 23},
         kShadow,
         true},
        {"a focused edit's selection", edit(0, true), {2, 2, 138, 19}, kHighlight, true},
        {"an edit without the focus hides its selection",
         edit(0, false),
         {2, 2, 138, 19},
         kHighlight,
         false},
        {"ES_NOHIDESEL keeps it", edit(ES_NOHIDESEL, false), {2, 2, 138, 19}, kHighlight, true},
        {"an edit's sunken border", edit(0, false), {0, 0, 140, 1}, kShadow, true},
        {"a black rectangle static",
         [](ControlsLookTest& t) {
             return t.Child(L"Static", L"", SS_BLACKRECT, {10, 10, 20, 20});
         },
         {0, 0, 10, 10},
         kBlack,
         true},
        {"an IP address field's dots",
         [](ControlsLookTest& t) {
             return t.Child(WC_IPADDRESSW, L"", 0, {10, 10, 130, 31}, kClientEdge);
         },
         {24, 4, 29, 17},
         kBlack,
         true},
    };
    for (const Case& c : cases) {
        HWND h = c.make(*this);
        Drain();
        EXPECT_EQ(Shows(h, c.probe, c.color), c.shows) << c.name;
        DestroyWindow(h);
        Drain();
    }
}

TEST_F(ControlsLookTest, TheCaretBlinksOverTheText) {
    HWND edit = Child(L"Edit", L"dial", 0, {10, 10, 150, 31}, kClientEdge);
    Drain();
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 4, 4);
    Drain();
    POINT caret{};
    ASSERT_TRUE(GetCaretPos(&caret));
    const COLORREF before = Pixel(edit, caret.x, caret.y + 4);
    EXPECT_EQ(before, kWhite);
    std::vector<COLORREF> seen;
    for (int blink = 0; blink < 3; ++blink) {
        Sleep(GetCaretBlinkTime());
        Drain();
        seen.push_back(Pixel(edit, caret.x, caret.y + 4));
    }
    EXPECT_EQ(seen, (std::vector<COLORREF>{kBlack, kWhite, kBlack}));
    // Typing repaints the text; the caret moves on, still shown, and leaves no trace behind.
    SendMessageW(edit, WM_CHAR, L'X', 0);
    POINT moved{};
    GetCaretPos(&moved);
    EXPECT_GT(moved.x, caret.x);
    EXPECT_EQ(Pixel(edit, moved.x, moved.y + 4), kBlack);
    // Losing the focus takes the caret's picture away.
    SetFocus(nullptr);
    EXPECT_EQ(Pixel(edit, moved.x, moved.y + 4), kWhite);
}

TEST_F(ControlsLookTest, ATooltipIsAYellowBoxInABlackFrame) {
    HWND owner = Child(L"Button", L"Go", 0, {10, 10, 60, 30});
    HWND tip = ShowTip(owner, L"Starts dialling", {500, 500});
    ASSERT_TRUE(IsWindowVisible(tip));
    RECT client{};
    GetClientRect(tip, &client);
    EXPECT_EQ(Pixel(tip, 0, 0), kBlack);
    EXPECT_EQ(Pixel(tip, client.right - 1, client.bottom - 1), kBlack);
    EXPECT_EQ(Pixel(tip, 2, 2), kInfo);
    EXPECT_TRUE(Shows(tip, {4, 4, client.right - 4, client.bottom - 4}, kBlack));  // its text
}

TEST_F(ControlsLookTest, AControlPrintsItselfIntoAnyContext) {
    HWND button = Child(L"Button", L"Connect", BS_DEFPUSHBUTTON, {10, 10, 90, 33});
    HWND edit = Child(L"Edit", L"apn", 0, {10, 40, 90, 61}, kClientEdge);
    Drain();
    for (HWND control : {button, edit}) {
        DibCanvas canvas(80, 23);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        for (int x = 0; x < 80; x += 13)
            for (int y = 0; y < 21; y += 5)
                EXPECT_EQ(canvas.At(x, y), Pixel(control, x, y)) << x << "," << y;
    }
}

}  // namespace
