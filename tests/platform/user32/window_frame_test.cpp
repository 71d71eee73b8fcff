// The default window procedure's frame handling: hit tests, cursors, moving and sizing with the
// mouse, system commands and WM_PRINT.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

#include "platform/dib_canvas.h"
#include "machine/control/input.h"
#include <wingdi.h>
#include <winbase.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

// Takes and dispatches every message now queued (a move or size loop takes what follows its
// press itself).
void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

std::tuple<LONG, LONG, LONG, LONG> Tie(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// A sizable window with a caption over (100,100)-(300,300): its frame is 4 pixels wide and its
// caption 18 high, so the client area is (104,122)-(296,296).
constexpr DWORD kFramed = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
constexpr RECT kFramedRect{100, 100, 300, 300};

class FrameTest : public WindowTest {};

TEST_F(FrameTest, HitTestNamesThePartOfTheFrameUnderThePoint) {
    HWND sizable = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    HWND bordered =
        MakeWindow(WS_POPUP | WS_BORDER | WS_VISIBLE, nullptr, 0, L"", {400, 100, 500, 200});
    struct Case {
        HWND window;
        POINT at;
        LRESULT hit;
    };
    const Case cases[] = {
        {sizable, {200, 200}, HTCLIENT},      {sizable, {200, 110}, HTCAPTION},
        {sizable, {101, 200}, HTLEFT},        {sizable, {298, 200}, HTRIGHT},
        {sizable, {200, 101}, HTTOP},         {sizable, {200, 298}, HTBOTTOM},
        {sizable, {101, 101}, HTTOPLEFT},     {sizable, {110, 101}, HTTOPLEFT},
        {sizable, {298, 101}, HTTOPRIGHT},    {sizable, {101, 298}, HTBOTTOMLEFT},
        {sizable, {298, 298}, HTBOTTOMRIGHT}, {sizable, {99, 200}, HTNOWHERE},
        {sizable, {300, 200}, HTNOWHERE},     {bordered, {400, 150}, HTBORDER},
        {bordered, {450, 150}, HTCLIENT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessageW(c.window, WM_NCHITTEST, 0, MAKELPARAM(c.at.x, c.at.y)), c.hit)
            << c.at.x << "," << c.at.y;
}

TEST_F(FrameTest, CursorIsTheClassCursorInsideAndTheSizeCursorOnTheBorder) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = LoggingProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = L"TextWindow";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND w = CreateWindowExW(0, L"TextWindow", L"", kFramed, 100, 100, 200, 200, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    struct Case {
        POINT at;
        LPCWSTR cursor;
    };
    const Case cases[] = {
        {{200, 200}, IDC_IBEAM},    {{101, 200}, IDC_SIZEWE},   {{200, 298}, IDC_SIZENS},
        {{101, 101}, IDC_SIZENWSE}, {{298, 101}, IDC_SIZENESW}, {{200, 110}, IDC_ARROW},
    };
    for (const Case& c : cases) {
        control::MoveMouse(c.at);
        Pump();
        EXPECT_EQ(control::CurrentCursor(), LoadCursorW(nullptr, c.cursor))
            << c.at.x << "," << c.at.y;
    }
}

TEST_F(FrameTest, DraggingTheCaptionMovesTheWindowUntilTheRelease) {
    HWND w = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    MessageLog().Clear();
    control::MoveMouse({200, 110});
    control::PressMouse();
    control::MoveMouse({230, 150});
    control::MoveMouse({250, 170});
    control::ReleaseMouse();
    control::MoveMouse({400, 400});  // after the release: an ordinary move
    Pump();
    EXPECT_EQ(Tie(WindowRect(w)), Tie({150, 160, 350, 360}));
    EXPECT_EQ(Messages({WM_SYSCOMMAND, WM_ENTERSIZEMOVE, WM_MOVING, WM_MOVE, WM_EXITSIZEMOVE,
                        WM_CAPTURECHANGED},
                       w),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_ENTERSIZEMOVE, WM_MOVING, WM_MOVE, WM_MOVING,
                                 WM_MOVE, WM_CAPTURECHANGED, WM_EXITSIZEMOVE}));
    auto command = Entries(WM_SYSCOMMAND, w);
    ASSERT_EQ(command.size(), 1u);
    EXPECT_EQ(command[0].wParam, static_cast<WPARAM>(SC_MOVE | HTCAPTION));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(Entries(WM_MOUSEMOVE, w).empty());  // the loop took the moves, (400,400) is outside
}

