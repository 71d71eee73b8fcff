// Layered windows on the screen: colour key, per-pixel alpha and constant alpha, read back from
// the composed screen; and the screen as a PNG file.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>

#include "common/gdi_helper.h"
#include "machine/control/screen.h"

namespace {

class GdiLayeredTest : public WindowTest {
protected:
    // A white ordinary window below, covering (0, 0)..(100, 100).
    void SetUp() override {
        WindowTest::SetUp();
        below_ = MakePopup({0, 0, 100, 100});
    }
    HWND below_ = nullptr;
};

// A window over the white one, holding a 40x40 picture: left half `left`, right half `right`
// (premultiplied 0xAARRGGBB).
struct Picture {
    MemDc mem{40, 40};
    Picture(std::uint32_t left, std::uint32_t right) {
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) mem.dib.At(x, y) = x < 20 ? left : right;
    }
};

TEST_F(GdiLayeredTest, UpdateLayeredWindowComposesItsPicture) {
    struct Case {
        const char* what;
        std::uint32_t left, right;
        DWORD flags;
        BLENDFUNCTION blend;
        COLORREF key;
        COLORREF leftShows, rightShows;
    } cases[] = {
        {"per-pixel alpha: half blue, opaque red",
         0x80000080u,
         0xFFFF0000u,
         ULW_ALPHA,
         {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA},
         0,
         RGB(0x7F, 0x7F, 0xFF),
         RGB(255, 0, 0)},
        {"constant alpha without the pixels' own",
         0x00000000u,
         0xFF00FF00u,
         ULW_ALPHA,
         {AC_SRC_OVER, 0, 0x80, 0},
         0,
         RGB(0x7F, 0x7F, 0x7F),
         RGB(0x7F, 0xFF, 0x7F)},
        {"colour key: green is a hole",
         0xFF00FF00u,
         0xFF0000FFu,
         ULW_COLORKEY,
         {AC_SRC_OVER, 0, 255, 0},
         RGB(0, 255, 0),
         RGB(255, 255, 255),
         RGB(0, 0, 255)},
        {"opaque ignores alpha",
         0x00000080u,
         0x00800000u,
         ULW_OPAQUE,
         {AC_SRC_OVER, 0, 255, 0},
         0,
         RGB(0, 0, 0x80),
         RGB(0x80, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND layered = MakePopup({200, 200, 210, 210}, WS_EX_LAYERED);
        Picture pic(c.left, c.right);
        POINT at{10, 10}, from{0, 0};
        SIZE size{40, 40};
        BLENDFUNCTION blend = c.blend;
        ASSERT_TRUE(UpdateLayeredWindow(layered, nullptr, &at, &size, pic.mem.dc, &from, c.key,
                                        &blend, c.flags));
        RECT r;
        GetWindowRect(layered, &r);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.right, 50);
        COLORREF left = control::PixelAt(15, 20), right = control::PixelAt(45, 20);
        // One step of rounding either way.
        auto near = [](COLORREF a, COLORREF b) {
            for (int shift : {0, 8, 16})
                if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                             static_cast<int>((b >> shift) & 0xFF)) > 1)
                    return false;
            return true;
        };
        EXPECT_TRUE(near(left, c.leftShows)) << std::hex << left;
        EXPECT_TRUE(near(right, c.rightShows)) << std::hex << right;
        DestroyWindow(layered);
    }
}

