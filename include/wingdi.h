// Graphics device interface: GDI objects (fonts, bitmaps, regions), device contexts (screen,
// window, paint, memory), blits and layered windows. GetDC, GetDCEx, ReleaseDC and the layered
// window calls belong to the window manager; they live here.
#pragma once

#include <windef.h>

// Typed handles convert to HGDIOBJ, as on the platform.
using HGDIOBJ = void*;
struct HDC__ {
    int unused;
};
struct HFONT__ {
    int unused;
};
struct HPEN__ {
    int unused;
};
struct HBRUSH__ {
    int unused;
};
struct HBITMAP__ {
    int unused;
};
struct HRGN__ {
    int unused;
};
using HDC = HDC__*;
using HFONT = HFONT__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HBITMAP = HBITMAP__*;
using HRGN = HRGN__*;

// Object types (GetObjectType, GetCurrentObject).
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8

// 0x00BBGGRR.
using COLORREF = DWORD;
#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)((c)&0xFF))
#define GetGValue(c) ((BYTE)(((c) >> 8) & 0xFF))
#define GetBValue(c) ((BYTE)(((c) >> 16) & 0xFF))
#define CLR_INVALID 0xFFFFFFFFu

#define LF_FACESIZE 32

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define EASTEUROPE_CHARSET 238
#define RUSSIAN_CHARSET 204

#define LOGPIXELSX 88
#define LOGPIXELSY 90

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
using LPLOGFONTW = LOGFONTW*;

// A font record from the description; the face name is cut at LF_FACESIZE - 1 characters.
HFONT CreateFontIndirectW(const LOGFONTW* font);
// Frees a font (or, later, pen, brush, bitmap, region). A stock object is left alone (TRUE);
// a device context or an unknown handle gives FALSE.
BOOL DeleteObject(HGDIOBJ object);
// The object's description: for a font a LOGFONTW. With a null buffer, the size it needs;
// otherwise the bytes copied (at most size); 0 for an unknown handle.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
// OBJ_FONT, OBJ_DC, ...; 0 for an unknown handle.
DWORD GetObjectType(HGDIOBJ object);
// The object of the type currently selected into the device context (a new screen context holds
// the system font); NULL for an unknown context or a type it does not hold.
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
// LOGPIXELSX / LOGPIXELSY of the context (the screen has 96 dots per inch); 0 for other indexes.
int GetDeviceCaps(HDC dc, int index);

// The context's viewport origin: the device point where logical (0, 0) lies (0, 0 at first).
// Each returns the previous origin through `previous` when it is not NULL.
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous);

// A device context for the window's client area, or for the whole screen when window is NULL.
// Release each with ReleaseDC (with the same window).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// ---- Device contexts ----

// GetDCEx flags.
#define DCX_WINDOW 0x00000001u
#define DCX_CACHE 0x00000002u
#define DCX_CLIPCHILDREN 0x00000008u
#define DCX_CLIPSIBLINGS 0x00000010u
#define DCX_PARENTCLIP 0x00000020u
#define DCX_EXCLUDERGN 0x00000040u
#define DCX_INTERSECTRGN 0x00000080u
#define DCX_VALIDATE 0x00200000u

// Like GetDC, with the clip region intersected (DCX_INTERSECTRGN) or excluded (DCX_EXCLUDERGN),
// in client coordinates; when the call succeeds, the region is the system's (it is deleted here:
// the caller must not use or free it again). The other flags change nothing here: window contexts
// never draw over siblings or children, which live in the same backing surface only where they
// are visible.
HDC GetDCEx(HWND window, HRGN clip, DWORD flags);
// A memory context, holding the stock 1x1 bitmap; dc may be NULL (the screen) or any context.
HDC CreateCompatibleDC(HDC dc);
// Frees a memory context; the bitmap selected into it stays alive and may be selected again.
// FALSE for an unknown handle or a window, paint or screen context (ReleaseDC and EndPaint free
// those).
BOOL DeleteDC(HDC dc);
// Selects a font, pen, brush or bitmap and returns the one it replaces; a region becomes the
// clip (a copy) and the answer is the region's kind. NULL for an unknown context or object, a
// bitmap into a context other than a memory one, or a bitmap already selected into another
// context (a bitmap lives in one context at a time).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// The background colour used by text and blits' monochrome conversions; returns the previous
// one (CLR_INVALID for an unknown context).
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);

