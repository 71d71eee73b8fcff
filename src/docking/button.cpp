#include "docking/button.h"

#include "docking/cell.h"
#include "docking/color.h"
#include "docking/dialog.h"
#include "docking/messages.h"
#include "docking/property.h"
#include "docking/registry.h"
#include "docking/ui_guard.h"
#include <commctrl.h>
#include <windows.h>
#include <msxml2.h>

namespace System::Docking::Skin {

namespace {

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Shown on the screen: the window and every parent visible (a button on a hidden page, or in a
// dialog not shown yet, is hidden).
bool Shown(HWND window) {
    return ::IsWindowVisible(window) != FALSE;
}

}  // namespace

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

CDockingCell* FindCellOfWindow(HWND window) {
    return dynamic_cast<CDockingCell*>(FindRenderableByWindow(window));
}

bool PaintsNothing(HWND window, UINT message, LRESULT* answer) {
    if (message == WM_ERASEBKGND) {
        *answer = TRUE;
        return true;
    }
    if (message != WM_PAINT) return false;
    PAINTSTRUCT ps{};
    ::BeginPaint(window, &ps);
    ::EndPaint(window, &ps);
    *answer = 0;
    return true;
}

const std::map<std::wstring, int>& CursorNameTable() {
    static const std::map<std::wstring, int> table = {
        {L"n-resize", 32645},    {L"ne-resize", 32643}, {L"nw-resize", 32642}, {L"s-resize", 32645},
        {L"se-resize", 32642},   {L"sw-resize", 32643}, {L"e-resize", 32644},  {L"w-resize", 32644},
        {L"arrow", 32512},       {L"ibeam", 32513},     {L"wait", 32514},      {L"cross", 32515},
        {L"uparrow", 32516},     {L"size", 32640},      {L"icon", 32641},      {L"hand", 32649},
        {L"appstarting", 32650}, {L"help", 32651},
    };
    return table;
}

ButtonCaption SplitButtonText(const std::wstring& text) {
    ButtonCaption out{text, L"", false};
    if (text.empty() || text.back() != L' ') return out;
    const std::size_t final = text.size() - 1;
    for (std::size_t c = final; c-- > 0;) {
        if (text[c] != L' ') continue;
        out.caption = text.substr(0, c);
        out.tip = text.substr(c + 1, final - c - 1);
        out.hasTip = true;
        break;
    }
    return out;
}

// ---- CDockingButton ----

CDockingButton::StyleSlot CDockingButton::SlotOf(ButtonState state) {
    switch (state) {
        case ButtonState::Hover:
            return kHover;
        case ButtonState::CheckHover:
            return kCheckHover;
        case ButtonState::Active:
            return kActive;
        case ButtonState::Check:
            return kCheck;
        case ButtonState::Disable:
            return kDisable;
        case ButtonState::Hide:
            return kHide;
        default:
            return kNormal;
    }
}

CDockingCell* CDockingButton::FindCell() const {
    return FindCellOfWindow(m_hWnd);
}

bool CDockingButton::CheckType() const {
    return type_ == BS_CHECKBOX || type_ == BS_AUTOCHECKBOX;
}

bool CDockingButton::RadioType() const {
    return type_ == BS_RADIOBUTTON || type_ == BS_AUTORADIOBUTTON;
}

bool CDockingButton::OwnerDrawn() const {
    // The current style: the type taken at subclassing was made owner-drawn afterwards.
    return (GetStyle() & BS_TYPEMASK) == BS_OWNERDRAW;
}

bool CDockingButton::Enabled() const {
    return ::IsWindowEnabled(m_hWnd) != FALSE;
}

bool CDockingButton::Checked() const {
    return ::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CDockingButton::PreSubclassWindow() {
    CSkinnedWindow<CButton>::PreSubclassWindow();
    type_ = GetStyle() & BS_TYPEMASK;
    if (CheckType() || RadioType())
        check_ = static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0));
}

void CDockingButton::ApplyButtonState(ButtonState state, bool redraw) {
    CDockingCell* cell = FindCell();
    if (cell == nullptr) return;
    {
        UiWrite write(*cell);
        ApplyCellStyle(styles_[SlotOf(state)], *cell);
    }
    state_ = state;
    if (state != ButtonState::Disable && state != ButtonState::Hide) last_ = state;
    if (redraw) cell->Redraw();
}

void CDockingButton::UpdateButtonState(bool redraw, int visible) {
    const bool shown = visible < 0 ? Shown(m_hWnd) : visible != 0;
    ButtonState state = ButtonState::Normal;
    if (!shown)
        state = ButtonState::Hide;
    else if (!Enabled())
        state = ButtonState::Disable;
    else if ((CheckType() || RadioType()) && Checked())
        state = ButtonState::Check;
    ApplyButtonState(state, redraw);
}

void CDockingButton::SetCellText(const std::wstring& text) {
    CDockingCell* cell = FindCell();
    if (cell == nullptr) return;
    UiWrite write(*cell);
    cell->text.Assign(text);
}

void CDockingButton::TellParentDisabled(bool disabled) {
    auto* dialog = dynamic_cast<CDockingDialog*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
    if (dialog == nullptr) return;
    if (disabled)
        dialog->AddDisabledTool(this);
    else
        dialog->RemoveDisabledTool(this);
}

void CDockingButton::SetButtonTitle(const std::wstring& text) {
    auto* dialog = dynamic_cast<CDockingDialog*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
    if (dialog == nullptr || !::IsWindow(dialog->ToolTip().m_hWnd)) return;
    title_ = text;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    if (dialog->ToolTip().GetToolInfo(info, this, 0))
        dialog->ToolTip().UpdateTipText(title_.c_str(), this, 0);
    else
        dialog->ToolTip().AddTool(this, title_.c_str());
}

void CDockingButton::OnSetStyle(WPARAM wParam) {
    const auto& element = *reinterpret_cast<const IXMLDOMNode*>(wParam);
    for (std::wstring& style : styles_) style.clear();
    doubleClick_ = false;
    static const wchar_t* const kNames[kSlots] = {L"normal",  L"hover", L"checkhover", L"active",
                                                  L"disable", L"check", L"hide"};
    for (int i = 0; i < kSlots; ++i)
        if (auto text = element.getAttribute(kNames[i])) styles_[i] = *text;
    if (auto title = element.getAttribute(L"title")) SetButtonTitle(*title);
    if (auto cursor = element.getAttribute(L"cursor")) cursor_ = *cursor;
    if (auto dblclick = element.getAttribute(L"dblclick")) doubleClick_ = *dblclick == L"true";
    UpdateButtonState(true);
    if (!Enabled()) TellParentDisabled(true);
    if (!OwnerDrawn()) ::SendMessageW(m_hWnd, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
}

void CDockingButton::OnButtonReleased(LPARAM lParam) {
    if (Enabled() && state_ != ButtonState::Hover) {
        if (CheckType() || RadioType())
            ApplyButtonState(Checked() ? ButtonState::Check : ButtonState::CheckHover, true);
        else
            ApplyButtonState(ButtonState::Hover, true);
    }
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const POINT p{static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))),
                  static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam)))};
    if (OwnerDrawn() && Inside(client, p) && ::GetCapture() == m_hWnd) {
        const LRESULT check = ::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0);
        if (CheckType())
            ::SendMessageW(m_hWnd, BM_SETCHECK, check != BST_CHECKED ? BST_CHECKED : 0, 0);
        else if (RadioType() && check == 0)
            ::SendMessageW(m_hWnd, BM_SETCHECK, BST_CHECKED, 0);
    }
}

