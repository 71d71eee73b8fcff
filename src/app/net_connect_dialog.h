// The connection view: the skinned child dialog of the main dialog (template 7000) that shows
// either the dial settings or the connection's status and carries the connect button. The
// status window's posted reports become the button's states here.
#pragma once

#include <string>

#include "app/dial_info.h"
#include "app/net_info_transfer.h"
#include "docking/dialog.h"

constexpr UINT IDD_NetConnect = 7000;
constexpr UINT IDS_CONNECT = 7002;
constexpr UINT IDC_BTN_CONNECT = 7811;

class CNetConnectDialog : public System::Docking::Skin::CDockingDialog {
public:
    enum { IDD = IDD_NetConnect };
    explicit CNetConnectDialog(CWnd* parent);
    // Stops and joins a dial that still runs before the status window and the settings go.
    ~CNetConnectDialog() override;

    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Writes the settings back (when no dial runs), then starts the dial or asks it to stop,
    // and shows the status.
    void OnConnectClicked();
    // true: the settings take the room and the status cell is collapsed; false: the reverse.
    void ShowSettingsCell(bool show);

    IConnectionExport& Connection() { return m_netInfo; }
    CWndNetInfoTransfer& StatusWindow() { return m_netInfo; }
    CDialInfo& Settings() { return m_dialInfo; }

protected:
    // Stops and joins a running dial while the windows still exist.
    void OnDestroy() override;

private:
    void SetButtonTitle(const wchar_t* title);

    CDialInfo m_dialInfo;
    CWndNetInfoTransfer m_netInfo;
    HWND m_connectButton = nullptr;
    HWND m_connectText = nullptr;
};
