// App's main window: the skinned dialog that hosts the connection view, owns the notification-area
// icon, offers the skin menu, asks before ending a connection at exit, warns once when the modem
// disappears, takes a skin name handed over by a second start, and sets the resize cursors of the
// skin's frame. CAboutDlg is the About box of its system menu.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/net_connect_dialog.h"
#include "app/notify_icon.h"
#include "docking/dialog.h"
#include <afxwin.h>

// Resources.
constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDS_ABOUTBOX = 101;
constexpr UINT IDD_QOBUI_DIALOG = 102;
constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDR_SKIN_MENU = 146;
constexpr int IDC_ABOUT_ICON = 1001;
constexpr int IDC_ABOUT_VERSION = 1002;
constexpr int IDC_BUTTON_START = 800;
constexpr int IDC_BUTTON_MAX = 801;
constexpr int IDC_BUTTON_MIN = 802;
constexpr int IDC_BUTTON_CLOSE = 803;
constexpr int IDC_BUTTON_SKIN = 1012;
constexpr int IDC_STATUSBAR_UIM = 1014;
constexpr int IDC_STATUSBAR_TIME = 1021;
// Commands and messages.
constexpr UINT IDM_ABOUTBOX = 16;
constexpr UINT ID_TRAY_EXIT = 3000;
constexpr UINT ID_MORE_SKINS = 32772;
constexpr UINT WM_DEVICE_CHANGED = 0x4CB;
// A skin handed over inside the process (wParam: zero-terminated wide text; sent by App's own
// user-interface thread).
constexpr UINT WM_SKIN_DOWNLOADED = 0x15B4;
// How far the maximise button's picture moves up while the window is maximised.
constexpr int kRestoreGlyphOffset = -19;
// The characters before the skin name in a handed-over text.
constexpr size_t kHandOverPrefix = 9;

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

// The skin name in a handed-over text: from its tenth character up to the first "?" (to the end
// without one, or with one among the first nine); empty when the text is shorter than the
// prefix or the name is no folder name.
std::wstring HandedOverSkinName(const std::wstring& text);
// The system cursor of a frame cursor name ("n-resize", ...), or null.
LPCWSTR ResizeCursorOf(const std::wstring& name);
// The folders of "<program folder>Skin", but "Image", in the file system's order.
std::vector<std::wstring> ListSkins();
// Whether the device-lost warning was shown in this process.
bool DeviceLostWarningShown();

class CQOBUIDlg : public System::Docking::Skin::CDockingDialog {
public:
    explicit CQOBUIDlg(CWnd* parent = nullptr);
    ~CQOBUIDlg() override;

    BOOL OnInitDialog() override;
    // Enter never closes the dialog.
    void OnOK() override {}
    // The exit path (close button, the tray's exit, Alt+F4, suspend).
    void OnCancel() override;
    // Esc never closes the dialog.
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // When connected, asks before disconnecting (Cancel: false); a dial that runs is stopped and
    // its thread joined; then the tray icon goes. True: the dialog may end.
    bool ConfirmExit();
    void ShowSkinMenu();
    void ShowTrayMenu();
    // Raises the window and asks whether to apply the skin named in the text.
    void PromptApplySkin(const std::wstring& text);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChanged();
    void UpdateMaxButtonTitle();

    CNetConnectDialog* ConnectView() { return m_connectView.get(); }
    CNotifyIconEx& TrayIcon() { return m_tray; }
    void SetTrayBlocked(bool blocked) { m_trayBlocked = blocked; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnMouseLeave() override;
    void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) override;
    BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message) override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnDeviceChange(UINT event, DWORD_PTR data) override;
    UINT OnPowerBroadcast(UINT event, LPARAM data) override;
    BOOL OnCopyData(CWnd* from, COPYDATASTRUCT* data) override;

private:
    void AddTrayIcon();
    // The cursor name the skin gives the point (client coordinates), or empty.
    std::wstring CursorNameAt(POINT point);

    bool m_tracking = false;
    bool m_trayBlocked = false;
    std::unique_ptr<CNetConnectDialog> m_connectView;
    CNotifyIconEx m_tray;
    HICON m_hIcon = nullptr;
};
