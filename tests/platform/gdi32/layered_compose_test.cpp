// Layered windows' size, clicks and alpha; how a parent's drawing and its children's share the
// screen; WM_SIZE during a move.
#include <gtest/gtest.h>

#include "common/gdi_helper.h"
#include "machine/control/input.h"
#include "machine/control/screen.h"

namespace {

class LayeredComposeTest : public WindowTest {
protected:
    // A white ordinary window below, covering (0, 0)..(100, 100).
    void SetUp() override {
        WindowTest::SetUp();
        below_ = MakePopup({0, 0, 100, 100});
    }
    // Shows a 40x40 picture at (10, 10): left half `left`, right half `right`.
    static BOOL Show(HWND w, std::uint32_t left, std::uint32_t right, DWORD flags,
                     BLENDFUNCTION blend, COLORREF key = 0, SIZE size = {40, 40}) {
        MemDc mem(size.cx, size.cy);
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x) mem.dib.At(x, y) = x < size.cx / 2 ? left : right;
        POINT at{10, 10}, from{0, 0};
        return UpdateLayeredWindow(w, nullptr, &at, &size, mem.dc, &from, key, &blend, flags);
    }
    static void Fill(HWND w, RECT r, COLORREF colour) {
        HDC dc = GetDC(w);
        HBRUSH b = CreateSolidBrush(colour);
        FillRect(dc, &r, b);
        DeleteObject(b);
        ReleaseDC(w, dc);
    }
    HWND below_ = nullptr;
};

constexpr BLENDFUNCTION kPerPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

TEST_F(LayeredComposeTest, ThePicturesSizeResizesTheWindowAndSendsWmSize) {
    HWND layered = MakePopup({200, 200, 230, 230}, WS_EX_LAYERED);
    MessageLog().Clear();
    ASSERT_TRUE(Show(layered, 0xFF0000FFu, 0xFF0000FFu, ULW_ALPHA, kPerPixel, 0, {40, 24}));
    // Sent during the call, with the new client size.
    auto sized = Entries(WM_SIZE, layered);
    ASSERT_EQ(sized.size(), 1u);
    EXPECT_EQ(sized[0].lParam, MAKELPARAM(40, 24));
    RECT r;
    GetWindowRect(layered, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 24);
    MessageLog().Clear();
    ASSERT_TRUE(Show(layered, 0xFF0000FFu, 0xFF0000FFu, ULW_ALPHA, kPerPixel, 0, {40, 24}));
    EXPECT_TRUE(Entries(WM_SIZE, layered).empty());  // the same size again
}

TEST_F(LayeredComposeTest, APictureWindowShowsNoChildWindows) {
    HWND layered = MakePopup({10, 10, 50, 50}, WS_EX_LAYERED);
    HWND child = MakePopup({0, 0, 20, 20}, 0, layered);
    ASSERT_TRUE(Show(layered, 0xFFFF0000u, 0xFFFF0000u, ULW_ALPHA, kPerPixel));
    Fill(child, {0, 0, 20, 20}, RGB(0, 0, 0));
    UpdateWindow(child);
    EXPECT_EQ(control::PixelAt(15, 15), RGB(255, 0, 0));
}

TEST_F(LayeredComposeTest, TransparentPixelsPassClicksToTheWindowBelow) {
    struct Case {
        const char* what;
        std::uint32_t left;
        DWORD flags;
        BLENDFUNCTION blend;
        COLORREF key;
        bool rightTakes;  // whether the opaque right half takes its click
    } cases[] = {
        {"alpha 0", 0x00000000u, ULW_ALPHA, kPerPixel, 0, true},
        {"colour key", 0xFF00FF00u, ULW_COLORKEY, kPerPixel, RGB(0, 255, 0), true},
        {"constant alpha 0", 0xFF000080u, ULW_ALPHA, {AC_SRC_OVER, 0, 0, 0}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND layered = MakePopup({10, 10, 50, 50}, WS_EX_LAYERED);
        ASSERT_TRUE(Show(layered, c.left, 0xFF0000FFu, c.flags, c.blend, c.key));
        Drain();
        MessageLog().Clear();
        ASSERT_TRUE(control::Click({15, 20}));
        ASSERT_TRUE(control::Click({45, 20}));
        Drain();
        auto downs = Entries(WM_LBUTTONDOWN);
        ASSERT_EQ(downs.size(), 2u);
        EXPECT_EQ(downs[0].hwnd, below_);
        EXPECT_EQ(downs[1].hwnd, c.rightTakes ? layered : below_);
        DestroyWindow(layered);
    }
}

TEST_F(LayeredComposeTest, AConstantAlphaScalesPixelsThatHaveTheirOwn) {
    HWND layered = MakePopup({10, 10, 50, 50}, WS_EX_LAYERED);
    // Half-transparent blue at half strength over white: a quarter of blue's own weight.
    ASSERT_TRUE(
        Show(layered, 0x80000080u, 0x80000080u, ULW_ALPHA, {AC_SRC_OVER, 0, 0x80, AC_SRC_ALPHA}));
    COLORREF shown = control::PixelAt(20, 20);
    EXPECT_NEAR(GetRValue(shown), 0xBF, 1);
    EXPECT_NEAR(GetGValue(shown), 0xBF, 1);
    EXPECT_NEAR(GetBValue(shown), 0xFF, 1);
}

TEST_F(LayeredComposeTest, AttributesNeedALayeredTopLevelWindow) {
    HWND plain = MakePopup({0, 0, 10, 10});
    HWND top = MakePopup({0, 0, 40, 40}, WS_EX_LAYERED);
    HWND layeredChild = MakePopup({0, 0, 10, 10}, WS_EX_LAYERED, top);
    for (HWND w : {plain, layeredChild}) {
        SetLastError(0);
        EXPECT_FALSE(SetLayeredWindowAttributes(w, 0, 128, LWA_ALPHA));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(SetLayeredWindowAttributes(top, 0, 128, LWA_ALPHA));
}

TEST_F(LayeredComposeTest, AParentsDrawingShowsWhereAChildPaintsNothing) {
    HWND parent = MakePopup({100, 100, 200, 200});
    HWND child = MakePopup({10, 10, 50, 50}, 0, parent);
    Answers() = [child](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w == child && m == WM_PAINT) {
            ValidateRect(w, nullptr);  // draws nothing
            return 0;
        }
        return std::nullopt;
    };
    Drain();
    // Without WS_CLIPCHILDREN the parent's context covers the child's area too.
    Fill(parent, {0, 0, 100, 100}, RGB(0, 128, 0));
    InvalidateRect(child, nullptr, TRUE);
    UpdateWindow(child);
    EXPECT_EQ(control::PixelAt(130, 130), RGB(0, 128, 0));  // inside the child
    EXPECT_EQ(control::PixelAt(170, 170), RGB(0, 128, 0));
}

TEST_F(LayeredComposeTest, MoveWindowSendsWmSizeBeforeItReturns) {
    HWND w = MakePopup({0, 0, 50, 50});
    MessageLog().Clear();
    MoveWindow(w, 5, 5, 70, 30, TRUE);
    auto sized = Entries(WM_SIZE, w);
    ASSERT_EQ(sized.size(), 1u);
    EXPECT_EQ(sized[0].lParam, MAKELPARAM(70, 30));
    MoveWindow(w, 9, 9, 70, 30, TRUE);  // moved only
    EXPECT_EQ(Entries(WM_SIZE, w).size(), 1u);
}

}  // namespace
