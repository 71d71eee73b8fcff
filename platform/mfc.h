// The application framework's classes that the system's code uses (a beginning: the value types
// of mfc_types.h and the GDI object wrappers).
#pragma once

#include "platform/gdi.h"
#include "platform/mfc_types.h"

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
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTW* font);
    // A font of pointSize tenths of a point on the screen: the height becomes the negative pixel
    // height at the screen's dots per inch; every other field 0 but the default character set.
    BOOL CreatePointFont(int pointSize, LPCWSTR faceName);
    BOOL CreatePointFontIndirect(const LOGFONTW* font);
};

// ---- Start-up of a program that uses the framework without its own application object ----
// Records the program's instance handle and command line for the framework; FALSE when the
// instance handle is null.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                int showCommand);
// The handle that AfxWinInit recorded (null before).
HINSTANCE AfxGetInstanceHandle();
