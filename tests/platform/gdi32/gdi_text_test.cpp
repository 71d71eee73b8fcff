// GDI's text on pango: extents and metrics of the selected font, the family through the
// machine's font table with its fallback, DrawTextW's layout (DT_CALCRECT, alignment, prefixes,
// wrapping, ellipsis), and the background of text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include "platform/dib_canvas.h"
#include <winbase.h>
#include "common/thread_helper.h"
#include <wingdi.h>
#include "machine/fonts.h"
#include "machine/gdi_objects.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class GdiTextTest : public SimTest {
protected:
    // A font of the face and height (negative: the em height in pixels).
    static HFONT Font(const wchar_t* face, LONG height, LONG weight = FW_NORMAL) {
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        return CreateFontIndirectW(&lf);
    }
    static SIZE Extent(HDC dc, const std::wstring& text) {
        SIZE s{-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s));
        return s;
    }
};

TEST_F(GdiTextTest, ExtentsGrowWithTheTextAndKeepTheLineHeight) {
    DibCanvas canvas(8, 8);
    SelectObject(canvas.dc(), Font(L"Tahoma", -12));
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
    int previous = -1;
    for (const std::wstring text : {L"", L"a", L"ab", L"abc", L"abc d", L"abc de", L"abc def"}) {
        SIZE s = Extent(canvas.dc(), text);
        EXPECT_GT(s.cx, previous) << "\"" << std::string(text.begin(), text.end()) << "\"";
        EXPECT_EQ(s.cy, tm.tmHeight);
        previous = s.cx;
    }
    EXPECT_EQ(Extent(canvas.dc(), L"").cx, 0);
}

TEST_F(GdiTextTest, TheFontsHeightWeightAndFaceChangeTheExtent) {
    DibCanvas canvas(8, 8);
    struct Case {
        const wchar_t* face;
        LONG height;
        LONG weight;
    };
    // Each case draws wider and taller (or as tall) than the one before.
    const std::vector<Case> cases = {{L"Arial", -8, FW_NORMAL},
                                     {L"Arial", -12, FW_NORMAL},
                                     {L"Arial", -12, FW_BOLD},
                                     {L"Arial", -20, FW_NORMAL},
                                     {L"Arial", 40, FW_NORMAL}};
    SIZE previous{0, 0};
    for (const Case& c : cases) {
        SelectObject(canvas.dc(), Font(c.face, c.height, c.weight));
        SIZE s = Extent(canvas.dc(), L"Signal strength");
        EXPECT_GT(s.cx, previous.cx) << c.height << " " << c.weight;
        EXPECT_GE(s.cy, previous.cy) << c.height << " " << c.weight;
        previous = s;
    }
}

TEST_F(GdiTextTest, APositiveHeightIsTheCellHeight) {
    DibCanvas canvas(8, 8);
    for (LONG height : {10, 16, 24, 37}) {
        SelectObject(canvas.dc(), Font(L"Tahoma", height));
        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
        EXPECT_NEAR(tm.tmHeight, height, 1) << height;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    }
}

TEST_F(GdiTextTest, AFaceTheMachineLacksDrawsInItsDefaultFamily) {
    DibCanvas canvas(8, 8);
    const std::wstring text = L"Mobile Broadband 3G";
    auto extent = [&](const wchar_t* face) {
        SelectObject(canvas.dc(), Font(face, -14));
        return Extent(canvas.dc(), text).cx;
    };
    const int latin = extent(L"Tahoma");    // a family of the default's host family
    const int chinese = extent(L"SimSun");  // another host family
    const int missing = extent(L"No Such Face");
    EXPECT_NE(latin, chinese);
    EXPECT_EQ(missing, latin);
    ASSERT_TRUE(M().fonts().Remove(L"SimSun"));
    EXPECT_EQ(extent(L"SimSun"), latin);
}

TEST_F(GdiTextTest, DrawnTextCoversItsMeasuredExtent) {
    DibCanvas canvas(200, 40);
    SelectObject(canvas.dc(), Font(L"Tahoma", -13));
    SetBkMode(canvas.dc(), TRANSPARENT);
    const std::wstring text = L"Mobile Broadband";
    SIZE s = Extent(canvas.dc(), text);
    ASSERT_TRUE(TextOutW(canvas.dc(), 10, 5, text.c_str(), static_cast<int>(text.size())));
    RECT ink = canvas.Ink();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.left, 12);
    EXPECT_NEAR(ink.right, 10 + s.cx, 2);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 5 + s.cy);
}

