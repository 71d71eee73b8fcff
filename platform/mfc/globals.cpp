#include <afxwin.h>
#include <afxcmn.h>

#include "platform/mfc/temp_map.h"
#include "machine/processes.h"

#include <cstdlib>
#include <cwchar>

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (object == nullptr) return FALSE;
    DeleteObject();
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    return DetachHandle(m_hObject);
}

namespace {
thread_local TemporaryObjects<CFont, HGDIOBJ, &CGdiObject::m_hObject> t_temporaryFonts;
}

CFont* CFont::FromHandle(HFONT font) {
    return t_temporaryFonts.For(font);
}

void CFont::DeleteTempMap() {
    t_temporaryFonts.Clear();
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) {
    return Attach(::CreateFontIndirectW(font));
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR faceName) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfHeight = pointSize;
    if (faceName != nullptr) std::wcsncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreatePointFontIndirect(&font);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTW* font) {
    if (font == nullptr) return FALSE;
    LOGFONTW scaled = *font;
    HDC screen = ::GetDC(nullptr);
    long long dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    // Tenths of a point to pixels, rounded; kept inside the range of a height.
    long long tenths = font->lfHeight;
    long long product = tenths * dpi;
    long long pixels = (product >= 0 ? product + 360 : product - 360) / 720;
    pixels = std::llabs(pixels);
    if (pixels > 0x7FFFFFFF) pixels = 0x7FFFFFFF;
    scaled.lfHeight = -static_cast<LONG>(pixels);
    return CreateFontIndirect(&scaled);
}

void AfxDeleteTemporaryObjects() {
    CWnd::DeleteTempMap();
    CDC::DeleteTempMap();
    CMenu::DeleteTempMap();
    CFont::DeleteTempMap();
}

std::size_t AfxTemporaryObjectCount() {
    return CWnd::TemporaryCount() + CDC::TemporaryCount() + CMenu::TemporaryCount() +
           t_temporaryFonts.Size();
}

BOOL AfxWinInit(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    if (instance == nullptr) return FALSE;
    sim::CurrentProcess().afxInstance.Set(instance);
    if (CWinApp* app = AfxGetApp()) {
        app->m_hInstance = instance;
        app->m_lpCmdLine = commandLine;
        app->m_nCmdShow = showCommand;
    }
    return TRUE;
}

HINSTANCE AfxGetInstanceHandle() {
    return sim::CurrentProcess().afxInstance.Get();
}
