// The framework's private window messages (WM_USER + 4527 to WM_USER + 4538). Every skinned window
// answers WM_DOCKING_GETOBJECT; the others only where their sender expects it.
#pragma once

#include <windows.h>

namespace System::Docking {

// The layout loader asks the dialog being loaded for the child window of a control name
// (wParam: the name, lParam: the class key; sent). Result: the child window's handle or 0.
constexpr UINT WM_DOCKING_CREATECONTROL = WM_USER + 4527;  // 0x15AF
// A cell asks the window it hosts for that window's docking (sent). Result: CDocking* or 0.
constexpr UINT WM_DOCKING_GETDOCKING = WM_USER + 4528;  // 0x15B0
// A cell asks the window it hosts to paint itself into a paint request (wParam; sent).
constexpr UINT WM_DOCKING_PAINT = WM_USER + 4529;  // 0x15B1
// The layout loader hands a new control its cell's layout element (wParam; sent).
constexpr UINT WM_DOCKING_SETSTYLE = WM_USER + 4530;  // 0x15B2
// The application sets a skinned button's title (wParam: the text; sent).
constexpr UINT WM_DOCKING_SETTITLE = WM_USER + 4531;  // 0x15B3
// WM_USER + 4532 is the application's own.
// A finished render for the docking's window (wParam: the record or 0; posted).
constexpr UINT WM_DOCKING_PRESENT = WM_USER + 4533;  // 0x15B5
// A cell tells the window it hosts that the cell is being rendered (sent).
constexpr UINT WM_DOCKING_CELLCHANGED = WM_USER + 4534;  // 0x15B6
// A cell hands the docking's window the picture of a child (wParam: the record; sent).
constexpr UINT WM_DOCKING_DRAWCHILD = WM_USER + 4535;  // 0x15B7
// A skin switch asks every root docking window to load itself again (wParam 0, lParam 0; posted).
constexpr UINT WM_DOCKING_RELOADSKIN = WM_USER + 4536;  // 0x15B8
// A cell's window placer asks the window it hosts to have its docking ready (sent).
constexpr UINT WM_DOCKING_ENSUREDOCKING = WM_USER + 4537;  // 0x15B9
// Any window is asked for its skinned window object (sent). Result: the object or 0.
constexpr UINT WM_DOCKING_GETOBJECT = WM_USER + 4538;  // 0x15BA

static_assert(WM_DOCKING_RELOADSKIN == 0x15B8);

}  // namespace System::Docking
