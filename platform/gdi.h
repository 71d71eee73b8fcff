// Graphics device interface: GDI objects (fonts, bitmaps, regions), device contexts (screen,
// window, paint, memory), blits and layered windows. GetDC, GetDCEx, ReleaseDC and the layered
// window calls belong to the window manager; they live here.
#pragma once

#include "platform/wintypes.h"

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
// in client coordinates. The other flags change nothing here: window contexts never draw over
// siblings or children, which live in the same backing surface only where they are visible.
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
