// GDI's drawing calls, pixel by pixel on a DIB: fills, frames, rectangles, lines, 3D edges, the
// focus rectangle and inversion; pens, brushes, stock objects and system colours.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include "platform/dib_canvas.h"
#include <wingdi.h>
#include "machine/gdi_objects.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// The picture's letters: '.' white, '#' black, 'r' red, and the 3D colours.
const std::map<COLORREF, char> kLegend = {
    {kWhite, '.'},
    {kBlack, '#'},
    {kRed, 'r'},
    {RGB(0xD4, 0xD0, 0xC8), 'f'},  // face, 3D light
    {RGB(0x80, 0x80, 0x80), 's'},  // shadow
    {RGB(0x40, 0x40, 0x40), 'd'},  // dark shadow
};

using Draw = std::function<void(HDC)>;

struct Case {
    const char* name;
    Draw draw;
    std::vector<std::string> picture;  // 8 x 6
};

class GdiDrawTest : public SimTest {};

HBRUSH Red() {
    return CreateSolidBrush(kRed);
}

TEST_F(GdiDrawTest, ShapesCoverExactlyTheirPixels) {
    const std::vector<Case> cases = {
        {"FillRect covers left/top up to right/bottom",
         [](HDC dc) {
             RECT r{1, 1, 4, 3};
             FillRect(dc, &r, Red());
         },
         {"........", ".rrr....", ".rrr....", "........", "........", "........"}},
        {"FillRect with a system colour index + 1",
         [](HDC dc) {
             RECT r{0, 0, 2, 2};
             FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNSHADOW + 1)));
         },
         {"ss......", "ss......", "........", "........", "........", "........"}},
        {"FrameRect draws one pixel inside the edge",
         [](HDC dc) {
             RECT r{1, 1, 6, 5};
             FrameRect(dc, &r, Red());
         },
         {"........", ".rrrrr..", ".r...r..", ".r...r..", ".rrrrr..", "........"}},
        {"Rectangle: the pen outside, the brush inside",
         [](HDC dc) {
             SelectObject(dc, Red());
             Rectangle(dc, 1, 0, 6, 5);
         },
         {".#####..", ".#rrr#..", ".#rrr#..", ".#rrr#..", ".#####..", "........"}},
        {"Rectangle without a pen is a pixel smaller",
         [](HDC dc) {
             SelectObject(dc, GetStockObject(NULL_PEN));
             SelectObject(dc, Red());
             Rectangle(dc, 1, 0, 6, 5);
         },
         {".rrrr...", ".rrrr...", ".rrrr...", ".rrrr...", "........", "........"}},
        {"Rectangle with the hollow brush keeps the inside",
         [](HDC dc) {
             SelectObject(dc, GetStockObject(NULL_BRUSH));
             Rectangle(dc, 0, 0, 4, 3);
         },
         {"####....", "#..#....", "####....", "........", "........", "........"}},
        {"LineTo leaves out its end point",
         [](HDC dc) {
             MoveToEx(dc, 1, 1, nullptr);
             LineTo(dc, 6, 1);
             LineTo(dc, 6, 5);
         },
         {"........", ".######.", "......#.", "......#.", "......#.", "........"}},
        {"LineTo backwards",
         [](HDC dc) {
             MoveToEx(dc, 6, 4, nullptr);
             LineTo(dc, 1, 4);
         },
         {"........", "........", "........", "........", "..#####.", "........"}},
        {"Polyline with a coloured pen",
         [](HDC dc) {
             SelectObject(dc, CreatePen(PS_SOLID, 1, kRed));
             POINT p[] = {{0, 0}, {0, 3}, {3, 3}};
             Polyline(dc, p, 3);
         },
         {"r.......", "r.......", "r.......", "rrr.....", "........", "........"}},
        {"A null pen draws no line",
         [](HDC dc) {
             SelectObject(dc, GetStockObject(NULL_PEN));
             MoveToEx(dc, 0, 0, nullptr);
             LineTo(dc, 5, 0);
         },
         {"........", "........", "........", "........", "........", "........"}},
        {"DC_BRUSH paints the context's brush colour",
         [](HDC dc) {
             SetDCBrushColor(dc, kRed);
             RECT r{0, 0, 8, 1};
             FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
         },
         {"rrrrrrrr", "........", "........", "........", "........", "........"}},
        {"The viewport origin moves the drawing",
         [](HDC dc) {
             SetViewportOrgEx(dc, 2, 1, nullptr);
             RECT r{0, 0, 2, 2};
             FillRect(dc, &r, Red());
         },
         {"........", "..rr....", "..rr....", "........", "........", "........"}},
        {"InvertRect turns white black",
         [](HDC dc) {
             RECT r{2, 2, 5, 3};
             InvertRect(dc, &r);
         },
         {"........", "........", "..###...", "........", "........", "........"}},
        {"DrawFocusRect inverts every other pixel of the frame",
         [](HDC dc) {
             RECT r{0, 0, 7, 5};
             DrawFocusRect(dc, &r);
         },
         {"#.#.#.#", ".......", "#.....#", ".......", "#.#.#.#", "......."}},
        {"DrawFocusRect twice takes itself away",
         [](HDC dc) {
             RECT r{1, 1, 7, 5};
             DrawFocusRect(dc, &r);
             DrawFocusRect(dc, &r);
         },
         {"........", "........", "........", "........", "........", "........"}},
    };
    for (const Case& c : cases) {
        const int width = static_cast<int>(c.picture[0].size());
        DibCanvas canvas(width, 6);
        ASSERT_TRUE(canvas.ok());
        c.draw(canvas.dc());
        EXPECT_EQ(canvas.Picture(kLegend), c.picture) << c.name;
    }
}

