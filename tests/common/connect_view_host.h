// The connection view's templates with a bare main-window template (102, no controls) to host
// them, for the tests and the benchmark of App's windows.
#pragma once

#include <memory>

#include "app/app_resources.h"
#include "app/net_connect_dialog.h"

namespace app_host {

constexpr int kHostTemplate = 102;

inline const resources::ModuleResources& Templates() {
    static const resources::ModuleResources tables = [] {
        resources::ModuleResources r;
        r.dialogs = ConnectViewTemplates();
        r.dialogs.push_back({kHostTemplate, WS_POPUP, 0, 0, 0, 280, 320, L"Raza Zevi", {}});
        return r;
    }();
    return tables;
}

// Makes the host (420 x 480 at 40, 40) and the view in it, and shows both as the main window
// does; null when either could not be made.
inline std::unique_ptr<CNetConnectDialog> OpenView(System::Docking::Skin::CDockingDialog& host) {
    if (!host.Create(kHostTemplate)) return nullptr;
    ::SetWindowPos(host.m_hWnd, nullptr, 40, 40, 420, 480, SWP_NOZORDER);
    auto view = std::make_unique<CNetConnectDialog>(&host);
    if (!view->Create(CNetConnectDialog::IDD, &host)) return nullptr;
    view->ShowWindow(SW_SHOW);
    host.ShowWindow(SW_SHOW);
    return view;
}

}  // namespace app_host
