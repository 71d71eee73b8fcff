// Look tests of the standard controls: a window in the face colour at a place of the screen, as a
// dialog to make controls in, and its part of the screen against a reference picture.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <string>

#include "common/golden_image.h"
#include "common/screen_shot.h"
#include "common/window_helper.h"

class LookDialogTest : public WindowTest {
public:
    // The dialog's rectangle on the screen.
    explicit LookDialogTest(RECT dialog) : dialogRect_(dialog) {}

    void SetUp() override {
        WindowTest::SetUp();
        dialog_ = MakeFaceWindow(L"LookDialog", DefWindowProcW, dialogRect_);
        ASSERT_NE(dialog_, nullptr);
    }
    // A visible child of the dialog at r (client coordinates), with the next control id.
    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, DWORD ex = 0) {
        HWND h = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, dialog_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(++ids_)), nullptr,
                                 nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }
    // The dialog's part of the screen with a margin of 10 pixels, and `below` more rows under
    // it, as the reference `name`.
    ::testing::AssertionResult LooksLike(const std::string& name, int below = 0) const {
        cairo_surface_t* shot =
            ScreenShot({dialogRect_.left - 10, dialogRect_.top - 10, dialogRect_.right + 10,
                        dialogRect_.bottom + 10 + below});
        auto result = golden::Matches(shot, name);
        cairo_surface_destroy(shot);
        return result;
    }

    const RECT dialogRect_;
    HWND dialog_ = nullptr;
    int ids_ = 100;
};
