#include <climits>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <gif_lib.h>

#include <wingdi.h>
#include <gdiplus.h>
#include "machine/control/gdiplus_log.h"
#include "platform/gdiplus/internal.h"
#include "platform/gdiplus_helper.h"

using namespace Gdiplus;

namespace {

const wchar_t* kPng = L"C:\\skin\\pic.png";

// A 4x3 picture: red left half, half-transparent blue right half.
ARGB Quad(int x, int) {
    return x < 2 ? 0xFFFF0000 : 0x800000FF;
}

}  // namespace

using GdiplusImageTest = GdiplusTest;

TEST_F(GdiplusImageTest, FileDecodesToItsSizeAndStraightColours) {
    WritePng(kPng, 4, 3, Quad);
    Bitmap b(L"C:/SKIN/pic.png");  // other separators and case: the machine's paths
    EXPECT_EQ(b.GetLastStatus(), Ok);
    EXPECT_EQ(b.GetWidth(), 4u);
    EXPECT_EQ(b.GetHeight(), 3u);
    EXPECT_EQ(Pixel(b, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(b, 3, 2), 0x800000FFu);
    EXPECT_EQ(b.GetHorizontalResolution(), 96.0f);
}

TEST_F(GdiplusImageTest, UnreadableFilesGiveAnEmptyImageAndAStatus) {
    M().WriteFile(L"C:\\skin\\corrupt.png", std::string("\x89PNG\r\n\x1a\nnot really", 18));
    M().WriteFile(L"C:\\skin\\empty.png", "");
    // A few bytes that declare a picture of 14081 x 14648 pixels: refused before decoding.
    M().WriteFile(L"C:\\skin\\huge.gif", std::string("GIF89a\x01\x37\x38\x39\x3a\x43", 12));
    struct Case {
        const wchar_t* path;
        Status status;
    } cases[] = {{L"C:\\skin\\huge.gif", OutOfMemory},
                 {L"C:\\skin\\missing.png", Win32Error},
                 {L"C:\\skin\\corrupt.png", UnknownImageFormat},
                 {L"C:\\skin\\empty.png", UnknownImageFormat}};
    for (const auto& c : cases) {
        std::unique_ptr<Bitmap> b(Bitmap::FromFile(c.path));
        EXPECT_EQ(b->GetLastStatus(), c.status) << c.path;
        EXPECT_EQ(b->GetWidth(), 0u);
        EXPECT_EQ(b->GetHeight(), 0u);
        Bitmap target(4, 4);
        Graphics g(&target);
        EXPECT_EQ(g.DrawImage(b.get(), 0, 0), InvalidParameter);
    }
}

TEST_F(GdiplusImageTest, NewBitmapIsTransparent) {
    Bitmap b(3, 2, PixelFormat32bppARGB);
    EXPECT_EQ(b.GetLastStatus(), Ok);
    EXPECT_EQ(Painted(b, Rect(0, 0, 3, 2)), 0);
    Bitmap bad(0, 2);
    EXPECT_EQ(bad.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(bad.GetWidth(), 0u);
}

TEST_F(GdiplusImageTest, GdiBitmapCopyIsOpaque) {
    BITMAPINFO info{};
    info.bmiHeader = {40, 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // top-down
    void* bits = nullptr;
    HBITMAP hb = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hb, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    px[0] = 0x00112233;  // GDI drawing leaves alpha 0
    px[3] = 0x00FFFFFF;
    Bitmap copy(hb, nullptr);
    EXPECT_EQ(copy.GetLastStatus(), Ok);
    EXPECT_EQ(Pixel(copy, 0, 0), 0xFF112233u);
    EXPECT_EQ(Pixel(copy, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(copy, 1, 0), 0xFF000000u);
    px[0] = 0;  // a copy, not a view
    EXPECT_EQ(Pixel(copy, 0, 0), 0xFF112233u);
    DeleteObject(hb);
    Bitmap none(static_cast<HBITMAP>(nullptr), nullptr);
    EXPECT_EQ(none.GetLastStatus(), InvalidParameter);
}

TEST_F(GdiplusImageTest, OneToOneDrawIsAnExactCopy) {
    WritePng(kPng, 4, 3, Quad);
    Bitmap src(kPng);
    Bitmap dst(10, 10);
    Graphics g(&dst);
    g.SetSmoothingMode(SmoothingModeAntiAlias);  // images are not offset by half a pixel
    ASSERT_EQ(g.DrawImage(&src, 5, 6), Ok);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(dst, 5 + x, 6 + y), Quad(x, y)) << x << y;
    EXPECT_EQ(PaintedOutside(dst, Rect(5, 6, 4, 3)), 0);
}

TEST_F(GdiplusImageTest, SourceRectangleOutsideTheImageIsTransparent) {
    WritePng(kPng, 4, 3, Quad);
    Bitmap src(kPng);
    Bitmap dst(10, 10);
    Graphics g(&dst);
    // Source (-2, 0, 4, 3): two columns left of the image, then its red half.
    ASSERT_EQ(g.DrawImage(&src, Rect(0, 0, 4, 3), -2, 0, 4, 3, UnitPixel), Ok);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(Pixel(dst, 0, y), 0u);
        EXPECT_EQ(Pixel(dst, 1, y), 0u);
        EXPECT_EQ(Pixel(dst, 2, y), 0xFFFF0000u);
        EXPECT_EQ(Pixel(dst, 3, y), 0xFFFF0000u);
    }
    EXPECT_EQ(g.DrawImage(&src, Rect(0, 0, 4, 3), 0, 0, 4, 3, UnitInch), NotImplemented);
}

TEST_F(GdiplusImageTest, StretchCoversTheDestination) {
    WritePng(kPng, 4, 3, [](int, int) { return 0xFF00FF00; });
    Bitmap src(kPng);
    Bitmap dst(20, 20);
    Graphics g(&dst);
    ASSERT_EQ(g.DrawImage(&src, Rect(2, 3, 12, 9), 0, 0, 4, 3, UnitPixel), Ok);
    EXPECT_EQ(Painted(dst, Rect(2, 3, 12, 9)), 12 * 9);
    EXPECT_EQ(PaintedOutside(dst, Rect(2, 3, 12, 9)), 0);
    EXPECT_EQ(Pixel(dst, 13, 11), 0xFF00FF00u);
}

TEST_F(GdiplusImageTest, DrawAtAPointHonoursTheImageResolution) {
    WritePng(kPng, 8, 8, [](int, int) { return 0xFF000000; });
    Bitmap src(kPng);
    ASSERT_EQ(src.SetResolution(192, 192), Ok);
    Bitmap dst(20, 20);
    Graphics g(&dst);
    ASSERT_EQ(g.DrawImage(&src, 0, 0), Ok);
    EXPECT_EQ(Painted(dst, Rect(0, 0, 20, 20)), 16);  // 4 x 4
}

TEST_F(GdiplusImageTest, CachedBitmapHonoursTheClipAndRefusesScaling) {
    WritePng(kPng, 4, 4, [](int, int) { return 0xFF0000FF; });
    Bitmap src(kPng);
    Bitmap dst(10, 10);
    Graphics g(&dst);
    CachedBitmap cached(&src, &g);
    ASSERT_EQ(cached.GetLastStatus(), Ok);
    g.SetClip(Rect(0, 0, 5, 10));
    g.TranslateTransform(1, 0);
    ASSERT_EQ(g.DrawCachedBitmap(&cached, 2, 1), Ok);  // at 3..6, clipped at 5
    EXPECT_EQ(Painted(dst, Rect(3, 1, 2, 4)), 8);
    EXPECT_EQ(PaintedOutside(dst, Rect(3, 1, 2, 4)), 0);
    g.ScaleTransform(2, 2);
    EXPECT_EQ(g.DrawCachedBitmap(&cached, 0, 0), WrongState);
    EXPECT_EQ(g.GetLastStatus(), WrongState);
}

TEST_F(GdiplusImageTest, ImageDrawnByTwoThreadsAtOnceIsBusy) {
    WritePng(kPng, 2, 2, [](int, int) { return 0xFF000000; });
    Bitmap src(kPng);
    std::promise<void> inside, tried;
    auto triedDone = tried.get_future().share();
    struct Ctx {
        std::promise<void>* inside;
        std::shared_future<void> tried;
    } ctx{&inside, triedDone};
    // The first drawing waits inside its call (in its abort callback) until the second tried.
    auto hold = [](void* p) -> BOOL {
        auto* c = static_cast<Ctx*>(p);
        c->inside->set_value();
        c->tried.wait();
        return FALSE;
    };
    std::thread first([&] {
        Bitmap dst(4, 4);
        Graphics g(&dst);
        EXPECT_EQ(g.DrawImage(&src, Rect(0, 0, 2, 2), 0, 0, 2, 2, UnitPixel, nullptr, hold, &ctx),
                  Ok);
    });
    inside.get_future().wait();
    Bitmap dst(4, 4);
    Graphics g(&dst);
    EXPECT_EQ(g.DrawImage(&src, 0, 0), ObjectBusy);
    CachedBitmap cached(&src, &g);
    EXPECT_EQ(cached.GetLastStatus(), ObjectBusy);
    tried.set_value();
    first.join();
    EXPECT_EQ(g.DrawImage(&src, 0, 0), Ok);  // free again
}

TEST_F(GdiplusImageTest, FileResolutionComesFromTheFile) {
    // A PNG signature and a pHYs chunk of 3780 pixels per metre (96 dpi x 1.0) and 7559 (192).
    const unsigned char png[] = {0x89, 'P', 'N',  'G',  '\r', '\n', 0x1A, '\n', 0,    0,
                                 0,    9,   'p',  'H',  'Y',  's',  0,    0,    0x1D, 0x87,
                                 0,    0,   0x0E, 0xC4, 1,    0,    0,    0,    0};
    double x = 0, y = 0;
    FileResolution(png, sizeof png, &x, &y);
    EXPECT_NEAR(x, 192, 0.1);
    EXPECT_NEAR(y, 96, 0.1);
    FileResolution(png, 20, &x, &y);  // cut short: the default
    EXPECT_EQ(x, 96);
}

TEST_F(GdiplusImageTest, ImagesCountWhileAlive) {
    auto before = control::GdiplusLiveCount(control::GdiplusKind::Image);
    {
        Bitmap a(2, 2);
        std::unique_ptr<Image> b(a.Clone());
        EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Image), before + 2);
    }
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Image), before);
}