// ---- Bitmaps ----

#define BI_RGB 0
#define DIB_RGB_COLORS 0

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

// A 32-bit DIB section: header size 40, 32 bits per pixel, BI_RGB, one plane, width and height
// not 0 (a positive height: bottom-up rows, the first row in memory is the bottom one; a
// negative one: top-down). Its pixels start zero-filled; *bits receives them (premultiplied
// 0xAARRGGBB, 4 bytes per pixel, no row padding). The pixels are the same memory the drawing
// calls use: a program that writes them directly needs no flush. Other formats, a section
// handle, or usage other than DIB_RGB_COLORS fail with ERROR_INVALID_PARAMETER.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A 32-bit bitmap of that size, zero-filled (black). Every compatible bitmap here has 32 bits
// per pixel, also for a memory context holding its stock bitmap (the platform would make a
// monochrome one).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// The dimension a program recorded for the bitmap (in 0.1 mm; 0, 0 until set).
BOOL SetBitmapDimensionEx(HBITMAP bitmap, int width, int height, LPSIZE previous);
BOOL GetBitmapDimensionEx(HBITMAP bitmap, LPSIZE size);

// Raster operations.
#define SRCCOPY 0x00CC0020u
#define SRCINVERT 0x00660046u
#define DSTINVERT 0x00550009u

// Copies (SRCCOPY) or exclusive-ors (SRCINVERT) the source rectangle into the destination,
// within the destination's clip; only what lies within the source's bitmap or surface is
// copied. Into a window or the screen the source's alpha is ignored (the pixels become opaque);
// between memory contexts all four bytes are copied. SRCINVERT exclusive-ors red, green and
// blue and keeps the destination's alpha.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// DSTINVERT: inverts red, green and blue of the rectangle (alpha stays), within the clip.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// ---- Regions ----

#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// dest = src1 op src2 (RGN_COPY: src1); the kind of the result, or ERROR.
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
// The bounding box and the region's kind (an empty region: an empty box, NULLREGION).
int GetRgnBox(HRGN region, LPRECT box);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL PtInRegion(HRGN region, int x, int y);
// Makes a copy of the region (device coordinates) the context's clip; NULL removes the clip.
// The kind of the new clip, or ERROR.
int SelectClipRgn(HDC dc, HRGN region);
// Copies the context's clip into the region: 1, or 0 when the context has no clip (the region is
// left alone), -1 on error.
int GetClipRgn(HDC dc, HRGN region);
// The clip becomes its intersection with the rectangle (logical coordinates; without a clip, the
// rectangle). The kind of the new clip, or ERROR.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);

// ---- Layered windows ----

#define WS_EX_LAYERED 0x00080000u
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01
#define ULW_COLORKEY 0x00000001u
#define ULW_ALPHA 0x00000002u
#define ULW_OPAQUE 0x00000004u
#define LWA_COLORKEY 0x00000001u
#define LWA_ALPHA 0x00000002u

struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};

// Hands a layered top-level window its whole picture: `size` pixels of the source context from
// `sourcePoint`, shown at `position` (the window moves and takes that size; NULL keeps them).
// ULW_COLORKEY makes `key` (0x00BBGGRR) transparent; ULW_ALPHA applies the blend's constant
// alpha and, with AC_SRC_ALPHA, the source's premultiplied per-pixel alpha. Fails for a window
// without WS_EX_LAYERED, a child, or one given SetLayeredWindowAttributes since it became
// layered.
BOOL UpdateLayeredWindow(HWND window, HDC screenDc, POINT* position, SIZE* size, HDC source,
                         POINT* sourcePoint, COLORREF key, BLENDFUNCTION* blend, DWORD flags);
// A layered window keeps drawing through its contexts; the screen shows it with the colour key
// (LWA_COLORKEY) transparent and the constant alpha (LWA_ALPHA). Fails for a window without
// WS_EX_LAYERED, or one given UpdateLayeredWindow since it became layered.
BOOL SetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags);

