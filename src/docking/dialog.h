// The skinned dialog: the base of every dialog of the application. Its look comes from the
// current skin: when the dialog is initialised it binds its window to its own docking, loads the
// dialog's layout file from the skin folder, lets the loader put skinned controls over the
// template's child windows, and from then on the docking paints the window. It turns clicks on
// the skin's named frame areas ("titleText", the borders) into moves and resizes of the top-level
// window, shows tooltips for disabled controls, filters Esc and Enter, and answers the
// framework's private window messages.
//
// Derived dialogs call the base OnInitDialog first.
#pragma once

#include <map>
#include <string>

#include "docking/detoures.h"
#include "docking/docking.h"
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking::Skin {

// The frame area a cell or docking id stands for: id -> hit-test code ("titleText" -> HTCAPTION,
// "leftBorder" -> HTLEFT, ...), built on first use. Ids compare exactly.
const std::map<std::wstring, int>& FrameAreaTable();

// The frame hit test of a click at `point` (in the coordinates of the tree's root window): walks
// the dockings from `start` (a docking whose id is a frame area is the hit; else the first of its
// nine cells, row by row, that contains the point is taken: a frame-area id is the hit, a nested
// docking is walked later). The hit-test code, or 0 when nothing was hit.
int FrameHitTest(CDocking& start, POINT point);

class CDockingDialog : public CDialog, public CDockingDetoures {
public:
    CDockingDialog(UINT templateId, CWnd* parent);
    // A window that still exists is destroyed first (or, when another thread owns it, its
    // controls and itself are unsubclassed), so that its last messages reach a live docking and
    // live controls; then the docking, the disabled-tool map, the controls and the tooltip go.
    ~CDockingDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnInitDialog() override;

    // The layout file, relative to the program folder: "skin/<current skin>/<file>" when that
    // exists, else "skin/default/<file>"; <file> comes from LayoutFileTable (empty for an id not
    // in it).
    virtual std::wstring GetLayoutFile();
    // WM_DOCKING_CREATECONTROL (wParam: control name, lParam: class key): the child window's
    // handle; a skinned control of the class key is made for it the first time.
    virtual LRESULT OnDockingCreateControl(WPARAM wParam, LPARAM lParam);
    // WM_DOCKING_GETDOCKING: this window's docking, loaded first when the window is unbound.
    virtual LRESULT OnDockingGetDocking(WPARAM wParam, LPARAM lParam);
    // WM_DOCKING_RELOADSKIN: reloads an unbound window (InitDockingTree). 0.
    virtual LRESULT OnDockingInitDocking(WPARAM wParam, LPARAM lParam);
    // WM_DOCKING_ENSUREDOCKING: loads an unbound window. 0.
    virtual LRESULT OnDockingEnsureDocking(WPARAM wParam, LPARAM lParam);
    // Binds the window to its docking and loads the layout (nothing when already bound), then
    // fits the tree's root to its window and, for a root, redraws it.
    virtual void InitDocking();
    // Loads the tree's root window first (when it is another skinned dialog and unbound), then
    // this one.
    virtual void InitDockingTree();
    // Puts the window in the cell of that id and repaints the cell; shows or hides it only to
    // keep its visibility when `show` says so.
    virtual void AttachCellWindow(const std::wstring& cellId, HWND window, bool show);
    virtual bool IsTopLevel();

    // The skinned controls that are disabled and still want their tooltip (not owned).
    void AddDisabledTool(CWnd* control);
    void RemoveDisabledTool(CWnd* control);

    // Reached through the hooked ShowWindow: puts the window in its anchor cell before it shows,
    // and repaints the cell (or redraws a root that has just become visible).
    using CDialog::ShowWindow;
    BOOL ShowWindow(HWND window, int command) override;

    CDocking& Docking() { return docking_; }
    // Control name -> the skinned control made for it (owned by the dialog).
    const std::map<std::wstring, CWnd*>& Controls() const { return controls_.entries; }
    const std::map<CWnd*, CWnd*>& DisabledTools() const { return disabledTools_; }
    CToolTipCtrl& ToolTip() { return tooltip_; }

protected:
    // Destroys the tooltip window.
    void OnDestroy() override;
    // The frame hit test; default processing in every case.
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    struct ControlMap {
        ControlMap() = default;
        ControlMap(const ControlMap&) = delete;
        ControlMap& operator=(const ControlMap&) = delete;
        ~ControlMap();
        std::map<std::wstring, CWnd*> entries;
    };

    // Members go in reverse: the docking first, then the disabled-tool map, the controls and the
    // tooltip.
    CToolTipCtrl tooltip_;
    ControlMap controls_;
    std::map<CWnd*, CWnd*> disabledTools_;
    CDocking docking_{nullptr};
};

}  // namespace System::Docking::Skin
