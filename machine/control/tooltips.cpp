#include "machine/control/tooltips.h"

#include <cstring>
#include <cwctype>

#include "machine/machine.h"
#include "machine/windows.h"
#include "platform/user32/classes.h"

namespace control {

namespace {

bool IsTooltipClass(const std::wstring& name) {
    const std::wstring tooltips = L"tooltips_class32";
    if (name.size() != tooltips.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(name[i])) != tooltips[i]) return false;
    return true;
}

LONG_PTR ExtraAt(const sim::WindowInfo& w, int offset) {
    LONG_PTR v = 0;
    if (w.extra.size() >= static_cast<std::size_t>(offset) + sizeof v)
        std::memcpy(&v, w.extra.data() + offset, sizeof v);
    return v;
}

}  // namespace

std::optional<TooltipInfo> ShownTooltip() {
    auto& windows = sim::machine().windows();
    for (HWND h : windows.TopLevel()) {
        auto w = windows.Get(h);
        if (!w || !IsTooltipClass(w->className) || !windows.IsVisible(h)) continue;
        return TooltipInfo{h, reinterpret_cast<HWND>(ExtraAt(*w, kTooltipShownWindow)),
                           static_cast<UINT_PTR>(ExtraAt(*w, kTooltipShownId)), w->text, w->rect};
    }
    return std::nullopt;
}

}  // namespace control
