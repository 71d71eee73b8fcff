// The machine's control API for GDI+: a log of the drawing calls that graphics objects make (what
// anti-aliased pixels cannot show: the text, its rectangle, font, alignment, hint and clip), and
// the live GDI+ objects of the process, so that tests can see that nothing leaks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <gdiplus.h>

namespace control {

struct GdiplusCall {
    const void* graphics = nullptr;  // the Graphics object that made the call
    std::wstring call;               // "DrawString", "FillRectangle", "DrawImage", ...
    Gdiplus::Status status = Gdiplus::Ok;
    std::wstring text;          // DrawString, MeasureString
    Gdiplus::RectF rect;        // layout or destination rectangle, world units
    std::wstring family;        // the font's family name as asked for, for text
    Gdiplus::REAL emSize = 0;   // the font's size in its unit
    INT fontStyle = 0;          // FontStyle bits
    INT alignment = 0;          // StringAlignment of the format
    INT lineAlignment = 0;      // StringAlignment of the format
    INT formatFlags = 0;        // StringFormatFlags of the format
    INT textRenderingHint = 0;  // the graphics' hint at the call
    INT smoothingMode = 0;      // the graphics' smoothing mode at the call
    Gdiplus::ARGB color = 0;    // brush or pen colour
    bool clipped = false;       // whether a clip was set
    Gdiplus::Rect clip;         // its bounds in device pixels when clipped
    Gdiplus::REAL transform[6] = {1, 0, 0, 1, 0, 0};  // world transform at the call
};

// Switches the log on or off for every graphics object of the process (off at start).
void SetGdiplusLog(bool on);
// The calls logged since it was switched on or last cleared, in order.
std::vector<GdiplusCall> GdiplusLog();
void ClearGdiplusLog();

enum class GdiplusKind {
    Graphics,
    Image,  // images and bitmaps
    CachedBitmap,
    FontFamily,  // the generic families owned by GDI+ do not count
    Font,
    StringFormat,  // the generic formats owned by GDI+ do not count
    Pen,
    Brush,
    Path,
    Matrix,
    Region,
};

// Live GDI+ objects of one kind in the process.
std::size_t GdiplusLiveCount(GdiplusKind kind);

}  // namespace control