TEST_F(GdiplusImageTest, EveryStoredFormatDecodesAndInputsThatFaultedADecoderAreRefused) {
    // The image loader's seed files: PNG, BMP, JPEG, GIF, and inputs that made an earlier decoder
    // write past its tables or copy from a null pointer.
    const std::string dir =
        (std::filesystem::path(MODEM_SOURCE_DIR) / "fuzz" / "corpus" / "fuzz_image_decode")
            .string() +
        "/";
    struct Case {
        const char* file;
        Status status;
        unsigned w, h;
        float dpi;
        ARGB topLeft;  // each channel within 2 (JPEG is lossy)
    } cases[] = {{"seed-png", Ok, 4, 3, 96, 0xFF00C8FF},
                 {"seed-bmp", Ok, 4, 3, 96, 0xFF00C8FF},
                 {"seed-jpeg", Ok, 4, 3, 96, 0xFF29BEC5},
                 {"seed-gif", Ok, 1, 1, 96, 0xFF000000},
                 {"seed-png-192dpi", Ok, 2, 2, 192, 0xFFFF0000},
                 {"fault-jpeg-huffman-table", UnknownImageFormat, 0, 0, 0, 0},
                 {"fault-png-empty-chunk", UnknownImageFormat, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ifstream in(dir + c.file, std::ios::binary);
        ASSERT_TRUE(in);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::wstring path = L"C:\\skin\\" + std::wstring(c.file, c.file + strlen(c.file));
        M().WriteFile(path, bytes);
        Bitmap b(path.c_str());
        ASSERT_EQ(b.GetLastStatus(), c.status);
        EXPECT_EQ(b.GetWidth(), c.w);
        EXPECT_EQ(b.GetHeight(), c.h);
        if (c.status != Ok) continue;
        EXPECT_NEAR(b.GetHorizontalResolution(), c.dpi, 0.5);
        const ARGB got = Pixel(b, 0, 0);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF),
                        static_cast<int>((c.topLeft >> shift) & 0xFF), 2)
                << std::hex << got;
    }
}

