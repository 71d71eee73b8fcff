// Graphics device interface: GDI objects (fonts so far) and device contexts (the screen's so far).
// GetDC and ReleaseDC belong to the window manager; they live here.
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
