// GDI+: the object-oriented drawing interface (namespace Gdiplus), drawn with cairo, laid out
// with pango; image files are decoded by libpng, libjpeg-turbo, giflib and a BMP reader of ours.
// Colours are straight-alpha ARGB; every surface behind a Graphics is a premultiplied ARGB32 image.
// Every object keeps the status of its last failed call (GetLastStatus returns it and clears it).
// Objects are not copyable.
//
// Coordinates: pixel centres lie on integer coordinates, as on the platform. Strokes, paths,
// text and anti-aliased fills are drawn half a pixel off the cairo grid; image blits and aliased
// fills are not.
#pragma once

#include <cstdint>

#include <wingdi.h>
#include <winbase.h>
#include <windef.h>

// Palettes are never used by the system; the handle type exists for Bitmap(HBITMAP, HPALETTE).
struct HPALETTE__;
using HPALETTE = HPALETTE__*;

namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;
using PixelFormat = INT;
using GraphicsState = UINT;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// ---- Start-up ----

using DebugEventProc = void (*)(INT level, CHAR* message);

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
    GdiplusStartupInput(DebugEventProc callback = nullptr, BOOL suppressBackgroundThread = FALSE,
                        BOOL suppressExternalCodecs = FALSE)
        : GdiplusVersion(1),
          DebugEventCallback(callback),
          SuppressBackgroundThread(suppressBackgroundThread),
          SuppressExternalCodecs(suppressExternalCodecs) {}
};

struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

// Version 1 only (else UnsupportedGdiplusVersion). Starts may nest; each token is shut down once.
// The output may be null (SuppressBackgroundThread must then be FALSE).
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);
// Ends the start that gave the token; an unknown or repeated token is ignored.
void GdiplusShutdown(ULONG_PTR token);

// ---- Values ----

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

enum SmoothingMode {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
};

enum TextRenderingHint {
    TextRenderingHintSystemDefault = 0,
    TextRenderingHintSingleBitPerPixelGridFit = 1,
    TextRenderingHintSingleBitPerPixel = 2,
    TextRenderingHintAntiAliasGridFit = 3,
    TextRenderingHintAntiAlias = 4,
    TextRenderingHintClearTypeGridFit = 5,
};

enum CombineMode {
    CombineModeReplace = 0,
    CombineModeIntersect = 1,
    CombineModeUnion = 2,
    CombineModeXor = 3,
    CombineModeExclude = 4,
    CombineModeComplement = 5,
};

enum MatrixOrder {
    MatrixOrderPrepend = 0,
    MatrixOrderAppend = 1,
};

enum FillMode {
    FillModeAlternate = 0,
    FillModeWinding = 1,
};

enum DashStyle {
    DashStyleSolid = 0,
    DashStyleDash = 1,
    DashStyleDot = 2,
    DashStyleDashDot = 3,
    DashStyleDashDotDot = 4,
    DashStyleCustom = 5,
};

enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

