// The docking tree: the grid of cells, layout, hosted windows and nested dockings, and rendering
// a tree into a bitmap.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "drawing_helper.h"
#include "null_renderable.h"
#include "machine/control/gdiplus_log.h"
#include "machine/gdi_objects.h"
#include "common/window_helper.h"

using namespace System::Docking;

namespace {

constexpr Gdiplus::ARGB kRed = 0xFFFF0000;
constexpr Gdiplus::ARGB kBlue = 0xFF0000FF;
constexpr Gdiplus::ARGB kNone = 0x00000000;

bool Same(const Gdiplus::Rect& a, const Gdiplus::Rect& b) {
    return a.Equals(b) != FALSE;
}

// A renderable that notes which cell rendered it and with which context.
struct Recorder : NullRenderable {
    Recorder(std::vector<int>& order, int tag) : order_(order), tag_(tag) {}
    void Render(RenderContext& context) override {
        order_.push_back(tag_);
        seen = context;
    }
    RenderContext seen;

private:
    std::vector<int>& order_;
    int tag_;
};

class TreeTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        StartDrawingLibrary();
    }
    // Renders the docking as a whole window of w x h into the canvas.
    static void RenderInto(CDocking& d, Canvas& canvas, int w, int h, HRGN region = nullptr) {
        RenderContext context;
        context.window = d.handle.Value();
        context.bounds = context.client = context.clip = {0, 0, w, h};
        context.graphics = &canvas.graphics;
        context.region = region;
        context.generationCounter = d.surface.GenerationCounter();
        context.generation = d.surface.Generation();
        d.Render(context);
    }
    // Every window answers WM_DOCKING_GETDOCKING with the docking given for it here.
    void AnswerDockings(std::vector<std::pair<HWND, CDocking*>> dockings) {
        Answers() = [dockings](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m != WM_DOCKING_GETDOCKING) return std::nullopt;
            for (const auto& [window, docking] : dockings)
                if (window == w) return reinterpret_cast<LRESULT>(docking);
            return 0;
        };
    }
};

// ---- Cells and the grid ----

TEST_F(TreeTest, ACellsWidthAndHeightAreItsColumnsAndRows) {
    CDocking d(nullptr);
    d.Cell(2, 1).width.Set(40);
    d.Cell(0, 2).height.Set(-1);
    EXPECT_EQ(d.ColumnWidth(1), 40);
    EXPECT_EQ(d.Cell(0, 1).width.Get(), 40);
    EXPECT_EQ(d.RowHeight(0), -1);
    EXPECT_EQ(d.Cell(0, 0).height.Get(), -1);
    EXPECT_EQ(d.Cell(1, 0).height.Get(), -1);  // row 1 is flexible from the start
    EXPECT_EQ(d.Cell(2, 0).height.Get(), 0);
    // The const typed get is the size of the last render.
    EXPECT_EQ(d.Cell(2, 1).width.Value(), 0);
    d.SetBounds({0, 0, 100, 60});
    Canvas canvas(100, 60);
    RenderInto(d, canvas, 100, 60);
    EXPECT_EQ(d.Cell(2, 1).width.Value(), 40);
    EXPECT_EQ(d.Cell(0, 0).height.Value(), 30);
}

TEST_F(TreeTest, SetBoundsLaysTheCellsOutInTheContent) {
    CDocking d(nullptr);
    d.padding.Set(L"left:10;top:10;right:10;bottom:10");
    d.Cell(0, 0).width.Set(50);
    d.Cell(0, 2).width.Set(50);
    d.Cell(0, 0).height.Set(20);
    d.Cell(2, 0).height.Set(20);
    d.SetBounds({0, 0, 300, 100});
    EXPECT_EQ(d.width.Get(), 300);
    EXPECT_EQ(d.height.Get(), 100);
    EXPECT_TRUE(Same(d.Cell(0, 0).GetBounds(), {10, 10, 50, 20}));
    EXPECT_TRUE(Same(d.Cell(1, 1).GetBounds(), {60, 30, 180, 40}));
    EXPECT_TRUE(Same(d.Cell(2, 2).GetBounds(), {240, 70, 50, 20}));
    d.SetBounds({0, 0, -40, 100});  // a negative size counts as 0
    EXPECT_EQ(d.width.Get(), 0);
    EXPECT_EQ(d.Cell(1, 1).GetBounds().Width, 0);
    EXPECT_EQ(d.Cell(0, 2).GetBounds().Width, 0);
}

