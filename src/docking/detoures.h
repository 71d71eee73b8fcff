// The interface through which the framework's user32 hooks reach a skinned window object: it may
// take over the window's device contexts and its showing. Each operation says whether the object
// handled the call; the defaults handle nothing (ShowWindow calls the real function).
#pragma once

#include "docking/hooks.h"
#include <windows.h>

namespace System::Docking::Skin {

class CDockingDetoures {
public:
    virtual ~CDockingDetoures() = default;
    // A device context for the window, or null when the object does not handle the call.
    virtual HDC GetDC() { return nullptr; }
    virtual HDC GetDCEx(HRGN /*clip*/, DWORD /*flags*/) { return nullptr; }
    // Nonzero when the object took the device context back.
    virtual int ReleaseDC(HDC /*dc*/) { return 0; }
    // The real ShowWindow's result.
    virtual BOOL ShowWindow(HWND window, int command) {
        return RealApi().ShowWindow(window, command);
    }
};

}  // namespace System::Docking::Skin