TEST_F(FrameTest, DraggingABorderSizesTheWindowWithinTheMinimumTrackSize) {
    struct Case {
        const char* name;
        POINT press;
        POINT release;
        int edge;
        RECT expected;
    };
    const Case cases[] = {
        {"right border", {298, 200}, {338, 230}, WMSZ_RIGHT, {100, 100, 340, 300}},
        {"bottom-right corner", {298, 298}, {318, 278}, WMSZ_BOTTOMRIGHT, {100, 100, 320, 280}},
        {"left border past the minimum", {101, 200}, {201, 200}, WMSZ_LEFT, {150, 100, 300, 300}},
        {"top border past the minimum", {200, 101}, {200, 290}, WMSZ_TOP, {100, 140, 300, 300}},
    };
    for (const Case& c : cases) {
        HWND w = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
        Answers() = [w](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            if (h == w && m == WM_GETMINMAXINFO)
                reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {150, 160};
            return std::nullopt;
        };
        MessageLog().Clear();
        control::MoveMouse(c.press);
        control::PressMouse();
        control::MoveMouse(c.release);
        control::ReleaseMouse();
        Pump();
        EXPECT_EQ(Tie(WindowRect(w)), Tie(c.expected)) << c.name;
        auto sizing = Entries(WM_SIZING, w);
        ASSERT_EQ(sizing.size(), 1u) << c.name;
        EXPECT_EQ(sizing[0].wParam, static_cast<WPARAM>(c.edge)) << c.name;
        RECT client;
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, c.expected.right - c.expected.left - 8) << c.name;
        Answers() = nullptr;
        DestroyWindow(w);
    }
}

TEST_F(FrameTest, MoveAskedFromAClientPressFollowsThePointerFromThePress) {
    // A frameless window that moves itself when pressed anywhere, handing on the press's client
    // coordinates: the loop follows the pointer from where it was pressed.
    HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 300, 300});
    Answers() = [w](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (h == w && m == WM_LBUTTONDOWN) SendMessageW(w, WM_NCLBUTTONDOWN, HTCAPTION, lp);
        return std::nullopt;
    };
    control::MoveMouse({150, 150});
    control::PressMouse();
    control::MoveMouse({170, 160});
    control::ReleaseMouse();
    Pump();
    EXPECT_EQ(Tie(WindowRect(w)), Tie({120, 110, 320, 310}));
}

TEST_F(FrameTest, APressInANestedWindowMovesTheTopLevelWindowWithTheCapture) {
    // A frameless top-level window with a nested window at (50,40) in it; a press on the nested
    // window asks its top-level window to move, handing on the point relative to the top-level
    // window (not on the screen).
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 300, 300});
    HWND nested = MakeWindow(WS_CHILD | WS_VISIBLE, top, 1, L"", {50, 40, 150, 70});
    std::vector<HWND> captured;
    Answers() = [&](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (h == nested && m == WM_LBUTTONDOWN)
            SendMessageW(top, WM_NCLBUTTONDOWN, HTCAPTION,
                         MAKELPARAM(GET_X_LPARAM(lp) + 50, GET_Y_LPARAM(lp) + 40));
        if (h == top && m == WM_MOVING) captured.push_back(GetCapture());
        return std::nullopt;
    };
    control::MoveMouse({160, 150});
    control::PressMouse();
    control::MoveMouse({190, 170});
    control::MoveMouse({200, 180});
    control::ReleaseMouse();
    Pump();
    EXPECT_EQ(Tie(WindowRect(top)), Tie({140, 130, 340, 330}));
    EXPECT_EQ(captured, (std::vector<HWND>{top, top}));
    EXPECT_EQ(GetCapture(), nullptr);
    // The loop took the moves and the release: the nested window saw only the press.
    EXPECT_EQ(Messages({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}, nested),
              (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN}));
    EXPECT_TRUE(Messages({WM_MOUSEMOVE, WM_LBUTTONUP}, top).empty());
}