TEST_F(GdiLayeredTest, AttributesShowTheWindowsOwnDrawingWithKeyAndAlpha) {
    struct Case {
        const char* what;
        COLORREF key;
        BYTE alpha;
        DWORD flags;
        COLORREF keyedShows, otherShows;
    } cases[] = {
        {"colour key", RGB(0x40, 0x30, 0x20), 255, LWA_COLORKEY, RGB(255, 255, 255), RGB(0, 0, 0)},
        {"constant alpha", 0, 0x80, LWA_ALPHA, RGB(0x9F, 0x97, 0x8F), RGB(0x7F, 0x7F, 0x7F)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND layered = MakePopup({10, 10, 50, 50}, WS_EX_LAYERED);
        ASSERT_TRUE(SetLayeredWindowAttributes(layered, c.key, c.alpha, c.flags));
        // Left half the key colour (0x00BBGGRR 0x203040 is the pixel 0xFF403020), right black.
        MemDc mem(40, 40);
        mem.dib.Fill(0xFF403020u);
        for (int y = 0; y < 40; ++y)
            for (int x = 20; x < 40; ++x) mem.dib.At(x, y) = 0xFF000000u;
        HDC dc = GetDC(layered);
        BitBlt(dc, 0, 0, 40, 40, mem.dc, 0, 0, SRCCOPY);
        ReleaseDC(layered, dc);
        COLORREF keyed = control::PixelAt(15, 20), other = control::PixelAt(45, 20);
        EXPECT_LE(std::abs(GetRValue(keyed) - GetRValue(c.keyedShows)), 1) << std::hex << keyed;
        EXPECT_LE(std::abs(GetBValue(keyed) - GetBValue(c.keyedShows)), 1) << std::hex << keyed;
        EXPECT_LE(std::abs(GetGValue(other) - GetGValue(c.otherShows)), 1) << std::hex << other;
        DestroyWindow(layered);
    }
}

TEST_F(GdiLayeredTest, TheTwoWaysExcludeEachOtherAndNeedTheStyle) {
    HWND plain = MakePopup({0, 0, 10, 10});
    EXPECT_FALSE(SetLayeredWindowAttributes(plain, 0, 255, LWA_ALPHA));
    SIZE size{4, 4};
    POINT from{0, 0};
    MemDc mem(4, 4);
    EXPECT_FALSE(
        UpdateLayeredWindow(plain, nullptr, nullptr, &size, mem.dc, &from, 0, nullptr, ULW_OPAQUE));

    HWND byAttributes = MakePopup({0, 0, 10, 10}, WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(byAttributes, 0, 200, LWA_ALPHA));
    EXPECT_FALSE(UpdateLayeredWindow(byAttributes, nullptr, nullptr, &size, mem.dc, &from, 0,
                                     nullptr, ULW_OPAQUE));

    HWND byPicture = MakePopup({0, 0, 10, 10}, WS_EX_LAYERED);
    ASSERT_TRUE(UpdateLayeredWindow(byPicture, nullptr, nullptr, &size, mem.dc, &from, 0, nullptr,
                                    ULW_OPAQUE));
    EXPECT_FALSE(SetLayeredWindowAttributes(byPicture, 0, 200, LWA_ALPHA));
    // ULW_ALPHA without a blend function.
    EXPECT_FALSE(UpdateLayeredWindow(byPicture, nullptr, nullptr, &size, mem.dc, &from, 0, nullptr,
                                     ULW_ALPHA));
}

TEST_F(GdiLayeredTest, TheScreenSavesAsPng) {
    HWND top = MakePopup({20, 20, 60, 60});
    HDC dc = GetDC(top);
    PatBlt(dc, 0, 0, 10, 10, DSTINVERT);
    ReleaseDC(top, dc);
    auto path = std::filesystem::temp_directory_path() / "gdi_layered_test_screen.png";
    ASSERT_TRUE(control::SaveScreenPng(path.string()));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.string().c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), M().config().screenWidth);
    EXPECT_EQ(cairo_image_surface_get_height(png), M().config().screenHeight);
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(png) +
                                                      y * cairo_image_surface_get_stride(png))[x];
    };
    EXPECT_EQ(pixel(25, 25), 0xFF000000u);    // inverted white
    EXPECT_EQ(pixel(35, 35), 0xFFFFFFFFu);    // the window's white
    EXPECT_EQ(pixel(500, 500), 0xFF3A6EA5u);  // the desktop
    cairo_surface_destroy(png);
    std::filesystem::remove(path);
    EXPECT_FALSE(control::SaveScreenPng("/nonexistent-folder/x.png"));
    EXPECT_FALSE(control::SaveWindowPng(nullptr, path.string()));
}

TEST_F(GdiLayeredTest, AHiddenWindowIsNotOnTheScreen) {
    HWND top = MakePopup({0, 0, 20, 20});
    ShowWindow(below_, SW_HIDE);
    ShowWindow(top, SW_HIDE);
    EXPECT_EQ(control::PixelAt(5, 5), RGB(0x3A, 0x6E, 0xA5));
    EXPECT_EQ(control::PixelAt(-1, 0), CLR_INVALID);
}

}  // namespace