TEST_F(TreeTest, AChildIsMadeOnceWithTheDockingsOwnerAndGoesWithReset) {
    CDocking d(nullptr);
    d.owner.Read();  // d's own owner from now on
    CDockingCell& cell = d.Cell(1, 1);
    EXPECT_EQ(cell.child.Value(), nullptr);
    CDocking* nested = cell.child.Read();
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(cell.child.Read(), nested);
    EXPECT_EQ(cell.child.Get(), nested);
    EXPECT_EQ(nested->owner.Value(), &d);
    EXPECT_EQ(nested->parent.Get(), &cell);
    EXPECT_EQ(nested->root.Get(), &d);
    EXPECT_THROW(cell.child.Set(nullptr), PropertyAccessError);
    nested->id.Set(L"inner");
    d.Reset(nullptr);
    EXPECT_EQ(cell.child.Value(), nullptr);
    EXPECT_EQ(FindRenderableById(L"inner"), nullptr);
}

TEST_F(TreeTest, ResetGivesCellsAndGridTheirDefaultsAndKeepsWhatItShould) {
    CDocking d(nullptr);
    CDockingCell& cell = d.Cell(0, 1);
    std::vector<int> order;
    Recorder extra(order, 0);
    cell.text.Set(L"Dial");
    cell.cursor.Set(L"hand");
    cell.background.Set(L"color:#FF0000;image:a.png");
    cell.font.Set(L"size:12");
    cell.border.Set(L"width:2");
    cell.padding.Set(L"4");
    cell.margin.Set(L"5");
    cell.zindex.Set(3);
    cell.radius.Set(9);
    cell.handle.style = L"clip";
    cell.renderables.push_back(&extra);
    cell.width.Set(70);
    cell.SetBounds({1, 2, 3, 4});
    d.Reset(nullptr);
    EXPECT_EQ(cell.text.Get(), L"");
    EXPECT_EQ(cell.cursor.Get(), L"");
    EXPECT_EQ(cell.background.color, kNoColor);
    EXPECT_EQ(cell.background.image, L"");
    EXPECT_EQ(cell.font.size, 8);
    EXPECT_EQ(cell.border.width, 0);
    EXPECT_EQ(cell.padding.left, 0);
    EXPECT_EQ(cell.margin.bottom, 0);
    EXPECT_EQ(cell.zindex.Get(), 0);
    EXPECT_TRUE(Same(cell.GetBounds(), {}));
    EXPECT_EQ(d.ColumnWidth(1), -1);
    EXPECT_EQ(d.RowHeight(0), 0);
    // Kept.
    EXPECT_EQ(cell.radius.Get(), 9);
    EXPECT_EQ(cell.handle.style, L"clip");
    EXPECT_EQ(cell.renderables.size(), 1u);
}

// ---- Hosted windows ----

TEST_F(TreeTest, AHostedWindowIsPlacedOverTheClientAndItsDockingLaidOutThere) {
    const HWND host = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const HWND hosted = MakeWindow(WS_CHILD | WS_VISIBLE, host, 1, L"", {0, 0, 5, 5});
    CDocking d(nullptr), inner(nullptr);
    AnswerDockings({{hosted, &inner}});
    d.handle.Set(host);
    CDockingCell& cell = d.Cell(1, 1);
    cell.border.Set(L"width:2");
    cell.padding.Set(L"3");
    cell.handle.Set(hosted);
    d.SetBounds({0, 0, 100, 50});
    const Gdiplus::Rect client = cell.client.Get();
    EXPECT_TRUE(Same(client, {5, 5, 92, 42}));
    RECT r{};
    GetWindowRect(hosted, &r);
    POINT origin{0, 0};
    ClientToScreen(host, &origin);
    EXPECT_EQ(r.left - origin.x, 5);
    EXPECT_EQ(r.top - origin.y, 5);
    EXPECT_EQ(r.right - r.left, 92);
    EXPECT_EQ(r.bottom - r.top, 42);
    EXPECT_TRUE(Same(inner.GetBounds(), client));
    EXPECT_EQ(Entries(WM_DOCKING_ENSUREDOCKING, hosted).empty(), false);
}

