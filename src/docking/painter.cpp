#include "docking/painter.h"

#include "docking/image_cache.h"
#include "support/auto_lock.h"

namespace System::Docking {

HBITMAP CreateSurfaceBitmap(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * 4u * static_cast<DWORD>(height);
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

CDockingPainter::CDockingPainter(int width, int height) {
    InitializeCriticalSection(&generationLock_);
    StartDrawingLibrary();
    Allocate(width, height);
}

CDockingPainter::~CDockingPainter() {
    DropGraphics();
    if (dc_ != nullptr) {
        SelectBitmap(nullptr);
        DeleteDC(dc_);
    }
    DeleteCriticalSection(&generationLock_);
}

void CDockingPainter::Allocate(int newWidth, int newHeight) {
    if (newWidth <= 0 || newHeight <= 0) return;
    if (newWidth == width.Value() && newHeight == height.Value()) return;
    HBITMAP dib = CreateSurfaceBitmap(newWidth, newHeight);
    if (dib == nullptr) return;
    SelectBitmap(dib);
    if (dc_ != nullptr && GetCurrentObject(dc_, OBJ_BITMAP) == dib)
        dib_ = dib;
    else
        DeleteObject(dib);
}

HBITMAP CDockingPainter::TakeBitmap() {
    DropGraphics();
    HGDIOBJ selected = nullptr;
    if (dc_ != nullptr && initialBitmap_ != nullptr) {
        selected = SelectObject(dc_, initialBitmap_);
        if (selected == initialBitmap_) selected = nullptr;
    }
    // Nothing of the old state may lead to a second delete: not the initial bitmap (the DC's
    // own), not the bitmap just handed over.
    initialBitmap_ = nullptr;
    dib_ = nullptr;
    width.Ref() = 0;
    height.Ref() = 0;
    return static_cast<HBITMAP>(selected);
}

void CDockingPainter::SelectBitmap(HBITMAP bitmap) {
    if (bitmap == nullptr) {
        if (HBITMAP selected = TakeBitmap()) DeleteObject(selected);
        return;
    }
    DropGraphics();
    if (dc_ == nullptr) dc_ = CreateCompatibleDC(nullptr);
    if (dc_ == nullptr) return;
    HGDIOBJ previous = SelectObject(dc_, bitmap);
    if (previous == nullptr) return;  // not a bitmap, or selected into another DC
    if (initialBitmap_ != nullptr) {
        if (previous != bitmap) DeleteObject(previous);
    } else {
        initialBitmap_ = previous;
    }
    dib_ = nullptr;
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof info, &info) == 0) info = BITMAP{};
    width.Ref() = info.bmWidth;
    height.Ref() = info.bmHeight;
}

Gdiplus::Graphics* CDockingPainter::Graphics() {
    if (graphics_ == nullptr && dc_ != nullptr) graphics_ = new Gdiplus::Graphics(dc_);
    return graphics_;
}

void CDockingPainter::DropGraphics() {
    delete graphics_;
    graphics_ = nullptr;
}

int CDockingPainter::AdvanceGeneration() {
    CAutoLock hold(generationLock_);
    return ++generation_;
}

}  // namespace System::Docking
