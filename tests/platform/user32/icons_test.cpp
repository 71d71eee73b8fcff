// Icons from the program's linked PNG resources: loading, drawing, the window's icons, the
// caption's small icon, the message box's program icon.
#include <gtest/gtest.h>

#include "common/gdi_helper.h"
#include "common/golden_image.h"
#include "machine/boxes.h"
#include "machine/control/resources.h"
#include <winres.h>

extern const unsigned char icon_mainframe_png[];
extern const std::size_t icon_mainframe_png_size;

namespace {

const unsigned char kNotAPicture[] = {'n', 'o', 't', ' ', 'p', 'n', 'g'};

const resources::ModuleResources kTables{
    {},
    {},
    {},
    {{200, kNotAPicture, sizeof kNotAPicture}, {128, icon_mainframe_png, icon_mainframe_png_size}}};

class IconTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
    }
    static HICON Main() { return LoadIconW(nullptr, MAKEINTRESOURCEW(128)); }
};

cairo_surface_t* SurfaceOf(const Dib& dib) {
    return cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(dib.bits),
                                               CAIRO_FORMAT_ARGB32, dib.width, dib.height,
                                               dib.width * 4);
}

TEST_F(IconTest, TheProgramsIconIsDrawnAtItsSizesAndInACaption) {
    MemDc mem(160, 64);
    mem.dib.Fill(0xFFC0C0C0);
    HICON icon = Main();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DrawIcon(mem.dc, 4, 4, icon));
    HANDLE small = LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_ICON, 16, 16, 0);
    ASSERT_NE(small, nullptr);
    EXPECT_TRUE(DrawIcon(mem.dc, 44, 4, static_cast<HICON>(small)));
    EXPECT_TRUE(DrawIconEx(mem.dc, 68, 4, icon, 48, 48, 0, nullptr, DI_NORMAL));
    // The corner outside the rounded square keeps what was there; the bars are white.
    EXPECT_EQ(mem.dib.At(4, 4) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_EQ(mem.dib.At(4 + 8, 4 + 22) & 0xFFFFFF, 0xFFFFFFu);

    // A frame with a system menu shows the small icon at its caption's left.
    HWND frame = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, L"Raza Zevi", {0, 0, 160, 60});
    SendMessageW(frame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    MemDc caption(160, -60);
    SendMessageW(frame, WM_PRINT, reinterpret_cast<WPARAM>(caption.dc), PRF_NONCLIENT);

    MemDc both(160, -124);
    BitBlt(both.dc, 0, 0, 160, 64, mem.dc, 0, 0, SRCCOPY);
    BitBlt(both.dc, 0, 64, 160, 60, caption.dc, 0, 0, SRCCOPY);
    cairo_surface_t* picture = SurfaceOf(both.dib);
    EXPECT_TRUE(golden::Matches(picture, "icons_drawn"));
    cairo_surface_destroy(picture);
}

TEST_F(IconTest, SharedIconsStayWhileOwnIconsAreDestroyedOnce) {
    HICON shared = Main();
    EXPECT_EQ(Main(), shared);  // one handle per resource
    EXPECT_TRUE(DestroyIcon(shared));
    MemDc mem(40, 40);
    EXPECT_TRUE(DrawIcon(mem.dc, 0, 0, shared));  // still alive

    auto own = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, shared);
    EXPECT_TRUE(DestroyIcon(own));
    SetLastError(0);
    EXPECT_FALSE(DestroyIcon(own));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ICON_HANDLE));
    EXPECT_FALSE(DrawIcon(mem.dc, 0, 0, own));

    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(129)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(200)), nullptr);  // a broken picture
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_NE(LoadIconW(nullptr, IDI_APPLICATION), nullptr);
}

TEST_F(IconTest, AWindowKeepsItsBigAndSmallIcons) {
    HWND w = MakeWindow();
    HICON big = Main();
    auto small =
        static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_ICON, 16, 16, 0));
    EXPECT_EQ(SendMessageW(w, WM_QUERYDRAGICON, 0, 0), 0);
    EXPECT_EQ(SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)), 0);
    EXPECT_EQ(SendMessageW(w, WM_GETICON, ICON_SMALL2, 0), reinterpret_cast<LRESULT>(big));
    EXPECT_EQ(SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)), 0);
    EXPECT_EQ(SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)),
              reinterpret_cast<LRESULT>(small));
    EXPECT_EQ(SendMessageW(w, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(big));
    EXPECT_EQ(SendMessageW(w, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(small));
    EXPECT_EQ(SendMessageW(w, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(big));
}

TEST_F(IconTest, AnIconicWindowsBackgroundIsErasedWithItsClassBrush) {
    HWND painted = MakeControlParent(L"IconicParent", DefWindowProcW, {0, 0, 40, 40});
    HWND plain = MakeWindow();
    MemDc mem(40, 40);
    mem.dib.Fill(0xFF000000);
    EXPECT_EQ(SendMessageW(plain, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(mem.dc), 0), 0);
    EXPECT_EQ(mem.dib.At(20, 20) & 0xFFFFFF, 0u);
    EXPECT_EQ(SendMessageW(painted, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(mem.dc), 0), 1);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(mem.dib.At(20, 20) & 0xFFFFFF,
              static_cast<std::uint32_t>(GetRValue(face) << 16 | GetGValue(face) << 8 |
                                         GetBValue(face)));
}

TEST_F(IconTest, AUserIconBoxShowsTheProgramsIcon) {
    MessageBoxW(nullptr, L"apply?", L"Raza Zevi", MB_OKCANCEL | MB_USERICON);
    MessageBoxW(nullptr, L"plain", L"Raza Zevi", MB_OK);
    auto boxes = M().boxes().Journal();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, Main());
    EXPECT_EQ(boxes[1].icon, nullptr);
}

}  // namespace
