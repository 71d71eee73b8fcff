// Skin layout files: where a dialog's layout lies, the tables that turn layout names into windows
// and control objects, and the loader that fills a dialog's docking tree from its layout file.
//
// A skin is a folder below "<program folder>/skin" holding one XML layout file per dialog and the
// images those files name. A layout file is a document element "root" whose "docking" children
// describe dockings: the first one the dialog's own docking, the others nested dockings that cells
// name by id ("child"). Each docking element has up to nine "cell" children addressed by a
// two-digit "index" (row, column). All values are attributes; element text is ignored.
#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "docking/color.h"
#include <afxwin.h>
#include <afxcmn.h>
#include <windows.h>

namespace System::Docking {

class CDocking;

// Dialog template id -> layout file name ("NetConnectDialog.xml", ...), built on first use.
const std::map<UINT, std::wstring>& LayoutFileTable();
// The layout file name of a template id; empty when the id is not in the table.
std::wstring LayoutFileName(UINT templateId);

// Control name -> child window id ("IDC_BUTTON_CLOSE" -> 803, ...), built on first use.
const std::map<std::wstring, int>& ControlIdTable();
// The child window id a control name stands for: the table's id, else the name read as a decimal
// number (leading blanks and a sign allowed, digits up to the first other character; 0 without).
int ControlIdOf(const std::wstring& name);

// A skinned control object made for a class key; the caller owns it. Null when it cannot be made.
using ControlFactory = CWnd* (*)();
// Class key -> factory: each control class under its short key ("Button") and its full class name
// ("System::Docking::Skin::CDockingButton"), built on first use.
const std::map<std::wstring, ControlFactory>& ControlFactoryTable();

// The largest nesting of dockings and the most dockings one load builds: a layout whose "child"
// references fan out (each of nine cells naming the next element) stops there instead of
// building 9^n dockings.
constexpr int kMaxLayoutDepth = 32;
constexpr int kMaxLayoutDockings = 1024;

// A layout file that cannot be read or is not well-formed.
class LayoutLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills the docking tree below `root` from the layout file at `path` (a full path) and makes the
// dialog's skinned controls (WM_DOCKING_CREATECONTROL to `dialog`, then WM_DOCKING_SETSTYLE to each
// control with its cell's element). Throws LayoutLoadError when the file cannot be read or is not
// well-formed; the tree is not touched then (windows attached to it stay attached).
void LoadDockingLayout(const std::wstring& path, CDocking& root, HWND dialog);

// Cell id -> hosted window for every cell of the tree with both (the root's nine cells row by row,
// then the nested dockings of cells in the order found).
std::map<std::wstring, HWND> CollectAttachedWindows(CDocking& root);

// '1' to '9' give 1 to 9; every other character gives 0.
int DigitValue(wchar_t c);

// Sets the style bits on the window unless all of them are set already; never clears a bit.
void AddWindowStyle(HWND window, DWORD bits);

// A window size a skin asks for: negative counts as 0, larger than the limit counts as the limit.
int ClampSkinSize(int size, int limit);

// The colour key (0x00BBGGRR) of a skin colour (0xAARRGGBB): red, green and blue; alpha dropped.
COLORREF ColorKeyOf(ColorValue argb);

}  // namespace System::Docking