enum StringAlignment {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

enum StringFormatFlags {
    StringFormatFlagsDirectionRightToLeft = 0x0001,
    StringFormatFlagsDirectionVertical = 0x0002,
    StringFormatFlagsNoFitBlackBox = 0x0004,
    StringFormatFlagsDisplayFormatControl = 0x0020,
    StringFormatFlagsNoFontFallback = 0x0400,
    StringFormatFlagsMeasureTrailingSpaces = 0x0800,
    StringFormatFlagsNoWrap = 0x1000,
    StringFormatFlagsLineLimit = 0x2000,
    StringFormatFlagsNoClip = 0x4000,
};

enum StringTrimming {
    StringTrimmingNone = 0,
    StringTrimmingCharacter = 1,
    StringTrimmingWord = 2,
    StringTrimmingEllipsisCharacter = 3,
    StringTrimmingEllipsisWord = 4,
    StringTrimmingEllipsisPath = 5,
};

enum ImageType {
    ImageTypeUnknown = 0,
    ImageTypeBitmap = 1,
    ImageTypeMetafile = 2,
};

// Pixel formats: only 32 bits per pixel are kept; PixelFormat32bppRGB is drawn opaque.
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

using DrawImageAbort = BOOL (*)(void* data);

struct Point {
    INT X = 0;
    INT Y = 0;
    Point() = default;
    Point(INT x, INT y) : X(x), Y(y) {}
};

struct PointF {
    REAL X = 0;
    REAL Y = 0;
    PointF() = default;
    PointF(REAL x, REAL y) : X(x), Y(y) {}
};

struct Size {
    INT Width = 0;
    INT Height = 0;
    Size() = default;
    Size(INT width, INT height) : Width(width), Height(height) {}
};

struct SizeF {
    REAL Width = 0;
    REAL Height = 0;
    SizeF() = default;
    SizeF(REAL width, REAL height) : Width(width), Height(height) {}
};

// A rectangle of integer (Rect) or real (RectF) coordinates.
template <class T, class P, class S>
struct BasicRect {
    T X = 0;
    T Y = 0;
    T Width = 0;
    T Height = 0;
    BasicRect() = default;
    BasicRect(T x, T y, T width, T height) : X(x), Y(y), Width(width), Height(height) {}
    BasicRect(const P& location, const S& size)
        : X(location.X), Y(location.Y), Width(size.Width), Height(size.Height) {}
    T GetLeft() const { return X; }
    T GetTop() const { return Y; }
    T GetRight() const { return X + Width; }
    T GetBottom() const { return Y + Height; }
    // True when the width or the height is not positive.
    BOOL IsEmptyArea() const { return Width <= 0 || Height <= 0; }
    BOOL Equals(const BasicRect& r) const {
        return X == r.X && Y == r.Y && Width == r.Width && Height == r.Height;
    }
    BOOL Contains(T x, T y) const { return x >= X && x < X + Width && y >= Y && y < Y + Height; }
    void Offset(T dx, T dy) {
        X += dx;
        Y += dy;
    }
    void Inflate(T dx, T dy) {
        X -= dx;
        Y -= dy;
        Width += 2 * dx;
        Height += 2 * dy;
    }
    // The common part of a and b in c; FALSE (and c empty) when they do not overlap.
    static BOOL Intersect(BasicRect& c, const BasicRect& a, const BasicRect& b) {
        const T left = a.X > b.X ? a.X : b.X;
        const T top = a.Y > b.Y ? a.Y : b.Y;
        const T right = a.GetRight() < b.GetRight() ? a.GetRight() : b.GetRight();
        const T bottom = a.GetBottom() < b.GetBottom() ? a.GetBottom() : b.GetBottom();
        c = BasicRect(left, top, right - left, bottom - top);
        if (c.IsEmptyArea()) {
            c = BasicRect();
            return FALSE;
        }
        return TRUE;
    }
    BOOL Intersect(const BasicRect& r) { return Intersect(*this, *this, r); }
    BOOL IntersectsWith(const BasicRect& r) const {
        return GetLeft() < r.GetRight() && GetTop() < r.GetBottom() && GetRight() > r.GetLeft() &&
               GetBottom() > r.GetTop();
    }
};
using Rect = BasicRect<INT, Point, Size>;
using RectF = BasicRect<REAL, PointF, SizeF>;

// A straight-alpha ARGB colour: alpha in the top byte, then red, green, blue.
class Color {
public:
    enum : ARGB {
        Black = 0xFF000000,
        White = 0xFFFFFFFF,
        Red = 0xFFFF0000,
        Green = 0xFF008000,
        Blue = 0xFF0000FF,
        Transparent = 0x00FFFFFF,
    };
    Color() : argb_(Black) {}
    Color(ARGB argb) : argb_(argb) {}
    Color(BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(a, r, g, b)) {}
    BYTE GetA() const { return static_cast<BYTE>(argb_ >> 24); }
    BYTE GetR() const { return static_cast<BYTE>(argb_ >> 16); }
    BYTE GetG() const { return static_cast<BYTE>(argb_ >> 8); }
    BYTE GetB() const { return static_cast<BYTE>(argb_); }
    BYTE GetAlpha() const { return GetA(); }
    BYTE GetRed() const { return GetR(); }
    BYTE GetGreen() const { return GetG(); }
    BYTE GetBlue() const { return GetB(); }
    ARGB GetValue() const { return argb_; }
    void SetValue(ARGB argb) { argb_ = argb; }
    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return (static_cast<ARGB>(a) << 24) | (static_cast<ARGB>(r) << 16) |
               (static_cast<ARGB>(g) << 8) | static_cast<ARGB>(b);
    }

private:
    ARGB argb_;
};