TEST_F(GdiDrawTest, EdgesHaveTheirLightAndDarkSides) {
    struct EdgeCase {
        UINT edge;
        UINT flags;
        std::vector<std::string> picture;  // 6 x 5; the bottom and right sides own the corners
    };
    const std::vector<EdgeCase> cases = {
        {EDGE_RAISED, BF_RECT, {"fffffd", "f...sd", "f...sd", "fssssd", "dddddd"}},
        {EDGE_SUNKEN, BF_RECT, {"sssss.", "sdddf.", "sd..f.", "sffff.", "......"}},
        {EDGE_ETCHED, BF_TOP | BF_LEFT, {"ssssss", "s.....", "s.....", "s.....", "s....."}},
        {BDR_RAISEDOUTER, BF_RECT | BF_MIDDLE, {"fffffd", "fffffd", "fffffd", "fffffd", "dddddd"}},
    };
    for (const EdgeCase& c : cases) {
        DibCanvas canvas(6, 5);
        RECT r{0, 0, 6, 5};
        ASSERT_TRUE(DrawEdge(canvas.dc(), &r, c.edge, c.flags));
        EXPECT_EQ(canvas.Picture(kLegend), c.picture) << c.edge << " " << c.flags;
    }
}

TEST_F(GdiDrawTest, EllipsesAndRoundedRectanglesStayInTheirBox) {
    const std::vector<std::pair<const char*, Draw>> cases = {
        {"Ellipse", [](HDC dc) { Ellipse(dc, 2, 2, 18, 14); }},
        {"RoundRect", [](HDC dc) { RoundRect(dc, 2, 2, 18, 14, 6, 6); }},
    };
    for (const auto& [name, draw] : cases) {
        DibCanvas canvas(20, 16);
        SelectObject(canvas.dc(), Red());
        draw(canvas.dc());
        EXPECT_EQ(canvas.At(10, 8), kRed) << name;    // the brush inside
        EXPECT_EQ(canvas.At(2, 2), kWhite) << name;   // a rounded corner
        EXPECT_EQ(canvas.At(10, 2), kBlack) << name;  // the pen on the top edge
        RECT ink = canvas.Ink();
        EXPECT_GE(ink.left, 2) << name;
        EXPECT_GE(ink.top, 2) << name;
        EXPECT_LE(ink.right, 18) << name;
        EXPECT_LE(ink.bottom, 14) << name;
    }
}

TEST_F(GdiDrawTest, StyledPensDrawTheirPatternOnTheBackgroundMode) {
    struct PenCase {
        int style;
        int bkMode;
        std::string row;  // x 0..31 of a line from (0, 0) to (30, 0)
    };
    const std::vector<PenCase> cases = {
        {PS_DASH, TRANSPARENT, "rrrrrrrrrrrrrrrrrr......rrrrrr.."},
        {PS_DASH, OPAQUE, "rrrrrrrrrrrrrrrrrrbbbbbbrrrrrr.."},
        {PS_DOT, TRANSPARENT, "rrr...rrr...rrr...rrr...rrr....."},
        {PS_SOLID, OPAQUE, "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrr.."},
    };
    std::map<COLORREF, char> legend = kLegend;
    legend[RGB(0, 0, 255)] = 'b';
    for (const PenCase& c : cases) {
        DibCanvas canvas(static_cast<int>(c.row.size()), 1);
        SelectObject(canvas.dc(), CreatePen(c.style, 1, kRed));
        SetBkMode(canvas.dc(), c.bkMode);
        SetBkColor(canvas.dc(), RGB(0, 0, 255));
        MoveToEx(canvas.dc(), 0, 0, nullptr);
        LineTo(canvas.dc(), 30, 0);
        EXPECT_EQ(canvas.Picture(legend)[0], c.row) << c.style << " " << c.bkMode;
    }
}

