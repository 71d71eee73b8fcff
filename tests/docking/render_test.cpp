#include <algorithm>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/render_pool.h"
#include "docking/skin.h"
#include "docking/ui_guard.h"
#include "machine/gdi_objects.h"
#include "render_helper.h"

using namespace System::Docking;

namespace {

// A skinned window of the test's thread: its root docking gets every message first; the present
// messages it receives are recorded (record or null, and whether the surface then shows a
// picture).
struct Dialog {
    struct Present {
        bool record;
        LPARAM lParam;
        bool picture;
    };
    CDocking root{nullptr};
    std::vector<Present> presents;
    std::function<std::optional<LRESULT>(UINT)> extra;
    HWND window = nullptr;

    Dialog() {
        window = MakeRenderWindow(
            [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
                if (extra)
                    if (auto r = extra(m)) return r;
                const bool consumed = root.OnWindowMessage(w, m, wp, lp);
                if (m == WM_DOCKING_PRESENT)
                    presents.push_back({wp != 0, lp, root.surface.HasPicture()});
                if (consumed) return 0;
                return std::nullopt;
            });
        root.Reset(window);
        root.handle.Assign(window);
        WindowDocking(window) = &root;
        root.FitToClient(window);
    }
    ~Dialog() {
        if (IsWindow(window)) DestroyWindow(window);
    }
};

// A window on a thread of its own, hosted in a cell: each WM_DOCKING_CELLCHANGED it gets is
// counted, and while the gate is closed the handler waits until it opens (the render that sent
// it waits with it).
class Gate {
public:
    Gate() {
        thread_ = StartThread([this] {
            threadId_ = GetCurrentThreadId();
            window_ = MakeRenderWindow(
                [this](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                    if (m != WM_DOCKING_CELLCHANGED) return std::nullopt;
                    ++count_;
                    entered_.Set();
                    WaitForSingleObject(open_.handle(), INFINITE);
                    return 0;
                },
                WS_POPUP | WS_VISIBLE);
            made_.Set();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(window_);
            return 0u;
        });
        WaitForSingleObject(made_.handle(), INFINITE);
    }
    ~Gate() {
        open_.Set();
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    HWND window() const { return window_; }
    int count() const { return count_; }
    // Returns once a render waits in the gate.
    void WaitEntered() { WaitForSingleObject(entered_.handle(), INFINITE); }
    // Hosts the gate's window in the dialog's middle cell, asks for a render of the dialog and
    // returns once that render waits in the gate.
    void Hold(Dialog& d) {
        d.root.Cell(1, 1).handle.Assign(window_);
        d.root.Update(d.root.GetBounds());
        WaitEntered();
    }
    Event& open() { return open_; }

private:
    Event made_;
    Event entered_;
    Event open_;
    std::atomic<int> count_{0};
    HWND window_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

class RenderTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        RegisterRenderTestClass();
    }
    // Waits for the pool, then takes the presents.
    static void Settle() {
        WaitRenderPoolIdle();
        DrainMessages();
    }
};

TEST_F(RenderTest, TenRequestsWhileOneRenderIsHeldRunOneAndKeepOneWaiting) {
    Dialog d;
    Gate gate;
    d.root.Cell(1, 1).handle.Assign(gate.window());
    for (int i = 0; i < 10; ++i) PostRender(d.window, nullptr, &d.root);
    gate.WaitEntered();
    LetTheMachineSettle();
    EXPECT_EQ(gate.count(), 1);
    gate.open().Set();
    Settle();
    EXPECT_EQ(gate.count(), 2);
    ASSERT_EQ(d.presents.size(), 2u);
    EXPECT_TRUE(d.presents[0].record);
    EXPECT_TRUE(d.presents[1].record);
}

TEST_F(RenderTest, PaintDuringAHeldRenderStopsTheOlderOne) {
    Dialog d;
    Gate gate;
    gate.Hold(d);
    d.root.Paint(d.window, d.root.GetBounds());
    gate.open().Set();
    Settle();
    ASSERT_EQ(d.presents.size(), 2u);
    // The older render presents nothing (its empty present and the newer one's picture come from
    // two workers, in either order) and, coming first, leaves the surface as it was.
    const auto isPicture = [](const Dialog::Present& p) { return p.record; };
    ASSERT_EQ(std::count_if(d.presents.begin(), d.presents.end(), isPicture), 1);
    const auto newer = std::find_if(d.presents.begin(), d.presents.end(), isPicture);
    EXPECT_EQ(newer->lParam, reinterpret_cast<LPARAM>(d.window));
    EXPECT_TRUE(newer->picture);
    if (!d.presents[0].record) {
        EXPECT_FALSE(d.presents[0].picture);
    }
}

// Changes of the tree on the window's thread while a render holds the tree: each waits until the
// render has stopped (the gate opens only once the window's thread waits too) and no render sees
// it half made.
struct ChangeCase {
    const char* name;
    std::function<void(Dialog&)> change;
};

class ChangesDuringARender : public RenderTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangesDuringARender, WaitForItAndCancelIt) {
    Dialog d;
    Gate gate;
    gate.Hold(d);
    HANDLE opener = SetWhenSettled(gate.open());
    GetParam().change(d);
    EXPECT_TRUE(gate.open().IsSet());
    Settle();
    // The held render stopped and presented nothing. (A synchronous render after a resize may post
    // its own picture before the held render's empty present arrives.)
    EXPECT_TRUE(std::any_of(d.presents.begin(), d.presents.end(),
                            [](const auto& present) { return !present.record; }));
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
}

