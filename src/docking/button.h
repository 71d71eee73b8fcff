// The skinned button and static: standard controls that never paint themselves. Each sits in a
// cell of its dialog's docking tree and its look is that cell's: a button applies one style text
// per visual state to its cell, a static hands its window text to its cell.
#pragma once

#include <map>
#include <string>

#include "docking/skin_window.h"
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking {
class CDockingCell;
}

namespace System::Docking::Skin {

enum class ButtonState {
    Normal = 0,
    Hover = 1,
    CheckHover = 2,
    Active = 3,
    Check = 4,
    Disable = 6,
    Hide = 7
};

// The window's text (empty when it has none).
std::wstring WindowText(HWND window);

// The cell that hosts the window (from the window registry), or null.
CDockingCell* FindCellOfWindow(HWND window);

// The window's cell paints it: the background is left alone (WM_ERASEBKGND answers TRUE) and a
// paint request only validates the window. Whether the message was one of the two.
bool PaintsNothing(HWND window, UINT message, LRESULT* answer);

// Cursor keyword ("hand", "ibeam", "n-resize", ...) -> system cursor id; built on first use.
const std::map<std::wstring, int>& CursorNameTable();

// Splits a button's window text into the caption its cell shows and a tooltip: a text ending in a
// space holds "caption tip " (the last space before the final one divides them); otherwise, or
// without such a space, the whole text is the caption and there is no tip.
struct ButtonCaption {
    std::wstring caption;
    std::wstring tip;
    bool hasTip = false;
};
ButtonCaption SplitButtonText(const std::wstring& text);

class CDockingButton : public CSkinnedWindow<CButton> {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    // The tooltip of the button in its parent skinned dialog's tooltip control.
    void SetButtonTitle(const std::wstring& text);

    ButtonState State() const { return state_; }
    const std::wstring& Title() const { return title_; }

private:
    // The style texts in state order: normal, hover, checkhover, active, disable, check, hide.
    enum StyleSlot { kNormal, kHover, kCheckHover, kActive, kDisable, kCheck, kHide, kSlots };
    static StyleSlot SlotOf(ButtonState state);

    CDockingCell* FindCell() const;
    bool CheckType() const;
    bool RadioType() const;
    bool OwnerDrawn() const;
    bool Enabled() const;
    bool Checked() const;
    void ApplyButtonState(ButtonState state, bool redraw);
    // Hide when the window is not shown on the screen; `visible` overrides that test
    // (WM_SHOWWINDOW comes before the window's own flag changes).
    void UpdateButtonState(bool redraw, int visible = -1);
    void SetCellText(const std::wstring& text);
    void OnSetStyle(WPARAM element);
    void OnButtonReleased(LPARAM point);
    LRESULT OnSetCheck(WPARAM check);
    void OnCellChanged();
    void TellParentDisabled(bool disabled);

    std::wstring styles_[kSlots];
    std::wstring cursor_;
    bool doubleClick_ = false;
    std::wstring title_;
    ButtonState state_ = ButtonState::Normal;
    ButtonState last_ = ButtonState::Normal;
    int check_ = 0;
    UINT type_ = 0;
    bool tracking_ = false;
};

class CDockingStatic : public CSkinnedWindow<CStatic> {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;
    void DrawItem(LPDRAWITEMSTRUCT item) override;
};

}  // namespace System::Docking::Skin
