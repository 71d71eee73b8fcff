// Demo: App's dialogs in the default skin. Each dialog is made from a template with the children
// its layout names, loads its layout from the skin folder, renders on the render pool and shows;
// its picture is saved as a PNG file in the folder "pictures" beside the demo program.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "docking/dialog.h"
#include "docking/loader.h"
#include "docking/render_pool.h"
#include "machine/control/resources.h"
#include "machine/control/screen.h"
#include <winbase.h>
#include <afxwin.h>
#include <afxcmn.h>
#include "machine/machine.h"

namespace {

struct Shown {
    UINT templateId;
    short width, height;  // dialog units
    const char* title;
};

constexpr Shown kDialogs[] = {
    {102, 320, 230, "main dialog"},
};

// One template per dialog, with a child for every control name a layout may use.
const resources::ModuleResources& Templates() {
    static const resources::ModuleResources tables = [] {
        resources::ModuleResources out;
        for (const Shown& shown : kDialogs) {
            resources::DialogTemplate dialog{static_cast<int>(shown.templateId),
                                             WS_POPUP,
                                             0,
                                             40,
                                             30,
                                             shown.width,
                                             shown.height,
                                             L"App",
                                             {}};
            for (const auto& [name, id] : System::Docking::ControlIdTable())
                if (id > 0) dialog.items.push_back({id, L"Button", L"", 0, 0, 0, 0, 10, 10});
            out.dialogs.push_back(dialog);
        }
        return out;
    }();
    return tables;
}

// Handles messages until the docking has adopted a rendered picture (or a machine minute passed).
bool WaitForPicture(System::Docking::CDocking& docking) {
    const DWORD start = GetTickCount();
    while (!docking.surface.HasPicture() && GetTickCount() - start < 60000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    // The last render asked for is presented too.
    System::Docking::WaitRenderPoolIdle();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return docking.surface.HasPicture();
}

}  // namespace

int RunSkinDemo(sim::ClockMode clock) {
    ResetDemoMachine(L"App.exe", clock, 4.0);
    const std::wstring skin = sim::machine().config().programFolder + L"skin\\";
    if (sim::machine().CopyFromHost(std::filesystem::path(MODEM_ASSETS_DIR) / "skin", skin) <= 0) {
        std::printf("The default skin was not found in %s/skin.\n", MODEM_ASSETS_DIR);
        return 1;
    }
    control::LinkResources(&Templates());
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
    const std::filesystem::path pictures =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "pictures";
    std::filesystem::create_directories(pictures);
    for (const Shown& shown : kDialogs) {
        System::Docking::Skin::CDockingDialog dialog(shown.templateId, nullptr);
        if (!dialog.Create(shown.templateId)) {
            std::printf("The %s could not be made.\n", shown.title);
            return 1;
        }
        std::printf("  The %s loads %s.\n", shown.title,
                    sim::ToUtf8(dialog.GetLayoutFile()).c_str());
        // Shown through the dialog's own ShowWindow, as the framework's hooked ShowWindow does:
        // a root that turns visible is drawn.
        dialog.ShowWindow(dialog.m_hWnd, SW_SHOW);
        if (!WaitForPicture(dialog.Docking())) {
            std::printf("The %s was never rendered.\n", shown.title);
            return 1;
        }
        std::wstring name = System::Docking::LayoutFileName(shown.templateId);
        name = name.substr(0, name.rfind(L'.'));
        const std::string file = (pictures / ("skin_" + sim::ToUtf8(name) + ".png")).string();
        if (!control::SaveWindowPng(dialog.m_hWnd, file)) {
            std::printf("The picture could not be saved in %s.\n", file.c_str());
            return 1;
        }
        std::printf("  Its picture is in %s.\n", file.c_str());
    }
    std::printf("The dialogs show the default skin.\n");
    return 0;
}