// ---- Pens, brushes, stock objects (gdi32/draw.cpp) ----
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

// The classic colour scheme's indexes (GetSysColor, GetSysColorBrush).
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_HOTLIGHT 26
#define COLOR_GRADIENTACTIVECAPTION 27
#define COLOR_GRADIENTINACTIVECAPTION 28
#define COLOR_MENUHILIGHT 29
#define COLOR_MENUBAR 30
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT

// A pen of the style (PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL), width in
// pixels (0 counts as 1) and colour. Styled pens are one pixel wide.
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// BS_SOLID and BS_NULL.
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// The stock object of the index (the brushes, pens and fonts above); never deleted.
HGDIOBJ GetStockObject(int index);
// The classic scheme's colour of the index; 0 for an unknown index.
DWORD GetSysColor(int index);
// A stock brush of the index's colour, or NULL for an unknown index.
HBRUSH GetSysColorBrush(int index);
// The colour DC_BRUSH / DC_PEN paint with; the previous one, or CLR_INVALID.
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);

// ---- Drawing (gdi32/draw.cpp). Coordinates are logical; a rectangle covers the pixels from its
// left/top up to, not including, its right/bottom. Nothing is anti-aliased. ----
// A brush handle may also be a system colour index + 1 (as window classes give them).
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
// The outline with the pen, the inside with the brush; the outline lies inside the rectangle.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
// From the current position up to, not including, (x, y), which becomes the current position.
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Polygon(HDC dc, const POINT* points, int count);

#define BDR_RAISEDOUTER 0x0001u
#define BDR_SUNKENOUTER 0x0002u
#define BDR_RAISEDINNER 0x0004u
#define BDR_SUNKENINNER 0x0008u
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001u
#define BF_TOP 0x0002u
#define BF_RIGHT 0x0004u
#define BF_BOTTOM 0x0008u
#define BF_TOPLEFT (BF_TOP | BF_LEFT)
#define BF_BOTTOMRIGHT (BF_BOTTOM | BF_RIGHT)
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_MIDDLE 0x0800u
#define BF_SOFT 0x1000u
#define BF_ADJUST 0x2000u
#define BF_FLAT 0x4000u
#define BF_MONO 0x8000u
// The 3D edge: each border (outer, then inner) one pixel wide, its top and left in the light
// colour and its bottom and right in the dark one. BF_MIDDLE fills what remains with the face
// colour; BF_ADJUST leaves that remainder in *rect.
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
// A dotted frame that a second call takes away again (every other pixel inverted).
BOOL DrawFocusRect(HDC dc, const RECT* rect);

#define DFC_BUTTON 4
#define DFCS_BUTTONCHECK 0x0000u
#define DFCS_BUTTONRADIO 0x0004u
#define DFCS_BUTTONPUSH 0x0010u
#define DFCS_INACTIVE 0x0100u
#define DFCS_PUSHED 0x0200u
#define DFCS_CHECKED 0x0400u
// DFC_BUTTON's check box, radio button and push button in the rectangle.
BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);

// ---- Text (gdi32/text.cpp): laid out by pango with the selected font ----
#define TRANSPARENT 1
#define OPAQUE 2
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
// TRANSPARENT or OPAQUE (the background colour behind the text); the previous mode, 0 on error.
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using LPTEXTMETRICW = TEXTMETRICW*;

#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u

// The text's top-left at (x, y).
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// ETO_OPAQUE fills the rectangle with the background colour first; ETO_CLIPPED keeps the text
// inside it. Character spacing (dx) is taken from the font.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size);
BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);

#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_EDITCONTROL 0x00002000u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_HIDEPREFIX 0x00100000u
// Text in the rectangle: count -1 for a terminated text. '&' underlines the next character
// ("&&" is one '&') unless DT_NOPREFIX. DT_CALCRECT draws nothing and sets the rectangle's right
// and bottom to the text's extent. Returns the text's height (with DT_VCENTER or DT_BOTTOM the
// distance from the top of the rectangle to the text's bottom); 0 on error.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
