// What the drawing tests share: a machine with the drawing library started, image files written
// into the machine, a transparent canvas to paint on, pixels read back, and golden images.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/sim_fixture.h"
#include "docking/image_cache.h"
#include <gdiplus.h>

// A 24-bit BMP of w x h whose pixel (x, y) has the colour pixel(x, y) (0xRRGGBB), as bytes.
inline std::string BmpBytes(int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
    const int row = (w * 3 + 3) / 4 * 4;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(row * h);
    std::string b;
    auto u16 = [&b](std::uint32_t v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    b += "BM";
    u32(54 + dataSize);
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<std::uint32_t>(w));
    u32(static_cast<std::uint32_t>(h));
    u16(1);
    u16(24);
    u32(0);
    u32(dataSize);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = h - 1; y >= 0; --y) {  // bottom-up rows
        std::string line;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = pixel(x, y);
            line += static_cast<char>(c & 0xFF);
            line += static_cast<char>((c >> 8) & 0xFF);
            line += static_cast<char>((c >> 16) & 0xFF);
        }
        line.resize(static_cast<size_t>(row), '\0');
        b += line;
    }
    return b;
}

// The colour of the test image's pixel (x, y): every pixel of a 10 x 10 image tells its place.
inline std::uint32_t ImagePixel(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x * 20 + 10) << 16 |
           static_cast<std::uint32_t>(y * 20 + 10) << 8 | 0x80u;
}

class DrawingTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        System::Docking::StartDrawingLibrary();
    }
    // Writes a w x h image file of ImagePixel (repeated every 10 pixels) to the machine path.
    void WriteImage(const std::wstring& path, int w = 10, int h = 10) {
        ASSERT_TRUE(M().WriteFile(path, BmpBytes(w, h, [](int x, int y) {
                                      return ImagePixel(x % 10, y % 10) & 0xFFFFFF;
                                  })));
    }
};

// A transparent bitmap with a graphics on it.
struct Canvas {
    Canvas(int w, int h) : bitmap(w, h, Gdiplus::PixelFormat32bppARGB), graphics(&bitmap) {}
    Gdiplus::ARGB At(int x, int y) {
        Gdiplus::Color c;
        bitmap.GetPixel(x, y, &c);
        return c.GetValue();
    }
    Gdiplus::Bitmap bitmap;
    Gdiplus::Graphics graphics;
};

// Compares the canvas with the reference PNG tests/golden/<name>.png: every channel of every
// pixel within `tolerance`. On a mismatch the picture and a diff (red where they differ) are
// written to the test's working folder. With MODEM_WRITE_GOLDEN set, writes the reference.
inline void ExpectGolden(Canvas& canvas, const std::string& name, int tolerance = 48) {
    const int w = static_cast<int>(canvas.bitmap.GetWidth());
    const int h = static_cast<int>(canvas.bitmap.GetHeight());
    cairo_surface_t* actual = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(actual);
    unsigned char* data = cairo_image_surface_get_data(actual);
    const int stride = cairo_image_surface_get_stride(actual);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Gdiplus::ARGB c = canvas.At(x, y);
            const std::uint32_t a = c >> 24;
            auto pre = [a](std::uint32_t v) { return (v * a + 127) / 255; };
            const std::uint32_t p =
                a << 24 | pre((c >> 16) & 0xFF) << 16 | pre((c >> 8) & 0xFF) << 8 | pre(c & 0xFF);
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = p;
        }
    cairo_surface_mark_dirty(actual);
    const std::string golden = std::string(MODEM_GOLDEN_DIR) + "/" + name + ".png";
    if (std::getenv("MODEM_WRITE_GOLDEN") != nullptr) {
        cairo_surface_write_to_png(actual, golden.c_str());
        cairo_surface_destroy(actual);
        GTEST_SKIP() << "wrote " << golden;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(golden.c_str());
    ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS) << "no reference " << golden;
    ASSERT_EQ(cairo_image_surface_get_width(expected), w);
    ASSERT_EQ(cairo_image_surface_get_height(expected), h);
    cairo_surface_flush(expected);
    const unsigned char* ref = cairo_image_surface_get_data(expected);
    const int refStride = cairo_image_surface_get_stride(expected);
    cairo_surface_t* diff = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    unsigned char* diffData = cairo_image_surface_get_data(diff);
    const int diffStride = cairo_image_surface_get_stride(diff);
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
            const std::uint32_t b = reinterpret_cast<const std::uint32_t*>(ref + y * refStride)[x];
            bool same = true;
            for (int shift = 0; shift < 32; shift += 8)
                same = same && std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                        static_cast<int>((b >> shift) & 0xFF)) <= tolerance;
            if (!same) ++differing;
            reinterpret_cast<std::uint32_t*>(diffData + y * diffStride)[x] =
                same ? 0xFF000000u | ((a >> 2) & 0x3F3F3F) : 0xFFFF0000u;
        }
    cairo_surface_mark_dirty(diff);
    if (differing > 0) {
        cairo_surface_write_to_png(actual, (name + ".actual.png").c_str());
        cairo_surface_write_to_png(diff, (name + ".diff.png").c_str());
    }
    EXPECT_EQ(differing, 0) << name << ": see " << std::filesystem::current_path().string() << "/"
                            << name << ".diff.png";
    cairo_surface_destroy(diff);
    cairo_surface_destroy(expected);
    cairo_surface_destroy(actual);
}