TEST_F(FrameTest, AMoveAskedWithTheButtonUpEndsAtOnce) {
    // Asked when the release has been taken: nothing moves, and the input after it goes on to
    // the window as usual.
    HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 300, 300});
    Answers() = [w](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (h == w && m == WM_LBUTTONUP) SendMessageW(w, WM_NCLBUTTONDOWN, HTCAPTION, lp);
        return std::nullopt;
    };
    MessageLog().Clear();
    control::Click({150, 150});
    control::MoveMouse({170, 160});
    Pump();
    EXPECT_EQ(Tie(WindowRect(w)), Tie({100, 100, 300, 300}));
    EXPECT_TRUE(Entries(WM_ENTERSIZEMOVE, w).empty());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Messages({WM_LBUTTONUP, WM_MOUSEMOVE}, w).back(), static_cast<UINT>(WM_MOUSEMOVE));
}

TEST_F(FrameTest, EscapePutsTheWindowBack) {
    HWND w = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    control::MoveMouse({200, 110});
    control::PressMouse();
    control::MoveMouse({260, 160});
    control::PressKey(VK_ESCAPE);
    control::MoveMouse({300, 300});
    control::ReleaseMouse();
    Pump();
    EXPECT_EQ(Tie(WindowRect(w)), Tie(kFramedRect));
    EXPECT_EQ(Entries(WM_EXITSIZEMOVE, w).size(), 1u);
}

TEST_F(FrameTest, MoveLoopNeedsTheButtonHeld) {
    HWND w = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    MessageLog().Clear();
    SendMessageW(w, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(200, 110));
    EXPECT_TRUE(Entries(WM_ENTERSIZEMOVE, w).empty());
    EXPECT_EQ(Tie(WindowRect(w)), Tie(kFramedRect));
}

TEST_F(FrameTest, CloseCommandClosesTheWindow) {
    HWND w = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    MessageLog().Clear();
    SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Messages({WM_CLOSE, WM_DESTROY}, w), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(w));
}

// ---- WM_PRINT ----

struct Printed {
    HWND window;
    UINT message;
    POINT origin;  // the context's viewport origin at that moment
};

