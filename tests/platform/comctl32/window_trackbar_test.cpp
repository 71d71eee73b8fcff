// The trackbar: its range and position (kept within the range, any int range), dragging the
// thumb with the machine's mouse, paging by a click, the keys, and the parent's custom drawing.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/dib_canvas.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include <afxwin.h>
#include <afxcmn.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr int kId = 4117;
constexpr COLORREF kFace = RGB(0xD4, 0xD0, 0xC8);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

class TrackbarTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 400, 200});
        ASSERT_NE(parent_, nullptr);
        SetForegroundWindow(parent_);
        track_ = Make(WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS);
        Drain();
        MessageLog().Clear();
    }
    HWND Make(DWORD style) {
        HWND h = CreateWindowExW(0, TRACKBAR_CLASSW, L"", style, 10, 10, 200, 32, parent_,
                                 reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }
    LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(track_, m, w, l); }
    RECT Thumb() {
        RECT r{};
        Send(TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    RECT Channel() {
        RECT r{};
        Send(TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    int ThumbCentre() {
        RECT r = Thumb();
        return (r.left + r.right) / 2;
    }
    // The parent's WM_HSCROLL codes and positions (the position only where the code carries one).
    std::vector<std::pair<int, int>> Scrolls() {
        std::vector<std::pair<int, int>> out;
        for (const Logged& l : Entries(WM_HSCROLL, parent_)) {
            EXPECT_EQ(reinterpret_cast<HWND>(l.lParam), track_);
            out.emplace_back(LOWORD(l.wParam), static_cast<short>(HIWORD(l.wParam)));
        }
        return out;
    }
    POINT OnScreen(int x, int y) {
        POINT p{x, y};
        ClientToScreen(track_, &p);
        return p;
    }

    HWND parent_ = nullptr;
    HWND track_ = nullptr;
};

TEST_F(TrackbarTest, RangeAndPositionStayTogether) {
    enum Op { Range, RangeMin, RangeMax, Pos };
    struct Step {
        Op op;
        int a;
        int b;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int minimum, maximum, position;
    };
    const Case cases[] = {
        {"fresh", {}, 0, 100, 0},
        {"a position within", {{Pos, 42, 0}}, 0, 100, 42},
        {"above the maximum", {{Pos, 500, 0}}, 0, 100, 100},
        {"below the minimum", {{Pos, -5, 0}}, 0, 100, 0},
        {"-10..10 at -10", {{Range, -10, 10}, {Pos, -10, 0}}, -10, 10, -10},
        {"-10..10 below", {{Range, -10, 10}, {Pos, -11, 0}}, -10, 10, -10},
        {"a new range pulls the position in", {{Pos, 90, 0}, {Range, 0, 50}}, 0, 50, 50},
        {"a raised minimum pulls it up", {{RangeMin, 30, 0}}, 30, 100, 30},
        {"0..10^8", {{RangeMax, 100000000, 0}, {Pos, 100000000, 0}}, 0, 100000000, 100000000},
        {"the whole int range",
         {{RangeMin, INT_MIN, 0}, {RangeMax, INT_MAX, 0}, {Pos, INT_MIN, 0}},
         INT_MIN,
         INT_MAX,
         INT_MIN},
        {"a range given backwards holds its minimum", {{Range, 10, 5}, {Pos, 7, 0}}, 10, 5, 10},
        {"a maximum of 0", {{RangeMax, 0, 0}, {Pos, 3, 0}}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND t = Make(WS_CHILD);
        for (const Step& s : c.steps) {
            switch (s.op) {
                case Range:
                    SendMessageW(t, TBM_SETRANGE, TRUE, MAKELPARAM(s.a, s.b));
                    break;
                case RangeMin:
                    SendMessageW(t, TBM_SETRANGEMIN, TRUE, s.a);
                    break;
                case RangeMax:
                    SendMessageW(t, TBM_SETRANGEMAX, TRUE, s.a);
                    break;
                case Pos:
                    SendMessageW(t, TBM_SETPOS, TRUE, s.a);
                    break;
            }
        }
        EXPECT_EQ(SendMessageW(t, TBM_GETRANGEMIN, 0, 0), c.minimum);
        EXPECT_EQ(SendMessageW(t, TBM_GETRANGEMAX, 0, 0), c.maximum);
        EXPECT_EQ(SendMessageW(t, TBM_GETPOS, 0, 0), c.position);
        DestroyWindow(t);
    }
    EXPECT_TRUE(Scrolls().empty()) << "the program's own changes tell no one";
}

TEST_F(TrackbarTest, TheThumbSitsAtItsShareOfTheChannel) {
    struct Case {
        int minimum, maximum, position;
        double share;  // of the way from the first tick to the last
    };
    const Case cases[] = {
        {0, 100, 0, 0.0},
        {0, 100, 100, 1.0},
        {0, 100, 50, 0.5},
        {-10, 10, -10, 0.0},
        {-10, 10, 0, 0.5},
        {0, 100000000, 100000000, 1.0},
        {0, 100000000, 25000000, 0.25},
        {INT_MIN, INT_MAX, INT_MAX, 1.0},
        {0, 0, 0, 0.0},
    };
    SendMessageW(track_, TBM_SETPOS, TRUE, 0);
    const int first = ThumbCentre();
    SendMessageW(track_, TBM_SETPOS, TRUE, 100);
    const int last = ThumbCentre();
    ASSERT_GT(last - first, 100);
    for (const Case& c : cases) {
        SendMessageW(track_, TBM_SETRANGEMIN, FALSE, c.minimum);
        SendMessageW(track_, TBM_SETRANGEMAX, FALSE, c.maximum);
        SendMessageW(track_, TBM_SETPOS, TRUE, c.position);
        const double expected = first + c.share * (last - first);
        EXPECT_NEAR(ThumbCentre(), expected, 1.0)
            << c.minimum << ".." << c.maximum << " at " << c.position;
        RECT channel = Channel();
        EXPECT_LE(channel.left, Thumb().left + 1);
        EXPECT_GE(channel.right, Thumb().right - 1);
    }
}

TEST_F(TrackbarTest, DraggingTheThumbTracksAndEndsAtTheRelease) {
    SendMessageW(track_, TBM_SETPOS, TRUE, 10);
    RECT thumb = Thumb();
    const int y = (thumb.top + thumb.bottom) / 2;
    const int from = ThumbCentre();
    ASSERT_TRUE(control::MoveMouse(OnScreen(from, y)));
    ASSERT_TRUE(control::PressMouse());
    Drain();
    EXPECT_EQ(GetCapture(), track_);
    EXPECT_EQ(GetFocus(), track_);
    control::MoveMouse(OnScreen(from + 30, y + 20));  // off the control: the drag goes on
    Drain();
    control::MoveMouse(OnScreen(from + 60, y));
    Drain();
    control::ReleaseMouse();
    Drain();
    EXPECT_EQ(GetCapture(), nullptr);
    const int position = static_cast<int>(Send(TBM_GETPOS));
    EXPECT_NEAR(ThumbCentre(), from + 60, 1) << "the thumb stays under the pointer";
    auto scrolls = Scrolls();
    ASSERT_GE(scrolls.size(), 3u);
    EXPECT_EQ(scrolls[0].first, TB_THUMBTRACK);
    EXPECT_GT(scrolls[0].second, 10);
    EXPECT_LT(scrolls[0].second, position);
    for (std::size_t i = 0; i + 2 < scrolls.size(); ++i) EXPECT_EQ(scrolls[i].first, TB_THUMBTRACK);
    EXPECT_EQ(scrolls[scrolls.size() - 3], std::make_pair(int{TB_THUMBTRACK}, position));
    EXPECT_EQ(scrolls[scrolls.size() - 2], std::make_pair(int{TB_THUMBPOSITION}, position));
    EXPECT_EQ(scrolls.back().first, TB_ENDTRACK);
}

TEST_F(TrackbarTest, AClickBesideTheThumbPagesTowardsIt) {
    struct Case {
        int start;
        bool left;
        int page;  // 0: the default, a fifth of the range
        int expected;
        int code;
    };
    const Case cases[] = {
        {50, true, 0, 30, TB_PAGEUP},     {50, false, 0, 70, TB_PAGEDOWN},
        {50, false, 7, 57, TB_PAGEDOWN},  {5, true, 0, 0, TB_PAGEUP},
        {95, false, 0, 100, TB_PAGEDOWN},
    };
    for (const Case& c : cases) {
        Send(TBM_SETPAGESIZE, 0, c.page != 0 ? c.page : 20);
        Send(TBM_SETPOS, TRUE, c.start);
        RECT thumb = Thumb();
        RECT channel = Channel();
        const int x = c.left ? channel.left + 1 : channel.right - 2;
        MessageLog().Clear();
        ASSERT_TRUE(control::Click(OnScreen(x, (thumb.top + thumb.bottom) / 2)));
        Drain();
        EXPECT_EQ(Send(TBM_GETPOS), c.expected) << c.start;
        EXPECT_EQ(Scrolls(), (std::vector<std::pair<int, int>>{{c.code, 0}, {TB_ENDTRACK, 0}}));
    }
}

TEST_F(TrackbarTest, KeysMoveByLinesPagesAndToTheEnds) {
    struct Case {
        UINT key;
        int expected;
        int code;
    };
    const Case cases[] = {
        {VK_RIGHT, 51, TB_LINEDOWN}, {VK_DOWN, 51, TB_LINEDOWN}, {VK_LEFT, 49, TB_LINEUP},
        {VK_UP, 49, TB_LINEUP},      {VK_NEXT, 70, TB_PAGEDOWN}, {VK_PRIOR, 30, TB_PAGEUP},
        {VK_HOME, 0, TB_TOP},        {VK_END, 100, TB_BOTTOM},
    };
    SetFocus(track_);
    for (const Case& c : cases) {
        Send(TBM_SETPOS, TRUE, 50);
        MessageLog().Clear();
        ASSERT_TRUE(control::PressKey(c.key));
        Drain();
        EXPECT_EQ(Send(TBM_GETPOS), c.expected) << c.key;
        EXPECT_EQ(Scrolls(), (std::vector<std::pair<int, int>>{{c.code, 0}, {TB_ENDTRACK, 0}}));
    }
    Send(TBM_SETLINESIZE, 0, 5);
    Send(TBM_SETPOS, TRUE, 98);
    control::PressKey(VK_RIGHT);
    Drain();
    EXPECT_EQ(Send(TBM_GETPOS), 100) << "a line past the end stops at it";
    EXPECT_EQ(Send(TBM_GETLINESIZE), 5);
    EXPECT_EQ(SendMessageW(track_, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
}

struct Drawn {
    DWORD stage;
    DWORD_PTR item;
    bool operator==(const Drawn&) const = default;
};

TEST_F(TrackbarTest, CustomDrawAsksForThePartsTheParentWants) {
    struct Case {
        const char* name;
        LRESULT whole;                 // the answer to the pre-paint
        std::vector<LRESULT> answers;  // to the tics, the channel and the thumb
        std::vector<Drawn> expected;
    };
    constexpr DWORD kItem = CDDS_ITEMPREPAINT, kItemPost = CDDS_ITEMPOSTPAINT;
    const Case cases[] = {
        {"default", CDRF_DODEFAULT, {}, {{CDDS_PREPAINT, 0}}},
        {"post-paint", CDRF_NOTIFYPOSTPAINT, {}, {{CDDS_PREPAINT, 0}, {CDDS_POSTPAINT, 0}}},
        {"each part",
         CDRF_NOTIFYITEMDRAW,
         {CDRF_DODEFAULT, CDRF_DODEFAULT, CDRF_DODEFAULT},
         {{CDDS_PREPAINT, 0}, {kItem, TBCD_TICS}, {kItem, TBCD_CHANNEL}, {kItem, TBCD_THUMB}}},
        {"a part's post-paint",
         CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT,
         {CDRF_DODEFAULT, CDRF_NOTIFYPOSTPAINT, CDRF_SKIPDEFAULT},
         {{CDDS_PREPAINT, 0},
          {kItem, TBCD_TICS},
          {kItem, TBCD_CHANNEL},
          {kItemPost, TBCD_CHANNEL},
          {kItem, TBCD_THUMB},
          {CDDS_POSTPAINT, 0}}},
        {"all skipped", CDRF_SKIPDEFAULT, {}, {{CDDS_PREPAINT, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Drawn> seen;
        std::vector<RECT> rects;
        Answers() = [&](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            if (m != WM_NOTIFY) return std::nullopt;
            auto* nm = reinterpret_cast<NMCUSTOMDRAW*>(lp);
            if (nm->hdr.code != NM_CUSTOMDRAW) return std::nullopt;
            EXPECT_EQ(nm->hdr.hwndFrom, track_);
            EXPECT_EQ(nm->hdr.idFrom, static_cast<UINT_PTR>(kId));
            EXPECT_NE(nm->hdc, nullptr);
            seen.push_back({nm->dwDrawStage, nm->dwItemSpec});
            rects.push_back(nm->rc);
            if (nm->dwDrawStage == CDDS_PREPAINT) return c.whole;
            if (nm->dwDrawStage == CDDS_ITEMPREPAINT && nm->dwItemSpec >= 1 &&
                nm->dwItemSpec <= 3) {
                const std::size_t slot = nm->dwItemSpec == TBCD_TICS      ? 0
                                         : nm->dwItemSpec == TBCD_CHANNEL ? 1
                                                                          : 2;
                return slot < c.answers.size() ? c.answers[slot] : CDRF_DODEFAULT;
            }
            return CDRF_DODEFAULT;
        };
        DibCanvas canvas(200, 32);
        SendMessageW(track_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        EXPECT_EQ(seen, c.expected);
        for (std::size_t i = 0; i < seen.size(); ++i) {
            RECT expected = seen[i].item == TBCD_THUMB     ? Thumb()
                            : seen[i].item == TBCD_CHANNEL ? Channel()
                                                           : rects[i];
            if (seen[i].item == 0) expected = {0, 0, 200, 32};
            EXPECT_EQ(std::tie(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom),
                      std::tie(expected.left, expected.top, expected.right, expected.bottom))
                << i;
        }
    }
}

TEST_F(TrackbarTest, SkippingAPartLeavesItUndrawn) {
    // The thumb's light top edge, the channel's dark inner line, the ticks' dark lines.
    struct Case {
        DWORD_PTR skipped;
        bool thumb, channel, tics;
    };
    const Case cases[] = {
        {0, true, true, true},
        {TBCD_THUMB, false, true, true},
        {TBCD_CHANNEL, true, false, true},
        {TBCD_TICS, true, true, false},
    };
    Send(TBM_SETPOS, TRUE, 50);
    const RECT thumb = Thumb();
    const RECT channel = Channel();
    for (const Case& c : cases) {
        Answers() = [&](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            if (m != WM_NOTIFY) return std::nullopt;
            auto* nm = reinterpret_cast<NMCUSTOMDRAW*>(lp);
            if (nm->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
            return nm->dwItemSpec == c.skipped ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
        };
        DibCanvas canvas(200, 32);
        SendMessageW(track_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        EXPECT_EQ(canvas.At(thumb.left + 3, thumb.top) == kWhite, c.thumb) << c.skipped;
        EXPECT_EQ(canvas.At(channel.left + 20, channel.top + 1) != kFace, c.channel) << c.skipped;
        const int tickY = thumb.bottom + 3;
        EXPECT_EQ(canvas.At(channel.left + 5, tickY) != kFace, c.tics) << c.skipped;
    }
}

// A slider that takes its own reflected custom drawing: the parent never hears of it.
class OwnDrawnSlider : public CSliderCtrl {
public:
    std::vector<DWORD> stages;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != WM_REFLECT_BASE + WM_NOTIFY)
            return CSliderCtrl::OnWndMsg(message, wParam, lParam, result);
        auto* nm = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
        if (nm->hdr.code != NM_CUSTOMDRAW) return FALSE;
        stages.push_back(nm->dwDrawStage);
        *result = nm->dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW
                  : nm->dwItemSpec == TBCD_THUMB   ? CDRF_SKIPDEFAULT
                                                   : CDRF_DODEFAULT;
        return TRUE;
    }
};

TEST_F(TrackbarTest, AReflectedCustomDrawAnswersTheTrackbar) {
    class Parent : public CWnd {
    public:
        int notified = 0;
        BOOL OnNotify(WPARAM, LPARAM, LRESULT*) override {
            ++notified;
            return FALSE;
        }
    } parent;
    ASSERT_TRUE(parent.CreateEx(0, kTestClass, nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 300, 100,
                                nullptr, nullptr));
    OwnDrawnSlider slider;
    ASSERT_TRUE(slider.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 42), &parent, 5));
    slider.SetRangeMax(1000);
    slider.SetPos(500);
    int low = 0, high = 0;
    slider.GetRange(low, high);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(0, 1000));
    RECT thumb{};
    slider.GetThumbRect(&thumb);
    slider.stages.clear();
    DibCanvas canvas(200, 32);
    slider.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(slider.stages, (std::vector<DWORD>{CDDS_PREPAINT, CDDS_ITEMPREPAINT,
                                                 CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT}));
    EXPECT_EQ(parent.notified, 0);
    EXPECT_EQ(canvas.At(thumb.left + 3, thumb.top), kFace) << "the thumb was skipped";
    slider.DestroyWindow();
    parent.DestroyWindow();
    AfxDeleteTemporaryObjects();
}

}  // namespace
