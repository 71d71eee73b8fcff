#include "machine/screen.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "machine/shell.h"
#include "machine/waits.h"
#include "machine/windows.h"

namespace sim {

namespace {

cairo_surface_t* NewSurface(int width, int height, unsigned argb) {
    cairo_surface_t* s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1));
    cairo_t* cr = cairo_create(s);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return s;
}

// The colour key as a surface pixel's colour: COLORREF is 0x00BBGGRR, the pixels 0xAARRGGBB.
std::uint32_t KeyPixel(COLORREF key) {
    return ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
}

// A copy of the surface with the colour key made transparent and, unless the pixels' own alpha
// counts, every other pixel opaque.
cairo_surface_t* Filtered(cairo_surface_t* source, const LayeredState& st) {
    int w = cairo_image_surface_get_width(source);
    int h = cairo_image_surface_get_height(source);
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(source);
    cairo_surface_flush(out);
    const unsigned char* in = cairo_image_surface_get_data(source);
    unsigned char* to = cairo_image_surface_get_data(out);
    int inStride = cairo_image_surface_get_stride(source);
    int outStride = cairo_image_surface_get_stride(out);
    std::uint32_t key = KeyPixel(st.key);
    for (int y = 0; y < h; ++y) {
        const auto* src =
            reinterpret_cast<const std::uint32_t*>(in + static_cast<long>(y) * inStride);
        auto* dst = reinterpret_cast<std::uint32_t*>(to + static_cast<long>(y) * outStride);
        for (int x = 0; x < w; ++x) {
            std::uint32_t p = src[x];
            if (st.useKey && (p & 0xFFFFFF) == key)
                p = 0;
            else if (!st.perPixel)
                p |= 0xFF000000u;
            dst[x] = p;
        }
    }
    cairo_surface_mark_dirty(out);
    return out;
}

}  // namespace

Screen::Screen(WindowTable& windows, int width, int height, Shell* shell, int taskbarHeight)
    : windows_(windows),
      width_(width),
      height_(height),
      shell_(shell),
      taskbarHeight_(taskbarHeight) {
    desktop_ = NewSurface(width, height, 0);
    windows_.SetClickFilter([this](HWND top, POINT p) { return PassesClicks(top, p); });
}

Screen::~Screen() {
    windows_.SetClickFilter(nullptr);
    for (auto& [hwnd, e] : entries_) {
        if (e.backing != nullptr) cairo_surface_destroy(e.backing);
        if (e.picture != nullptr) cairo_surface_destroy(e.picture);
    }
    cairo_surface_destroy(desktop_);
}

void Screen::SweepLocked() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (windows_.Exists(it->first)) {
            ++it;
            continue;
        }
        if (it->second.backing != nullptr) cairo_surface_destroy(it->second.backing);
        if (it->second.picture != nullptr) cairo_surface_destroy(it->second.picture);
        it = entries_.erase(it);
    }
}

Screen::Entry* Screen::EntryLocked(HWND topLevel) {
    if (!windows_.Exists(topLevel)) return nullptr;
    SweepLocked();
    return &entries_[topLevel];
}

cairo_surface_t* Screen::Backing(HWND topLevel) {
    auto info = windows_.Get(topLevel);
    if (!info) return nullptr;
    int w = std::max<int>(info->rect.right - info->rect.left, 1);
    int h = std::max<int>(info->rect.bottom - info->rect.top, 1);
    std::lock_guard<std::mutex> lk(mu_);
    Entry* e = EntryLocked(topLevel);
    if (e == nullptr) return nullptr;
    if (e->backing == nullptr || cairo_image_surface_get_width(e->backing) != w ||
        cairo_image_surface_get_height(e->backing) != h) {
        cairo_surface_t* fresh = NewSurface(w, h, 0xFFFFFFFF);
        if (e->backing != nullptr) {
            cairo_t* cr = cairo_create(fresh);
            cairo_set_source_surface(cr, e->backing, 0, 0);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_destroy(e->backing);
        }
        e->backing = fresh;
    }
    return cairo_surface_reference(e->backing);
}

cairo_surface_t* Screen::Desktop() {
    std::lock_guard<std::mutex> lk(mu_);
    return cairo_surface_reference(desktop_);
}

LayeredState Screen::Layered(HWND topLevel) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = entries_.find(topLevel);
    return it == entries_.end() ? LayeredState{} : it->second.layered;
}

void Screen::SetLayered(HWND topLevel, const LayeredState& state) {
    std::lock_guard<std::mutex> lk(mu_);
    if (Entry* e = EntryLocked(topLevel)) e->layered = state;
}

void Screen::SetPicture(HWND topLevel, cairo_surface_t* picture) {
    std::lock_guard<std::mutex> lk(mu_);
    Entry* e = EntryLocked(topLevel);
    if (e == nullptr) return;
    if (e->picture != nullptr) cairo_surface_destroy(e->picture);
    e->picture = cairo_surface_reference(picture);
}