// A window anchored into a cell of its own tree, or two windows anchored into each other: the
// links, the layout and the render all end.
enum class Anchoring { IntoItsOwnCell, IntoItsOwnNestedCell, IntoEachOther };

void PrintTo(Anchoring a, std::ostream* os) {
    *os << (a == Anchoring::IntoItsOwnCell         ? "IntoItsOwnCell"
            : a == Anchoring::IntoItsOwnNestedCell ? "IntoItsOwnNestedCell"
                                                   : "IntoEachOther");
}

class Anchors : public TreeTest, public ::testing::WithParamInterface<Anchoring> {};

TEST_P(Anchors, EndAndLeaveEachDialogItsOwnRoot) {
    const HWND a = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const HWND b = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    CDocking da(nullptr), db(nullptr);
    AnswerDockings({{a, &da}, {b, &db}});
    da.Reset(a);
    da.handle.Set(a);
    db.Reset(b);
    db.handle.Set(b);
    switch (GetParam()) {
        case Anchoring::IntoItsOwnCell:
            da.Cell(1, 1).handle.Set(a);
            break;
        case Anchoring::IntoItsOwnNestedCell:
            da.Cell(1, 1).child.Read()->Cell(1, 1).handle.Set(a);
            break;
        case Anchoring::IntoEachOther:
            da.Cell(1, 1).handle.Set(b);
            db.Cell(1, 1).handle.Set(a);
            break;
    }
    EXPECT_EQ(da.parent.Get(), nullptr);
    EXPECT_EQ(da.root.Get(), &da);
    EXPECT_EQ(db.root.Get(), &db);
    // A nested docking keeps the cell that made it as its parent and the top docking as root.
    CDocking* nested = da.Cell(1, 1).child.Value();
    if (nested != nullptr) {
        EXPECT_EQ(nested->parent.Get(), static_cast<IRenderable*>(&da.Cell(1, 1)));
        EXPECT_EQ(nested->root.Get(), &da);
    }
    da.SetBounds({0, 0, 90, 90});
    Canvas canvas(90, 90);
    RenderInto(da, canvas, 90, 90);
    EXPECT_LT(Entries(WM_DOCKING_GETDOCKING).size(), 20u);
}

INSTANTIATE_TEST_SUITE_P(Loops, Anchors,
                         ::testing::Values(Anchoring::IntoItsOwnCell,
                                           Anchoring::IntoItsOwnNestedCell,
                                           Anchoring::IntoEachOther));

// ---- Render ----

TEST_F(TreeTest, CellsRenderBySmallestZindexThenRowMajor) {
    CDocking d(nullptr);
    for (int i = 0; i < 3; ++i) {
        d.Cell(0, i).width.Set(30);
        d.Cell(i, 0).height.Set(30);
    }
    std::vector<int> order;
    std::vector<std::unique_ptr<Recorder>> recorders;
    for (int i = 0; i < 9; ++i) {
        recorders.push_back(std::make_unique<Recorder>(order, i));
        d.Cell(i / 3, i % 3).renderables.push_back(recorders.back().get());
    }
    d.Cell(0, 0).zindex.Set(1);
    d.Cell(0, 1).zindex.Set(1);
    d.Cell(2, 2).zindex.Set(-1);
    d.SetBounds({0, 0, 90, 90});
    Canvas canvas(90, 90);
    RenderInto(d, canvas, 90, 90);
    EXPECT_EQ(order, (std::vector<int>{8, 2, 3, 4, 5, 6, 7, 0, 1}));
}