LRESULT CDockingButton::OnSetCheck(WPARAM check) {
    if (check == BST_CHECKED) {
        if (Enabled() && last_ != ButtonState::Check) ApplyButtonState(ButtonState::Check, true);
    } else if (check == BST_INDETERMINATE) {
        if (Enabled()) ApplyButtonState(ButtonState::Disable, true);
    } else if (check == 0 && Enabled() && last_ == ButtonState::Check) {
        ButtonState to = ButtonState::Normal;
        if (!CheckType() && !RadioType()) {
            POINT cursor{};
            RECT window{};
            ::GetCursorPos(&cursor);
            ::GetWindowRect(m_hWnd, &window);
            if (Inside(window, cursor)) to = ButtonState::Hover;
        }
        ApplyButtonState(to, true);
    }
    check_ = static_cast<int>(check);
    if (OwnerDrawn()) return 0;
    return Default();
}

void CDockingButton::OnCellChanged() {
    CDockingCell* cell = FindCell();
    if (cell == nullptr) return;
    if (!Shown(m_hWnd)) {
        if (state_ != ButtonState::Hide) ApplyButtonState(ButtonState::Hide, false);
        SetCellText(L"");
        return;
    }
    if (state_ == ButtonState::Hide) UpdateButtonState(false);
    const std::wstring text = WindowText(m_hWnd);
    if (text.empty()) return;
    const ButtonCaption split = SplitButtonText(text);
    SetCellText(split.caption);
    if (split.hasTip && title_.empty() && !split.tip.empty()) SetButtonTitle(split.tip);
}

