// Windows: icons. An icon is a picture with its own alpha (a cairo ARGB32 surface, premultiplied)
// made from a module's icon resource, a PNG linked into the program. Handles are never reused
// while the process runs; LoadIconW's icons, and LoadImageW's with LR_SHARED, are shared: one
// handle per resource and size, alive until the process ends.
#include "platform/user32/icons.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include <winbase.h>
#include "platform/gdi32/draw_canvas.h"
#include "platform/user32/routing.h"
#include "machine/trace.h"
#include "machine/windows.h"
#include "machine/machine.h"
#include <winres.h>
#include <winuser.h>

using sim::Fail;

namespace {

constexpr int kIconSize = 32;
constexpr int kSmallIconSize = 16;
// A picture larger than this on either side is refused (resources are the program's own, but
// a broken one must not make a huge surface).
constexpr int kLargestIcon = 256;

struct Icon {
    cairo_surface_t* picture = nullptr;
    bool shared = false;
    ~Icon() {
        if (picture != nullptr) cairo_surface_destroy(picture);
    }
};

struct IconTable {
    std::mutex mu;
    std::map<ULONG_PTR, std::shared_ptr<Icon>> icons;
    // Shared icons: (resource, width, height) -> handle.
    std::map<std::tuple<const resources::IconEntry*, int, int>, HICON> shared;
    ULONG_PTR next = 0x7A0000;
};

IconTable& Table() {
    static IconTable table;
    return table;
}

std::shared_ptr<Icon> Find(HICON icon) {
    IconTable& t = Table();
    std::lock_guard<std::mutex> lk(t.mu);
    auto it = t.icons.find(reinterpret_cast<ULONG_PTR>(icon));
    return it == t.icons.end() ? nullptr : it->second;
}

struct PngReader {
    const unsigned char* data;
    std::size_t left;
};

cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (length > r->left) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data, length);
    r->data += length;
    r->left -= length;
    return CAIRO_STATUS_SUCCESS;
}

// The resource's picture at width x height (0: its own size), or null when it is no picture.
cairo_surface_t* Decode(const resources::IconEntry& entry, int width, int height) {
    if (entry.png == nullptr || entry.size == 0) return nullptr;
    PngReader reader{entry.png, entry.size};
    cairo_surface_t* png = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
    if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(png);
        return nullptr;
    }
    int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
    if (w <= 0 || h <= 0 || w > kLargestIcon || h > kLargestIcon) {
        cairo_surface_destroy(png);
        return nullptr;
    }
    if (width <= 0) width = w;
    if (height <= 0) height = h;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(out);
    cairo_scale(cr, static_cast<double>(width) / w, static_cast<double>(height) / h);
    cairo_set_source_surface(cr, png, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(png);
    cairo_surface_flush(out);
    return out;
}

HICON Add(IconTable& t, cairo_surface_t* picture, bool shared) {
    auto icon = std::make_shared<Icon>();
    icon->picture = picture;
    icon->shared = shared;
    auto h = reinterpret_cast<HICON>(t.next);
    t.next += 4;
    t.icons.emplace(reinterpret_cast<ULONG_PTR>(h), std::move(icon));
    return h;
}

// The resource's icon at the size; the shared one when `shared`.
HICON Load(const resources::IconEntry& entry, int width, int height, bool shared) {
    IconTable& t = Table();
    std::lock_guard<std::mutex> lk(t.mu);
    auto key = std::make_tuple(&entry, width, height);
    if (shared) {
        auto it = t.shared.find(key);
        if (it != t.shared.end()) return it->second;
    }
    cairo_surface_t* picture = Decode(entry, width, height);
    if (picture == nullptr) return nullptr;
    HICON h = Add(t, picture, shared);
    if (shared) t.shared.emplace(key, h);
    return h;
}

// The system's application icon: a plain framed square (no resource behind it).
HICON ApplicationIcon() {
    static HICON icon = [] {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kIconSize, kIconSize);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, 2, 4, 28, 24);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0.5);
        cairo_rectangle(cr, 3, 5, 26, 5);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        IconTable& t = Table();
        std::lock_guard<std::mutex> lk(t.mu);
        return Add(t, s, true);
    }();
    return icon;
}

}  // namespace

cairo_surface_t* IconPicture(HICON icon) {
    auto i = Find(icon);
    return i ? cairo_surface_reference(i->picture) : nullptr;
}

