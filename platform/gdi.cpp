#include "platform/gdi.h"

#include <cstring>
#include <cwchar>

#include "platform/kernel.h"
#include "platform/nls.h"
#include "platform/sim/gdi_objects.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/windows.h"
#include "platform/sim/trace.h"

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
    auto obj = sim::GdiTable::Get().Find(object);
    if (!obj || obj->Type() == OBJ_DC) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (obj->stock) return TRUE;
    sim::GdiTable::Get().Remove(object);
    return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    API_TRACE(Gdi, GetObjectW, object, size, buffer);
    auto font = sim::GdiTable::Get().FindAs<sim::GdiFont>(object);
    if (!font) return Fail(0, ERROR_INVALID_HANDLE);
    int need = static_cast<int>(sizeof(LOGFONTW));
    if (buffer == nullptr) return need;
    if (size <= 0) return Fail(0, ERROR_INVALID_PARAMETER);
    int copied = size < need ? size : need;
    std::memcpy(buffer, &font->logFont, static_cast<size_t>(copied));
    return copied;
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
    if (type == OBJ_FONT) return obj->font;
    return Fail<HGDIOBJ>(nullptr, ERROR_INVALID_PARAMETER);
}

int GetDeviceCaps(HDC dc, int index) {
    API_TRACE(Gdi, GetDeviceCaps, dc, index);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj) return 0;
    return index == LOGPIXELSX || index == LOGPIXELSY ? obj->dpi : 0;
}

HDC GetDC(HWND window) {
    API_TRACE(Gdi, GetDC, window);
    if (window != nullptr && !sim::machine().windows().Exists(window))
        return Fail<HDC>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    auto obj = std::make_shared<sim::GdiDc>();
    obj->window = window;
    obj->font = sim::GdiTable::Get().SystemFont(GetACP());
    return static_cast<HDC>(sim::GdiTable::Get().Add(obj));
}

int ReleaseDC(HWND window, HDC dc) {
    API_TRACE(Gdi, ReleaseDC, window, dc);
    auto obj = sim::GdiTable::Get().FindAs<sim::GdiDc>(dc);
    if (!obj || obj->window != window) return 0;
    sim::GdiTable::Get().Remove(dc);
    return 1;
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
