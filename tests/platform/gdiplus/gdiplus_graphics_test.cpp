#include <cmath>

#include "platform/gdiplus_helper.h"
#include "machine/control/gdiplus_log.h"
#include <wingdi.h>

using namespace Gdiplus;

using GdiplusGraphicsTest = GdiplusTest;

TEST_F(GdiplusGraphicsTest, AliasedFillCoversExactPixelsSourceOver) {
    Bitmap b(10, 10);
    Graphics g(&b);
    SolidBrush red(Color(255, 255, 0, 0)), none(Color(0, 0, 255, 0)), half(Color(128, 0, 0, 255));
    ASSERT_EQ(g.FillRectangle(&red, 2, 3, 4, 5), Ok);
    EXPECT_EQ(Painted(b, Rect(2, 3, 4, 5)), 20);
    EXPECT_EQ(PaintedOutside(b, Rect(2, 3, 4, 5)), 0);
    EXPECT_EQ(Pixel(b, 2, 3), 0xFFFF0000u);
    g.FillRectangle(&none, 0, 0, 10, 10);  // alpha 0 paints nothing
    EXPECT_EQ(Pixel(b, 2, 3), 0xFFFF0000u);
    EXPECT_EQ(Pixel(b, 0, 0), 0u);
    g.FillRectangle(&half, 0, 0, 10, 10);  // over red: blended; over nothing: the colour itself
    Color c(Pixel(b, 2, 3));
    EXPECT_EQ(c.GetA(), 255);
    EXPECT_NEAR(c.GetR(), 127, 1);
    EXPECT_NEAR(c.GetB(), 128, 1);
    EXPECT_EQ(Pixel(b, 0, 0), 0x800000FFu);
    EXPECT_EQ(g.FillRectangle(nullptr, 0, 0, 1, 1), InvalidParameter);
}

TEST_F(GdiplusGraphicsTest, SmoothingModesChooseAliasedOrSmoothEdges) {
    struct Case {
        SmoothingMode mode;
        bool smooth;
    } cases[] = {{SmoothingModeDefault, false},
                 {SmoothingModeHighSpeed, false},
                 {SmoothingModeHighQuality, true},
                 {SmoothingModeNone, false},
                 {SmoothingModeAntiAlias, true}};
    for (const auto& c : cases) {
        Bitmap b(10, 10);
        Graphics g(&b);
        ASSERT_EQ(g.SetSmoothingMode(c.mode), Ok);
        SolidBrush black(Color(255, 0, 0, 0));
        g.FillRectangle(&black, 2, 2, 5, 5);
        // Smooth fills sit on pixel centres: their edges are half covered.
        BYTE edge = Color(Pixel(b, 2, 4)).GetA();
        if (c.smooth)
            EXPECT_TRUE(edge > 0 && edge < 255) << c.mode << " " << int(edge);
        else
            EXPECT_EQ(edge, 255) << c.mode;
        BYTE outside = Color(Pixel(b, 7, 4)).GetA();
        EXPECT_EQ(outside > 0, c.smooth) << c.mode;
    }
    Bitmap b(2, 2);
    Graphics g(&b);
    EXPECT_EQ(g.SetSmoothingMode(SmoothingModeInvalid), InvalidParameter);
}

TEST_F(GdiplusGraphicsTest, ClipModesCombineRectangles) {
    struct Case {
        const char* name;
        CombineMode mode;
        Rect painted;  // where the fill lands, with the second rectangle combined
        int count;
    } cases[] = {
        {"replace", CombineModeReplace, Rect(4, 0, 4, 10), 40},
        {"intersect", CombineModeIntersect, Rect(4, 0, 2, 10), 20},
        {"exclude", CombineModeExclude, Rect(0, 0, 4, 10), 40},
        {"union", CombineModeUnion, Rect(0, 0, 8, 10), 80},
    };
    for (const auto& c : cases) {
        Bitmap b(10, 10);
        Graphics g(&b);
        g.SetClip(Rect(0, 0, 6, 10));
        ASSERT_EQ(g.SetClip(Rect(4, 0, 4, 10), c.mode), Ok);
        SolidBrush black(Color(255, 0, 0, 0));
        g.FillRectangle(&black, 0, 0, 10, 10);
        EXPECT_EQ(Painted(b, c.painted), c.count) << c.name;
        EXPECT_EQ(PaintedOutside(b, c.painted), 0) << c.name;
    }
}