// ---- Objects ----

// Private state of the objects (defined in the implementation).
struct GpMatrix;
struct GpRegion;
struct GpImage;
struct GpCachedBitmap;
struct GpGraphics;
struct GpPen;
struct GpFontFamily;
struct GpFont;
struct GpStringFormat;
struct GpPath;

class Graphics;
class FontCollection;   // never defined: only the system's collection exists (null)
class ImageAttributes;  // never defined: drawing takes no image attributes (null)

// The base of every object: the last failed call's status.
class GdiplusBase {
public:
    GdiplusBase() = default;
    GdiplusBase(const GdiplusBase&) = delete;
    GdiplusBase& operator=(const GdiplusBase&) = delete;
    // The status of the last failed call (Ok when none failed since the last read); reading
    // clears it.
    Status GetLastStatus() const;

protected:
    // Records a failure; returns status.
    Status SetStatus(Status status) const;

private:
    mutable Status lastResult_ = Ok;
};

// A 3x2 affine matrix (m11, m12, m21, m22, dx, dy): x' = m11 x + m21 y + dx,
// y' = m12 x + m22 y + dy.
class Matrix : public GdiplusBase {
public:
    Matrix();
    Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
    ~Matrix();
    Matrix* Clone() const;
    Status GetElements(REAL* m) const;  // six values
    Status SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
    REAL OffsetX() const;
    REAL OffsetY() const;
    Status Reset();
    Status Translate(REAL offsetX, REAL offsetY, MatrixOrder order = MatrixOrderPrepend);
    Status Scale(REAL scaleX, REAL scaleY, MatrixOrder order = MatrixOrderPrepend);
    Status Multiply(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend);
    BOOL IsIdentity() const;
    BOOL Equals(const Matrix* matrix) const;

private:
    friend class Graphics;
    GpMatrix* m_;
};

// A set of whole pixels (rectangles are rounded to the pixel grid), or the infinite region.
class Region : public GdiplusBase {
public:
    Region();  // infinite
    explicit Region(const Rect& rect);
    explicit Region(const RectF& rect);
    ~Region();
    Region* Clone() const;
    Status MakeInfinite();
    Status MakeEmpty();
    Status Intersect(const Rect& rect);
    Status Intersect(const RectF& rect);
    Status Intersect(const Region* region);
    Status Union(const Rect& rect);
    Status Union(const RectF& rect);
    Status Union(const Region* region);
    Status Exclude(const Rect& rect);
    Status Exclude(const RectF& rect);
    Status Exclude(const Region* region);
    Status Translate(INT dx, INT dy);
    // The bounding box (in world units of the graphics when given; the region's own otherwise).
    Status GetBounds(Rect* rect, const Graphics* g) const;
    Status GetBounds(RectF* rect, const Graphics* g) const;
    BOOL IsEmpty(const Graphics* g) const;
    BOOL IsInfinite(const Graphics* g) const;
    BOOL IsVisible(INT x, INT y, const Graphics* g = nullptr) const;
    BOOL Equals(const Region* region, const Graphics* g) const;

private:
    friend class Graphics;
    GpRegion* r_;
};

