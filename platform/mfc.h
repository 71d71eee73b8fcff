// The application framework's classes that the system's code uses: the value types
// (mfc_types.h), the GDI object wrappers (here), windows and their handle maps (mfc_wnd.h), the
// application object (mfc_app.h), device contexts (mfc_dc.h), dialogs (mfc_dialog.h), menus
// (mfc_menu.h) and the control wrappers (mfc_controls.h).
#pragma once

#include <cstddef>

#include "platform/gdi.h"
#include "platform/mfc_app.h"
#include "platform/mfc_controls.h"
#include "platform/mfc_dc.h"
#include "platform/mfc_dialog.h"
#include "platform/mfc_menu.h"
#include "platform/mfc_types.h"
#include "platform/mfc_wnd.h"

// Owns a GDI object and deletes it when destroyed.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Deletes the held object; FALSE when none was held.
    BOOL DeleteObject();
    // Takes over the object (deleting one held before); FALSE for NULL.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();

    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
public:
    // A temporary object for the handle (null for null), which does not own the font: see
    // mfc_temp_map.h.
    static CFont* FromHandle(HFONT font);
    static void DeleteTempMap();
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTW* font);
    // A font of pointSize tenths of a point on the screen: the height becomes the negative pixel
    // height at the screen's dots per inch; every other field 0 but the default character set.
    BOOL CreatePointFont(int pointSize, LPCWSTR faceName);
    BOOL CreatePointFontIndirect(const LOGFONTW* font);
};

// Deletes the calling thread's temporary objects (windows, device contexts, menus, fonts).
void AfxDeleteTemporaryObjects();
// How many temporary objects the calling thread holds now.
std::size_t AfxTemporaryObjectCount();

// ---- Start-up ----
// Records the program's instance handle for the framework, and the instance, command line and
// show command in the application object if there is one; FALSE when the instance handle is
// null.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                int showCommand);
// The handle that AfxWinInit recorded (null before).
HINSTANCE AfxGetInstanceHandle();