BOOL CDockingButton::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT answer = 0;
    switch (message) {
        case WM_DOCKING_SETSTYLE:
            if (wParam != 0) OnSetStyle(wParam);
            answer = wParam != 0 ? 1 : 0;
            break;
        case WM_DOCKING_SETTITLE:
            if (wParam != 0) SetButtonTitle(reinterpret_cast<const wchar_t*>(wParam));
            break;
        case WM_DOCKING_CELLCHANGED:
            OnCellChanged();
            break;
        case WM_LBUTTONDOWN:
            if (Enabled() && state_ != ButtonState::Active &&
                (!(CheckType() || RadioType()) || !Checked()))
                ApplyButtonState(ButtonState::Active, true);
            ::SetCapture(m_hWnd);
            answer = Default();
            break;
        case WM_LBUTTONUP: {
            OnButtonReleased(lParam);
            // BN_CLICKED goes out here: its handler may close the dialog and delete this button.
            const HWND window = m_hWnd;
            answer = Default();
            if (::GetCapture() == window) ::ReleaseCapture();
            break;
        }
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = m_hWnd;
                track.dwHoverTime = 0;
                ::TrackMouseEvent(&track);
                tracking_ = true;
                if (Enabled() && state_ != ButtonState::Hover)
                    ApplyButtonState((CheckType() || RadioType()) && Checked()
                                         ? ButtonState::CheckHover
                                         : ButtonState::Hover,
                                     true);
            }
            answer = Default();
            break;
        case WM_MOUSELEAVE:
            if (Enabled() && state_ != ButtonState::Normal)
                ApplyButtonState((CheckType() || RadioType()) && Checked() ? ButtonState::Check
                                                                           : ButtonState::Normal,
                                 true);
            tracking_ = false;
            break;
        case WM_ENABLE:
            answer = Default();
            TellParentDisabled(wParam == FALSE);
            UpdateButtonState(true);
            break;
        case BM_SETCHECK:
            answer = OnSetCheck(wParam);
            break;
        case BM_GETCHECK:
            answer = OwnerDrawn() ? check_ : Default();
            break;
        case WM_SETTEXT:
            answer = Default();
            // The new text shows at once: nothing else may repaint the button for a long time.
            if (Shown(m_hWnd) && lParam != 0) {
                SetCellText(reinterpret_cast<const wchar_t*>(lParam));
                if (CDockingCell* cell = FindCell()) cell->Redraw();
            }
            break;
        case WM_SHOWWINDOW:
            // Comes before the window's visibility changes: wParam says what its own will be.
            answer = Default();
            if (wParam != FALSE) {
                SetCellText(WindowText(m_hWnd));
                const HWND parent = ::GetParent(m_hWnd);
                UpdateButtonState(true, parent == nullptr || Shown(parent) ? 1 : 0);
            } else {
                SetCellText(L"");
                ApplyButtonState(ButtonState::Hide, true);
            }
            break;
        case WM_LBUTTONDBLCLK: {
            // BN_DOUBLECLICKED goes out here, with the same risk as BN_CLICKED.
            const HWND window = m_hWnd;
            const CWnd* self = this;
            answer = Default();
            if (StillBound(window, self) && OwnerDrawn() && !doubleClick_)
                ::SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
            break;
        }
        case WM_SETCURSOR: {
            auto it = CursorNameTable().find(cursor_);
            if (cursor_.empty() || it == CursorNameTable().end())
                return CSkinnedWindow<CButton>::OnWndMsg(message, wParam, lParam, result);
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(it->second)));
            answer = TRUE;
            break;
        }
        default:
            if (PaintsNothing(m_hWnd, message, &answer)) break;
            return CSkinnedWindow<CButton>::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = answer;
    return TRUE;
}

// ---- CDockingStatic ----

void CDockingStatic::PreSubclassWindow() {
    CSkinnedWindow<CStatic>::PreSubclassWindow();
    // The type is replaced, not OR-ed into: SS_RIGHT | SS_OWNERDRAW would be another type.
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~LONG_PTR{SS_TYPEMASK}) | SS_OWNERDRAW);
}

void CDockingStatic::DrawItem(LPDRAWITEMSTRUCT) {
    if (CDockingCell* cell = FindCellOfWindow(m_hWnd)) cell->Redraw();
}

BOOL CDockingStatic::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT answer = 0;
    switch (message) {
        case WM_DOCKING_PAINT: {
            if (CDockingCell* cell = FindCellOfWindow(m_hWnd)) {
                UiWrite write(*cell);
                if (Shown(m_hWnd)) {
                    const std::wstring text = WindowText(m_hWnd);
                    if (text != cell->text.Ref()) {
                        cell->text.Assign(text);
                        if (cell->font.color == kNoColor) cell->font.color = 0xFF000000;
                    }
                } else {
                    cell->text.Assign(L"");
                }
            }
            answer = 1;
            break;
        }
        default:
            if (PaintsNothing(m_hWnd, message, &answer)) break;
            return CSkinnedWindow<CStatic>::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = answer;
    return TRUE;
}

}  // namespace System::Docking::Skin
