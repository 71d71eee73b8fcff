// The process's table of GDI objects: fonts, device contexts, bitmaps and regions; pens and
// brushes are further kinds of GdiObject. Handles are never reused while the process runs.
#pragma once

#include <cairo.h>

#include <atomic>
#include <map>
#include <memory>

#include <wingdi.h>
#include "machine/object_table.h"

namespace sim {

struct GdiObject {
    virtual ~GdiObject() = default;
    // OBJ_FONT, OBJ_DC, ...
    virtual DWORD Type() const = 0;
    // Stock objects are never deleted and do not count as live.
    bool stock = false;
};

struct GdiFont : GdiObject {
    LOGFONTW logFont{};
    DWORD Type() const override { return OBJ_FONT; }
};

// A bitmap: a cairo ARGB32 image surface (premultiplied alpha). A bottom-up DIB section's
// surface looks at its rows through a negative stride, so that the bits the program sees are
// the surface's own memory in the platform's row order.
struct GdiBitmap : GdiObject {
    GdiBitmap(int width, int height, bool bottomUp);
    ~GdiBitmap() override;
    GdiBitmap(const GdiBitmap&) = delete;
    GdiBitmap& operator=(const GdiBitmap&) = delete;
    DWORD Type() const override { return OBJ_BITMAP; }
    bool Valid() const { return surface != nullptr; }

    int width = 0;
    int height = 0;
    unsigned char* bits = nullptr;  // the first row in memory (the bottom one when bottom-up)
    cairo_surface_t* surface = nullptr;
    bool dib = false;            // a DIB section: GetObjectW shows its bits
    SIZE dimension{0, 0};        // Get/SetBitmapDimensionEx, in 0.1 mm
    HDC selectedInto = nullptr;  // the memory context that holds it (guarded by the table)
};

// A region: a set of rectangles (device pixels).
struct GdiRegion : GdiObject {
    explicit GdiRegion(cairo_region_t* r) : region(r) {}
    ~GdiRegion() override { cairo_region_destroy(region); }
    GdiRegion(const GdiRegion&) = delete;
    GdiRegion& operator=(const GdiRegion&) = delete;
    DWORD Type() const override { return OBJ_REGION; }
    cairo_region_t* region;
};

enum class DcKind { Screen, Window, Paint, Memory };

// What a context draws with besides its pen and brush (text colour, modes; machine/gdi_tools.h).
struct DcDrawState;

struct GdiDc : GdiObject {
    GdiDc();
    ~GdiDc() override;
    DcKind kind = DcKind::Window;
    HWND window = nullptr;  // NULL: the screen
    int dpi = 96;
    HFONT font = nullptr;  // currently selected font
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HBITMAP bitmap = nullptr;  // a memory context's selected bitmap
    POINT viewportOrg{0, 0};
    std::unique_ptr<DcDrawState> draw;
    COLORREF bkColor = 0x00FFFFFF;
    // The selected clip region (device coordinates; owned), or null.
    cairo_region_t* clip = nullptr;
    // A paint context's update rectangle (client coordinates).
    RECT paintRect{};
    // A window context for the whole window rectangle (GetDCEx with DCX_WINDOW), not its client
    // area.
    bool wholeWindow = false;
    DWORD Type() const override { return OBJ_DC; }
};

class GdiTable : public ObjectTable<GdiObject> {
public:
    GdiTable() : ObjectTable(0x40000) {}
    static GdiTable& Get();

    // Add, Find and FindAs come from ObjectTable.
    // False when the handle is unknown.
    bool Remove(HGDIOBJ h);
    // Live objects that are not stock objects, of one type (OBJ_FONT, OBJ_DC, OBJ_BITMAP,
    // OBJ_REGION, OBJ_PEN, OBJ_BRUSH) or, with 0, of every type.
    std::size_t LiveCount(DWORD type = 0);
    // Deletes of handles that were deleted already (or never existed), for tests.
    std::size_t DoubleDeletes() const { return doubleDeletes_; }
    void CountDoubleDelete() { ++doubleDeletes_; }
    // The stock 1x1 bitmap every new memory context holds.
    HBITMAP StockBitmap();
    // Runs f with the table locked (for selection rules that span two objects).
    template <class F>
    auto Locked(F f) {
        std::lock_guard<std::mutex> lk(mu_);
        return f();
    }
    // The stock system font for an ANSI code page (the screen's default font): face "System",
    // bold, 16 pixels high, the code page's character set.
    HFONT SystemFont(UINT codePage);
    // The stock object of a GetStockObject index, made by `make` the first time.
    template <class F>
    HGDIOBJ Stock(int index, F make) {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = stock_.find(index);
        if (it != stock_.end()) return it->second;
        std::shared_ptr<GdiObject> obj = make();
        obj->stock = true;
        HGDIOBJ h = AddLocked(std::move(obj));
        stock_.emplace(index, h);
        return h;
    }

private:
    std::map<BYTE, HFONT> systemFonts_;  // by character set
    std::map<int, HGDIOBJ> stock_;       // by stock index
    HBITMAP stockBitmap_ = nullptr;
    std::atomic<std::size_t> doubleDeletes_{0};
};

// The font character set that goes with an ANSI code page.
BYTE CharsetOfCodePage(UINT codePage);

}  // namespace sim
