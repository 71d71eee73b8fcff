#include "machine/control/screen.h"

#include "machine/machine.h"
#include "machine/screen.h"

namespace control {

bool SaveScreenPng(const std::string& path) {
    return sim::machine().screen().SavePng(path);
}

bool SaveWindowPng(HWND window, const std::string& path) {
    return sim::machine().screen().SaveWindowPng(window, path);
}

COLORREF PixelAt(int x, int y) {
    auto& screen = sim::machine().screen();
    if (x < 0 || y < 0 || x >= screen.width() || y >= screen.height()) return CLR_INVALID;
    unsigned rgb = screen.PixelAt(x, y);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace control
