#include "platform/sim/gdi_objects.h"

#include <cwchar>

#include "platform/sim/gdi_tools.h"
#include "platform/sim/processes.h"

namespace sim {

GdiDc::GdiDc() : draw(std::make_unique<DcDrawState>()) {}
GdiDc::~GdiDc() = default;

GdiTable& GdiTable::Get() {
    return CurrentProcess().gdi;
}

bool GdiTable::Remove(HGDIOBJ h) {
    return Take(h) != nullptr;
}

std::size_t GdiTable::LiveCount(DWORD type) {
    std::lock_guard<std::mutex> lk(mu_);
    std::size_t n = 0;
    for (const auto& [handle, obj] : table_)
        if (!obj->stock && (type == 0 || obj->Type() == type)) ++n;
    return n;
}

HFONT GdiTable::SystemFont(UINT codePage) {
    BYTE charset = CharsetOfCodePage(codePage);
    std::lock_guard<std::mutex> lk(mu_);
    auto it = systemFonts_.find(charset);
    if (it != systemFonts_.end()) return it->second;
    auto font = std::make_shared<GdiFont>();
    font->stock = true;
    font->logFont.lfHeight = 16;
    font->logFont.lfWeight = FW_BOLD;
    font->logFont.lfCharSet = charset;
    std::wcscpy(font->logFont.lfFaceName, L"System");
    auto handle = static_cast<HFONT>(AddLocked(std::move(font)));
    systemFonts_.emplace(charset, handle);
    return handle;
}

BYTE CharsetOfCodePage(UINT codePage) {
    switch (codePage) {
        case 932:
            return SHIFTJIS_CHARSET;
        case 936:
            return GB2312_CHARSET;
        case 949:
            return HANGUL_CHARSET;
        case 950:
            return CHINESEBIG5_CHARSET;
        case 1250:
            return EASTEUROPE_CHARSET;
        case 1251:
            return RUSSIAN_CHARSET;
        default:
            return ANSI_CHARSET;
    }
}

}  // namespace sim