HICON ProgramIcon(int size) {
    const resources::IconEntry* entry = resources::FirstIcon(nullptr);
    return entry != nullptr ? Load(*entry, size, size, true) : nullptr;
}

bool PaintIcon(HDC dc, HICON icon, const RECT& where) {
    auto i = Find(icon);
    if (!i) return false;
    gdi::Canvas canvas(dc);
    if (!canvas) return false;
    int w = cairo_image_surface_get_width(i->picture),
        h = cairo_image_surface_get_height(i->picture);
    int cx = where.right - where.left, cy = where.bottom - where.top;
    if (cx <= 0 || cy <= 0) return true;
    cairo_t* cr = canvas.cr();
    cairo_save(cr);
    cairo_translate(cr, where.left, where.top);
    cairo_scale(cr, static_cast<double>(cx) / w, static_cast<double>(cy) / h);
    cairo_set_source_surface(cr, i->picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    API_TRACE(Windows, LoadIconW, instance, name);
    if (instance == nullptr && name == IDI_APPLICATION) return ApplicationIcon();
    const resources::IconEntry* entry = resources::FindIcon(instance, name);
    if (entry == nullptr) return Fail<HICON>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
    HICON icon = Load(*entry, kIconSize, kIconSize, true);
    return icon != nullptr ? icon : Fail<HICON>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    API_TRACE(Windows, LoadImageW, instance, name, type, cx, cy, flags);
    if (type != IMAGE_ICON || cx < 0 || cy < 0 || cx > kLargestIcon || cy > kLargestIcon)
        return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    if (flags & LR_DEFAULTSIZE) {
        if (cx == 0) cx = kIconSize;
        if (cy == 0) cy = kIconSize;
    }
    const resources::IconEntry* entry = resources::FindIcon(instance, name);
    if (entry == nullptr) return Fail<HANDLE>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
    HICON icon = Load(*entry, cx, cy, (flags & LR_SHARED) != 0);
    return icon != nullptr ? icon : Fail<HANDLE>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flickerFree,
                UINT flags) {
    API_TRACE(Windows, DrawIconEx, dc, x, y, icon, cx, cy, step, flickerFree, flags);
    auto i = Find(icon);
    if (!i) return Fail(FALSE, ERROR_INVALID_ICON_HANDLE);
    if (cx <= 0) cx = cairo_image_surface_get_width(i->picture);
    if (cy <= 0) cy = cairo_image_surface_get_height(i->picture);
    if (!PaintIcon(dc, icon, {x, y, x + cx, y + cy})) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    API_TRACE(Windows, DrawIcon, dc, x, y, icon);
    return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

BOOL DestroyIcon(HICON icon) {
    API_TRACE(Windows, DestroyIcon, icon);
    IconTable& t = Table();
    std::lock_guard<std::mutex> lk(t.mu);
    auto it = t.icons.find(reinterpret_cast<ULONG_PTR>(icon));
    if (it == t.icons.end()) return Fail(FALSE, ERROR_INVALID_ICON_HANDLE);
    if (!it->second->shared) t.icons.erase(it);
    return TRUE;
}

LRESULT DefWindowProcIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& windows = sim::machine().windows();
    auto w = windows.Get(window);
    if (!w) return 0;
    switch (message) {
        case WM_SETICON: {
            auto icon = reinterpret_cast<HICON>(lParam);
            HICON old = nullptr;
            windows.Modify(window, [&](sim::WindowInfo& r) {
                HICON& slot = wParam == ICON_BIG ? r.bigIcon : r.smallIcon;
                old = slot;
                slot = icon;
            });
            return reinterpret_cast<LRESULT>(old);
        }
        case WM_GETICON:
            if (wParam == ICON_BIG) return reinterpret_cast<LRESULT>(w->bigIcon);
            if (wParam == ICON_SMALL) return reinterpret_cast<LRESULT>(w->smallIcon);
            return reinterpret_cast<LRESULT>(w->smallIcon ? w->smallIcon : w->bigIcon);
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(w->bigIcon ? w->bigIcon : w->classIcon);
        case WM_ICONERASEBKGND: {
            if (w->classBackground == nullptr) return 0;
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, w->classBackground);
            return 1;
        }
        default:
            return 0;
    }
}

HICON CaptionIcon(const sim::WindowInfo& w) {
    if (w.smallIcon) return w.smallIcon;
    if (w.classSmallIcon) return w.classSmallIcon;
    return w.bigIcon ? w.bigIcon : w.classIcon;
}

int SmallIconSize() {
    return kSmallIconSize;
}