TEST_F(FrameTest, PrintSendsItsPartsInOrderWithTheOriginAtEachWindow) {
    // A parent with a frame (client at (4,22) in it) and three children, the first the topmost.
    HWND parent = MakeWindow(kFramed, nullptr, 0, L"", kFramedRect);
    HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 1, L"", {10, 20, 50, 40});
    HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 2, L"", {60, 5, 90, 30});
    HWND hidden = MakeWindow(WS_CHILD, parent, 3, L"", {0, 0, 10, 10});
    ASSERT_NE(hidden, nullptr);
    HWND lonely = MakeWindow(WS_POPUP, nullptr, 0, L"", {0, 0, 10, 10});  // hidden
    std::vector<Printed> printed;
    Answers() = [&](HWND h, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_PRINT || m == WM_PRINTCLIENT || m == WM_ERASEBKGND) {
            POINT o{-1, -1};
            GetViewportOrgEx(reinterpret_cast<HDC>(wp), &o);
            printed.push_back({h, m, o});
        }
        return std::nullopt;
    };
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    using P = std::vector<std::tuple<HWND, UINT, LONG, LONG>>;
    struct Case {
        HWND window;
        DWORD flags;
        P expected;
    };
    const Case cases[] = {
        {parent, PRF_CLIENT, {{parent, WM_PRINT, 0, 0}, {parent, WM_PRINTCLIENT, 4, 22}}},
        {parent,
         PRF_ERASEBKGND | PRF_CLIENT | PRF_NONCLIENT,
         {{parent, WM_PRINT, 0, 0},
          {parent, WM_ERASEBKGND, 4, 22},
          {parent, WM_PRINTCLIENT, 4, 22}}},
        {parent,
         PRF_CLIENT | PRF_CHILDREN,
         {{parent, WM_PRINT, 0, 0},
          {parent, WM_PRINTCLIENT, 4, 22},
          {b, WM_PRINT, 64, 27},
          {b, WM_PRINTCLIENT, 64, 27},
          {a, WM_PRINT, 14, 42},
          {a, WM_PRINTCLIENT, 14, 42}}},
        {parent,
         PRF_CHILDREN,
         {{parent, WM_PRINT, 0, 0}, {b, WM_PRINT, 64, 27}, {a, WM_PRINT, 14, 42}}},
        {lonely, PRF_CHECKVISIBLE | PRF_CLIENT, {{lonely, WM_PRINT, 0, 0}}},
        {lonely, PRF_CLIENT, {{lonely, WM_PRINT, 0, 0}, {lonely, WM_PRINTCLIENT, 0, 0}}},
    };
    for (const Case& c : cases) {
        printed.clear();
        SendMessageW(c.window, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                     static_cast<LPARAM>(c.flags));
        P got;
        for (const Printed& p : printed)
            got.emplace_back(p.window, p.message, p.origin.x, p.origin.y);
        EXPECT_EQ(got, c.expected) << std::hex << c.flags;
        POINT after{-1, -1};
        GetViewportOrgEx(dc, &after);
        EXPECT_EQ(after.x, 0);
        EXPECT_EQ(after.y, 0);
    }
    ReleaseDC(nullptr, dc);
}

TEST_F(FrameTest, PrintWithOwnedWindowsPrintsThemAtTheirOffset) {
    HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 200, 200});
    HWND owned = MakeWindow(WS_POPUP | WS_VISIBLE, owner, 0, L"", {120, 150, 160, 190});
    std::vector<std::tuple<HWND, LONG, LONG>> printed;
    Answers() = [&](HWND h, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_PRINT) {
            POINT o{-1, -1};
            GetViewportOrgEx(reinterpret_cast<HDC>(wp), &o);
            printed.emplace_back(h, o.x, o.y);
        }
        return std::nullopt;
    };
    HDC dc = GetDC(nullptr);
    SendMessageW(owner, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_OWNED);
    EXPECT_EQ(printed, (std::vector<std::tuple<HWND, LONG, LONG>>{{owner, 0, 0}, {owned, 20, 50}}));
    ReleaseDC(nullptr, dc);
}

// A window whose client paint fills far beyond its own area.
constexpr COLORREF kInk = RGB(0xC0, 0x10, 0x20);

std::optional<LRESULT> FillsBeyond(HWND, UINT m, WPARAM wp, LPARAM) {
    if (m != WM_PRINTCLIENT) return std::nullopt;
    HBRUSH ink = CreateSolidBrush(kInk);
    RECT all{-500, -500, 1000, 1000};
    FillRect(reinterpret_cast<HDC>(wp), &all, ink);
    DeleteObject(ink);
    return 0;
}

