#include "docking/dialog.h"

#include "docking/image_cache.h"
#include "docking/loader.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/skin.h"
#include "docking/skin_window.h"
#include "docking/ui_guard.h"
#include <corecrt.h>
#include <windows.h>

namespace System::Docking::Skin {

namespace {

// The debugger texts of a caught exception: GBK text, the name in full-width quotes.
constexpr const char* kInitDialogFailed =
    "\xA1\xB0[DockingDialog] [OnInitDialog] Exception\xA1\xB1: InitDocking";
constexpr const char* kInitDockingTreeFailed =
    "\xA1\xB0[DockingDialog] [OnDockingInitDocking] Exception\xA1\xB1: InitDockingTree";

// The nested docking a cell holds, without making one.
CDocking* NestedOf(CDockingCell& cell) {
    return cell.child.Value();
}

bool Contains(const Gdiplus::Rect& r, POINT p) {
    return r.X <= p.x && p.x < r.X + r.Width && r.Y <= p.y && p.y < r.Y + r.Height;
}

bool Contains(const RECT& r, POINT p) {
    return r.left <= p.x && p.x < r.right && r.top <= p.y && p.y < r.bottom;
}

bool EnabledChild(HWND dialog, int id) {
    HWND child = ::GetDlgItem(dialog, id);
    return child != nullptr && ::IsWindowEnabled(child);
}

bool IsMultiLineEdit(HWND window) {
    if (window == nullptr) return false;
    if ((static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) & ES_MULTILINE) == 0)
        return false;
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    return _wcsicmp(name, L"Edit") == 0;
}

}  // namespace

const std::map<std::wstring, int>& FrameAreaTable() {
    static const std::map<std::wstring, int> table = {
        {L"titleText", HTCAPTION},
        {L"leftBorder", HTLEFT},
        {L"rightBorder", HTRIGHT},
        {L"topBorder", HTTOP},
        {L"topLeftBorder", HTTOPLEFT},
        {L"topRightBorder", HTTOPRIGHT},
        {L"bottomBorder", HTBOTTOM},
        {L"bottomLeftBorder", HTBOTTOMLEFT},
        {L"bottomRightBorder", HTBOTTOMRIGHT},
    };
    return table;
}

int FrameHitTest(CDocking& start, POINT point) {
    const auto& areas = FrameAreaTable();
    std::vector<CDocking*> list{&start};
    for (std::size_t i = 0; i < list.size(); ++i) {
        CDocking& docking = *list[i];
        if (auto it = areas.find(docking.id.Ref()); it != areas.end()) return it->second;
        for (int k = 0; k < 9; ++k) {
            CDockingCell& cell = docking.Cell(k / 3, k % 3);
            if (!Contains(cell.GetBounds(), point)) continue;
            if (auto it = areas.find(cell.id.Ref()); it != areas.end()) return it->second;
            if (CDocking* nested = NestedOf(cell)) list.push_back(nested);
            break;  // the first cell that contains the point, and no other
        }
    }
    return 0;
}

CDockingDialog::ControlMap::~ControlMap() {
    for (auto& [name, control] : entries) delete control;
}

CDockingDialog::CDockingDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CDockingDialog::~CDockingDialog() {
    const HWND window = m_hWnd;
    if (window != nullptr && ::IsWindow(window)) {
        if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) {
            // WM_DESTROY and WM_NCDESTROY still find the docking and the controls alive.
            ::DestroyWindow(window);
        } else {
            // Another thread's window cannot be destroyed from here: no message of it may reach
            // the objects about to go.
            for (auto& [name, control] : controls_.entries)
                if (control != nullptr && control->m_hWnd != nullptr) control->UnsubclassWindow();
            UnsubclassWindow();
        }
    }
    if (window != nullptr) ForgetWindowDocking(window);
}

BOOL CDockingDialog::OnInitDialog() {
    if (CDialog::OnInitDialog()) {
        tooltip_.Create(this, 0);
        tooltip_.Activate(TRUE);
        try {
            InitDocking();
        } catch (...) {
            ::OutputDebugStringA(kInitDialogFailed);
        }
    }
    return TRUE;
}

std::wstring CDockingDialog::GetLayoutFile() {
    const std::wstring file = LayoutFileName(m_nIDTemplate);
    std::wstring skin = GetCurrentSkin();
    if (!IsSkinFolderName(skin)) skin = DefaultSkinName();
    const std::wstring current = SkinFolderName() + L"/" + skin + L"/" + file;
    if (SkinFileExists(current)) return current;
    return SkinFolderName() + L"/" + DefaultSkinName() + L"/" + file;
}