// A BMP file: the 14-byte file header, an info header of `header` bytes (12: the core header),
// then `extra` (bit fields, palette) and the pixel rows as given.
std::string Bmp(unsigned header, int w, int h, unsigned bpp, unsigned compression,
                const std::string& extra, const std::string& rows) {
    std::string b;
    auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b += "BM";
    put(static_cast<std::uint32_t>(14 + header + extra.size() + rows.size()), 4);
    put(0, 4);
    put(static_cast<std::uint32_t>(14 + header + extra.size()), 4);
    put(header, 4);
    if (header == 12) {
        put(static_cast<std::uint32_t>(w), 2), put(static_cast<std::uint32_t>(h), 2);
        put(1, 2), put(bpp, 2);
    } else {
        put(static_cast<std::uint32_t>(w), 4), put(static_cast<std::uint32_t>(h), 4);
        put(1, 2), put(bpp, 2), put(compression, 4);
        b.append(header - 20, '\0');
    }
    return b + extra + rows;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

TEST_F(GdiplusImageTest, BmpFilesDecodeWithTheirPaletteOrBitFieldsAndBadOnesAreRefused) {
    const std::string twoColours = Bytes({0, 0, 255, 0, 255, 0, 0, 0});  // red, blue (B G R x)
    struct Case {
        const char* name;
        std::string file;
        Status status;
        ARGB topLeft, topRight;  // of a 2 x 2 picture
    } cases[] = {
        {"1 bit, bottom-up", Bmp(40, 2, 2, 1, 0, twoColours, Bytes({0x40, 0, 0, 0, 0x80, 0, 0, 0})),
         Ok, 0xFF0000FF, 0xFFFF0000},
        {"4 bits, core header",
         Bmp(12, 2, 2, 4, 0, Bytes({0, 0, 255, 255, 0, 0}), Bytes({0x01, 0, 0, 0, 0x10, 0, 0, 0})),
         Ok, 0xFF0000FF, 0xFFFF0000},
        {"8 bits, top-down, index past the palette is black",
         Bmp(40, 2, -2, 8, 0, twoColours, Bytes({1, 7, 0, 0, 0, 0, 0, 0})), Ok, 0xFF0000FF,
         0xFF000000},
        {"16 bits 5-5-5", Bmp(40, 2, -2, 16, 0, "", Bytes({0x00, 0x7C, 0x1F, 0x00, 0, 0, 0, 0})),
         Ok, 0xFFFF0000, 0xFF0000FF},
        {"16 bits 5-6-5 fields",
         Bmp(40, 2, -2, 16, 3, Bytes({0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}),
             Bytes({0xE0, 0x07, 0x1F, 0x00, 0, 0, 0, 0})),
         Ok, 0xFF00FF00, 0xFF0000FF},
        {"24 bits",
         Bmp(40, 2, -2, 24, 0, "", Bytes({0, 0, 255, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), Ok,
         0xFFFF0000, 0xFF00FF00},
        {"32 bits with alpha",
         Bmp(40, 2, -2, 32, 0, "", Bytes({255, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
         Ok, 0x800000FF, 0x00000000},
        {"32 bits without alpha are opaque",
         Bmp(40, 2, -2, 32, 0, "", Bytes({255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), Ok,
         0xFF0000FF, 0xFF000000},
        {"run-length coded", Bmp(40, 2, 2, 8, 1, twoColours, Bytes({2, 1, 0, 1})),
         UnknownImageFormat, 0, 0},
        {"rows cut short", Bmp(40, 2, 2, 24, 0, "", Bytes({0, 0, 255, 0, 255, 0, 0, 0})),
         UnknownImageFormat, 0, 0},
        {"palette past the end", Bmp(40, 2, 2, 8, 0, Bytes({0, 0, 255}), ""), UnknownImageFormat, 0,
         0},
        {"bit fields past the end", Bmp(40, 2, 2, 32, 3, Bytes({0, 0, 255}), ""),
         UnknownImageFormat, 0, 0},
        {"no width", Bmp(40, 0, 2, 24, 0, "", ""), UnknownImageFormat, 0, 0},
        {"16385 wide", Bmp(40, 16385, 1, 24, 0, "", ""), OutOfMemory, 0, 0},
        {"INT_MIN high", Bmp(40, 1, INT_MIN, 24, 0, "", ""), OutOfMemory, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        M().WriteFile(L"C:\\skin\\pic.bmp", c.file);
        Bitmap b(L"C:\\skin\\pic.bmp");
        ASSERT_EQ(b.GetLastStatus(), c.status);
        if (c.status != Ok) continue;
        ASSERT_EQ(b.GetWidth(), 2u);
        ASSERT_EQ(b.GetHeight(), 2u);
        EXPECT_EQ(Pixel(b, 0, 0), c.topLeft);
        EXPECT_EQ(Pixel(b, 1, 0), c.topRight);
    }
}

int AppendGifBytes(GifFileType* gif, const GifByteType* bytes, int n) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), n);
    return n;
}

TEST_F(GdiplusImageTest, AGifShowsItsFirstPictureOnItsScreenWithTransparencyAndInterlacing) {
    // A 4 x 5 screen; a 2 x 4 interlaced picture at (1, 1) whose rows use colours 0 to 3 (red,
    // green, blue, white), colour 2 transparent. Interlaced rows come as 0, 2, 1, 3.
    std::string file;
    int error = 0;
    GifFileType* gif = EGifOpen(&file, AppendGifBytes, &error);
    ASSERT_NE(gif, nullptr);
    const GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    ASSERT_EQ(EGifPutScreenDesc(gif, 4, 5, 2, 0, map), GIF_OK);
    const GifByteType control[4] = {1, 0, 0, 2};  // transparent colour: 2
    ASSERT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, 1, 1, 2, 4, true, nullptr), GIF_OK);
    for (GifPixelType row : {0, 2, 1, 3}) {
        GifPixelType line[2] = {row, row};
        ASSERT_EQ(EGifPutLine(gif, line, 2), GIF_OK);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    M().WriteFile(L"C:\\skin\\pic.gif", file);

    Bitmap b(L"C:\\skin\\pic.gif");
    ASSERT_EQ(b.GetLastStatus(), Ok);
    ASSERT_EQ(b.GetWidth(), 4u);
    ASSERT_EQ(b.GetHeight(), 5u);
    EXPECT_EQ(Pixel(b, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(Pixel(b, 2, 2), 0xFF00FF00u);
    EXPECT_EQ(Pixel(b, 1, 3), 0u) << "transparent";
    EXPECT_EQ(Pixel(b, 2, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Painted(b, Rect(0, 0, 4, 5)), 6) << "nothing outside the picture";
}

TEST_F(GdiplusImageTest, NegativeDestinationWidthMirrors) {
    WritePng(kPng, 4, 3, Quad);
    Bitmap src(kPng);
    Bitmap dst(10, 10);
    Graphics g(&dst);
    ASSERT_EQ(g.DrawImage(&src, Rect(4, 0, -4, 3), 0, 0, 4, 3, UnitPixel), Ok);
    EXPECT_EQ(Pixel(dst, 0, 1), Quad(3, 1));
    EXPECT_EQ(Pixel(dst, 3, 1), Quad(0, 1));
    EXPECT_EQ(PaintedOutside(dst, Rect(0, 0, 4, 3)), 0);
    EXPECT_EQ(g.DrawImage(&src, Rect(0, 0, 0, 3), 0, 0, 4, 3, UnitPixel), Ok);  // covers nothing
    EXPECT_EQ(g.DrawImage(&src, Rect(0, 0, 4, 3), 0, 0, 0, 3, UnitPixel), InvalidParameter);
}
