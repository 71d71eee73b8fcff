#include "app/net_connect_dialog.h"

#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/ui_guard.h"

using System::Docking::CDockingCell;

namespace {

CDockingCell* FindCell(const wchar_t* id) {
    return dynamic_cast<CDockingCell*>(System::Docking::FindRenderableById(id));
}

}  // namespace

CNetConnectDialog::CNetConnectDialog(CWnd* parent) : CDockingDialog(IDD, parent) {}

CNetConnectDialog::~CNetConnectDialog() {
    // The dial ends first; then the window goes while the status window and the settings
    // objects still exist (the settings write themselves back when their window goes).
    if (m_netInfo.IsRunning()) m_netInfo.Disconnect();
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd) &&
        GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId())
        DestroyWindow();
}

BOOL CNetConnectDialog::OnInitDialog() {
    m_dialInfo.Create(IDD_DialInfo, this);
    m_netInfo.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1, 1), this, IDC_NetInfo);
    CDockingDialog::OnInitDialog();
    m_connectButton = ::GetDlgItem(m_hWnd, IDC_BTN_CONNECT);
    m_connectText = ::GetDlgItem(m_hWnd, IDS_CONNECT);
    if (m_dialInfo.m_hWnd != nullptr) m_dialInfo.ShowWindow(SW_SHOW);
    if (m_netInfo.m_hWnd != nullptr) m_netInfo.ShowWindow(SW_SHOW);
    ShowSettingsCell(true);
    if (CDialSettings::Instance().Profile().AutoRun) OnConnectClicked();
    return TRUE;
}

void CNetConnectDialog::OnDestroy() {
    // Before the settings container's write-back and before the status window goes.
    if (m_netInfo.IsRunning()) m_netInfo.Disconnect();
    CDockingDialog::OnDestroy();
}

BOOL CNetConnectDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_BTN_CONNECT && HIWORD(wParam) == BN_CLICKED) {
        OnConnectClicked();
        return TRUE;
    }
    return CDockingDialog::OnCommand(wParam, lParam);
}

void CNetConnectDialog::SetButtonTitle(const wchar_t* title) {
    ::SendMessageW(m_connectButton, System::Docking::WM_DOCKING_SETTITLE,
                   reinterpret_cast<WPARAM>(title), 0);
}

BOOL CNetConnectDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_CONNECTION_STATE:
            SetButtonTitle(L"正在连接...");
            ::EnableWindow(m_connectButton, TRUE);
            ::SetWindowTextW(m_connectButton, L"断开连接");
            break;
        case WM_CONNECTION_CONNECTED:
            SetButtonTitle(L"网络已经连接");
            ::EnableWindow(m_connectButton, TRUE);
            break;
        case WM_CONNECTION_DISCONNECTING:
            SetButtonTitle(L"正在断开...");
            ::EnableWindow(m_connectButton, FALSE);
            break;
        case WM_CONNECTION_DISCONNECTED:
            ::SetWindowTextW(m_connectButton, L"连接");
            SetButtonTitle(L"网络已经断开");
            ::EnableWindow(m_connectButton, TRUE);
            ShowSettingsCell(true);
            break;
        default:
            return CDockingDialog::OnWndMsg(message, wParam, lParam, result);
    }
    if (result != nullptr) *result = 0;
    return TRUE;
}

void CNetConnectDialog::OnConnectClicked() {
    if (!m_netInfo.IsRunning()) m_dialInfo.ApplyToSettings();
    m_netInfo.ConnectOrStop();
    ShowSettingsCell(false);
}

void CNetConnectDialog::ShowSettingsCell(bool show) {
    CDockingCell* setting = FindCell(L"connectSettingCell");
    CDockingCell* status = FindCell(L"connectStatusCell");
    {
        System::Docking::UiWrite write(Docking());
        if (setting != nullptr) setting->height.Assign(show ? -1 : 0);
        if (status != nullptr) status->height.Assign(show ? 0 : -1);
        Docking().SetBounds(Docking().GetBounds());
    }
    Docking().Redraw();
}