void CDockingDialog::InitDocking() {
    if (!WindowNeedsDocking(m_hWnd)) return;
    WindowDocking(m_hWnd) = &docking_;
    const std::wstring layout = GetLayoutFile();
    if (layout.empty()) return;
    try {
        LoadDockingLayout(GetProgramFolder() + L"/" + layout, docking_, m_hWnd);
    } catch (...) {
        ::OutputDebugStringA((std::string("\r\n") + kInitDialogFailed).c_str());
    }
    CDocking* root = docking_.root.Read();
    if (HWND rootWindow = root->handle.Ref(); rootWindow != nullptr) root->FitToClient(rootWindow);
    if (root == &docking_) docking_.Redraw();
}

void CDockingDialog::InitDockingTree() {
    CDocking* root = docking_.root.Read();
    const HWND rootWindow = root->handle.Ref();
    // The root's dialog (this one, when it is its own root) reloads under the wait cursor.
    if (rootWindow != nullptr && WindowNeedsDocking(rootWindow)) {
        if (auto* host = SkinObjectOf<CDockingDialog>(rootWindow)) {
            host->docking_.surface.AdvanceGeneration();
            BeginWaitCursor();
            host->InitDocking();
            EndWaitCursor();
        }
    }
    if (WindowNeedsDocking(m_hWnd)) InitDocking();
}

LRESULT CDockingDialog::OnDockingCreateControl(WPARAM wParam, LPARAM lParam) {
    const auto* nameText = reinterpret_cast<const wchar_t*>(wParam);
    const auto* keyText = reinterpret_cast<const wchar_t*>(lParam);
    const std::wstring name = nameText != nullptr ? nameText : L"";
    const std::wstring key = keyText != nullptr ? keyText : L"";
    const HWND child = ::GetDlgItem(m_hWnd, ControlIdOf(name));
    const auto handle = reinterpret_cast<LRESULT>(child);
    if (CWnd::FromHandlePermanent(child) != nullptr || key.empty()) return handle;
    const auto& factories = ControlFactoryTable();
    auto factory = factories.find(key);
    if (factory == factories.end()) return handle;
    auto existing = controls_.entries.find(name);
    if (existing != controls_.entries.end() && existing->second != nullptr) return handle;
    CWnd* control = factory->second();
    if (control == nullptr) return handle;
    controls_.entries[name] = control;
    if (child != nullptr) control->SubclassWindow(child);
    return handle;
}

LRESULT CDockingDialog::OnDockingGetDocking(WPARAM, LPARAM) {
    if (WindowNeedsDocking(m_hWnd)) InitDocking();
    return reinterpret_cast<LRESULT>(&docking_);
}

LRESULT CDockingDialog::OnDockingInitDocking(WPARAM, LPARAM) {
    if (WindowNeedsDocking(m_hWnd)) {
        try {
            InitDockingTree();
        } catch (...) {
            ::OutputDebugStringA(kInitDockingTreeFailed);
        }
    }
    return 0;
}

LRESULT CDockingDialog::OnDockingEnsureDocking(WPARAM, LPARAM) {
    if (WindowNeedsDocking(m_hWnd)) InitDocking();
    return 0;
}

void CDockingDialog::AttachCellWindow(const std::wstring& cellId, HWND window, bool show) {
    auto* cell = dynamic_cast<CDockingCell*>(FindRenderableById(cellId));
    if (cell == nullptr) return;
    cell->handle.Assign(window);
    cell->PaintSelf(cell->GetBounds());
    const bool visible = ::IsWindowVisible(window) != FALSE;
    if (visible && show)
        ::ShowWindow(window, SW_SHOW);
    else if (!visible && !show)
        ::ShowWindow(window, SW_HIDE);
}

bool CDockingDialog::IsTopLevel() {
    return ::GetParent(m_hWnd) == nullptr;
}

void CDockingDialog::AddDisabledTool(CWnd* control) {
    disabledTools_[control] = control;
}

void CDockingDialog::RemoveDisabledTool(CWnd* control) {
    disabledTools_.erase(control);
}

BOOL CDockingDialog::ShowWindow(HWND window, int command) {
    const bool wasVisible = ::IsWindowVisible(m_hWnd) != FALSE;
    CDockingCell* anchor = nullptr;
    if (const std::wstring& id = docking_.anchor.Value(); !id.empty()) {
        anchor = dynamic_cast<CDockingCell*>(FindRenderableById(id));
        if (anchor != nullptr && command != SW_HIDE && anchor->handle.Ref() != m_hWnd) {
            // A render of this dialog's tree that started while it was a root of its own ends
            // before the tree is nested: from then on the host's renders walk the same cells.
            UiWrite ownTree(docking_, UiWrite::Structure);
            anchor->handle.Assign(m_hWnd);
        }
    }
    const BOOL shown = RealApi().ShowWindow(window, command);
    if (anchor != nullptr)
        anchor->PaintSelf(anchor->GetBounds());
    else if (docking_.parent.Read() == nullptr && !wasVisible && ::IsWindowVisible(m_hWnd))
        docking_.Redraw();
    return shown;
}