struct OverflowCase {
    const wchar_t* overflow;
    Gdiplus::ARGB beyond;  // at a point of the first column beyond the docking's content
};

void PrintTo(const OverflowCase& c, std::ostream* os) {
    *os << std::string(c.overflow, c.overflow + wcslen(c.overflow));
}

class Overflow : public TreeTest, public ::testing::WithParamInterface<OverflowCase> {};

TEST_P(Overflow, LetsCellsFloatOrClipsThemToTheContent) {
    CDocking d(nullptr);
    d.overflow.Set(GetParam().overflow);
    d.Cell(0, 0).width.Set(150);  // wider than the docking
    for (int r = 0; r < 3; ++r) d.Cell(r, 0).background.Set(L"color:#FF0000");
    d.SetBounds({0, 0, 100, 60});
    Canvas canvas(200, 60);
    RenderContext context;
    context.bounds = context.client = {0, 0, 100, 60};
    context.clip = {0, 0, 200, 60};
    context.graphics = &canvas.graphics;
    context.generationCounter = d.surface.GenerationCounter();
    d.Render(context);
    EXPECT_EQ(canvas.At(50, 30), kRed);
    EXPECT_EQ(canvas.At(120, 30), GetParam().beyond);
}

INSTANTIATE_TEST_SUITE_P(Keywords, Overflow,
                         ::testing::Values(OverflowCase{L"float", kRed},
                                           OverflowCase{L"clip", kNone},
                                           OverflowCase{L"anything", kNone}));

TEST_F(TreeTest, ARenderOvertakenWhileAWindowAnsweredStopsThere) {
    const HWND host = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const HWND hosted = MakeWindow(WS_CHILD | WS_VISIBLE, host, 1);
    CDocking d(nullptr);
    d.handle.Set(host);
    std::vector<int> order;
    Recorder before(order, 1), after(order, 2);
    d.Cell(0, 0).width.Set(30);
    d.Cell(0, 0).renderables.push_back(&before);
    d.Cell(1, 1).handle.Set(hosted);
    d.Cell(1, 1).background.Set(L"color:#FF0000");
    d.Cell(2, 2).renderables.push_back(&after);
    d.Cell(0, 0).height.Set(30);
    d.SetBounds({0, 0, 90, 90});
    Answers() = [&d, hosted](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w == hosted && m == WM_DOCKING_CELLCHANGED) d.surface.AdvanceGeneration();
        return std::nullopt;
    };
    Canvas canvas(90, 90);
    const int start = d.surface.Generation();  // the handles' changes advanced it already
    try {
        RenderInto(d, canvas, 90, 90);
        ADD_FAILURE() << "the render went on";
    } catch (int newer) {
        EXPECT_EQ(newer, start + 1);
    }
    EXPECT_EQ(order, std::vector<int>{1});
    EXPECT_EQ(canvas.At(45, 45), kNone);  // the hosted window's cell drew nothing
    EXPECT_TRUE(Entries(WM_DOCKING_PAINT, hosted).empty());
}

TEST_F(TreeTest, AHostedWindowDrawsItselfAndItsDockingIsRenderedWhileVisible) {
    const HWND host = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const HWND hosted = MakeWindow(WS_CHILD | WS_VISIBLE, host, 1);
    CDocking d(nullptr), inner(nullptr);
    inner.background.Set(L"color:#0000FF");
    inner.Cell(0, 1).height.Set(40);
    inner.Cell(0, 1).background.Set(L"color:#FF0000");
    AnswerDockings({{hosted, &inner}});
    d.handle.Set(host);
    d.Cell(1, 1).padding.Set(L"left:10;top:14");
    d.Cell(1, 1).handle.Set(hosted);
    d.SetBounds({0, 0, 90, 90});
    Canvas canvas(90, 90);
    RenderInto(d, canvas, 90, 90);
    const auto paints = Entries(WM_DOCKING_PAINT, hosted);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(Entries(WM_DOCKING_CELLCHANGED, hosted).size(), 1u);
    // The nested docking is drawn where it was laid out, over the cell's client rectangle: its
    // first row from the padding's end, whole, and nothing over the padding.
    ASSERT_TRUE(Same(inner.Cell(0, 1).GetBounds(), {10, 14, 80, 40}));
    EXPECT_EQ(canvas.At(5, 5), kNone);
    EXPECT_EQ(canvas.At(45, 13), kNone);
    EXPECT_EQ(canvas.At(45, 14), kRed);
    EXPECT_EQ(canvas.At(45, 53), kRed);
    EXPECT_EQ(canvas.At(45, 54), kBlue);
    EXPECT_EQ(canvas.At(89, 89), kBlue);
    ShowWindow(hosted, SW_HIDE);
    Canvas hidden(90, 90);
    RenderInto(d, hidden, 90, 90);
    EXPECT_EQ(hidden.At(45, 60), kNone);
}

