// The skinned group box and slider: their looks read from the layout element, the frame and
// caption of the group box, the slider's track and thumb, and what their windows answer.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "docking/cell.h"
#include "docking/controls.h"
#include "docking/image_cache.h"
#include "docking/messages.h"
#include "drawing_helper.h"
#include <commctrl.h>
#include <winuser.h>
#include <msxml2.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;

namespace {

// One layout element parsed from its text.
class Element {
public:
    explicit Element(const std::string& xml) {
        EXPECT_EQ(doc_.loadBytes(xml.data(), xml.size()), VARIANT_TRUE) << xml;
    }
    WPARAM Param() const { return reinterpret_cast<WPARAM>(doc_.documentElement()); }

private:
    IXMLDOMDocument doc_;
};

TEST(ImageSpecs, ABareNameIsTheImageAndPairsSetTheirFields) {
    struct Case {
        const char* name;
        std::wstring text;
        std::wstring image;
        ColorValue color;
        int x, y;
        std::wstring mode;
    };
    const Case cases[] = {
        {"bare name", L"track.png", L"track.png", kNoColor, 0, 0, L""},
        {"empty", L"", L"", kNoColor, 0, 0, L""},
        {"all pairs", L"image:t.png;color:#FF0000;style:repeat-x;x:-3;y:4", L"t.png", 0xFFFF0000,
         -3, 4, L"repeat-x"},
        {"colour only", L"color:red", L"", 0xFFFF0000, 0, 0, L""},
        {"number text", L"x:12abc", L"", kNoColor, 12, 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageSpec look;
        ParseImageSpec(c.text, look);
        EXPECT_EQ(look.image, c.image);
        EXPECT_EQ(look.color, c.color);
        EXPECT_EQ(look.x, c.x);
        EXPECT_EQ(look.y, c.y);
        EXPECT_EQ(look.mode, c.mode);
    }
}

TEST(SliderTrack, TheTrackIsAShareOfTheContentWidthThatNeverLeavesIt) {
    struct Case {
        const char* name;
        int width, pos, max;
        int track;
    };
    const Case cases[] = {
        {"at 0", 150, 0, 100, 0},
        {"at the maximum", 150, 100, 100, 150},
        {"half", 150, 50, 100, 75},
        {"a maximum of 0", 150, 0, 0, 0},
        {"range to 10^8, halfway (the product passes 2^31)", 150, 50000000, 100000000, 75},
        {"range to 10^8, at the end", 150, 100000000, 100000000, 150},
        {"range -10..10 at -10", 150, -10, 10, 0},
        {"past the maximum", 150, 300, 100, 150},
        {"no content", 0, 5, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SliderTrackWidth(c.width, c.pos, c.max), c.track);
    }
}

TEST(GroupBoxCaption, TheCaptionRoomLeavesTheCornersAndIsEmptyWhenTooNarrow) {
    struct Case {
        const char* name;
        Gdiplus::Rect box;
        int radius;
        Gdiplus::Rect room;
    };
    const Case cases[] = {
        {"normal", {10, 20, 100, 50}, 8, {22, 22, 76, 50}},
        {"square", {10, 20, 100, 50}, 0, {14, 22, 92, 50}},
        {"too narrow", {10, 20, 20, 50}, 8, {}},
        {"empty box", {10, 20, 0, 50}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gdiplus::Rect room = GroupBoxTextRect(c.box, c.radius);
        EXPECT_TRUE(room.Equals(c.room))
            << room.X << "," << room.Y << " " << room.Width << "x" << room.Height;
    }
}

const Gdiplus::Rect kBox(20, 10, 120, 60);
// The frame's edges in kBox.
constexpr int kLeft = 22, kRight = 138, kTop = 16, kBottom = 68;

class Skinned : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        StartDrawingLibrary();
    }
    void TearDown() override {
        cell_.reset();
        AfxDeleteTemporaryObjects();
    }
    // A window of `className` taken over by object, hosted by a cell with kBox as bounds.
    void Host(CWnd& object, const wchar_t* className, const wchar_t* text, DWORD style) {
        HWND window =
            ::CreateWindowExW(0, className, text, WS_POPUP | WS_VISIBLE | style, 0, 0, kBox.Width,
                              kBox.Height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(object.SubclassWindow(window));
        cell_ = std::make_unique<CDockingCell>(nullptr, 0, 0);
        cell_->SetBounds(kBox);
        cell_->handle.Assign(window);
    }
    void Paint(HWND window, Canvas& canvas, Gdiplus::Rect clip = {0, 0, 200, 100}) {
        RenderContext context;
        context.graphics = &canvas.graphics;
        context.bounds = kBox;
        context.client = kBox;
        context.clip = clip;
        ::SendMessageW(window, WM_DOCKING_PAINT, reinterpret_cast<WPARAM>(&context), 0);
    }
    std::unique_ptr<CDockingCell> cell_;
};

// Something was drawn at (x, y) or the pixel above it (a one-pixel line may land on either).
bool Ink(Canvas& canvas, int x, int y) {
    return (canvas.At(x, y) >> 24) != 0 || (canvas.At(x, y - 1) >> 24) != 0;
}

bool InkOutside(Canvas& canvas, const Gdiplus::Rect& box) {
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if (!box.Contains(x, y) && (canvas.At(x, y) >> 24) != 0) return true;
    return false;
}

using GroupBox = Skinned;

TEST_F(GroupBox, TheRadiusIsKeptWithinTheBox) {
    struct Case {
        const char* name;
        const char* border;
        bool squareCorner;
    };
    const Case cases[] = {
        {"default radius 8", "color:#FF0000", false},
        {"radius 0", "radius:0;color:#FF0000", true},
        {"radius -8 counts as 0", "radius:-8;color:#FF0000", true},
        {"radius 2^30 is cut to the box", "radius:1073741824;color:#FF0000", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDockingGroupBox box;
        Host(box, L"Button", L"", BS_GROUPBOX);
        Element element(std::string("<cell groupboxborder=\"") + c.border + "\"/>");
        ::SendMessageW(box.m_hWnd, WM_DOCKING_SETSTYLE, element.Param(), 0);
        EXPECT_EQ(box.Border().color, 0xFFFF0000u);
        Canvas canvas(200, 100);
        Paint(box.m_hWnd, canvas);
        EXPECT_EQ(Ink(canvas, kLeft, kTop), c.squareCorner);
        EXPECT_TRUE(Ink(canvas, (kLeft + kRight) / 2, kBottom)) << "the bottom edge";
        EXPECT_TRUE(Ink(canvas, (kLeft + kRight) / 2, kTop)) << "the top edge (no caption)";
        EXPECT_FALSE(InkOutside(canvas, kBox));
        ::DestroyWindow(box.m_hWnd);
    }
}

TEST_F(GroupBox, TheCaptionCutsAGapNoWiderThanItsRoom) {
    struct Case {
        const char* name;
        const wchar_t* caption;
        bool gapAtStart;   // the top edge is open just right of the left corner
        bool edgeNearEnd;  // the top edge shows between the caption room and the right corner
    };
    const Case cases[] = {
        {"no caption: a closed frame", L"", false, true},
        {"short caption", L"Net", true, true},
        {"caption wider than the box", L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDockingGroupBox box;
        Host(box, L"Button", c.caption, BS_GROUPBOX);
        Element element("<cell groupboxborder=\"radius:0;color:#0000FF\"/>");
        ::SendMessageW(box.m_hWnd, WM_DOCKING_SETSTYLE, element.Param(), 0);
        Canvas canvas(200, 100);
        Paint(box.m_hWnd, canvas);
        const Gdiplus::Rect room = GroupBoxTextRect(kBox, 0);
        EXPECT_EQ(!Ink(canvas, room.X + 2, kTop), c.gapAtStart);
        EXPECT_EQ(Ink(canvas, room.X + room.Width + 1, kTop), c.edgeNearEnd);
        // No caption ink right of its room.
        bool past = false;
        for (int y = kBox.Y; y < kTop - 1; ++y)
            for (int x = room.X + room.Width; x < kBox.X + kBox.Width; ++x)
                past = past || (canvas.At(x, y) >> 24) != 0;
        EXPECT_FALSE(past);
        ::DestroyWindow(box.m_hWnd);
    }
}

TEST_F(GroupBox, ItIsOwnerDrawnAndLetsTheMouseThrough) {
    CDockingGroupBox box;
    Host(box, L"Button", L"Group", BS_GROUPBOX);
    EXPECT_EQ(::GetWindowLongPtrW(box.m_hWnd, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(::SendMessageW(box.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTTRANSPARENT);
    EXPECT_EQ(::SendMessageW(box.m_hWnd, WM_ERASEBKGND, 0, 0), TRUE);
    ::DestroyWindow(box.m_hWnd);
}

TEST_F(GroupBox, WithoutACellNothingIsDrawn) {
    CDockingGroupBox box;
    HWND window = ::CreateWindowExW(0, L"Button", L"G", WS_POPUP | WS_VISIBLE | BS_GROUPBOX, 0, 0,
                                    50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(box.SubclassWindow(window));
    Canvas canvas(200, 100);
    Paint(window, canvas);
    EXPECT_FALSE(InkOutside(canvas, {}));
    ::DestroyWindow(window);
}

}  // namespace

namespace {

using Slider = Skinned;

constexpr Gdiplus::ARGB kTrack = 0xFFFF0000, kThumb = 0xFF0000FF;

TEST_F(Slider, TheTrackRunsToThePositionAndTheThumbSitsOnItsEnd) {
    struct Case {
        const char* name;
        int min, max, pos;
        int track;  // the track's width in the 120-pixel content box
    };
    const Case cases[] = {
        {"at 0", 0, 100, 0, 0},
        {"at the maximum", 0, 100, 100, 120},
        {"a maximum of 0: no track", 0, 0, 0, 0},
        {"range 0..10^8 halfway", 0, 100000000, 50000000, 60},
        {"range -10..10 at -10", -10, 10, -10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDockingSlider slider;
        Host(slider, TRACKBAR_CLASSW, L"", 0);
        Element element(
            "<cell track=\"color:#FF0000\" thumb=\"color:#0000FF\" thumbwidth=\"10\"/>");
        ::SendMessageW(slider.m_hWnd, WM_DOCKING_SETSTYLE, element.Param(), 0);
        ::SendMessageW(slider.m_hWnd, TBM_SETRANGEMIN, FALSE, c.min);
        ::SendMessageW(slider.m_hWnd, TBM_SETRANGEMAX, FALSE, c.max);
        ::SendMessageW(slider.m_hWnd, TBM_SETPOS, TRUE, c.pos);
        ASSERT_EQ(::SendMessageW(slider.m_hWnd, TBM_GETPOS, 0, 0), c.pos);
        Canvas canvas(200, 100);
        Paint(slider.m_hWnd, canvas);
        const int y = kBox.Y + kBox.Height / 2;
        const int end = kBox.X + c.track;
        // Track pixels left of the thumb, none right of it; the thumb centred on the end.
        if (c.track > 6) {
            EXPECT_EQ(canvas.At(kBox.X + 1, y), kTrack);
        }
        EXPECT_NE(canvas.At(end + 6, y), kTrack);
        EXPECT_EQ(canvas.At(end - 5, y), kThumb);
        EXPECT_EQ(canvas.At(end + 4, y), kThumb);
        EXPECT_NE(canvas.At(end + 5, y), kThumb);
        EXPECT_FALSE(
            InkOutside(canvas, Gdiplus::Rect(kBox.X - 5, kBox.Y, kBox.Width + 10, kBox.Height)));
        ::DestroyWindow(slider.m_hWnd);
    }
}

TEST_F(Slider, TheContentBoxLeavesMarginAndPadding) {
    CDockingSlider slider;
    Host(slider, TRACKBAR_CLASSW, L"", 0);
    cell_->margin.Assign(L"left:6;right:4");
    cell_->padding.Assign(L"left:4;right:6;top:10;bottom:10");
    Element element("<cell track=\"color:#FF0000\" thumbwidth=\"0\"/>");
    ::SendMessageW(slider.m_hWnd, WM_DOCKING_SETSTYLE, element.Param(), 0);
    ::SendMessageW(slider.m_hWnd, TBM_SETRANGEMAX, FALSE, 100);
    ::SendMessageW(slider.m_hWnd, TBM_SETPOS, TRUE, 100);
    Canvas canvas(200, 100);
    Paint(slider.m_hWnd, canvas);
    EXPECT_FALSE(InkOutside(canvas, Gdiplus::Rect(kBox.X + 10, kBox.Y + 10, 100, 40)));
    EXPECT_EQ(canvas.At(kBox.X + 10, kBox.Y + 10), kTrack);
    EXPECT_EQ(canvas.At(kBox.X + 109, kBox.Y + 49), kTrack);
    ::DestroyWindow(slider.m_hWnd);
}

TEST_F(Slider, OnlyThePrePaintStageAsksForItemNotices) {
    struct Case {
        DWORD stage;
        LRESULT result;
    };
    const Case cases[] = {{CDDS_PREPAINT, CDRF_NOTIFYITEMDRAW}, {CDDS_ITEMPREPAINT, 0}};
    CDockingSlider slider;
    Host(slider, TRACKBAR_CLASSW, L"", 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        NMCUSTOMDRAW draw{};
        draw.hdr.hwndFrom = slider.m_hWnd;
        draw.hdr.code = NM_CUSTOMDRAW;
        draw.dwDrawStage = c.stage;
        EXPECT_EQ(::SendMessageW(slider.m_hWnd, WM_REFLECT_BASE + WM_NOTIFY, 0,
                                 reinterpret_cast<LPARAM>(&draw)),
                  c.result);
    }
    ::DestroyWindow(slider.m_hWnd);
}

}  // namespace
