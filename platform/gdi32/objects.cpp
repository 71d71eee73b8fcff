#include <wingdi.h>

#include <cstring>
#include <cwchar>

#include <winbase.h>
#include <winnls.h>
#include "machine/gdi_objects.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/windows.h"
#include "machine/trace.h"

using sim::Fail;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    API_TRACE(Gdi, CreateFontIndirectW, font);
    if (font == nullptr) return Fail<HFONT>(nullptr, ERROR_INVALID_PARAMETER);
    auto obj = std::make_shared<sim::GdiFont>();
    obj->logFont = *font;
    // The face name ends within the array, as the platform keeps it.
    obj->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(sim::GdiTable::Get().Add(obj));
}

BOOL DeleteObject(HGDIOBJ object) {
    API_TRACE(Gdi, DeleteObject, object);
    auto& table = sim::GdiTable::Get();
    auto obj = table.Find(object);
    if (!obj) {
        // Deleted before, or never made: counted, so that tests see a double delete.
        if (object != nullptr) table.CountDoubleDelete();
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    }
    if (obj->Type() == OBJ_DC) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (obj->stock) return TRUE;
    // A bitmap selected into a context stays until it is selected out.
    if (auto bitmap = std::dynamic_pointer_cast<sim::GdiBitmap>(obj))
        if (table.Locked([&] { return bitmap->selectedInto != nullptr; }))
            return Fail(FALSE, ERROR_INVALID_PARAMETER);
    table.Remove(object);
    return TRUE;
}

namespace {

int CopyOut(const void* what, int need, int size, LPVOID buffer) {
    if (buffer == nullptr) return need;
    if (size <= 0) return Fail(0, ERROR_INVALID_PARAMETER);
    int copied = size < need ? size : need;
    std::memcpy(buffer, what, static_cast<size_t>(copied));
    return copied;
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    API_TRACE(Gdi, GetObjectW, object, size, buffer);
    auto obj = sim::GdiTable::Get().Find(object);
    if (auto font = std::dynamic_pointer_cast<sim::GdiFont>(obj))
        return CopyOut(&font->logFont, static_cast<int>(sizeof(LOGFONTW)), size, buffer);
    if (auto bitmap = std::dynamic_pointer_cast<sim::GdiBitmap>(obj)) {
        BITMAP b{};
        b.bmWidth = bitmap->width;
        b.bmHeight = bitmap->height;
        b.bmWidthBytes = bitmap->width * 4;
        b.bmPlanes = 1;
        b.bmBitsPixel = 32;
        b.bmBits = bitmap->dib ? bitmap->bits : nullptr;
        return CopyOut(&b, static_cast<int>(sizeof(BITMAP)), size, buffer);
    }
    return Fail(0, ERROR_INVALID_HANDLE);
}

DWORD GetObjectType(HGDIOBJ object) {
    API_TRACE(Gdi, GetObjectType, object);
    auto obj = sim::GdiTable::Get().Find(object);
    return obj ? obj->Type() : Fail<DWORD>(0, ERROR_INVALID_HANDLE);
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    API_TRACE(Gdi, GetCurrentObject, dc, type);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_HANDLE);
    switch (type) {
        case OBJ_FONT:
            return obj->font;
        case OBJ_PEN:
            return obj->pen;
        case OBJ_BRUSH:
            return obj->brush;
        case OBJ_BITMAP:
            // Only a memory context holds a bitmap.
            return obj->bitmap;
        default:
            break;
    }
    return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
}

int GetDeviceCaps(HDC dc, int index) {
    API_TRACE(Gdi, GetDeviceCaps, dc, index);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return 0;
    return index == LOGPIXELSX || index == LOGPIXELSY ? obj->dpi : 0;
}

// ---- The viewport origin ----

namespace {

// Moves the context's viewport origin to what `change` makes of it; the old one to `previous`.
template <class F>
BOOL ChangeViewport(HDC dc, LPPOINT previous, F change) {
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (previous != nullptr) *previous = obj->viewportOrg;
    change(obj->viewportOrg);
    return TRUE;
}

}  // namespace

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    API_TRACE(Gdi, SetViewportOrgEx, dc, x, y, previous);
    return ChangeViewport(dc, previous, [&](POINT& o) { o = {x, y}; });
}

BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
    API_TRACE(Gdi, GetViewportOrgEx, dc, origin);
    if (origin == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return ChangeViewport(dc, origin, [](POINT&) {});
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    API_TRACE(Gdi, OffsetViewportOrgEx, dc, dx, dy, previous);
    return ChangeViewport(dc, previous, [&](POINT& o) {
        o.x += dx;
        o.y += dy;
    });
}
