#include "machine/gdi_objects.h"

#include <cstdlib>
#include <cwchar>

#include "machine/gdi_tools.h"
#include "machine/processes.h"

namespace sim {

GdiBitmap::GdiBitmap(int w, int h, bool bottomUp) {
    if (w <= 0 || h <= 0) return;
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
    if (stride <= 0 || static_cast<long long>(stride) * h > (1LL << 31)) return;
    bits = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(stride) * h, 1));
    if (bits == nullptr) return;
    // A bottom-up bitmap's top row is its last row in memory: the surface walks up from there.
    unsigned char* top = bottomUp ? bits + static_cast<size_t>(stride) * (h - 1) : bits;
    cairo_surface_t* s = cairo_image_surface_create_for_data(top, CAIRO_FORMAT_ARGB32, w, h,
                                                             bottomUp ? -stride : stride);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        std::free(bits);
        bits = nullptr;
        return;
    }
    surface = s;
    width = w;
    height = h;
}

GdiBitmap::~GdiBitmap() {
    // Others may still hold a reference to the surface: it must not outlive the bits.
    if (surface != nullptr) {
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
    }
    std::free(bits);
}

GdiDc::GdiDc() : draw(std::make_unique<DcDrawState>()) {}

GdiDc::~GdiDc() {
    if (clip != nullptr) cairo_region_destroy(clip);
}

GdiTable& GdiTable::Get() {
    return CurrentProcess().gdi;
}

bool GdiTable::Remove(HGDIOBJ h) {
    return Take(h) != nullptr;
}

std::size_t GdiTable::LiveCount(DWORD type) {
    std::lock_guard<std::mutex> lk(mu_);
    std::size_t n = 0;
    for (const auto& [handle, obj] : table_)
        if (!obj->stock && (type == 0 || obj->Type() == type)) ++n;
    return n;
}

HFONT GdiTable::SystemFont(UINT codePage) {
    BYTE charset = CharsetOfCodePage(codePage);
    std::lock_guard<std::mutex> lk(mu_);
    auto it = systemFonts_.find(charset);
    if (it != systemFonts_.end()) return it->second;
    auto font = std::make_shared<GdiFont>();
    font->stock = true;
    font->logFont.lfHeight = 16;
    font->logFont.lfWeight = FW_BOLD;
    font->logFont.lfCharSet = charset;
    std::wcscpy(font->logFont.lfFaceName, L"System");
    auto handle = static_cast<HFONT>(AddLocked(std::move(font)));
    systemFonts_.emplace(charset, handle);
    return handle;
}

HBITMAP GdiTable::StockBitmap() {
    std::lock_guard<std::mutex> lk(mu_);
    if (stockBitmap_ != nullptr) return stockBitmap_;
    auto bitmap = std::make_shared<GdiBitmap>(1, 1, false);
    bitmap->stock = true;
    stockBitmap_ = static_cast<HBITMAP>(AddLocked(std::move(bitmap)));
    return stockBitmap_;
}

BYTE CharsetOfCodePage(UINT codePage) {
    switch (codePage) {
        case 932:
            return SHIFTJIS_CHARSET;
        case 936:
            return GB2312_CHARSET;
        case 949:
            return HANGUL_CHARSET;
        case 950:
            return CHINESEBIG5_CHARSET;
        case 1250:
            return EASTEUROPE_CHARSET;
        case 1251:
            return RUSSIAN_CHARSET;
        default:
            return ANSI_CHARSET;
    }
}

}  // namespace sim
