// Helpers of the GDI+ tests: pixels of bitmaps, PNG files written onto the machine.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <string>

#include "common/sim_fixture.h"
#include <gdiplus.h>

class GdiplusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

    // Straight-alpha colour of one pixel.
    static Gdiplus::ARGB Pixel(Gdiplus::Bitmap& b, int x, int y) {
        Gdiplus::Color c;
        EXPECT_EQ(b.GetPixel(x, y, &c), Gdiplus::Ok) << x << "," << y;
        return c.GetValue();
    }
    // Pixels of the bitmap that are not fully transparent, in a rectangle.
    static int Painted(Gdiplus::Bitmap& b, const Gdiplus::Rect& r) {
        int n = 0;
        for (int y = r.Y; y < r.GetBottom(); ++y)
            for (int x = r.X; x < r.GetRight(); ++x)
                if ((Pixel(b, x, y) >> 24) != 0) ++n;
        return n;
    }
    static int PaintedOutside(Gdiplus::Bitmap& b, const Gdiplus::Rect& inside) {
        Gdiplus::Rect all(0, 0, static_cast<int>(b.GetWidth()), static_cast<int>(b.GetHeight()));
        return Painted(b, all) - Painted(b, inside);
    }
    // Writes a PNG of w x h pixels onto the machine: each pixel's colour is colourAt(x, y)
    // (opaque unless the colour says otherwise).
    template <class F>
    void WritePng(const std::wstring& machinePath, int w, int h, F colourAt) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Gdiplus::Color c(colourAt(x, y));
                auto a = c.GetA();
                auto pm = [a](unsigned v) { return (v * a + 127) / 255; };
                reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                    (uint32_t{a} << 24) | (pm(c.GetR()) << 16) | (pm(c.GetG()) << 8) | pm(c.GetB());
            }
        cairo_surface_mark_dirty(s);
        M().WriteFile(machinePath, "");
        ASSERT_EQ(cairo_surface_write_to_png(s, M().HostPath(machinePath).c_str()),
                  CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }

    ULONG_PTR token_ = 0;
};