BOOL CDockingDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const HWND window = m_hWnd;
    const bool hasEntry = HasWindowDocking(window);
    if (hasEntry && docking_.OnWindowMessage(window, message, wParam, lParam)) {
        if (result != nullptr) *result = 0;
        return TRUE;
    }
    BOOL handled = TRUE;
    LRESULT answer = 0;
    switch (message) {
        case WM_DOCKING_GETDOCKING:
            answer = OnDockingGetDocking(wParam, lParam);
            break;
        case WM_DOCKING_CREATECONTROL:
            answer = OnDockingCreateControl(wParam, lParam);
            break;
        case WM_DOCKING_RELOADSKIN:
            answer = OnDockingInitDocking(wParam, lParam);
            break;
        case WM_DOCKING_ENSUREDOCKING:
            answer = OnDockingEnsureDocking(wParam, lParam);
            break;
        case WM_DOCKING_GETOBJECT:
            answer = reinterpret_cast<LRESULT>(static_cast<CWnd*>(this));
            break;
        default:
            handled = CDialog::OnWndMsg(message, wParam, lParam, &answer);
            break;
    }
    if (handled && result != nullptr) *result = answer;
    // The object may be unbound now (WM_NCDESTROY): the entry goes with the window.
    if (message == WM_NCDESTROY) {
        ForgetWindowDocking(window);
        return handled;
    }
    if (hasEntry && message == WM_SIZE && docking_.OnResized(window)) handled = TRUE;
    return handled;
}

BOOL CDockingDialog::PreTranslateMessage(MSG* msg) {
    if (CWnd::PreTranslateMessage(msg)) return TRUE;
    if (tooltip_.m_hWnd != nullptr) {
        if (msg->message >= WM_MOUSEMOVE && msg->message <= WM_LBUTTONUP) {
            POINT cursor{};
            ::GetCursorPos(&cursor);
            bool relayed = false;
            for (auto it = disabledTools_.begin(); it != disabledTools_.end(); ++it) {
                CWnd* control = it->first;
                const HWND tool = control->m_hWnd;
                RECT r{};
                if (tool == nullptr || !::IsWindowVisible(tool) || !::GetWindowRect(tool, &r) ||
                    !Contains(r, cursor))
                    continue;
                if (::IsWindowEnabled(tool)) {
                    disabledTools_.erase(it);
                    tooltip_.RelayEvent(msg);
                } else {
                    MSG copy = *msg;
                    POINT local = cursor;
                    ::ScreenToClient(tool, &local);
                    copy.hwnd = tool;
                    copy.lParam = MAKELPARAM(local.x, local.y);
                    copy.pt = local;
                    tooltip_.RelayEvent(&copy);
                }
                relayed = true;
                break;
            }
            if (!relayed) tooltip_.RelayEvent(msg);
        } else {
            tooltip_.RelayEvent(msg);
        }
    }
    if (msg->message == WM_KEYDOWN) {
        const auto key = static_cast<UINT>(msg->wParam);
        const bool cancelKey = key == VK_ESCAPE || key == VK_CANCEL;
        if (IsMultiLineEdit(msg->hwnd)) {
            if (cancelKey) {
                if (!EnabledChild(m_hWnd, IDCANCEL)) return FALSE;
                SendMessage(WM_COMMAND, IDCANCEL, 0);
                return TRUE;
            }
        } else {
            if (cancelKey && !EnabledChild(m_hWnd, IDCANCEL)) return FALSE;
            if (key == VK_RETURN && !EnabledChild(m_hWnd, IDOK)) return FALSE;
        }
    }
    return PreTranslateInput(msg);
}

void CDockingDialog::OnDestroy() {
    CDialog::OnDestroy();
    if (tooltip_.m_hWnd != nullptr) tooltip_.DestroyWindow();
}

void CDockingDialog::OnLButtonDown(UINT flags, CPoint point) {
    CDocking* root = docking_.root.Read();
    const HWND rootWindow = root != nullptr ? root->handle.Ref() : nullptr;
    if (rootWindow != nullptr) {
        POINT p{point.x, point.y};
        if (rootWindow != m_hWnd) {
            RECT mine{}, theirs{};
            ::GetWindowRect(m_hWnd, &mine);
            ::GetWindowRect(rootWindow, &theirs);
            p.x += mine.left - theirs.left;
            p.y += mine.top - theirs.top;
        }
        if (const int code = FrameHitTest(docking_, p); code != 0) {
            // The move or resize runs its own message loop, whose messages may close this dialog.
            const HWND window = m_hWnd;
            const CWnd* self = this;
            ::SendMessageW(rootWindow, WM_NCLBUTTONDOWN, static_cast<WPARAM>(code),
                           MAKELPARAM(p.x, p.y));
            if (!StillBound(window, self)) return;
        }
    }
    Default();
    (void)flags;
}

}  // namespace System::Docking::Skin
