// Pens, brushes, and what else a device context draws with: the colour and mode of its text,
// the current position.
#pragma once

#include <wingdi.h>
#include "machine/gdi_objects.h"

namespace sim {

struct GdiPen : GdiObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    bool dcPen = false;  // DC_PEN: the context's pen colour
    DWORD Type() const override { return OBJ_PEN; }
};

struct GdiBrush : GdiObject {
    bool hollow = false;
    COLORREF color = 0;
    bool dcBrush = false;  // DC_BRUSH: the context's brush colour
    DWORD Type() const override { return OBJ_BRUSH; }
};

// A context's drawing attributes besides its pen, brush and background colour (GdiDc).
struct DcDrawState {
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
    COLORREF dcBrushColor = 0x00FFFFFF;
    COLORREF dcPenColor = 0;
    POINT position{0, 0};
};

}  // namespace sim
