#include <climits>
#include <thread>
#include <vector>

#include "platform/gdiplus_helper.h"
#include "machine/control/gdiplus_log.h"
#include "machine/fonts.h"

using namespace Gdiplus;

using GdiplusTextTest = GdiplusTest;

TEST_F(GdiplusTextTest, FamiliesExistOnlyInTheMachinesTable) {
    M().fonts().Remove(L"Tahoma");
    struct Case {
        const wchar_t* name;
        Status status;
    } cases[] = {{L"Arial", Ok},
                 {L"arial", Ok},
                 {L"宋体", Ok},
                 {L"Tahoma", FontFamilyNotFound},
                 {L"Nope", FontFamilyNotFound},
                 {L"", FontFamilyNotFound}};
    for (const auto& c : cases) {
        FontFamily f(c.name);
        EXPECT_EQ(f.GetLastStatus(), c.status) << c.name;
        EXPECT_EQ(f.IsAvailable(), c.status == Ok) << c.name;
        Font font(&f, 10);
        EXPECT_EQ(font.IsAvailable(), c.status == Ok) << c.name;
    }
}

TEST_F(GdiplusTextTest, GenericFamilyIsSharedAndNotCounted) {
    auto families = control::GdiplusLiveCount(control::GdiplusKind::FontFamily);
    const FontFamily* a = FontFamily::GenericSansSerif();
    EXPECT_EQ(a, FontFamily::GenericSansSerif());
    EXPECT_TRUE(a->IsAvailable());
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::FontFamily), families);
    {
        FontFamily nope(L"Nope");
        EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::FontFamily), families + 1);
    }
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::FontFamily), families);
}

TEST_F(GdiplusTextTest, FontSizeZeroOrLessDrawsNothingAndHugeSizesAreSafe) {
    Bitmap b(40, 20);
    Graphics g(&b);
    SolidBrush black(Color(255, 0, 0, 0));
    for (REAL size : {0.0f, -3.0f}) {
        Font f(FontFamily::GenericSansSerif(), size);
        EXPECT_EQ(f.GetLastStatus(), InvalidParameter);
        EXPECT_EQ(g.DrawString(L"Hello", -1, &f, RectF(0, 0, 40, 20), nullptr, &black),
                  InvalidParameter);
    }
    EXPECT_EQ(Painted(b, Rect(0, 0, 40, 20)), 0);
    Font huge(FontFamily::GenericSansSerif(), 3.0e7f);
    EXPECT_EQ(g.DrawString(L"W", -1, &huge, RectF(0, 0, 40, 20), nullptr, &black), Ok);
    RectF box;
    EXPECT_EQ(g.MeasureString(L"W", -1, &huge, PointF(0, 0), &box), Ok);
    EXPECT_GT(box.Height, 1000);
}

TEST_F(GdiplusTextTest, TextDrawsInsideItsBoxAndIsClippedToIt) {
    Bitmap b(200, 60);
    Graphics g(&b);
    Font f(L"Arial", 12);
    SolidBrush black(Color(255, 0, 0, 0));
    RectF box(10, 10, 60, 20);
    ASSERT_EQ(g.DrawString(L"A long line of text that overflows", -1, &f, box, nullptr, &black),
              Ok);
    EXPECT_GT(Painted(b, Rect(10, 10, 60, 20)), 20);
    EXPECT_EQ(PaintedOutside(b, Rect(10, 10, 60, 20)), 0);
    // Without clipping the wrapped lines run out of the box.
    Bitmap b2(200, 120);
    Graphics g2(&b2);
    StringFormat noClip(StringFormatFlagsNoClip);
    g2.DrawString(L"A long line of text that overflows", -1, &f, box, &noClip, &black);
    EXPECT_GT(PaintedOutside(b2, Rect(10, 10, 60, 20)), 0);
}