TEST_F(GdiTextTest, CalcRectMeasuresWithoutDrawing) {
    DibCanvas canvas(200, 100);
    SelectObject(canvas.dc(), Font(L"Tahoma", -12));
    TEXTMETRICW tm{};
    GetTextMetricsW(canvas.dc(), &tm);
    struct Case {
        const wchar_t* text;
        const wchar_t* measured;  // the text whose extent the rectangle takes
        UINT format;
        int width;  // of the rectangle given
        int lines;
    };
    const std::vector<Case> cases = {
        {L"Connect", L"Connect", DT_SINGLELINE, 100, 1},
        {L"&Connect", L"Connect", DT_SINGLELINE, 100, 1},
        {L"&&Connect", L"&Connect", DT_SINGLELINE, 100, 1},
        {L"&Connect", L"&Connect", DT_SINGLELINE | DT_NOPREFIX, 100, 1},
        {L"one\ntwo", L"one", 0, 100, 2},
        {L"one\ntwo", L"one two", DT_SINGLELINE, 100, 1},
    };
    for (const Case& c : cases) {
        RECT r{10, 20, 10 + c.width, 20};
        int height = DrawTextW(canvas.dc(), c.text, -1, &r, c.format | DT_CALCRECT);
        EXPECT_EQ(height, c.lines * tm.tmHeight) << c.format;
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        EXPECT_EQ(r.bottom, 20 + c.lines * tm.tmHeight);
        if (c.lines == 1) {
            EXPECT_EQ(r.right - r.left, Extent(canvas.dc(), c.measured).cx);
        }
    }
    EXPECT_EQ(canvas.Ink().right, 0);  // nothing drawn

    // Word breaks wrap at the rectangle's width, into lines no wider than it.
    RECT narrow{0, 0, 60, 0};
    int height = DrawTextW(canvas.dc(), L"the modem is ready to dial", -1, &narrow,
                           DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(height, 3 * tm.tmHeight);
    EXPECT_EQ(height % tm.tmHeight, 0);
    EXPECT_LE(narrow.right, 60);
}

TEST_F(GdiTextTest, AlignmentPlacesTheTextInTheRectangle) {
    struct Case {
        UINT format;
        int left;  // where the ink starts, within 2 pixels
        int top;   // where the line starts, within 1 pixel (-1: at the rectangle's top)
    };
    const RECT box{20, 10, 180, 70};  // 160 x 60
    DibCanvas probe(8, 8);
    SelectObject(probe.dc(), Font(L"Tahoma", -12));
    const SIZE s = Extent(probe.dc(), L"Dial");
    const std::vector<Case> cases = {
        {DT_LEFT | DT_SINGLELINE, box.left, box.top},
        {DT_CENTER | DT_SINGLELINE, box.left + (160 - s.cx) / 2, box.top},
        {DT_RIGHT | DT_SINGLELINE, box.right - s.cx, box.top},
        {DT_LEFT | DT_SINGLELINE | DT_VCENTER, box.left, box.top + (60 - s.cy) / 2},
        {DT_LEFT | DT_SINGLELINE | DT_BOTTOM, box.left, box.bottom - s.cy},
    };
    for (const Case& c : cases) {
        DibCanvas canvas(200, 80);
        SelectObject(canvas.dc(), Font(L"Tahoma", -12));
        RECT r = box;
        ASSERT_GT(DrawTextW(canvas.dc(), L"Dial", -1, &r, c.format), 0);
        RECT ink = canvas.Ink();
        EXPECT_NEAR(ink.left, c.left, 2) << c.format;
        EXPECT_GE(ink.top, c.top) << c.format;
        EXPECT_LE(ink.bottom, c.top + s.cy) << c.format;
    }
}

TEST_F(GdiTextTest, TextStaysInsideItsRectangleUnlessNotClipped) {
    struct Case {
        UINT format;
        bool inside;
    };
    const std::vector<Case> cases = {{DT_SINGLELINE, true},
                                     {DT_SINGLELINE | DT_END_ELLIPSIS, true},
                                     {DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP, true},
                                     {DT_SINGLELINE | DT_NOCLIP, false}};
    for (const Case& c : cases) {
        DibCanvas canvas(300, 30);
        SelectObject(canvas.dc(), Font(L"Tahoma", -12));
        RECT r{10, 5, 60, 25};
        DrawTextW(canvas.dc(), L"A long profile name that does not fit", -1, &r, c.format);
        RECT ink = canvas.Ink();
        EXPECT_EQ(ink.right <= 60, c.inside) << c.format;
        EXPECT_GT(ink.right, 10) << c.format;
    }
}

TEST_F(GdiTextTest, TheBackgroundModeDecidesWhatIsBehindTheText) {
    struct Case {
        int mode;
        UINT options;
        bool filled;  // the background colour fills the text's extent
    };
    const std::vector<Case> cases = {
        {OPAQUE, 0, true}, {TRANSPARENT, 0, false}, {TRANSPARENT, ETO_OPAQUE, true}};
    for (const Case& c : cases) {
        DibCanvas canvas(100, 30);
        SelectObject(canvas.dc(), Font(L"Tahoma", -12));
        EXPECT_NE(SetBkMode(canvas.dc(), c.mode), 0);
        EXPECT_EQ(GetBkMode(canvas.dc()), c.mode);
        SetBkColor(canvas.dc(), RGB(0, 0, 255));
        SetTextColor(canvas.dc(), kBlack);
        SIZE s = Extent(canvas.dc(), L"Hi");
        RECT r{5, 5, 5 + s.cx, 5 + s.cy};
        ExtTextOutW(canvas.dc(), 5, 5, c.options, &r, L"Hi", 2, nullptr);
        // The extent's bottom-right pixel lies below the glyphs' baseline, right of them.
        EXPECT_EQ(canvas.At(5 + s.cx - 1, 5 + s.cy - 1) == RGB(0, 0, 255), c.filled) << c.mode;
        EXPECT_EQ(canvas.At(5 + s.cx + 2, 5), kWhite);  // nothing beyond the extent
    }
    EXPECT_EQ(SetBkMode(nullptr, OPAQUE), 0);
}

TEST_F(GdiTextTest, APrefixUnderlinesItsCharacterUnlessHidden) {
    auto lowest = [](UINT format) {
        DibCanvas canvas(120, 30);
        SelectObject(canvas.dc(), GetStockObject(DEFAULT_GUI_FONT));
        RECT r{5, 5, 115, 25};
        DrawTextW(canvas.dc(), L"&Connect", -1, &r, DT_SINGLELINE | format);
        return canvas.Ink().bottom;
    };
    // The underline lies below the letters' baseline; "Connect" has no descender.
    EXPECT_GT(lowest(0), lowest(DT_HIDEPREFIX));
}

TEST_F(GdiTextTest, ChineseTextAndValuesThatAreNoCharactersStillDraw) {
    const std::vector<std::wstring> texts = {
        L"\x8fde\x63a5",
        {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'b'}};
    for (const std::wstring& text : texts) {
        DibCanvas canvas(60, 24);
        SelectObject(canvas.dc(), Font(L"SimSun", -14));
        SIZE s = Extent(canvas.dc(), text);
        EXPECT_GT(s.cx, 0);
        EXPECT_TRUE(TextOutW(canvas.dc(), 2, 2, text.c_str(), static_cast<int>(text.size())));
        EXPECT_GT(canvas.Ink().right, 2);
    }
}

TEST_F(GdiTextTest, ThreadsMeasureAndDrawTextAtTheSameTime) {
    auto work = [] {
        DibCanvas canvas(120, 24);
        LOGFONTW lf{};
        lf.lfHeight = -13;
        wcsncpy(lf.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
        HFONT font = CreateFontIndirectW(&lf);
        SelectObject(canvas.dc(), font);
        SIZE s{};
        for (int i = 0; i < 20; ++i) {
            GetTextExtentPoint32W(canvas.dc(), L"Connecting", 10, &s);
            TextOutW(canvas.dc(), 1, 1, L"Connecting", 10);
        }
        SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
        DeleteObject(font);
        return static_cast<DWORD>(s.cx);
    };
    const DWORD alone = work();
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i) threads.push_back(StartThread(work));
    for (HANDLE t : threads) {
        ASSERT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
        DWORD width = 0;
        GetExitCodeThread(t, &width);
        EXPECT_EQ(width, alone);
        CloseHandle(t);
    }
}

TEST_F(GdiTextTest, BadArgumentsFailAndDrawNothing) {
    DibCanvas canvas(20, 20);
    SIZE s;
    RECT r{0, 0, 10, 10};
    EXPECT_FALSE(GetTextExtentPoint32W(nullptr, L"a", 1, &s));
    EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc(), L"a", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc(), L"a", -1, &s));
    EXPECT_EQ(DrawTextW(canvas.dc(), L"a", 1, nullptr, 0), 0);
    EXPECT_EQ(DrawTextW(nullptr, L"a", 1, &r, 0), 0);
    EXPECT_FALSE(TextOutW(canvas.dc(), 0, 0, nullptr, 3));
    EXPECT_FALSE(GetTextMetricsW(canvas.dc(), nullptr));
    EXPECT_EQ(canvas.Ink().right, 0);
}

}  // namespace