TEST_F(FrameTest, PrintKeepsEachWindowToItsOwnAreaAndLeavesTheContextAsItWas) {
    // A frameless parent 100x80 whose client paint does nothing, a child at (20,10) 30x20 that
    // paints everywhere, and a grandchild of the child half outside it.
    HWND parent = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 100, 80});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 1, L"", {20, 10, 50, 30});
    HWND grandchild = MakeWindow(WS_CHILD | WS_VISIBLE, child, 2, L"", {20, 10, 60, 40});
    ASSERT_NE(grandchild, nullptr);
    Answers() = [&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
        if (h == parent) return m == WM_PRINTCLIENT ? std::optional<LRESULT>(0) : std::nullopt;
        return FillsBeyond(h, m, wp, lp);
    };
    struct Case {
        DWORD flags;
        RECT inked;  // the painted pixels' bounds (all 0: none)
    };
    const Case cases[] = {
        {PRF_CLIENT, {0, 0, 0, 0}},
        {PRF_CLIENT | PRF_CHILDREN, {20, 10, 50, 30}},  // the grandchild stays inside the child
        {PRF_CHILDREN, {0, 0, 0, 0}},                   // the child's own client is not asked for
    };
    for (const Case& c : cases) {
        DibCanvas canvas(100, 80);
        SetViewportOrgEx(canvas.dc(), 0, 0, nullptr);
        SendMessageW(parent, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                     static_cast<LPARAM>(c.flags));
        RECT ink = canvas.Ink();
        EXPECT_EQ(std::make_tuple(ink.left, ink.top, ink.right, ink.bottom),
                  std::make_tuple(c.inked.left, c.inked.top, c.inked.right, c.inked.bottom))
            << std::hex << c.flags;
        if (c.inked.right != 0) {
            EXPECT_EQ(canvas.At(c.inked.left, c.inked.top), kInk);
        }
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetClipRgn(canvas.dc(), clip), 0) << "no clip was left behind";
        DeleteObject(clip);
        POINT origin{-1, -1};
        GetViewportOrgEx(canvas.dc(), &origin);
        EXPECT_EQ(std::make_pair(origin.x, origin.y), std::make_pair(LONG{0}, LONG{0}));
    }
    // A clip the caller set stays, and bounds the print too.
    DibCanvas canvas(100, 80);
    HRGN left = CreateRectRgn(0, 0, 30, 80);
    SelectClipRgn(canvas.dc(), left);
    SendMessageW(parent, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                 PRF_CLIENT | PRF_CHILDREN);
    RECT ink = canvas.Ink();
    EXPECT_EQ(std::make_tuple(ink.left, ink.right), std::make_tuple(LONG{20}, LONG{30}));
    HRGN now = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetClipRgn(canvas.dc(), now), 1);
    RECT box{};
    GetRgnBox(now, &box);
    EXPECT_EQ(std::make_tuple(box.left, box.top, box.right, box.bottom),
              std::make_tuple(LONG{0}, LONG{0}, LONG{30}, LONG{80}));
    for (HRGN r : {left, now}) DeleteObject(r);
}

TEST_F(FrameTest, PrintDrawsTheFrameOnlyWhenAskedAndAtTheWindowsCorner) {
    // A captioned window 200x200 with a sizing border: its client lies at (4,22).
    HWND framed = MakeWindow(kFramed, nullptr, 0, L"Title", kFramedRect);
    struct Case {
        DWORD flags;
        bool frame;
    };
    const Case cases[] = {
        {PRF_NONCLIENT, true}, {PRF_CLIENT, false}, {PRF_NONCLIENT | PRF_CHECKVISIBLE, true}};
    const COLORREF white = RGB(255, 255, 255);
    for (const Case& c : cases) {
        DibCanvas canvas(220, 220);
        SendMessageW(framed, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                     static_cast<LPARAM>(c.flags));
        EXPECT_EQ(canvas.At(2, 100) != white, c.frame) << "the sizing border";
        EXPECT_EQ(canvas.At(100, 12) != white, c.frame) << "the caption bar";
        EXPECT_EQ(canvas.At(100, 100), white) << "the client area is the client's";
        EXPECT_EQ(canvas.At(205, 100), white) << "nothing beyond the window";
    }
    ShowWindow(framed, SW_HIDE);
    DibCanvas canvas(220, 220);
    SendMessageW(framed, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                 PRF_NONCLIENT | PRF_CHECKVISIBLE);
    EXPECT_EQ(canvas.Ink().right, 0) << "a hidden window prints nothing";
}

}  // namespace