class Image : public GdiplusBase {
public:
    // Decodes the file (PNG, JPEG, BMP, GIF). A file that cannot be read or decoded gives an
    // image of width and height 0 and a failed last status.
    explicit Image(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    static Image* FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    virtual Image* Clone();

    UINT GetWidth();
    UINT GetHeight();
    REAL GetHorizontalResolution();
    REAL GetVerticalResolution();
    PixelFormat GetPixelFormat();
    ImageType GetType();

protected:
    Image();
    friend class Graphics;
    friend class CachedBitmap;
    GpImage* img_;
};

class Bitmap : public Image {
public:
    explicit Bitmap(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    // A transparent bitmap (every pixel 0x00000000); 32 bits per pixel formats only.
    Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
    // An opaque copy of a GDI bitmap (alpha 0xFF); the palette is ignored.
    Bitmap(HBITMAP bitmap, HPALETTE palette);
    ~Bitmap() override;
    static Bitmap* FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    static Bitmap* FromHBITMAP(HBITMAP bitmap, HPALETTE palette);
    Bitmap* Clone() override;

    // Straight-alpha colour of one pixel.
    Status GetPixel(INT x, INT y, Color* color);
    Status SetPixel(INT x, INT y, const Color& color);
    // Dots per inch (96 unless the file or this call says otherwise).
    Status SetResolution(REAL xdpi, REAL ydpi);

protected:
    Bitmap() = default;
};

// A copy of a bitmap prepared for one graphics: drawn only at integer positions, under a world
// transform that is at most a translation.
class CachedBitmap : public GdiplusBase {
public:
    CachedBitmap(Bitmap* bitmap, Graphics* graphics);
    ~CachedBitmap();

private:
    friend class Graphics;
    GpCachedBitmap* c_;
};

class Brush : public GdiplusBase {
public:
    virtual ~Brush();
    virtual Brush* Clone() const = 0;

protected:
    Brush() = default;
    friend class Graphics;
    ARGB color_ = Color::Black;
};

class SolidBrush : public Brush {
public:
    explicit SolidBrush(const Color& color);
    SolidBrush* Clone() const override;
    Status GetColor(Color* color) const;
    Status SetColor(const Color& color);
};

class Pen : public GdiplusBase {
public:
    explicit Pen(const Color& color, REAL width = 1.0f);
    ~Pen();
    Pen* Clone() const;
    Status SetColor(const Color& color);
    Status GetColor(Color* color) const;
    Status SetWidth(REAL width);
    REAL GetWidth() const;
    // Dash patterns are multiples of the pen's width: dash 3 gap 1, dot 1 gap 1, ...
    Status SetDashStyle(DashStyle style);
    DashStyle GetDashStyle() const;
    // Lengths (in widths) of dash, gap, dash, ...; sets DashStyleCustom.
    Status SetDashPattern(const REAL* dashArray, INT count);
    INT GetDashPatternCount() const;
    Status GetDashPattern(REAL* dashArray, INT count) const;

private:
    friend class Graphics;
    GpPen* p_;
};

// A font family of the machine's font table (names match without regard to case).
class FontFamily : public GdiplusBase {
public:
    FontFamily();  // no family: IsAvailable is FALSE
    // FontFamilyNotFound when the machine has no family of the name.
    explicit FontFamily(const WCHAR* name, const FontCollection* collection = nullptr);
    ~FontFamily();
    // Owned by GDI+ and alive for the process: never delete them.
    static const FontFamily* GenericSansSerif();
    static const FontFamily* GenericSerif();
    static const FontFamily* GenericMonospace();
    FontFamily* Clone() const;
    BOOL IsAvailable() const;
    Status GetFamilyName(WCHAR name[LF_FACESIZE], LANGID language = 0) const;

private:
    friend class Font;
    friend class GraphicsPath;
    friend class Graphics;
    // A generic family for the process: the name's host family from the font table, or `host`
    // when the table has none for it (or always, with `always`).
    static FontFamily* MakeGeneric(const WCHAR* name, const char* host, bool always);
    GpFontFamily* f_;
};

class Font : public GdiplusBase {
public:
    // emSize in the unit (points at 96 dots per inch by default; pixels with UnitPixel).
    Font(const FontFamily* family, REAL emSize, INT style = FontStyleRegular,
         Unit unit = UnitPoint);
    Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint,
         const FontCollection* collection = nullptr);
    ~Font();
    Font* Clone() const;
    BOOL IsAvailable() const;
    Status GetFamily(FontFamily* family) const;
    REAL GetSize() const;
    INT GetStyle() const;
    Unit GetUnit() const;
    // Line spacing in pixels at the dots per inch.
    REAL GetHeight(REAL dpi) const;
    REAL GetHeight(const Graphics* graphics) const;

private:
    friend class Graphics;
    GpFont* f_;
};

class StringFormat : public GdiplusBase {
public:
    explicit StringFormat(INT formatFlags = 0, LANGID language = LANG_NEUTRAL);
    explicit StringFormat(const StringFormat* format);
    ~StringFormat();
    // Owned by GDI+: never delete them. The default one pads about 1/6 em each side, wraps at
    // words and clips; the typographic one has no padding and does not clip.
    static const StringFormat* GenericDefault();
    static const StringFormat* GenericTypographic();
    StringFormat* Clone() const;
    Status SetFormatFlags(INT flags);
    INT GetFormatFlags() const;
    Status SetAlignment(StringAlignment align);
    StringAlignment GetAlignment() const;
    Status SetLineAlignment(StringAlignment align);
    StringAlignment GetLineAlignment() const;
    Status SetTrimming(StringTrimming trimming);
    StringTrimming GetTrimming() const;

private:
    friend class Graphics;
    friend class GraphicsPath;
    GpStringFormat* s_;
};

// Figures of lines, arcs and text outlines. Each AddLine or AddArc joins the previous end point
// of the open figure with a line; drawing does not close an open figure.
class GraphicsPath : public GdiplusBase {
public:
    explicit GraphicsPath(FillMode fillMode = FillModeAlternate);
    ~GraphicsPath();
    GraphicsPath* Clone() const;
    Status Reset();
    Status StartFigure();
    Status CloseFigure();
    Status AddLine(INT x1, INT y1, INT x2, INT y2);
    Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
    Status AddLine(const Point& a, const Point& b);
    Status AddLine(const PointF& a, const PointF& b);
    // An elliptical arc of the ellipse in the rectangle, angles in degrees clockwise from the
    // x axis. A zero-width or zero-height ellipse gives a point.
    Status AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
    Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
    Status AddArc(const Rect& rect, REAL startAngle, REAL sweepAngle);
    Status AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle);
    Status AddRectangle(const Rect& rect);
    Status AddRectangle(const RectF& rect);
    // The outline of text laid out as DrawString would (emSize in world units).
    Status AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                     REAL emSize, const RectF& layoutRect, const StringFormat* format);
    Status AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                     REAL emSize, const Rect& layoutRect, const StringFormat* format);
    Status AddString(const WCHAR* string, INT length, const FontFamily* family, INT style,
                     REAL emSize, const PointF& origin, const StringFormat* format);
    INT GetPointCount() const;
    Status GetBounds(RectF* bounds, const Matrix* matrix = nullptr, const Pen* pen = nullptr) const;
    Status GetLastPoint(PointF* point) const;

