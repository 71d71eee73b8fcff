#include "docking/skin.h"

#include <iterator>
#include <vector>

#include "docking/docking.h"
#include "docking/globals.h"
#include "docking/messages.h"

namespace System::Docking {

bool HasWindowDocking(HWND window) {
    return Globals().windowDockings.count(window) != 0;
}

bool WindowNeedsDocking(HWND window) {
    const auto& map = Globals().windowDockings;
    auto it = map.find(window);
    return it == map.end() || it->second == nullptr;
}

CDocking*& WindowDocking(HWND window) {
    return Globals().windowDockings[window];
}

void ForgetWindowDocking(HWND window) {
    Globals().windowDockings.erase(window);
}

void ForgetDocking(const CDocking* docking) {
    std::erase_if(Globals().windowDockings,
                  [docking](const auto& entry) { return entry.second == docking; });
}

const std::wstring& DefaultSkinName() {
    return Globals().defaultSkinName;
}

const std::wstring& SkinFolderName() {
    return Globals().skinFolderName;
}

std::wstring GetCurrentSkin() {
    FrameworkGlobals& g = Globals();
    if (g.currentSkin.empty()) g.currentSkin = g.defaultSkinName;
    return g.currentSkin;
}

bool IsSkinFolderName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(std::wstring(L"/\\:\0", 4)) == std::wstring::npos &&
           name.find(L"..") == std::wstring::npos;
}

void ApplySkin(const std::wstring& skin) {
    Globals().currentSkin = IsSkinFolderName(skin) ? skin : Globals().defaultSkinName;
    ReloadAllDockings();
}

void ReloadAllDockings() {
    auto& map = Globals().windowDockings;
    std::vector<HWND> roots;
    for (const auto& [window, docking] : map)
        if (docking != nullptr && docking->root.Read() == docking) roots.push_back(window);
    for (auto& entry : map) entry.second = nullptr;
    // Posted: each root window reloads itself after the caller returns, one per message.
    for (HWND window : roots) PostMessageW(window, WM_DOCKING_RELOADSKIN, 0, 0);
}

}  // namespace System::Docking
