#include "app/qobui_dlg.h"

#include <cstring>
#include <cwchar>
#include <deque>
#include <map>

#include "app/device_status.h"
#include "docking/cell.h"
#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/skin.h"
#include "docking/ui_guard.h"
#include "support/platform_helpers.h"
#include "textfiles/encoding.h"
#include "textfiles/localizer.h"
#include <dbt.h>
#include <windows.h>

using System::Docking::CDocking;
using System::Docking::CDockingCell;

namespace {

// Whether the device-lost warning was shown: once per process.
bool g_deviceLostWarned = false;

// The longest text a WM_SKIN_DOWNLOADED may carry.
constexpr size_t kMaxHandOverText = 4096;

std::wstring Text(const wchar_t* source) {
    return CLocalizer::Instance().GetText(source, L"");
}

std::wstring AsciiLower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

const std::map<std::wstring, LPCWSTR>& ResizeCursorTable() {
    static const std::map<std::wstring, LPCWSTR> table = {
        {L"n-resize", IDC_SIZENS},      {L"s-resize", IDC_SIZENS},
        {L"ne-resize", IDC_SIZENESW},   {L"sw-resize", IDC_SIZENESW},
        {L"nw-resize", IDC_SIZENWSE},   {L"se-resize", IDC_SIZENWSE},
        {L"e-resize", IDC_SIZEWE},      {L"w-resize", IDC_SIZEWE},
    };
    return table;
}

bool Contains(const Gdiplus::Rect& r, POINT p) {
    return p.x >= r.X && p.y >= r.Y && p.x < r.X + r.Width && p.y < r.Y + r.Height;
}

}  // namespace

std::wstring HandedOverSkinName(const std::wstring& text) {
    if (text.size() < kHandOverPrefix) return L"";
    const size_t query = text.find(L'?');
    const size_t end = query == std::wstring::npos || query < kHandOverPrefix ? text.size() : query;
    std::wstring name = text.substr(kHandOverPrefix, end - kHandOverPrefix);
    return System::Docking::IsSkinFolderName(name) ? name : L"";
}

LPCWSTR ResizeCursorOf(const std::wstring& name) {
    auto it = ResizeCursorTable().find(name);
    return it == ResizeCursorTable().end() ? nullptr : it->second;
}

std::vector<std::wstring> ListSkins() {
    std::vector<std::wstring> skins;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((GetModuleFolder() + L"Skin//*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return skins;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"Image" &&
            name != L"." && name != L"..")
            skins.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return skins;
}

bool DeviceLostWarningShown() {
    return g_deviceLostWarned;
}

CQOBUIDlg::CQOBUIDlg(CWnd* parent) : CDockingDialog(IDD_QOBUI_DIALOG, parent), m_tray(this) {
    m_hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CQOBUIDlg::~CQOBUIDlg() {
    // The connection view (which stops and joins a dial that still runs) goes before the main
    // window.
    m_connectView.reset();
}

BOOL CQOBUIDlg::OnInitDialog() {
    CDockingDialog::OnInitDialog();

    wchar_t about[256] = {};
    if (LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, 256) > 0) {
        if (CMenu* system = GetSystemMenu(FALSE)) {
            system->AppendMenu(MF_SEPARATOR);
            system->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_connectView = std::make_unique<CNetConnectDialog>(this);
    if (m_connectView->Create(CNetConnectDialog::IDD, this))
        m_connectView->ShowWindow(SW_SHOW);

    SetWindowText(Text(L"Raza Zevi").c_str());
    AddTrayIcon();
    return TRUE;
}

void CQOBUIDlg::AddTrayIcon() {
    m_tray.Add(0, m_hIcon);
    m_tray.SetTip(0, Text(L"Raza Zevi V1.0.0"));
}

BOOL CQOBUIDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
    // A skin hand-over that came through the queue was posted, not sent by this thread: its
    // pointer is not to be trusted.
    if (msg->message == WM_SKIN_DOWNLOADED && msg->hwnd == m_hWnd) return TRUE;
    return CDockingDialog::PreTranslateMessage(msg);
}

BOOL CQOBUIDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_TRAY_NOTIFY:
            *result = OnTrayNotify(wParam, lParam);
            return TRUE;
        case WM_DEVICE_CHANGED:
            *result = OnDeviceChanged();
            return TRUE;
        case WM_SKIN_DOWNLOADED:
            // Only App's own user-interface thread hands a skin over this way; a message from
            // another thread or process carries a pointer that means nothing here.
            if (!InSendMessage() && wParam != 0) {
                const auto* text = reinterpret_cast<const wchar_t*>(wParam);
                PromptApplySkin(std::wstring(text, wcsnlen(text, kMaxHandOverText)));
            }
            *result = 0;
            return TRUE;
        default:
            return CDockingDialog::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CQOBUIDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case ID_TRAY_EXIT:
        case IDC_BUTTON_CLOSE:
            OnCancel();
            return TRUE;
        case IDC_BUTTON_MIN:
            ShowWindow(SW_MINIMIZE);
            ShowWindow(SW_HIDE);
            return TRUE;
        case IDC_BUTTON_START:
            return TRUE;
        case IDC_BUTTON_SKIN:
            ShowSkinMenu();
            return TRUE;
        default:
            return CDockingDialog::OnCommand(wParam, lParam);
    }
}

void CQOBUIDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDockingDialog::OnSysCommand(id, lParam);
}

void CQOBUIDlg::OnPaint() {
    if (!IsIconic()) {
        CDockingDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CQOBUIDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CQOBUIDlg::OnMouseMove(UINT flags, CPoint point) {
    if (!m_tracking) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        m_tracking = TrackMouseEvent(&track) != FALSE;
    }
    CDockingDialog::OnMouseMove(flags, point);
}

void CQOBUIDlg::OnMouseLeave() {
    m_tracking = false;
    CDockingDialog::OnMouseLeave();
}

void CQOBUIDlg::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) {
    // Swallowed: the whole window is client area, and the skin draws the frame.
}

void CQOBUIDlg::OnCancel() {
    if (!ConfirmExit()) return;
    EndDialog(IDCANCEL);
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
}

bool CQOBUIDlg::ConfirmExit() {
    if (m_connectView != nullptr) {
        IConnectionExport& connection = m_connectView->Connection();
        if (connection.IsConnected()) {
            const std::wstring caption = Text(L"提示");
            if (MessageBoxW(m_hWnd, L"确定断开网络并退出程序吗?", caption.c_str(),
                            MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                return false;
        }
        // Connected, connecting or waiting to redial: the dial stops and its thread is joined
        // before the views and the settings' exit-time apply go.
        if (connection.IsRunning() || connection.IsConnected()) connection.Disconnect();
    }
    m_tray.SetTip(0, Text(L"关闭"));
    m_tray.Delete(0);
    return true;
}

void CQOBUIDlg::ShowTrayMenu() {
    CMenu menu;
    if (!menu.CreatePopupMenu()) return;
    const std::wstring exit = Text(L"退出") + L"(&x)";
    menu.AppendMenu(MF_STRING, ID_TRAY_EXIT, exit.c_str());
    SetFocus();
    POINT at{};
    GetCursorPos(&at);
    menu.TrackPopupMenu(TPM_RIGHTBUTTON, at.x, at.y, this);
    menu.DestroyMenu();
}

LRESULT CQOBUIDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    if (m_trayBlocked) return 0;
    switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDBLCLK:
            if (IsWindowVisible()) {
                ShowWindow(SW_MINIMIZE);
                ShowWindow(SW_HIDE);
            } else {
                ShowWindow(SW_SHOWNORMAL);
                SetForegroundWindow(m_hWnd);
                BringWindowToTop();
                SetActiveWindow(m_hWnd);
            }
            break;
        case WM_RBUTTONDOWN:
            ShowTrayMenu();
            break;
        default:
            break;
    }
    return 1;
}

BOOL CQOBUIDlg::OnDeviceChange(UINT event, DWORD_PTR) {
    if (event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED)
        PostMessage(WM_DEVICE_CHANGED, 0, 0);
    return TRUE;
}

LRESULT CQOBUIDlg::OnDeviceChanged() {
    if (g_deviceLostWarned) return 0;
    // The hardware object refreshes its modem item under the lock the dial thread reads it under.
    IEVDOHardware* hardware = CDeviceStatus::Instance().GetHardware();
    if (hardware == nullptr || hardware->IsModemPresent()) return 0;
    g_deviceLostWarned = true;
    m_tray.ShowBalloon(
        0, Text(L"警告:\n硬件设备丢失!\n设备在使用中拔出可能会导致该设备或计算机系统损坏。"),
        Text(L"提示"));
    Sleep(2000);
    return 0;
}

UINT CQOBUIDlg::OnPowerBroadcast(UINT event, LPARAM) {
    if (event == PBT_APMSUSPEND) OnCancel();
    return 0;
}

