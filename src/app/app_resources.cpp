#include "app/app_resources.h"

#include <cstddef>

#include "app/qobui_dlg.h"
#include <windows.h>

// The program's icon, linked from its assets.
extern const unsigned char icon_mainframe_png[];
extern const std::size_t icon_mainframe_png_size;

namespace {

// The About box: the icon, the version line and OK.
resources::DialogTemplate AboutTemplate() {
    return {IDD_ABOUTBOX,
            WS_POPUP | WS_CAPTION | WS_SYSMENU,
            0,
            0,
            0,
            235,
            55,
            L"About QOBUI",
            {{IDC_ABOUT_ICON, L"Static", L"", SS_ICON | WS_VISIBLE, 0, 11, 17, 20, 20},
             {IDC_ABOUT_VERSION, L"Static", L"QOBUI Version 1.0", SS_LEFT | WS_VISIBLE, 0, 40, 10,
              119, 8},
             {IDOK, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 178, 7, 50,
              14}}};
}

// The main window: a sizable pop-up whose frame the skin draws; the caption buttons, the skin
// button, the program mark and the status bar's indicators.
resources::DialogTemplate MainTemplate() {
    resources::DialogTemplate main{
        IDD_QOBUI_DIALOG,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
        WS_EX_APPWINDOW,
        0,
        0,
        554,
        325,
        L"",
        {{IDC_BUTTON_SKIN, L"Button", L"", WS_VISIBLE, 0, 470, 2, 18, 10},
         {IDC_BUTTON_MAX, L"Button", L"", WS_VISIBLE, 0, 508, 2, 14, 10},
         {IDC_BUTTON_MIN, L"Button", L"", WS_VISIBLE, 0, 492, 2, 14, 10},
         {IDC_BUTTON_CLOSE, L"Button", L"", WS_VISIBLE, 0, 524, 2, 14, 10},
         {IDC_BUTTON_START, L"Button", L"", WS_VISIBLE, 0, 4, 2, 12, 10}}};
    for (int id = IDC_STATUSBAR_UIM; id <= IDC_STATUSBAR_TIME; ++id)
        main.items.push_back({id, L"Button", L"", WS_VISIBLE, 0,
                              static_cast<short>(4 + (id - IDC_STATUSBAR_UIM) * 20), 312, 18, 10});
    return main;
}

}  // namespace

const resources::ModuleResources& AppResources() {
    static const resources::ModuleResources tables = [] {
        resources::ModuleResources out;
        out.dialogs = {AboutTemplate(), MainTemplate()};
        for (resources::DialogTemplate& view : ConnectViewTemplates())
            out.dialogs.push_back(std::move(view));
        out.menus = {{IDR_SKIN_MENU, {{0, L"Skin", 0, {{ID_MORE_SKINS, L"More Skins..", 0, {}}}}}}};
        out.strings = {{IDS_ABOUTBOX, L"&About QOBUI..."}};
        out.icons = {{IDR_MAINFRAME, icon_mainframe_png, icon_mainframe_png_size}};
        return out;
    }();
    return tables;
}
