#include "docking/offscreen.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "docking/button.h"
#include "docking/cell.h"
#include "docking/painter.h"
#include <windows.h>
#include <gdiplus.h>

namespace System::Docking::Skin {

namespace {

bool Visible(HWND window) {
    return window != nullptr && ::IsWindow(window) && ::IsWindowVisible(window);
}

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

bool IsEditClass(HWND window) {
    wchar_t name[16]{};
    if (::GetClassNameW(window, name, 16) <= 0) return false;
    std::wstring text(name);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text == L"edit";
}

}  // namespace

// ---- OffscreenPicture ----

OffscreenPicture::OffscreenPicture()
    : memory_(::CreateCompatibleDC(nullptr)), second_(::CreateCompatibleDC(nullptr)) {
    if (memory_ != nullptr) ::SetBkColor(memory_, 0);
}

OffscreenPicture::~OffscreenPicture() {
    if (surface_ != nullptr) {
        ::SelectObject(memory_, first_);
        ::DeleteObject(surface_);
    }
    if (memory_ != nullptr) ::DeleteDC(memory_);
    if (second_ != nullptr) ::DeleteDC(second_);
}

void OffscreenPicture::Rebuild(HWND window) {
    RECT r{};
    if (window == nullptr || !::GetWindowRect(window, &r) || Empty(r) || memory_ == nullptr) return;
    HBITMAP made = CreateSurfaceBitmap(r.right - r.left, r.bottom - r.top);
    if (made == nullptr) return;
    HGDIOBJ out = ::SelectObject(memory_, made);
    if (surface_ == nullptr)
        first_ = out;
    else
        ::DeleteObject(surface_);
    surface_ = made;
}

void OffscreenPicture::PaintInto(HWND window, DWORD printFlags, const RenderContext& context) {
    if (surface_ != nullptr && Visible(window) && context.graphics != nullptr) {
        ::SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory_),
                       static_cast<LPARAM>(printFlags));
        if (Gdiplus::Bitmap* picture = Gdiplus::Bitmap::FromHBITMAP(surface_, nullptr)) {
            context.graphics->SetClip(context.clip, Gdiplus::CombineModeReplace);
            context.graphics->DrawImage(picture, context.client.X, context.client.Y);
            context.graphics->ResetClip();
            delete picture;
        }
    }
    const Gdiplus::Rect& c = context.clip;
    last_ = {c.X, c.Y, c.X + c.Width, c.Y + c.Height};
}

void OffscreenPicture::RepaintThroughCell(HWND window) {
    if (repainting_ || !Visible(window)) return;
    repainting_ = true;
    ::SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory_),
                   static_cast<LPARAM>(kPrintAll));
    repainting_ = false;
    HandToCell(window);
}

void OffscreenPicture::HandToCell(HWND window) {
    if (Empty(last_)) return;
    CDockingCell* cell = FindCellOfWindow(window);
    if (cell == nullptr) return;
    cell->Paint(memory_, Gdiplus::Rect(last_.left, last_.top, last_.right - last_.left,
                                       last_.bottom - last_.top));
}

void OffscreenPicture::DrawCaret(HWND window, HBITMAP bitmap, int x, int y, int width, int height) {
    BITMAP info{};
    const bool sized = bitmap != nullptr && ::GetObjectW(bitmap, sizeof info, &info) == sizeof info;
    bool drawn = false;
    if (sized) {
        width = info.bmWidth;
        height = info.bmHeight;
        HDC screen = RealApi().GetDC(window);
        HDC compatible = ::CreateCompatibleDC(screen);
        if (screen != nullptr) RealApi().ReleaseDC(window, screen);
        if (compatible != nullptr) {
            HGDIOBJ old = ::SelectObject(compatible, bitmap);
            ::BitBlt(memory_, x, y, width, height, compatible, 0, 0, SRCINVERT);
            ::SelectObject(compatible, old);
            ::DeleteDC(compatible);
            drawn = true;
        }
    }
    if (!drawn) ::PatBlt(memory_, x, y, width, height, DSTINVERT);
    if (Visible(window)) HandToCell(window);
}

// ---- the controls ----

void CDockingEdit::DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) {
    picture_.DrawCaret(m_hWnd, bitmap, x, y, width, height);
}

void CDockingEdit::EraseCaret() {
    RepaintThroughCell();
}

BOOL CDockingListCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_LBUTTONDOWN)
        return COffscreenControl<CListCtrl>::OnWndMsg(message, wParam, lParam, result);
    // NM_CLICK and LVN_ITEMCHANGED go out here: their handler may close the dialog and delete
    // this control.
    const HWND window = m_hWnd;
    const CWnd* self = this;
    const LRESULT answer = Default();
    if (StillBound(window, self)) RepaintThroughCell();
    if (result != nullptr) *result = answer;
    return TRUE;
}

CDockingIPAddressCtrl::~CDockingIPAddressCtrl() {
    fields_.clear();
}

void CDockingIPAddressCtrl::PreSubclassWindow() {
    COffscreenControl<CIPAddressCtrl>::PreSubclassWindow();
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!IsEditClass(child)) continue;
        auto field = std::make_unique<CDockingIPAddressEdit>(this);
        if (field->SubclassWindow(child)) fields_.push_back(std::move(field));
    }
}

void CDockingIPAddressCtrl::DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) {
    picture_.DrawCaret(m_hWnd, bitmap, x, y, width, height);
}

void CDockingIPAddressCtrl::EraseCaret() {
    RepaintThroughCell();
}

CDockingIPAddressEdit::CDockingIPAddressEdit(CDockingIPAddressCtrl* owner)
    : memory_(::CreateCompatibleDC(nullptr)), owner_(owner) {}

CDockingIPAddressEdit::~CDockingIPAddressEdit() {
    DestroyWindow();
    if (memory_ != nullptr) ::DeleteDC(memory_);
}

int CDockingIPAddressEdit::ReleaseDC(HDC dc) {
    if (dc == memory_ && owner_ != nullptr) owner_->RepaintThroughCell();
    return 0;
}

void CDockingIPAddressEdit::DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) {
    if (owner_ == nullptr) return;
    RECT field{}, whole{};
    ::GetWindowRect(m_hWnd, &field);
    ::GetWindowRect(owner_->m_hWnd, &whole);
    owner_->DrawCaret(bitmap, x + (field.left - whole.left), y + (field.top - whole.top), width,
                      height);
}

void CDockingIPAddressEdit::EraseCaret() {
    if (owner_ != nullptr) owner_->EraseCaret();
}

}  // namespace System::Docking::Skin