void CQOBUIDlg::ShowSkinMenu() {
    const std::vector<std::wstring> skins = ListSkins();
    CMenu menu;
    if (!menu.LoadMenu(IDR_SKIN_MENU)) return;
    CMenu* popup = menu.GetSubMenu(0);
    if (popup == nullptr) return;
    const std::wstring current = AsciiLower(System::Docking::GetCurrentSkin());
    for (size_t i = 0; i < skins.size(); ++i) {
        UINT flags = MF_BYCOMMAND | MF_STRING;
        if (AsciiLower(skins[i]) == current) flags |= MF_CHECKED;
        popup->InsertMenu(ID_MORE_SKINS, flags, i + 1, skins[i].c_str());
    }
    if (!skins.empty()) popup->InsertMenu(ID_MORE_SKINS, MF_BYCOMMAND | MF_SEPARATOR);

    CRect at;
    if (CWnd* button = GetDlgItem(IDC_BUTTON_SKIN)) {
        button->GetClientRect(&at);
        button->ClientToScreen(&at);
    }
    const UINT choice = static_cast<UINT>(
        popup->TrackPopupMenu(TPM_RETURNCMD | TPM_VERTICAL, at.left, at.bottom, this));
    if (choice > 0 && choice != ID_MORE_SKINS && choice <= skins.size()) {
        BeginWaitCursor();
        System::Docking::ApplySkin(skins[choice - 1]);
        EndWaitCursor();
    }
}

BOOL CQOBUIDlg::OnCopyData(CWnd* from, COPYDATASTRUCT* data) {
    // The text is UTF-16 without a terminator: cbData / 2 units (an odd byte is left out).
    if (data != nullptr && data->lpData != nullptr) {
        std::u16string units(data->cbData / sizeof(char16_t), u'\0');
        std::memcpy(units.data(), data->lpData, units.size() * sizeof(char16_t));
        PromptApplySkin(Utf16ToWide(units));
    }
    return CDockingDialog::OnCopyData(from, data);
}

void CQOBUIDlg::PromptApplySkin(const std::wstring& text) {
    const std::wstring name = HandedOverSkinName(text);
    if (name.empty()) return;
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr,
                          SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    SetForegroundWindow(m_hWnd);
    ShowWindow(SW_RESTORE);
    SwitchToThisWindow(m_hWnd, TRUE);
    const std::wstring caption = Text(L"Raza Zevi");
    if (MessageBoxW(m_hWnd, L"下载完毕，是否应用该皮肤？", caption.c_str(), MB_OKCANCEL | 0x80) ==
        IDOK)
        System::Docking::ApplySkin(name);
}

void CQOBUIDlg::OnSize(UINT type, int cx, int cy) {
    CDockingDialog::OnSize(type, cx, cy);
    CWnd* button = GetDlgItem(IDC_BUTTON_MAX);
    if (button == nullptr) return;
    auto* cell = dynamic_cast<CDockingCell*>(System::Docking::FindRenderableByWindow(*button));
    // Before the layout is loaded, or with a skin that has no such button, nothing changes.
    if (cell == nullptr) return;
    {
        System::Docking::UiWrite change(*cell);
        cell->background.y = IsZoomed() ? kRestoreGlyphOffset : 0;
    }
    cell->Redraw();
    if (type == SIZE_MAXIMIZED || type == SIZE_RESTORED) UpdateMaxButtonTitle();
}

void CQOBUIDlg::UpdateMaxButtonTitle() {
    CWnd* button = GetDlgItem(IDC_BUTTON_MAX);
    if (button == nullptr) return;
    const std::wstring title = Text(IsZoomed() ? L"IDC_BUTTON_RESTORE" : L"IDC_BUTTON_MAX");
    button->SendMessage(System::Docking::WM_DOCKING_SETTITLE,
                        reinterpret_cast<WPARAM>(title.c_str()), 0);
}

std::wstring CQOBUIDlg::CursorNameAt(POINT point) {
    std::wstring candidate;
    std::deque<CDocking*> walk{&Docking()};
    while (!walk.empty()) {
        CDocking* docking = walk.front();
        walk.pop_front();
        candidate = docking->cursor.Value();
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                CDockingCell& cell = docking->Cell(row, column);
                if (!Contains(cell.GetBounds(), point)) continue;
                candidate = cell.cursor.Value();
                if (CDocking* nested = cell.child.Value()) walk.push_back(nested);
            }
        }
    }
    return candidate;
}

BOOL CQOBUIDlg::OnSetCursor(CWnd* window, UINT hitTest, UINT message) {
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(&point);
    if (LPCWSTR cursor = ResizeCursorOf(CursorNameAt(point))) {
        SetCursor(LoadCursorW(nullptr, cursor));
        return TRUE;
    }
    return CDockingDialog::OnSetCursor(window, hitTest, message);
}
