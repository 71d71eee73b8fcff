// The off-screen skinned controls: their memory pictures, the device contexts the hooks hand out
// and take back, redraws through the cell, carets drawn into the picture, and the pictures of
// controls that never see WM_SIZE.
#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "docking/cell.h"
#include "docking/controls.h"
#include "docking/hooks.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/render_pool.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include "machine/control/resources.h"
#include "machine/gdi_objects.h"
#include "machine/control/screen.h"
#include "common/gdi_helper.h"
#include "common/golden_image.h"
#include <winuser.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;
using namespace skin_test;

namespace {

constexpr int kField = 30113;  // IDC_SETTING_NUMEDIT
constexpr int kIp = 30118;     // IDC_IPADDRESS

const resources::ModuleResources& OffscreenTemplates() {
    static const resources::ModuleResources tables = MainDialogOnly(
        300, 120,
        {{kField, L"Edit", L"", WS_VISIBLE | WS_TABSTOP, kClientEdgeStyle, 0, 0, 100, 20},
         {kIp, WC_IPADDRESSW, L"", WS_VISIBLE | WS_TABSTOP, kClientEdgeStyle, 0, 30, 120, 20}});
    return tables;
}

std::size_t Live(DWORD type = 0) {
    return sim::GdiTable::Get().LiveCount(type);
}

// The edit's cell: the handle's style, its size and padding.
struct EditCell {
    std::string style;
    std::string size = "width=\"150\" height=\"40\"";
    std::string padding = "left:10;top:8;right:10;bottom:8";
};

class Offscreen : public SkinDialogTest<DrawLogDialog> {
protected:
    void SetUp() override {
        SkinDialogTest::SetUp();
        RealApi();  // the framework's globals are built: the hooks are in
        System::Docking::StartDrawingLibrary();
    }
    // The edit and the IP address control in cells; `editCell` holds extra attributes.
    void Open(const EditCell& edit = EditCell(), const std::string& window = "") {
        control::LinkResources(&OffscreenTemplates());
        WriteLayout(L"default", L"NetConnectDialog.xml",
                    Layout("<docking id=\"main\" background=\"color:#E0E0E0\" " + window +
                           "><cell index=\"00\" " + edit.size +
                           " handle=\"id:IDC_SETTING_NUMEDIT;class:Edit" + edit.style +
                           "\" padding=\"" + edit.padding +
                           "\"/>"
                           "<cell index=\"10\" height=\"40\" "
                           "handle=\"id:IDC_IPADDRESS;class:IPAddress\" padding=\"4\"/>"
                           "<cell index=\"20\" height=\"-1\"/></docking>"));
        OpenDialog();
    }
    template <class T>
    T* Object(int id) const {
        return dynamic_cast<T*>(CWnd::FromHandlePermanent(Item(id)));
    }
    CDockingCell* CellOf(int id) const {
        return dynamic_cast<CDockingCell*>(FindRenderableByWindow(Item(id)));
    }
};

// A plain window of the test class taken over by a skinned control object.
template <class T>
struct Adopted {
    explicit Adopted(RECT r = {0, 0, 60, 20}) {
        window = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", r);
        object = std::make_unique<T>();
        EXPECT_TRUE(object->SubclassWindow(window));
    }
    HWND window;
    std::unique_ptr<T> object;
};

// The picture's pixel at (x, y) from the top, as 0xRRGGBB.
std::uint32_t PixelOf(const OffscreenPicture& picture, int x, int y) {
    BITMAP b{};
    if (::GetObjectW(picture.Surface(), sizeof b, &b) != int{sizeof b} || b.bmBits == nullptr)
        return 0xDEADBEEF;
    const auto* bits = static_cast<const std::uint32_t*>(b.bmBits);
    return bits[(b.bmHeight - 1 - y) * b.bmWidth + x] & 0xFFFFFF;
}

TEST_F(Offscreen, TypingIntoAnEditHandsItsMemoryPictureToTheRootWindow) {
    Open();
    auto* edit = Object<CDockingEdit>(kField);
    ASSERT_NE(edit, nullptr);
    CDockingCell* cell = CellOf(kField);
    ASSERT_NE(cell, nullptr);
    ::SetFocus(Item(kField));
    Settle();
    dialog_->draws.clear();
    ASSERT_TRUE(control::TypeText(L"ab"));
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    wchar_t text[8]{};
    ::GetWindowTextW(Item(kField), text, 8);
    EXPECT_STREQ(text, L"ab");
    ASSERT_FALSE(dialog_->draws.empty());
    const Gdiplus::Rect client = cell->client.Read();
    for (const ChildDraw& d : dialog_->draws) {
        EXPECT_EQ(d.source, edit->Picture().Dc());
        EXPECT_TRUE(d.rect.Equals(client))
            << d.rect.X << "," << d.rect.Y << " " << d.rect.Width << "x" << d.rect.Height;
    }
    // The picture holds the edit's own drawing: its white field.
    EXPECT_EQ(PixelOf(edit->Picture(), 2, 2), 0xFFFFFFu);
}

TEST_F(Offscreen, ReleaseDcAnswersOneOnlyForTheControlsThatKeepTheSystemOut) {
    struct Case {
        const char* name;
        std::function<std::pair<HWND, std::shared_ptr<CWnd>>()> make;
        int answer;
    };
    auto adopt = [](auto tag) {
        using T = typename decltype(tag)::type;
        auto a = std::make_shared<Adopted<T>>();
        return std::pair<HWND, std::shared_ptr<CWnd>>{a->window,
                                                      std::shared_ptr<CWnd>(a, a->object.get())};
    };
    const Case cases[] = {
        {"combo box", [&] { return adopt(std::type_identity<CDockingComboBox>{}); }, 1},
        {"date-time", [&] { return adopt(std::type_identity<CDockingDateTimeCtrl>{}); }, 1},
        {"edit", [&] { return adopt(std::type_identity<CDockingEdit>{}); }, 0},
        {"list", [&] { return adopt(std::type_identity<CDockingListCtrl>{}); }, 0},
        {"IP address", [&] { return adopt(std::type_identity<CDockingIPAddressCtrl>{}); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto [window, object] = c.make();
        auto* detoures = dynamic_cast<CDockingDetoures*>(object.get());
        ASSERT_NE(detoures, nullptr);
        const std::size_t dcs = Live(OBJ_DC);
        HDC dc = ::GetDC(window);
        EXPECT_EQ(dc, detoures->GetDC()) << "the memory context, not a window's";
        EXPECT_EQ(Live(OBJ_DC), dcs) << "no window context was made";
        // The system's ReleaseDC refuses a memory context (0): only the controls that answer
        // themselves give 1.
        EXPECT_EQ(::ReleaseDC(window, dc), c.answer);
        EXPECT_NE(::GetObjectType(dc), 0u) << "the memory context lives on";
        // A window context of the system still goes back to the system.
        HDC real = RealApi().GetDC(window);
        ASSERT_NE(real, nullptr);
        EXPECT_EQ(::ReleaseDC(window, real), 1);
    }
}

TEST_F(Offscreen, ResizingTwiceLeavesOneSurfaceAndDestructionNone) {
    const std::size_t bitmaps = Live(OBJ_BITMAP);
    {
        Adopted<CDockingEdit> edit;
        const OffscreenPicture& picture = edit.object->Picture();
        ASSERT_NE(picture.Surface(), nullptr) << "sized already when taken over";
        ::SetWindowPos(edit.window, nullptr, 0, 0, 80, 30, SWP_NOMOVE | SWP_NOZORDER);
        ::SetWindowPos(edit.window, nullptr, 0, 0, 90, 24, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(Live(OBJ_BITMAP), bitmaps + 1);
        EXPECT_EQ(::GetCurrentObject(picture.Dc(), OBJ_BITMAP), picture.Surface());
        BITMAP info{};
        ASSERT_EQ(::GetObjectW(picture.Surface(), sizeof info, &info), int{sizeof info});
        EXPECT_EQ(info.bmWidth, 90);
        EXPECT_EQ(info.bmHeight, 24);
        EXPECT_EQ(info.bmBitsPixel, 32);
    }
    EXPECT_EQ(Live(OBJ_BITMAP), bitmaps);
    EXPECT_EQ(sim::GdiTable::Get().DoubleDeletes(), 0u);
}

TEST_F(Offscreen, AnEmptyWindowGetsNoSurfaceAndPaintsNothingButKeepsTheRectangle) {
    Adopted<CDockingComboBox> combo(RECT{0, 0, 0, 0});
    EXPECT_EQ(combo.object->Picture().Surface(), nullptr);
    MessageLog().Clear();
    RenderContext context;
    context.clip = Gdiplus::Rect(5, 6, 70, 20);
    EXPECT_EQ(::SendMessageW(combo.window, WM_DOCKING_PAINT, reinterpret_cast<WPARAM>(&context), 0),
              1);
    EXPECT_TRUE(Messages({WM_PRINT}, combo.window).empty());
    const RECT last = combo.object->Picture().LastPainted();
    EXPECT_EQ(last.left, 5);
    EXPECT_EQ(last.top, 6);
    EXPECT_EQ(last.right, 75);
    EXPECT_EQ(last.bottom, 26);
}

TEST_F(Offscreen, APrintPathThatTakesTheWindowsContextDoesNotRecurse) {
    Adopted<CDockingEdit> edit;
    RenderContext context;
    context.clip = Gdiplus::Rect(0, 0, 60, 20);
    int prints = 0;
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w != edit.window || m != WM_PRINT) return std::nullopt;
        ++prints;
        HDC dc = ::GetDC(w);  // the memory context; its release repaints through the cell
        ::ReleaseDC(w, dc);
        return 0;
    };
    edit.object->RepaintThroughCell();
    EXPECT_EQ(prints, 1);
    prints = 0;
    HDC dc = ::GetDC(edit.window);
    ::ReleaseDC(edit.window, dc);
    EXPECT_EQ(prints, 1) << "the release prints once; the print's own release does nothing";
    Answers() = nullptr;
}

TEST_F(Offscreen, ACaretIsInvertedAtItsSizeAndLeavesNoObjectBehind) {
    struct Case {
        const char* name;
        bool bitmap;
        int width, height;  // given to DrawCaret
        int drawnWidth, drawnHeight;
    };
    const Case cases[] = {
        {"solid", false, 2, 9, 2, 9},
        // GetBitmapDimensionEx reads 0 x 0 here: the bitmap's own size counts.
        {"bitmap", true, 0, 0, 4, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Adopted<CDockingEdit> edit;
        const OffscreenPicture& dc = edit.object->Picture();
        HBITMAP caret = nullptr;
        if (c.bitmap) {
            const Dib white = MakeDib(4, 6);
            white.Fill(0xFFFFFFFFu);
            caret = white.bitmap;
        }
        const std::size_t objects = Live();
        const std::uint32_t before = PixelOf(dc, 10, 5);
        edit.object->DrawCaret(caret, 10, 5, c.width, c.height);
        EXPECT_NE(PixelOf(dc, 10, 5), before);
        EXPECT_NE(PixelOf(dc, 10 + c.drawnWidth - 1, 5 + c.drawnHeight - 1), before);
        EXPECT_EQ(PixelOf(dc, 10 + c.drawnWidth, 5), before);
        EXPECT_EQ(PixelOf(dc, 10, 5 + c.drawnHeight), before);
        EXPECT_EQ(Live(), objects) << "the compatible context went";
        if (caret != nullptr) {
            HDC other = ::CreateCompatibleDC(nullptr);
            EXPECT_NE(::SelectObject(other, caret), nullptr) << "the caret bitmap was let go";
            ::DeleteDC(other);
            ::DeleteObject(caret);
        }
    }
}

TEST_F(Offscreen, TheCaretOfAnAddressFieldIsDrawnAtTheFieldsPlaceInTheControl) {
    struct Spy : CDockingIPAddressCtrl {
        std::vector<POINT> at;
        void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) override {
            at.push_back({x, y});
            CDockingIPAddressCtrl::DrawCaret(bitmap, x, y, width, height);
        }
    };
    HWND ip = ::CreateWindowExW(0, WC_IPADDRESSW, L"", WS_POPUP | WS_VISIBLE, 30, 40, 140, 22,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(ip, nullptr);
    Spy spy;
    ASSERT_TRUE(spy.SubclassWindow(ip));
    ASSERT_EQ(spy.Fields().size(), 4u);
    EXPECT_EQ(::GetWindowLongPtrW(ip, GWL_EXSTYLE) & kClientEdgeStyle, 0);
    for (std::size_t i = 0; i < spy.Fields().size(); ++i) {
        SCOPED_TRACE(i);
        HWND field = spy.Fields()[i]->m_hWnd;
        RECT f{}, whole{};
        ::GetWindowRect(field, &f);
        ::GetWindowRect(ip, &whole);
        ::SetFocus(nullptr);  // a field focused before it was taken over has its caret already
        ::SetFocus(field);
        ASSERT_EQ(Caret().caret.owner, field);
        spy.RepaintThroughCell();  // the control's picture without the emulated caret
        spy.at.clear();
        OnCaretBlink(field);
        ASSERT_EQ(spy.at.size(), 1u);
        EXPECT_EQ(spy.at[0].x, Caret().caret.x + (f.left - whole.left));
        EXPECT_EQ(spy.at[0].y, Caret().caret.y + (f.top - whole.top));
        // The caret shows in the control's own picture there, until it is erased.
        const POINT at{spy.at[0].x, spy.at[0].y + 1};
        spy.EraseCaret();
        const std::uint32_t plain = PixelOf(spy.Picture(), at.x, at.y);
        OnCaretBlink(field);
        EXPECT_NE(PixelOf(spy.Picture(), at.x, at.y), plain);
        spy.EraseCaret();
        EXPECT_EQ(PixelOf(spy.Picture(), at.x, at.y), plain);
    }
}

TEST_F(Offscreen, AControlThatAlreadyFitsOrDoesNotResizeIsVisibleInALayeredRoot) {
    // The edit lies at the cell's top-left (the template puts it at 0, 0; no padding), so the
    // cell's placer never sizes it: it must show all the same.
    const std::string layered = "window=\"layout:layouted\"";
    Open({";style:noresize", "width=\"200\" height=\"60\"", "0"}, layered);
    RECT own{};
    ::GetWindowRect(Item(kField), &own);
    const std::string fits = "width=\"" + std::to_string(own.right - own.left) + "\" height=\"" +
                             std::to_string(own.bottom - own.top) + "\"";
    WaitRenderPoolIdle();
    dialog_.reset();
    const EditCell cells[] = {{";style:noresize", "width=\"200\" height=\"60\"", "0"},
                              {"", fits, "0"}};
    for (const EditCell& cell : cells) {
        SCOPED_TRACE(cell.style + " " + cell.size);
        MessageLog().Clear();
        Open(cell, layered);
        ASSERT_NE(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
        RECT now{};
        ::GetWindowRect(Item(kField), &now);
        EXPECT_EQ(now.right - now.left, own.right - own.left) << "never sized";
        auto* edit = Object<CDockingEdit>(kField);
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(edit->Picture().Surface(), nullptr);
        // Shown: the window's picture holds the edit's white field over the grey background.
        const std::string png = "offscreen_fits.png";
        ASSERT_TRUE(control::SaveWindowPng(dialog_->m_hWnd, png));
        cairo_surface_t* shot = cairo_image_surface_create_from_png(png.c_str());
        ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(golden::At(shot, 3, 3) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(golden::At(shot, 3, 100) & 0xFFFFFF, 0xE0E0E0u);
        cairo_surface_destroy(shot);
        WaitRenderPoolIdle();
        dialog_.reset();
    }
}

TEST_F(Offscreen, TenMinutesOfCaretBlinksLeaveTheObjectCountsFlat) {
    Open();
    ::SetFocus(Item(kField));
    Settle();
    ASSERT_EQ(Caret().caret.owner, Item(kField));
    auto pump = [](DWORD until) {
        int blinks = 0;
        MSG msg;
        while (static_cast<int>(::GetTickCount() - until) < 0 &&
               ::GetMessageW(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_SYSTIMER && msg.wParam == SYSTIMER_CARET_BLINK &&
                ::IsWindow(msg.hwnd)) {
                OnCaretBlink(msg.hwnd);
                ++blinks;
            }
            ::DispatchMessageW(&msg);
        }
        return blinks;
    };
    pump(::GetTickCount() + 2000);  // the first blinks make what they keep
    WaitRenderPoolIdle();
    const std::size_t all = Live();
    const std::size_t dcs = Live(OBJ_DC);
    const std::size_t bitmaps = Live(OBJ_BITMAP);
    const int blinks = pump(::GetTickCount() + 10 * 60 * 1000);
    WaitRenderPoolIdle();
    Drain();
    EXPECT_GT(blinks, 1000);
    EXPECT_EQ(Live(OBJ_DC), dcs);
    EXPECT_EQ(Live(OBJ_BITMAP), bitmaps);
    EXPECT_EQ(Live(), all);
}

}  // namespace