TEST_F(TreeTest, AClipWindowIsCutOutOfThePaintRegionWithinItsParent) {
    const HWND host = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 200, 200});
    const HWND hosted = MakeWindow(WS_CHILD | WS_VISIBLE, host, 1);
    CDocking d(nullptr);
    d.handle.Set(host);
    d.Cell(1, 1).handle.style = L"clip";
    d.Cell(1, 1).handle.Set(hosted);
    d.SetBounds({0, 0, 100, 100});
    MoveWindow(hosted, 80, 10, 40, 20, FALSE);  // reaches past the host's right edge
    HRGN region = CreateRectRgn(0, 0, 100, 100);
    Canvas canvas(100, 100);
    RenderInto(d, canvas, 100, 100, region);
    EXPECT_FALSE(PtInRegion(region, 85, 15));
    EXPECT_TRUE(PtInRegion(region, 79, 15));
    EXPECT_TRUE(PtInRegion(region, 85, 30));
    DeleteObject(region);
}

// ---- A cell hands its control's picture to the root window ----

struct DrawChildCase {
    const char* name;
    Gdiplus::Rect changed;
    bool sent;
    DrawChildRecord expected;
};

void PrintTo(const DrawChildCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawChild : public TreeTest, public ::testing::WithParamInterface<DrawChildCase> {};

TEST_P(DrawChild, SendsThePartInsideTheClientToTheRootWindow) {
    const HWND host = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    CDocking d(nullptr);
    d.handle.Set(host);
    CDockingCell& cell = d.Cell(0, 0);
    cell.SetBounds({10, 10, 100, 40});
    cell.border.Set(L"width:2");
    cell.padding.Set(L"3");  // client (15, 15, 92, 32)
    DrawChildRecord got{};
    int sends = 0;
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_DOCKING_DRAWCHILD) return std::nullopt;
        ++sends;
        got = *reinterpret_cast<const DrawChildRecord*>(wp);
        return 7;
    };
    const HDC source = reinterpret_cast<HDC>(static_cast<INT_PTR>(0x1234));
    IRenderable& slot = cell;
    EXPECT_EQ(slot.Paint(source, GetParam().changed), GetParam().sent ? 7 : 0);
    ASSERT_EQ(sends, GetParam().sent ? 1 : 0);
    if (!GetParam().sent) return;
    const DrawChildRecord& e = GetParam().expected;
    EXPECT_EQ(got.source, source);
    EXPECT_EQ(got.x, e.x);
    EXPECT_EQ(got.y, e.y);
    EXPECT_EQ(got.width, e.width);
    EXPECT_EQ(got.height, e.height);
    EXPECT_EQ(got.sourceX, e.sourceX);
    EXPECT_EQ(got.sourceY, e.sourceY);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, DrawChild,
    ::testing::Values(
        DrawChildCase{"Inside", {20, 25, 10, 5}, true, {nullptr, 20, 25, 10, 5, 5, 10}},
        DrawChildCase{
            "StartingLeftAndAbove", {0, 0, 30, 30}, true, {nullptr, 15, 15, 15, 15, 0, 0}},
        DrawChildCase{"Outside", {200, 0, 30, 30}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A whole tree ----

class TreePicture : public TreeTest {
protected:
    // A main-dialog-like tree: a framed docking with a title, an image header, a nested docking
    // of three coloured cells and a bordered text cell.
    void Build(CDocking& d) {
        ASSERT_TRUE(M().WriteFile(L"C:\\skin\\head.bmp", BmpBytes(10, 10, [](int x, int y) {
                                      return ImagePixel(x, y) & 0xFFFFFF;
                                  })));
        d.handle.layoutFile = L"C:\\skin\\main.xml";
        d.background.Set(L"color:#E0E0E0");
        d.border.Set(L"width:2;color:#404040");
        d.padding.Set(L"4");
        d.Cell(0, 0).width.Set(30);
        d.Cell(0, 2).width.Set(30);
        d.Cell(0, 0).height.Set(20);
        d.Cell(2, 0).height.Set(24);
        d.Cell(0, 1).background.Set(L"image:head.bmp;style:repeat-x");
        d.Cell(1, 0).background.Set(L"color:#2060C0");
        CDocking* nested = d.Cell(1, 1).child.Read();
        nested->background.Set(L"color:#FFFFFF");
        nested->padding.Set(L"3");
        nested->Cell(1, 0).background.Set(L"color:#FF0000");
        nested->Cell(1, 0).width.Set(20);
        nested->Cell(1, 1).background.Set(L"color:#00A000");
        nested->Cell(1, 2).background.Set(L"color:#0000FF");
        d.Cell(1, 1).padding.Set(L"5");
        d.Cell(2, 1).border.Set(L"width:1;color:#000000");
        d.Cell(2, 1).radius.Set(20);
        d.SetBounds({0, 0, 120, 90});
    }
};

TEST_F(TreePicture, MatchesItsReference) {
    CDocking d(nullptr);
    Build(d);
    Canvas canvas(120, 90);
    RenderInto(d, canvas, 120, 90);
    EXPECT_EQ(canvas.At(10, 50), 0xFF2060C0);                  // cell (1, 0)
    EXPECT_EQ(canvas.At(30 + 4 + 5 + 3 + 1, 45), 0xFFFF0000);  // nested cell (1, 0)
    EXPECT_EQ(canvas.At(34, 4), ImagePixel(0, 0));             // the header's first tile
    ExpectGolden(canvas, "docking_tree");
}

TEST_F(TreePicture, LeavesNoDrawingObjectsBehind) {
    Canvas canvas(120, 90);
    const HWND host = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    // The cache keeps its images until exit: load the image before counting.
    ASSERT_TRUE(M().WriteFile(L"C:\\skin\\head.bmp", BmpBytes(10, 10, [](int x, int y) {
                                  return ImagePixel(x, y) & 0xFFFFFF;
                              })));
    ASSERT_NE(LoadDockingImage(L"C:\\skin\\main.xml", L"head.bmp"), nullptr);
    auto& table = sim::GdiTable::Get();
    const size_t gdi = table.LiveCount();
    const control::GdiplusKind kinds[] = {
        control::GdiplusKind::Image,       control::GdiplusKind::Graphics,
        control::GdiplusKind::Pen,         control::GdiplusKind::Brush,
        control::GdiplusKind::Font,        control::GdiplusKind::Path,
        control::GdiplusKind::CachedBitmap};
    std::vector<size_t> before;
    for (auto kind : kinds) before.push_back(control::GdiplusLiveCount(kind));
    {
        auto d = std::make_unique<CDocking>(nullptr);
        Build(*d);
        d->handle.Set(host);
        d->Cell(2, 1).text.Set(L"Connect");
        HRGN region = CreateRectRgn(0, 0, 120, 90);
        RenderInto(*d, canvas, 120, 90, region);
        DeleteObject(region);
    }
    EXPECT_EQ(table.LiveCount(), gdi);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(control::GdiplusLiveCount(kinds[i]), before[i]) << "kind " << i;
}

}  // namespace
