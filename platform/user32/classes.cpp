#include "platform/user32/classes.h"

#include <cwctype>
#include <iterator>

#include "machine/windows.h"
#include <winuser.h>

namespace {

struct SystemClass {
    LPCWSTR name;
    WNDPROC procedure;
    UINT style;
    int windowExtra;
};

// The system classes. Each control's file adds its line here.
const SystemClass kSystemClasses[] = {
    {L"", nullptr, 0, 0},  // (placeholder: no class has an empty name)
    {L"#32770", DefDlgProcW, CS_DBLCLKS, DLGWINDOWEXTRA},
    {L"Edit", EditWindowProc, CS_DBLCLKS, static_cast<int>(sizeof(LONG_PTR))},
    {L"SysIPAddress32", IpAddressWindowProc, 0, static_cast<int>(sizeof(LONG_PTR))},
    {L"tooltips_class32", TooltipWindowProc, 0, kTooltipExtraBytes},
    {L"msctls_trackbar32", TrackbarWindowProc, CS_DBLCLKS, static_cast<int>(sizeof(LONG_PTR))},
    {L"SysDateTimePick32", DateTimePickWindowProc, CS_DBLCLKS, static_cast<int>(sizeof(LONG_PTR))},
    {L"Button", ButtonWndProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
     static_cast<int>(2 * sizeof(LONG_PTR))},
    {L"Static", StaticWndProc, CS_DBLCLKS, 0},
    {L"ComboBox", ComboBoxWindowProc, CS_DBLCLKS, static_cast<int>(sizeof(LONG_PTR))},
    {L"ComboLBox", ComboListWindowProc, 0, static_cast<int>(sizeof(LONG_PTR))},
    {L"SysListView32", ListViewWindowProc, CS_DBLCLKS, static_cast<int>(sizeof(LONG_PTR))},
};

bool SameName(LPCWSTR a, const std::wstring& b) {
    std::size_t i = 0;
    for (; a[i] != 0 && i < b.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return a[i] == 0 && i == b.size();
}

}  // namespace

std::optional<sim::WindowClass> FindSystemClass(const std::wstring& name) {
    if (name.empty()) return std::nullopt;
    for (const SystemClass& c : kSystemClasses) {
        if (c.procedure == nullptr || !SameName(c.name, name)) continue;
        sim::WindowClass w;
        w.name = c.name;
        w.style = c.style;
        w.procedure = c.procedure;
        w.windowExtra = c.windowExtra;
        return w;
    }
    return std::nullopt;
}
