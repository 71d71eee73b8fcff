// The connection view's dialog templates: the view with its connect button, the settings
// container with its two tabs, the dial page and the option page. Where the controls show is
// the skin's business; the rectangles here only matter without a layout.
#include "app/app_resources.h"

#include "app/dial_info.h"
#include "app/net_connect_dialog.h"
#include <commctrl.h>

namespace {

constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kCheck = kTab | BS_AUTOCHECKBOX;
constexpr DWORD kEdit = kTab | ES_AUTOHSCROLL;

int Id(UINT id) {
    return static_cast<int>(id);
}

}  // namespace

std::vector<resources::DialogTemplate> ConnectViewTemplates() {
    using resources::DialogTemplate;
    const DWORD child = WS_CHILD;
    return {
        DialogTemplate{Id(IDD_NetConnect), child, 0, 0, 0, 200, 230, L"",
                       {{Id(IDC_BTN_CONNECT), L"Button", L"连接", kTab | BS_PUSHBUTTON, 0, 60,
                         190, 80, 20},
                        {Id(IDS_CONNECT), L"Static", L"", kVisible | SS_CENTER, 0, 10, 214, 180,
                         10}}},
        DialogTemplate{Id(IDD_DialInfo), child, 0, 0, 0, 200, 180, L"",
                       {{Id(IDC_DialSetting), L"Button", L"拨号设置",
                         kTab | WS_GROUP | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 4, 4, 60, 16},
                        {Id(IDC_OptionSetting), L"Button", L"选项设置",
                         kTab | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 66, 4, 60, 16}}},
        DialogTemplate{Id(IDD_Dial), child, 0, 0, 24, 200, 150, L"",
                       {{Id(IDC_NUMTEXT), L"Static", L"号码:", kVisible, 0, 8, 10, 50, 10},
                        {Id(IDC_SETTING_NUMEDIT), L"Edit", L"", kEdit, 0, 60, 8, 120, 14},
                        {Id(IDC_USERNAMETEXT), L"Static", L"用户名:", kVisible, 0, 8, 32, 50,
                         10},
                        {Id(IDC_NAMEEDIT), L"Edit", L"", kEdit, 0, 60, 30, 120, 14},
                        {Id(IDC_PASSWORDTEXT), L"Static", L"密码:", kVisible, 0, 8, 54, 50, 10},
                        {Id(IDC_PASSWORDEDIT), L"Edit", L"", kEdit | ES_PASSWORD, 0, 60, 52,
                         120, 14},
                        {Id(IDC_CHAPCHECK), L"Button", L"保存信息", kCheck, 0, 60, 74, 120,
                         12}}},
        DialogTemplate{Id(IDD_DnsConfig), child, 0, 0, 24, 200, 150, L"",
                       {{Id(IDC_DNSCHECKTEXT), L"Button", L"使用DNS", kCheck, 0, 8, 6, 150, 12},
                        {Id(IDC_DNSTEXT), L"Static", L"首选DNS:", kVisible, 0, 20, 24, 50, 10},
                        {Id(IDC_DNSIPADDRESS), WC_IPADDRESSW, L"", kTab | WS_DISABLED, 0, 72, 22,
                         110, 14},
                        {Id(IDC_DNSTEXT1), L"Static", L"备用DNS:", kVisible, 0, 20, 42, 50, 10},
                        {Id(IDC_DNSIPADDRESS1), WC_IPADDRESSW, L"", kTab | WS_DISABLED, 0, 72,
                         40, 110, 14},
                        {Id(IDC_IPCHECK), L"Button", L"使用指定IP地址", kCheck, 0, 8, 60, 150,
                         12},
                        {Id(IDC_IPADDRESS), WC_IPADDRESSW, L"", kTab | WS_DISABLED, 0, 72, 76,
                         110, 14},
                        {Id(IDC_ConnStartUp), L"Button", L"启用时自动连接网络", kCheck, 0, 8,
                         98, 180, 12},
                        {Id(IDC_ReDial), L"Button", L"异常断开时自动重新拨号", kCheck, 0, 8,
                         114, 180, 12}}},
    };
}
