#include <afxwin.h>

#include <afxcmn.h>
#include <winres.h>

INT_PTR AfxDlgProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

BOOL CDialog::MakeWindow(HWND parent) {
    HINSTANCE instance = AfxGetInstanceHandle();
    const resources::DialogTemplate* dialog =
        resources::FindDialog(instance, MAKEINTRESOURCEW(static_cast<WORD>(m_nIDTemplate)));
    if (dialog == nullptr || m_hWnd != nullptr) return FALSE;
    ArmCreation(this);
    HWND made = ::CreateDialogIndirectParamW(instance, dialog, parent, &AfxDlgProc, 0);
    DisarmCreation();
    return made != nullptr && m_hWnd == made ? TRUE : FALSE;
}

HWND CDialog::ModalOwner() const {
    CWnd* owner = m_pParentWnd;
    if (owner == nullptr) {
        CWnd* main = AfxGetMainWnd();
        if (main != this) owner = main;
    }
    if (owner == nullptr || owner->m_hWnd == nullptr) return nullptr;
    CWnd* top = owner->GetTopLevelParent();
    return top != nullptr ? top->m_hWnd : nullptr;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    if (parent != nullptr) m_pParentWnd = parent;
    HWND parentWindow = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (parentWindow == nullptr) {
        CWnd* main = AfxGetMainWnd();
        if (main != nullptr && main != this) parentWindow = main->m_hWnd;
    }
    return MakeWindow(parentWindow);
}

INT_PTR CDialog::DoModal() {
    m_nModalResult = -1;
    HWND owner = ModalOwner();
    bool disabledOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disabledOwner) ::EnableWindow(owner, FALSE);
    // Set before the window is made, so that EndDialog from OnInitDialog ends the run at once.
    m_continueModal = true;
    if (MakeWindow(owner)) {
        RunModalLoop();
        if (m_hWnd != nullptr)
            ::SetWindowPos(
                m_hWnd, nullptr, 0, 0, 0, 0,
                SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_continueModal = false;
    if (disabledOwner) ::EnableWindow(owner, TRUE);
    if (owner != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(owner);
    DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    bool shown = false;
    while (m_continueModal && ::IsWindow(m_hWnd)) {
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            // Idle: the dialog shows the first time, then the thread's idle work.
            if (!shown) {
                shown = true;
                if (!IsWindowVisible()) {
                    ShowWindow(SW_SHOWNORMAL);
                    UpdateWindow();
                }
                continue;
            }
            if (CWinApp* app = AfxGetApp())
                app->OnIdle(0);
            else
                AfxDeleteTemporaryObjects();
        }
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            // WM_QUIT: for the loop outside.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CDialog::EndDialog(int result) {
    if (m_continueModal) {
        m_nModalResult = result;
        m_continueModal = false;
    }
    // Hides the dialog and wakes the loop should it wait (EndDialog from a message another
    // thread sent).
    if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    return PreTranslateInput(msg);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_INITDIALOG) {
        BOOL focus = OnInitDialog();
        if (result != nullptr) *result = focus;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Commands (menus, accelerators) and button clicks share notification code 0.
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDOK:
                OnOK();
                return TRUE;
            case IDCANCEL:
                OnCancel();
                return TRUE;
            default:
                break;
        }
    }
    return CWnd::OnCommand(wParam, lParam);
}