private:
    friend class Graphics;
    GpPath* p_;
};

class Graphics : public GdiplusBase {
public:
    // Draws into what lies behind the device context (its bitmap, or the window).
    explicit Graphics(HDC dc);
    // Draws into a bitmap.
    explicit Graphics(Image* image);
    static Graphics* FromHDC(HDC dc);
    static Graphics* FromImage(Image* image);
    ~Graphics();

    Status Flush();
    Status Clear(const Color& color);

    Status SetSmoothingMode(SmoothingMode mode);
    SmoothingMode GetSmoothingMode() const;
    Status SetTextRenderingHint(TextRenderingHint hint);
    TextRenderingHint GetTextRenderingHint() const;
    REAL GetDpiX() const;
    REAL GetDpiY() const;

    Status SetWorldTransform(const Matrix* matrix);
    Status GetTransform(Matrix* matrix) const;
    Status ResetTransform();
    Status TranslateTransform(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend);
    Status ScaleTransform(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend);
    Status MultiplyTransform(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend);

    // Clip rectangles are in world units (under the current transform: its bounding box).
    Status SetClip(const Rect& rect, CombineMode mode = CombineModeReplace);
    Status SetClip(const RectF& rect, CombineMode mode = CombineModeReplace);
    Status SetClip(const Region* region, CombineMode mode = CombineModeReplace);
    Status SetClip(const Graphics* g, CombineMode mode = CombineModeReplace);
    Status IntersectClip(const Rect& rect);
    Status ExcludeClip(const Rect& rect);
    Status ResetClip();
    Status GetClip(Region* region) const;
    Status GetClipBounds(Rect* rect) const;
    Status GetClipBounds(RectF* rect) const;
    BOOL IsClipEmpty() const;