TEST_F(GdiplusGraphicsTest, ClipFollowsTheTransformAndResets) {
    Bitmap b(20, 20);
    Graphics g(&b);
    g.TranslateTransform(5, 5);
    g.SetClip(Rect(0, 0, 2, 2));  // page (5, 5, 2, 2)
    Rect bounds;
    g.GetClipBounds(&bounds);
    EXPECT_TRUE(bounds.Equals(Rect(0, 0, 2, 2)));
    Region region(Rect(0, 0, 2, 2));
    g.SetClip(&region, CombineModeIntersect);
    SolidBrush black(Color(255, 0, 0, 0));
    g.FillRectangle(&black, -5, -5, 20, 20);
    EXPECT_EQ(Painted(b, Rect(5, 5, 2, 2)), 4);
    EXPECT_EQ(PaintedOutside(b, Rect(5, 5, 2, 2)), 0);
    g.SetClip(Rect(100, 100, 1, 1), CombineModeIntersect);
    EXPECT_TRUE(g.IsClipEmpty());
    g.ResetClip();
    EXPECT_FALSE(g.IsClipEmpty());
    g.ResetTransform();
    g.FillRectangle(&black, 0, 0, 20, 20);
    EXPECT_EQ(Painted(b, Rect(0, 0, 20, 20)), 400);
}