cairo_surface_t* Screen::ShownLocked(HWND topLevel, double* alpha) {
    auto it = entries_.find(topLevel);
    LayeredState st = it == entries_.end() ? LayeredState{} : it->second.layered;
    cairo_surface_t* source = nullptr;
    if (it != entries_.end())
        source = st.mode == LayeredMode::Picture ? it->second.picture : it->second.backing;
    *alpha = st.useAlpha ? st.alpha / 255.0 : 1.0;
    if (st.mode == LayeredMode::None) st = LayeredState{};
    if (source == nullptr) {
        // Nothing drawn yet: an ordinary window shows white, a layered one nothing.
        if (st.mode != LayeredMode::None) return nullptr;
        auto info = windows_.Get(topLevel);
        if (!info) return nullptr;
        return NewSurface(info->rect.right - info->rect.left, info->rect.bottom - info->rect.top,
                          0xFFFFFFFF);
    }
    return Filtered(source, st);
}

bool Screen::PassesClicks(HWND topLevel, POINT screen) {
    auto info = windows_.Get(topLevel);
    if (!info) return false;
    int x = screen.x - info->rect.left, y = screen.y - info->rect.top;
    std::lock_guard<std::mutex> lk(mu_);
    auto it = entries_.find(topLevel);
    if (it == entries_.end() || it->second.layered.mode == LayeredMode::None) return false;
    const LayeredState& st = it->second.layered;
    if (st.useAlpha && st.alpha == 0) return true;
    cairo_surface_t* source =
        st.mode == LayeredMode::Picture ? it->second.picture : it->second.backing;
    // A layered window that has shown nothing yet lets every click through.
    if (source == nullptr) return true;
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(source) ||
        y >= cairo_image_surface_get_height(source))
        return true;
    cairo_surface_flush(source);
    const unsigned char* row = cairo_image_surface_get_data(source) +
                               static_cast<long>(y) * cairo_image_surface_get_stride(source);
    std::uint32_t p;
    std::memcpy(&p, row + static_cast<long>(x) * 4, 4);
    std::uint32_t key = KeyPixel(st.key);
    if (st.useKey && (p & 0xFFFFFF) == key) return true;
    return st.perPixel && (p >> 24) == 0;
}

std::vector<Screen::Layer> Screen::LayersLocked(const std::vector<HWND>& order) {
    std::vector<Layer> layers;
    for (HWND h : order) {
        if (!windows_.IsVisible(h)) continue;
        auto info = windows_.Get(h);
        if (!info) continue;
        Layer layer{h, info->rect, nullptr, 1.0};
        layer.picture = ShownLocked(h, &layer.alpha);
        layers.push_back(layer);
    }
    return layers;
}

std::vector<Screen::Layer> Screen::Layers() {
    std::vector<HWND> order = windows_.TopLevel();  // topmost first
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    return LayersLocked(order);
}

void Screen::Paint(cairo_t* cr, const std::vector<Layer>& layers) {
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        if (it->picture == nullptr) continue;
        cairo_set_source_surface(cr, it->picture, it->rect.left, it->rect.top);
        cairo_paint_with_alpha(cr, it->alpha);
    }
}

cairo_surface_t* Screen::Compose() {
    std::vector<HWND> order = windows_.TopLevel();  // topmost first
    const std::uint64_t now = Kernel::Get().Now();  // the balloon's clock, read unlocked
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    cairo_surface_t* out = NewSurface(width_, height_, 0xFF000000u | kDesktop);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_surface(cr, desktop_, 0, 0);
    cairo_paint(cr);
    std::vector<Layer> layers = LayersLocked(order);
    Paint(cr, layers);
    for (Layer& l : layers)
        if (l.picture != nullptr) cairo_surface_destroy(l.picture);
    if (shell_ != nullptr) shell_->DrawTaskbar(cr, width_, height_, taskbarHeight_, now);
    cairo_destroy(cr);
    cairo_surface_flush(out);
    return out;
}

unsigned Screen::Pixel(cairo_surface_t* surface, int x, int y) {
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) ||
        y >= cairo_image_surface_get_height(surface))
        return 0;
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) +
                               static_cast<long>(y) * cairo_image_surface_get_stride(surface);
    std::uint32_t p;
    std::memcpy(&p, row + static_cast<long>(x) * 4, 4);
    return p & 0xFFFFFF;
}

unsigned Screen::PixelAt(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    cairo_surface_t* s = Compose();
    unsigned p = Pixel(s, x, y);
    cairo_surface_destroy(s);
    return p;
}

bool Screen::SavePng(const std::string& path) {
    cairo_surface_t* s = Compose();
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool Screen::SaveWindowPng(HWND topLevel, const std::string& path) {
    if (!windows_.Exists(topLevel)) return false;
    std::lock_guard<std::mutex> lk(mu_);
    double alpha = 1.0;
    cairo_surface_t* shown = ShownLocked(topLevel, &alpha);
    if (shown == nullptr) return false;
    bool ok = cairo_surface_write_to_png(shown, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(shown);
    return ok;
}

}  // namespace sim
