// Inside the layer: the private state of the GDI+ objects and what their implementation files
// share (live counts, the call log, text conversion, the pango set-up of a font).
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "machine/control/gdiplus_log.h"
#include <gdiplus.h>

namespace Gdiplus {

using control::GdiplusKind;

namespace detail {

// Live objects by kind.
void Born(GdiplusKind kind);
void Died(GdiplusKind kind);
std::size_t Live(GdiplusKind kind);

bool LogOn();
void Log(control::GdiplusCall call);
void SetLog(bool on);
std::vector<control::GdiplusCall> LogCopy();
void ClearLog();

std::string Utf8(const WCHAR* text, INT length);  // length -1: up to the terminating zero

}  // namespace detail

// Rectangles in the API trace (found by argument-dependent lookup).
inline void TraceArg(std::wostringstream& out, const Rect& r) {
    out << L"{" << r.X << L"," << r.Y << L"," << r.Width << L"," << r.Height << L"}";
}
inline void TraceArg(std::wostringstream& out, const RectF& r) {
    out << L"{" << r.X << L"," << r.Y << L"," << r.Width << L"," << r.Height << L"}";
}

struct GpMatrix {
    cairo_matrix_t m;
};

// Puts op before (prepend: points go through op first) or after m.
void Compose(cairo_matrix_t* m, const cairo_matrix_t& op, MatrixOrder order);
// Finite and invertible: cairo can draw under it.
bool Usable(const cairo_matrix_t& m);

// Whole pixels of the device (the graphics' page before its world transform), or infinite.
struct GpRegion {
    bool infinite = true;
    cairo_region_t* rgn = nullptr;  // when not infinite

    GpRegion();
    ~GpRegion();
    GpRegion(const GpRegion&) = delete;
    GpRegion& operator=(const GpRegion&) = delete;
    GpRegion(GpRegion&& other) noexcept : infinite(other.infinite), rgn(other.rgn) {
        other.rgn = nullptr;
        other.infinite = true;
    }
    void CopyFrom(const GpRegion& other);
    void SetEmpty();
    void SetInfinite();
    void Combine(const GpRegion& other, CombineMode mode);
};

// Pixels rounded from a rectangle in device coordinates (edges at the nearest pixel boundary).
cairo_rectangle_int_t PixelRect(double x0, double y0, double x1, double y1);

struct GpImage {
    cairo_surface_t* surface = nullptr;  // premultiplied ARGB32; null: no picture
    int width = 0;
    int height = 0;
    double dpiX = 96;
    double dpiY = 96;
    PixelFormat format = PixelFormat32bppARGB;
    std::atomic<bool> busy{false};  // drawn, or drawn into, by one thread at a time

    ~GpImage();
};

// Decodes an image file's bytes (PNG, JPEG, BMP, GIF) into a premultiplied ARGB32 surface with
// the resolution the file states; the image is left without a picture on failure.
Status DecodeImage(const unsigned char* data, std::size_t size, GpImage* image);
void FileResolution(const unsigned char* data, std::size_t size, double* dpiX, double* dpiY);

struct GpCachedBitmap {
    cairo_surface_t* surface = nullptr;
    int width = 0;
    int height = 0;
};

struct GpPen {
    ARGB color = Color::Black;
    REAL width = 1;
    DashStyle dash = DashStyleSolid;
    std::vector<REAL> pattern;  // custom, in widths
};

struct GpFontFamily {
    std::wstring name;       // as asked for
    std::string hostFamily;  // what draws it; empty: no family
    bool owned = false;      // a generic family: never freed by callers
};

struct GpFont {
    std::wstring familyName;
    std::string hostFamily;  // empty: not available
    REAL size = 0;
    INT style = 0;
    Unit unit = UnitPoint;
};

struct GpStringFormat {
    INT flags = 0;
    StringAlignment align = StringAlignmentNear;
    StringAlignment lineAlign = StringAlignmentNear;
    StringTrimming trimming = StringTrimmingCharacter;
    bool typographic = false;  // no padding
    bool owned = false;
};

struct PathOp {
    enum Kind { Move, Line, Curve, Close } kind;
    PointF p[3];
};

struct GpPath {
    FillMode fill = FillModeAlternate;
    std::vector<PathOp> ops;
    bool figureOpen = false;  // the last op continues a figure that AddLine/AddArc extends
    PointF last;
};

// Adds the path's figures to cr's current path.
void AppendPath(cairo_t* cr, const GpPath& path);

struct GpGraphics {
    cairo_surface_t* surface = nullptr;  // null: nothing to draw on
    int originX = 0;                     // where the page's (0, 0) lies on the surface
    int originY = 0;
    cairo_region_t* baseClip = nullptr;  // the device context's clip in surface pixels, or null
    HDC dc = nullptr;                    // drawing into a device context: report each drawing
    GpImage* image = nullptr;            // drawing into an image
    cairo_matrix_t world;
    GpRegion clip;  // page pixels
    SmoothingMode smoothing = SmoothingModeDefault;
    TextRenderingHint hint = TextRenderingHintSystemDefault;

    ~GpGraphics();
    // A context on the surface: page origin, clips and world transform applied; null when the
    // graphics has nothing to draw on. Destroy it with Done.
    // halfPixel: pixel centres on integer coordinates (strokes, paths, text, anti-aliased
    // fills).
    cairo_t* Begin(bool halfPixel) const;
    void Done(cairo_t* cr) const;
    bool AntiAliased() const {
        return smoothing == SmoothingModeHighQuality || smoothing == SmoothingModeAntiAlias;
    }
    // The call's common log fields.
    control::GdiplusCall LogEntry(const void* self, const wchar_t* call, Status status) const;
};

// Text layout shared by DrawString, MeasureString and AddString: the layout of the text with
// the font (pixel size) and the format in the rectangle (an empty width or height: unbounded
// that way), where it lands, and the rectangle that the default format clips to.
struct TextLayout {
    PangoLayout* layout = nullptr;  // null: nothing to lay out
    double x = 0;                   // where the layout's top-left goes, world units
    double y = 0;
    RectF box;   // the measured box: text plus padding, where drawn
    RectF clip;  // clip rectangle (when clipped)
    bool clipped = false;
    INT codepoints = 0;  // shown
    INT lines = 0;       // shown

    TextLayout() = default;
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;
    ~TextLayout();
};

// Lays out `text` on cr (whose font options carry the rendering hint). pixelSize > 0.
void LayOutText(cairo_t* cr, const std::string& utf8, const std::string& hostFamily,
                double pixelSize, INT style, const GpStringFormat& format, const RectF& rect,
                bool fromPoint, TextLayout* out);
const GpStringFormat& DefaultFormat();

}  // namespace Gdiplus