INSTANTIATE_TEST_SUITE_P(
    UiThread, ChangesDuringARender,
    ::testing::Values(ChangeCase{"HoverStyle",
                                 [](Dialog& d) {
                                     UiWrite change(d.root.Cell(1, 1));
                                     d.root.Cell(1, 1).background.Assign(L"#ff336699");
                                 }},
                      ChangeCase{"Resized",
                                 [](Dialog& d) { EXPECT_TRUE(d.root.OnResized(d.window)); }},
                      ChangeCase{"Reset", [](Dialog& d) { d.root.Reset(d.window); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A skinned window's docking, rendered as a root of its own, is nested into another tree (a cell
// takes its window) while that render runs: the nesting waits until the render has stopped, for
// from then on the new root's lock alone guards the docking, and a render of the old root would go
// on reading what the new tree's changes write.
TEST_F(RenderTest, NestingADockingWaitsForTheRenderItStartedAsARoot) {
    Dialog outer;
    Dialog inner;
    Gate gate;
    gate.Hold(inner);
    HANDLE opener = SetWhenSettled(gate.open());
    outer.root.Cell(1, 1).handle.Assign(inner.window);
    EXPECT_TRUE(gate.open().IsSet());
    EXPECT_EQ(inner.root.root.Read(), &outer.root);
    Settle();
    ASSERT_EQ(inner.presents.size(), 1u);
    EXPECT_FALSE(inner.presents[0].record);
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
}

// A skin switch unbinds every window; the render that is asking a nested dialog's window for its
// docking then makes that dialog load itself inside the message, while the render holds the tree.
TEST_F(RenderTest, SkinSwitchWhileARenderAsksANestedWindowForItsDocking) {
    Dialog d;
    CDocking nested{nullptr};
    int reloads = 0;
    int cellChanges = 0;
    HWND inner = MakeRenderWindow(
        [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_DOCKING_CELLCHANGED) ++cellChanges;
            if (m != WM_DOCKING_GETDOCKING) return std::nullopt;
            if (WindowNeedsDocking(w)) {
                ++reloads;
                nested.Reset(w);
                nested.text.Assign(L"reloaded");
                WindowDocking(w) = &nested;
            }
            return reinterpret_cast<LRESULT>(&nested);
        },
        WS_CHILD | WS_VISIBLE, d.window, {10, 10, 60, 40});
    nested.Reset(inner);
    WindowDocking(inner) = &nested;
    d.root.Cell(1, 1).handle.Assign(inner);
    d.extra = [&](UINT m) -> std::optional<LRESULT> {
        if (m != WM_DOCKING_RELOADSKIN) return std::nullopt;
        d.root.Reset(d.window);
        d.root.Cell(1, 1).handle.Assign(inner);
        WindowDocking(d.window) = &d.root;
        d.root.FitToClient(d.window);
        d.root.Update(d.root.GetBounds());
        return 0;
    };
    d.root.Update(d.root.GetBounds());
    // The render waits in its first message to the nested window: this thread handles nothing.
    LetTheMachineSettle();
    EXPECT_EQ(cellChanges, 0);
    ApplySkin(L"other");
    Settle();
    Settle();
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(WindowNeedsDocking(d.window));
    ASSERT_GE(d.presents.size(), 2u);
    EXPECT_FALSE(d.presents.front().record);
    EXPECT_TRUE(d.presents.back().record);
    EXPECT_TRUE(d.presents.back().picture);
}

TEST_F(RenderTest, PresentsPendingWhenTheWindowGoesAreFreed) {
    auto& gdi = sim::GdiTable::Get();
    Dialog d;
    const size_t bitmaps = gdi.LiveCount(OBJ_BITMAP);
    const size_t regions = gdi.LiveCount(OBJ_REGION);
    for (int i = 0; i < 3; ++i) {
        d.root.Paint(d.window, d.root.GetBounds());
        WaitRenderPoolIdle();
    }
    EXPECT_GT(gdi.LiveCount(OBJ_BITMAP), bitmaps);
    DestroyWindow(d.window);
    DrainMessages();
    EXPECT_TRUE(d.presents.empty());
    EXPECT_EQ(gdi.LiveCount(OBJ_BITMAP), bitmaps);
    EXPECT_EQ(gdi.LiveCount(OBJ_REGION), regions);
}

TEST_F(RenderTest, ARenderForAWindowThatIsGoneFreesItsPicture) {
    auto& gdi = sim::GdiTable::Get();
    Dialog d;
    Gate gate;
    d.root.Cell(1, 1).handle.Assign(gate.window());
    const size_t bitmaps = gdi.LiveCount(OBJ_BITMAP);
    const size_t regions = gdi.LiveCount(OBJ_REGION);
    d.root.Update(d.root.GetBounds());
    gate.WaitEntered();
    // The window goes while the render runs; its generation stays, so the render finishes and
    // its post fails.
    {
        std::lock_guard<std::mutex> hold(HandlersLock());
        Handlers().erase(d.window);
    }
    DestroyWindow(d.window);
    gate.open().Set();
    WaitRenderPoolIdle();
    EXPECT_EQ(gdi.LiveCount(OBJ_BITMAP), bitmaps);
    EXPECT_EQ(gdi.LiveCount(OBJ_REGION), regions);
}

TEST_F(RenderTest, DrawChildAfterTheRootWindowIsGoneSendsNothingAndLeaksNothing) {
    auto& gdi = sim::GdiTable::Get();
    Dialog d;
    HDC source = CreateCompatibleDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(source, 20, 20);
    HGDIOBJ old = SelectObject(source, picture);
    const size_t objects = gdi.LiveCount();
    DestroyWindow(d.window);
    EXPECT_EQ(d.root.Cell(1, 1).Paint(source, Gdiplus::Rect(0, 0, 20, 20)), 0);
    EXPECT_EQ(gdi.LiveCount(), objects);
    SelectObject(source, old);
    DeleteObject(picture);
    DeleteDC(source);
}

// A docking destroyed while one of its renders runs and another is queued: the destructor waits
// for the running one (which stops), and the queued one never touches the docking.
TEST_F(RenderTest, DestroyedDockingWaitsForItsRenderAndDropsItsQueuedOnes) {
    auto d = std::make_unique<Dialog>();
    Gate gate;
    gate.Hold(*d);
    // Every other worker busy, so the next render stays queued.
    Event workersFree;
    struct Hold : IUserWorkItem {
        HANDLE until;
        explicit Hold(HANDLE h) : until(h) {}
        void Execute() override { WaitForSingleObject(until, INFINITE); }
    };
    for (int i = 1; i < CDockingDriverPool::kWorkers; ++i)
        RenderPool().Post(new Hold(workersFree.handle()));
    PostRender(d->window, nullptr, &d->root);
    HANDLE opener = SetWhenSettled(gate.open());
    d.reset();
    EXPECT_TRUE(gate.open().IsSet());
    workersFree.Set();
    WaitRenderPoolIdle();
    EXPECT_EQ(gate.count(), 1);
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
}

// The end of the run while a render waits in a message to a window of the ending thread: the
// message is handled while the workers are joined, and the render stops.
TEST_F(RenderTest, ExitWhileARenderWaitsInAMessageToTheEndingThread) {
    Dialog d;
    int cellChanges = 0;
    HWND hosted = MakeRenderWindow([&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_DOCKING_CELLCHANGED) ++cellChanges;
        return std::nullopt;
    });
    d.root.Cell(1, 1).handle.Assign(hosted);
    d.root.Update(d.root.GetBounds());
    LetTheMachineSettle();
    EXPECT_EQ(cellChanges, 0);
    ShutdownRenderPool();
    EXPECT_EQ(cellChanges, 1);
    DrainMessages();
    ASSERT_EQ(d.presents.size(), 1u);
    EXPECT_FALSE(d.presents[0].record);
    // Requests after the end run nothing.
    d.root.Paint(d.window, d.root.GetBounds());
    WaitRenderPoolIdle();
    EXPECT_EQ(cellChanges, 1);
}

}  // namespace

namespace {

// Only erasing the background and present messages are consumed; a null present changes nothing.
TEST_F(RenderTest, ConsumesOnlyEraseAndPresentMessages) {
    Dialog d;
    struct Case {
        UINT message;
        bool consumed;
    };
    for (const Case c : {Case{WM_ERASEBKGND, true}, Case{WM_DOCKING_PRESENT, true},
                         Case{WM_PAINT, false}, Case{WM_SIZE, false}, Case{WM_MOUSEMOVE, false},
                         Case{WM_DOCKING_DRAWCHILD, false}, Case{WM_DOCKING_CELLCHANGED, false}}) {
        EXPECT_EQ(d.root.OnWindowMessage(d.window, c.message, 0, 0), c.consumed) << c.message;
    }
    EXPECT_FALSE(d.root.surface.HasPicture());
}

TEST_F(RenderTest, ANestedDockingAsksItsRootForTheRender) {
    Dialog d;
    CDocking* nested = d.root.Cell(1, 1).child.Read();
    nested->Update(nested->GetBounds());
    Settle();
    ASSERT_EQ(d.presents.size(), 1u);
    EXPECT_TRUE(d.presents[0].record);
    EXPECT_TRUE(d.presents[0].picture);
    EXPECT_FALSE(nested->surface.HasPicture());
}

// The colour of a pixel of the picture the dialog shows.
Gdiplus::ARGB Shown(Dialog& d, int x, int y) {
    auto picture = static_cast<HBITMAP>(GetCurrentObject(d.root.surface.Dc(), OBJ_BITMAP));
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromHBITMAP(picture, nullptr));
    Gdiplus::Color c;
    if (bitmap == nullptr || bitmap->GetPixel(x, y, &c) != Gdiplus::Ok) return 0;
    return c.GetValue();
}

constexpr Gdiplus::ARGB kRed = 0xFFFF0000u;
constexpr Gdiplus::ARGB kGreen = 0xFF00FF00u;

// The dialog split into a left cell (1, 0) of 100 pixels and the rest (1, 1), both red and shown.
void SplitRed(Dialog& d) {
    d.root.ColumnWidth(0) = 100;
    d.root.Cell(1, 0).background.color = kRed;
    d.root.Cell(1, 1).background.color = kRed;
    d.root.FitToClient(d.window);
    d.root.Update(d.root.GetBounds());
    WaitRenderPoolIdle();
    DrainMessages();
}

TEST_F(RenderTest, ACellRedrawsOnlyItsOwnBox) {
    Dialog d;
    SplitRed(d);
    d.root.Cell(1, 0).background.color = kGreen;
    d.root.Cell(1, 1).background.color = kGreen;
    d.root.Cell(1, 1).Redraw();
    Settle();
    ASSERT_EQ(d.presents.size(), 2u);
    EXPECT_EQ(Shown(d, 150, 50), kGreen);
    EXPECT_EQ(Shown(d, 50, 50), kRed);  // the rest of the picture is the earlier one
}

TEST_F(RenderTest, AWholeRequestDroppedBehindACellsRedrawIsDrawnByIt) {
    Dialog d;
    SplitRed(d);
    Gate gate;
    gate.Hold(d);  // a render of the whole dialog, paused in cell (1, 1) after drawing (1, 0)
    d.root.Cell(1, 1).Redraw();  // waits for it
    LetTheMachineSettle();
    d.root.Cell(1, 0).background.color = kGreen;
    d.root.Update(d.root.GetBounds());  // no room: dropped, and drawn by the waiting one
    LetTheMachineSettle();
    gate.open().Set();
    Settle();
    EXPECT_EQ(gate.count(), 2);
    EXPECT_EQ(Shown(d, 50, 50), kGreen);
}

}  // namespace