TEST_F(GdiplusTextTest, AlignmentPlacesTheMeasuredBox) {
    Bitmap b(10, 10);
    Graphics g(&b);
    Font f(L"Arial", 10);
    RectF layout(0, 0, 200, 100);
    struct Case {
        StringAlignment align, line;
        int flags;
        double fx, fy;  // where the box lies: 0 at the near edge, 1 at the far one
    } cases[] = {
        {StringAlignmentNear, StringAlignmentNear, 0, 0, 0},
        {StringAlignmentFar, StringAlignmentFar, 0, 1, 1},
        {StringAlignmentCenter, StringAlignmentCenter, 0, 0.5, 0.5},
        {StringAlignmentNear, StringAlignmentNear, StringFormatFlagsDirectionRightToLeft, 1, 0},
        {StringAlignmentFar, StringAlignmentNear, StringFormatFlagsDirectionRightToLeft, 0, 0},
    };
    // The point of the box at the fraction, and of the layout rectangle.
    auto at = [](double start, double size, double f) { return start + size * f; };
    for (const auto& c : cases) {
        StringFormat fmt(c.flags);
        fmt.SetAlignment(c.align);
        fmt.SetLineAlignment(c.line);
        RectF box;
        ASSERT_EQ(g.MeasureString(L"Word", -1, &f, layout, &fmt, &box), Ok);
        EXPECT_GT(box.Width, 10);
        EXPECT_NEAR(at(box.X, box.Width, c.fx), at(layout.X, layout.Width, c.fx), 1.5)
            << c.align << " " << c.flags;
        EXPECT_NEAR(at(box.Y, box.Height, c.fy), at(layout.Y, layout.Height, c.fy), 1.5) << c.line;
    }
}

TEST_F(GdiplusTextTest, DefaultFormatPadsASixthOfTheEm) {
    Bitmap b(10, 10);
    Graphics g(&b);
    Font f(L"Arial", 12, FontStyleRegular, UnitPixel);
    RectF plain, typographic;
    g.MeasureString(L"Word", -1, &f, PointF(0, 0), StringFormat::GenericDefault(), &plain);
    g.MeasureString(L"Word", -1, &f, PointF(0, 0), StringFormat::GenericTypographic(),
                    &typographic);
    EXPECT_NEAR(plain.Width - typographic.Width, 2 * 12 / 6.0, 0.01);
}

TEST_F(GdiplusTextTest, WrappingLineLimitAndNoWrap) {
    Bitmap b(10, 10);
    Graphics g(&b);
    Font f(L"Arial", 10, FontStyleRegular, UnitPixel);
    const wchar_t* text = L"one two three four five six seven eight";
    RectF oneLine;
    g.MeasureString(L"one", -1, &f, PointF(0, 0), &oneLine);
    float lineH = oneLine.Height;
    RectF layout(0, 0, 60, lineH * 2.5f);
    struct Case {
        int flags;
        int lines;  // lines shown
    } cases[] = {{0, 3}, {StringFormatFlagsLineLimit, 2}, {StringFormatFlagsNoWrap, 1}};
    for (const auto& c : cases) {
        StringFormat fmt(c.flags);
        RectF box;
        INT fitted = 0, lines = 0;
        ASSERT_EQ(g.MeasureString(text, -1, &f, layout, &fmt, &box, &fitted, &lines), Ok);
        EXPECT_EQ(lines, c.lines) << c.flags;
        EXPECT_GT(fitted, 0);
        if (c.flags == StringFormatFlagsLineLimit) {
            EXPECT_NEAR(box.Height, 2 * lineH, 0.5);
        }
        if (c.flags == StringFormatFlagsNoWrap) {
            EXPECT_GT(box.Width, 60);
        }
    }
}

TEST_F(GdiplusTextTest, PathTextOutlineLiesInItsBox) {
    GraphicsPath path;
    ASSERT_EQ(path.AddString(L"Halo", -1, FontFamily::GenericSansSerif(), FontStyleBold, 100,
                             RectF(50, 20, 400, 200), nullptr),
              Ok);
    EXPECT_GT(path.GetPointCount(), 20);
    RectF bounds;
    path.GetBounds(&bounds);
    EXPECT_GE(bounds.X, 50);
    EXPECT_GE(bounds.Y, 20);
    EXPECT_LE(bounds.GetRight(), 450);
    FontFamily nope(L"Nope");
    EXPECT_EQ(path.AddString(L"x", -1, &nope, 0, 10, RectF(0, 0, 10, 10), nullptr),
              InvalidParameter);
}

