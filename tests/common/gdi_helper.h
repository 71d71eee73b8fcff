// Helpers for the GDI tests: 32-bit DIB sections with their bits at hand, and popup windows
// (no frame: the client area is the window rectangle).
#pragma once

#include <cstdint>

#include <wingdi.h>
#include "window_helper.h"

struct Dib {
    HBITMAP bitmap = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;  // rows
    bool bottomUp = true;
    // The pixel at (x, y) counted from the top row, as drawing calls see it.
    std::uint32_t& At(int x, int y) const {
        int row = bottomUp ? height - 1 - y : y;
        return bits[row * width + x];
    }
    void Fill(std::uint32_t argb) const {
        for (int i = 0; i < width * height; ++i) bits[i] = argb;
    }
};

inline BITMAPINFO DibInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width * 4 * (height < 0 ? -height : height));
    return info;
}

// height > 0: bottom-up rows; < 0: top-down.
inline Dib MakeDib(int width, int height) {
    BITMAPINFO info = DibInfo(width, height);
    Dib d;
    void* bits = nullptr;
    d.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    d.bits = static_cast<std::uint32_t*>(bits);
    d.width = width;
    d.height = height < 0 ? -height : height;
    d.bottomUp = height > 0;
    return d;
}

// A memory context holding a new DIB section.
struct MemDc {
    HDC dc = nullptr;
    Dib dib;
    HGDIOBJ old = nullptr;
    MemDc(int width, int height) : dc(CreateCompatibleDC(nullptr)), dib(MakeDib(width, height)) {
        old = SelectObject(dc, dib.bitmap);
    }
    ~MemDc() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib.bitmap);
    }
    MemDc(const MemDc&) = delete;
    MemDc& operator=(const MemDc&) = delete;
};

inline HWND MakePopup(RECT r, DWORD exStyle = 0, HWND parent = nullptr) {
    DWORD style = parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE;
    return CreateWindowExW(exStyle, kTestClass, L"", style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, nullptr, nullptr, nullptr);
}