TEST_F(GdiplusGraphicsTest, ZeroScaleIsRefusedAndDrawingGoesOn) {
    Bitmap b(10, 10);
    Graphics g(&b);
    EXPECT_EQ(g.ScaleTransform(0, 1), InvalidParameter);
    Matrix flat(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(g.SetWorldTransform(&flat), InvalidParameter);
    SolidBrush black(Color(255, 0, 0, 0));
    EXPECT_EQ(g.FillRectangle(&black, 0, 0, 2, 2), Ok);
    EXPECT_EQ(Painted(b, Rect(0, 0, 10, 10)), 4);
}

TEST_F(GdiplusGraphicsTest, WorldTransformScalesAndTranslates) {
    Bitmap b(20, 20);
    Graphics g(&b);
    Matrix m(2, 0, 0, 2, 3, 4);  // (x, y) -> (2x + 3, 2y + 4)
    ASSERT_EQ(g.SetWorldTransform(&m), Ok);
    SolidBrush black(Color(255, 0, 0, 0));
    g.FillRectangle(&black, 0, 0, 2, 3);
    EXPECT_EQ(Painted(b, Rect(3, 4, 4, 6)), 24);
    EXPECT_EQ(PaintedOutside(b, Rect(3, 4, 4, 6)), 0);
    Matrix back;
    g.GetTransform(&back);
    EXPECT_TRUE(back.Equals(&m));
}

// Runs of painted pixels along row y from x0 to x1.
static std::vector<int> Runs(Bitmap& b, int y, int x0, int x1) {
    std::vector<int> runs;
    bool in = false;
    for (int x = x0; x < x1; ++x) {
        Color c;
        b.GetPixel(x, y, &c);
        bool on = c.GetA() > 127;
        if (on && !in) runs.push_back(0);
        if (on) ++runs.back();
        in = on;
    }
    return runs;
}

TEST_F(GdiplusGraphicsTest, DashPatternsAreMultiplesOfTheWidth) {
    struct Case {
        DashStyle style;
        float width;
        std::vector<int> firstRuns;  // dash lengths in pixels along the line
    } cases[] = {
        {DashStyleSolid, 1, {40}},
        {DashStyleDash, 1, {3, 3, 3}},
        {DashStyleDot, 2, {2, 2, 2}},
        {DashStyleDashDot, 1, {3, 1, 3, 1}},
        {DashStyleDashDotDot, 1, {3, 1, 1, 3}},
        {DashStyleDash, 2, {6, 6, 6}},
    };
    for (const auto& c : cases) {
        Bitmap b(50, 10);
        Graphics g(&b);
        Pen pen(Color(255, 0, 0, 0), c.width);
        ASSERT_EQ(pen.SetDashStyle(c.style), Ok);
        ASSERT_EQ(g.DrawLine(&pen, 0, 4, 40, 4), Ok);
        auto runs = Runs(b, 4, 0, 50);
        ASSERT_GE(runs.size(), c.firstRuns.size()) << c.style;
        for (size_t i = 0; i < c.firstRuns.size(); ++i)
            EXPECT_EQ(runs[i], c.firstRuns[i])
                << "style " << c.style << " width " << c.width << " run " << i;
    }
}

TEST_F(GdiplusGraphicsTest, OnePixelLinesLieOnTheirRow) {
    Bitmap b(10, 10);
    Graphics g(&b);
    Pen pen(Color(255, 0, 0, 0), 1);
    g.DrawLine(&pen, 0, 5, 9, 5);
    EXPECT_EQ(Painted(b, Rect(0, 5, 10, 1)), 9);
    EXPECT_EQ(PaintedOutside(b, Rect(0, 5, 10, 1)), 0);
}

TEST_F(GdiplusGraphicsTest, ArcsJoinWithLinesAndZeroSizeArcsArePoints) {
    // A border of four corner arcs on a box too small for its radius: every corner has size 0.
    GraphicsPath path;
    int x = 2, y = 2, w = 20, h = 10, ew = 0, eh = 0;
    EXPECT_EQ(path.AddArc(x + w - ew, y, ew, eh, 270, 90), Ok);
    EXPECT_EQ(path.AddArc(x + w - ew, y + h - eh, ew, eh, 0, 90), Ok);
    EXPECT_EQ(path.AddArc(x, y + h - eh, ew, eh, 90, 90), Ok);
    EXPECT_EQ(path.AddArc(x, y, ew, eh, 180, 90), Ok);
    path.AddLine(x + ew, y, x + w - ew / 2, y);
    Bitmap b(30, 20);
    Graphics g(&b);
    Pen pen(Color(255, 0, 0, 0), 1);
    ASSERT_EQ(g.DrawPath(&pen, &path), Ok);
    EXPECT_EQ(g.GetLastStatus(), Ok);
    // All four sides are there.
    EXPECT_EQ(Painted(b, Rect(5, 2, 10, 1)), 10);   // top
    EXPECT_EQ(Painted(b, Rect(5, 12, 10, 1)), 10);  // bottom
    EXPECT_EQ(Painted(b, Rect(2, 5, 1, 5)), 5);     // left
    EXPECT_EQ(Painted(b, Rect(22, 5, 1, 5)), 5);    // right
    // And later drawing still works (the context was never broken).
    SolidBrush black(Color(255, 0, 0, 0));
    g.FillRectangle(&black, 0, 0, 1, 1);
    EXPECT_EQ(Pixel(b, 0, 0), 0xFF000000u);
}

TEST_F(GdiplusGraphicsTest, ArcFollowsItsEllipse) {
    GraphicsPath path;
    ASSERT_EQ(path.AddArc(0.0f, 0.0f, 20.0f, 10.0f, 0.0f, 90.0f), Ok);
    PointF last;
    path.GetLastPoint(&last);
    EXPECT_NEAR(last.X, 10, 1e-3);  // the bottom of the ellipse
    EXPECT_NEAR(last.Y, 10, 1e-3);
    RectF bounds;
    path.GetBounds(&bounds);
    EXPECT_NEAR(bounds.X, 10, 1e-3);
    EXPECT_NEAR(bounds.Width, 10, 1e-3);
    EXPECT_NEAR(bounds.Height, 5, 1e-3);
    EXPECT_EQ(path.AddArc(0, 0, -1, 5, 0, 90), InvalidParameter);
}

TEST_F(GdiplusGraphicsTest, OpenFiguresAreNotClosedByDrawing) {
    GraphicsPath open, closed;
    for (GraphicsPath* p : {&open, &closed}) {
        p->AddLine(2, 2, 12, 2);
        p->AddLine(12, 12, 2, 12);  // joined from (12, 2) by a line
    }
    closed.CloseFigure();
    Pen pen(Color(255, 0, 0, 0), 1);
    Bitmap a(20, 20), b(20, 20);
    Graphics(&a).DrawPath(&pen, &open);
    Graphics(&b).DrawPath(&pen, &closed);
    EXPECT_EQ(Painted(a, Rect(12, 4, 1, 6)), 6);  // the joining line
    EXPECT_EQ(Painted(a, Rect(2, 4, 1, 6)), 0);   // no closing line
    EXPECT_EQ(Painted(b, Rect(2, 4, 1, 6)), 6);
}

TEST_F(GdiplusGraphicsTest, FillPathFillsTheFigure) {
    GraphicsPath path;
    path.AddRectangle(Rect(2, 2, 6, 6));
    Bitmap b(10, 10);
    Graphics g(&b);
    SolidBrush black(Color(255, 0, 0, 0));
    ASSERT_EQ(g.FillPath(&black, &path), Ok);
    EXPECT_EQ(Painted(b, Rect(3, 3, 4, 4)), 16);
    EXPECT_EQ(Painted(b, Rect(0, 0, 10, 1)), 0);
}

TEST_F(GdiplusGraphicsTest, GraphicsOnAMemoryContextDrawsIntoItsBitmap) {
    BITMAPINFO info{};
    info.bmiHeader = {40, 8, 8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up
    void* bits = nullptr;
    HBITMAP hb = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, hb);
    {
        Graphics g(dc);
        ASSERT_EQ(g.GetLastStatus(), Ok);
        SolidBrush red(Color(255, 255, 0, 0));
        ASSERT_EQ(g.FillRectangle(&red, 0, 0, 1, 1), Ok);  // the top-left pixel
    }
    auto* px = static_cast<uint32_t*>(bits);
    EXPECT_EQ(px[7 * 8], 0xFFFF0000u);  // bottom-up: the top row is the last in memory
    EXPECT_EQ(px[0], 0u);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(hb);
    Graphics bad(static_cast<HDC>(nullptr));
    EXPECT_EQ(bad.GetLastStatus(), InvalidParameter);
    SolidBrush red(Color(255, 255, 0, 0));
    EXPECT_EQ(bad.FillRectangle(&red, 0, 0, 1, 1), InvalidParameter);
}

TEST_F(GdiplusGraphicsTest, StartupWantsVersionOne) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    input.GdiplusVersion = 2;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    EXPECT_NE(token, token_);
    GdiplusShutdown(token);
    GdiplusShutdown(token);  // repeated: ignored
}

TEST_F(GdiplusGraphicsTest, LastStatusIsKeptUntilRead) {
    Bitmap b(4, 4);
    Graphics g(&b);
    EXPECT_EQ(g.DrawLine(nullptr, 0, 0, 1, 1), InvalidParameter);
    SolidBrush black(Color(255, 0, 0, 0));
    EXPECT_EQ(g.FillRectangle(&black, 0, 0, 1, 1), Ok);
    EXPECT_EQ(g.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(g.GetLastStatus(), Ok);
}