TEST_F(GdiDrawTest, AdjustLeavesTheInsideOfTheEdge) {
    DibCanvas canvas(10, 10);
    RECT r{0, 0, 10, 8};
    ASSERT_TRUE(DrawEdge(canvas.dc(), &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST));
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right, 8);
    EXPECT_EQ(r.bottom, 6);
}

TEST_F(GdiDrawTest, StockObjectsAreSharedAndNeverDeleted) {
    const std::vector<int> indexes = {WHITE_BRUSH, BLACK_BRUSH,     NULL_BRUSH, WHITE_PEN,
                                      BLACK_PEN,   NULL_PEN,        DC_BRUSH,   DC_PEN,
                                      SYSTEM_FONT, DEFAULT_GUI_FONT};
    const std::size_t live = sim::GdiTable::Get().LiveCount();
    for (int index : indexes) {
        HGDIOBJ object = GetStockObject(index);
        ASSERT_NE(object, nullptr) << index;
        EXPECT_EQ(GetStockObject(index), object) << index;
        EXPECT_TRUE(DeleteObject(object)) << index;
        EXPECT_NE(GetObjectType(object), 0u) << index;  // still there
    }
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(), live);
    EXPECT_EQ(GetStockObject(9999), nullptr);
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(GetStockObject(DC_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
}

TEST_F(GdiDrawTest, PensAndBrushesSelectInTurnAndDeleteWithoutLeaks) {
    DibCanvas canvas(4, 4);
    const std::size_t live = sim::GdiTable::Get().LiveCount();
    HPEN pen = CreatePen(PS_DOT, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kRed);
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_PEN), 1u);
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_BRUSH), 1u);
    // A new context holds the black pen and the white brush.
    EXPECT_EQ(SelectObject(canvas.dc(), pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(canvas.dc(), brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen);
    EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), pen);
    EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(), live);
    EXPECT_EQ(CreatePen(42, 1, kRed), nullptr);
    LOGBRUSH hollow{BS_NULL, 0, 0};
    HBRUSH none = CreateBrushIndirect(&hollow);
    RECT all{0, 0, 4, 4};
    FillRect(canvas.dc(), &all, none);
    EXPECT_EQ(canvas.At(1, 1), kWhite);  // a hollow brush paints nothing
    DeleteObject(none);
}

TEST_F(GdiDrawTest, TheClassicSchemeAnswersEveryIndex) {
    struct Color {
        int index;
        COLORREF color;
    };
    const std::vector<Color> cases = {{COLOR_BTNFACE, RGB(0xD4, 0xD0, 0xC8)},
                                      {COLOR_BTNSHADOW, RGB(0x80, 0x80, 0x80)},
                                      {COLOR_BTNHIGHLIGHT, kWhite},
                                      {COLOR_3DDKSHADOW, RGB(0x40, 0x40, 0x40)},
                                      {COLOR_WINDOW, kWhite},
                                      {COLOR_WINDOWTEXT, kBlack},
                                      {COLOR_HIGHLIGHT, RGB(0x0A, 0x24, 0x6A)},
                                      {COLOR_HIGHLIGHTTEXT, kWhite},
                                      {COLOR_GRAYTEXT, RGB(0x80, 0x80, 0x80)},
                                      {COLOR_INFOBK, RGB(0xFF, 0xFF, 0xE1)},
                                      {COLOR_INFOTEXT, kBlack}};
    for (const Color& c : cases) {
        EXPECT_EQ(GetSysColor(c.index), c.color) << c.index;
        DibCanvas canvas(2, 2);
        RECT r{0, 0, 2, 2};
        HBRUSH brush = GetSysColorBrush(c.index);
        ASSERT_NE(brush, nullptr);
        EXPECT_EQ(GetSysColorBrush(c.index), brush);
        FillRect(canvas.dc(), &r, brush);
        EXPECT_EQ(canvas.At(1, 1), c.color) << c.index;
    }
    EXPECT_EQ(GetSysColorBrush(99), nullptr);
    EXPECT_EQ(GetSysColor(99), 0u);
}

TEST_F(GdiDrawTest, DrawingOnABadContextFails) {
    RECT r{0, 0, 1, 1};
    HDC bad = reinterpret_cast<HDC>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(FillRect(bad, &r, Red()), 0);
    EXPECT_EQ(FrameRect(bad, &r, Red()), 0);
    EXPECT_FALSE(Rectangle(bad, 0, 0, 2, 2));
    EXPECT_FALSE(LineTo(bad, 2, 2));
    EXPECT_FALSE(DrawEdge(bad, &r, EDGE_RAISED, BF_RECT));
    EXPECT_FALSE(InvertRect(bad, &r));
    DibCanvas canvas(2, 2);
    EXPECT_EQ(FillRect(canvas.dc(), nullptr, Red()), 0);
    EXPECT_FALSE(Polyline(canvas.dc(), nullptr, 2));
    EXPECT_EQ(canvas.At(0, 0), kWhite);
}

}  // namespace