TEST_F(GdiplusTextTest, CallLogRecordsTextFontFormatHintAndClip) {
    control::SetGdiplusLog(true);
    Bitmap b(100, 40);
    Graphics g(&b);
    g.SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
    g.SetClip(Rect(1, 2, 50, 30));
    Font f(L"Tahoma", 9, FontStyleBold);
    StringFormat fmt(0x5000);
    fmt.SetAlignment(StringAlignmentCenter);
    fmt.SetLineAlignment(StringAlignmentFar);
    SolidBrush brush(Color(0xFF102030));
    g.DrawString(L"Hi", -1, &f, RectF(1, 2, 50, 30), &fmt, &brush);
    auto log = control::GdiplusLog();
    ASSERT_EQ(log.size(), 1u);
    const auto& c = log[0];
    EXPECT_EQ(c.graphics, &g);
    EXPECT_EQ(c.call, L"DrawString");
    EXPECT_EQ(c.status, Ok);
    EXPECT_EQ(c.text, L"Hi");
    EXPECT_TRUE(c.rect.Equals(RectF(1, 2, 50, 30)));
    EXPECT_EQ(c.family, L"Tahoma");
    EXPECT_EQ(c.emSize, 9);
    EXPECT_EQ(c.fontStyle, FontStyleBold);
    EXPECT_EQ(c.alignment, StringAlignmentCenter);
    EXPECT_EQ(c.lineAlignment, StringAlignmentFar);
    EXPECT_EQ(c.formatFlags, 0x5000);
    EXPECT_EQ(c.textRenderingHint, TextRenderingHintClearTypeGridFit);
    EXPECT_TRUE(c.clipped);
    EXPECT_TRUE(c.clip.Equals(Rect(1, 2, 50, 30)));
    EXPECT_EQ(c.color, 0xFF102030u);
    control::ClearGdiplusLog();
    control::SetGdiplusLog(false);
    g.DrawString(L"Hi", -1, &f, RectF(1, 2, 50, 30), &fmt, &brush);
    EXPECT_TRUE(control::GdiplusLog().empty());
}

TEST_F(GdiplusTextTest, TextObjectsCountWhileAlive) {
    using control::GdiplusKind;
    auto fonts = control::GdiplusLiveCount(GdiplusKind::Font);
    auto formats = control::GdiplusLiveCount(GdiplusKind::StringFormat);
    auto graphics = control::GdiplusLiveCount(GdiplusKind::Graphics);
    {
        Bitmap b(2, 2);
        Graphics g(&b);
        Font f(L"Arial", 9);
        StringFormat s;
        StringFormat::GenericDefault();
        EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::Font), fonts + 1);
        EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::StringFormat), formats + 1);
        EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::Graphics), graphics + 1);
    }
    EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::Font), fonts);
    EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::StringFormat), formats);
    EXPECT_EQ(control::GdiplusLiveCount(GdiplusKind::Graphics), graphics);
}

TEST_F(GdiplusTextTest, ChineseTextDraws) {
    Bitmap b(120, 40);
    Graphics g(&b);
    Font f(L"宋体", 12);
    SolidBrush black(Color(255, 0, 0, 0));
    ASSERT_EQ(g.DrawString(L"网络已经断开", -1, &f, RectF(0, 0, 120, 40), nullptr, &black), Ok);
    EXPECT_GT(Painted(b, Rect(0, 0, 120, 40)), 50);
}

TEST_F(GdiplusTextTest, WorkerThreadsDrawTextAtOnce) {
    // Render workers reach the generic family and the text layout together.
    constexpr int kThreads = 4;
    std::vector<int> painted(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&painted, i] {
            Bitmap b(80, 30);
            Graphics g(&b);
            Font f(FontFamily::GenericSansSerif(), 10);
            SolidBrush black(Color(255, 0, 0, 0));
            g.DrawString(L"Render", -1, &f, RectF(0, 0, 80, 30), nullptr, &black);
            painted[i] = Painted(b, Rect(0, 0, 80, 30));
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_GT(painted[i], 20) << i;
    EXPECT_EQ(painted[0], painted[kThreads - 1]);
}