    Status DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2);
    Status DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
    Status DrawLine(const Pen* pen, const Point& a, const Point& b);
    Status DrawLine(const Pen* pen, const PointF& a, const PointF& b);
    Status DrawRectangle(const Pen* pen, INT x, INT y, INT width, INT height);
    Status DrawRectangle(const Pen* pen, REAL x, REAL y, REAL width, REAL height);
    Status DrawRectangle(const Pen* pen, const Rect& rect);
    Status DrawRectangle(const Pen* pen, const RectF& rect);
    Status DrawPath(const Pen* pen, const GraphicsPath* path);

    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillRectangle(const Brush* brush, const Rect& rect);
    Status FillRectangle(const Brush* brush, const RectF& rect);
    Status FillPath(const Brush* brush, const GraphicsPath* path);

    // At a point: the image's natural size at its resolution (a 192-dpi image draws at half
    // its pixel size on a 96-dpi graphics).
    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, REAL x, REAL y);
    Status DrawImage(Image* image, const Point& point);
    Status DrawImage(Image* image, const PointF& point);
    // Stretched to the destination.
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, const Rect& dest);
    Status DrawImage(Image* image, const RectF& dest);
    // The source rectangle at its own size at (x, y).
    Status DrawImage(Image* image, INT x, INT y, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                     Unit srcUnit);
    Status DrawImage(Image* image, REAL x, REAL y, REAL srcx, REAL srcy, REAL srcwidth,
                     REAL srcheight, Unit srcUnit);
    // The source rectangle (pixel units) stretched to the destination, bilinear; the part of
    // the source rectangle outside the image is transparent. Negative sizes mirror.
    Status DrawImage(Image* image, const Rect& dest, INT srcx, INT srcy, INT srcwidth,
                     INT srcheight, Unit srcUnit, const ImageAttributes* attributes = nullptr,
                     DrawImageAbort callback = nullptr, void* callbackData = nullptr);
    Status DrawImage(Image* image, const RectF& dest, REAL srcx, REAL srcy, REAL srcwidth,
                     REAL srcheight, Unit srcUnit, const ImageAttributes* attributes = nullptr,
                     DrawImageAbort callback = nullptr, void* callbackData = nullptr);
    // WrongState when the world transform is more than a translation.
    Status DrawCachedBitmap(CachedBitmap* cached, INT x, INT y);

    // Text in a layout rectangle (an empty width or height: unbounded that way) or from a point.
    Status DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                      const StringFormat* format, const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                      const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                      const StringFormat* format, const Brush* brush);
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                         const StringFormat* format, RectF* boundingBox,
                         INT* codepointsFitted = nullptr, INT* linesFilled = nullptr) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                         RectF* boundingBox) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                         const StringFormat* format, RectF* boundingBox) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                         RectF* boundingBox) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font,
                         const SizeF& layoutRectSize, const StringFormat* format, SizeF* size,
                         INT* codepointsFitted = nullptr, INT* linesFilled = nullptr) const;

private:
    friend class CachedBitmap;
    friend class Region;
    friend class Font;
    GpGraphics* g_;
};

}  // namespace Gdiplus
