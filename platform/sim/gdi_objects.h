// The process's table of GDI objects: fonts and device contexts now; pens, brushes, bitmaps and
// regions are further kinds of GdiObject. Handles are never reused while the process runs.
#pragma once

#include <map>
#include <memory>

#include "platform/gdi.h"
#include "platform/sim/object_table.h"

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

// What a context draws with (pens, brushes, text colours; sim/gdi_tools.h).
struct DcDrawState;

struct GdiDc : GdiObject {
    GdiDc();
    ~GdiDc() override;
    HWND window = nullptr;  // NULL: the screen
    int dpi = 96;
    HFONT font = nullptr;  // currently selected font
    POINT viewportOrg{0, 0};
    std::unique_ptr<DcDrawState> draw;
    DWORD Type() const override { return OBJ_DC; }
};

class GdiTable : public ObjectTable<GdiObject> {
public:
    GdiTable() : ObjectTable(0x40000) {}
    static GdiTable& Get();

    // Add, Find and FindAs come from ObjectTable.
    // False when the handle is unknown.
    bool Remove(HGDIOBJ h);
    // Live objects that are not stock objects, of one type (OBJ_FONT, OBJ_DC, ...) or, with 0,
    // of every type.
    std::size_t LiveCount(DWORD type = 0);
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
};

// The font character set that goes with an ANSI code page.
BYTE CharsetOfCodePage(UINT codePage);

}  // namespace sim
