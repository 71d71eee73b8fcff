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

struct GdiDc : GdiObject {
    HWND window = nullptr;  // NULL: the screen
    int dpi = 96;
    HFONT font = nullptr;  // currently selected font
    POINT viewportOrg{0, 0};
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

private:
    std::map<BYTE, HFONT> systemFonts_;  // by character set
};

// The font character set that goes with an ANSI code page.
BYTE CharsetOfCodePage(UINT codePage);

}  // namespace sim
