// The option texts of a font ('no-wrap|pixel|...'), the border dash keywords and the image draw
// modes, as a skin gives them.
#include "docking/draw.h"
#include "docking/image_painter.h"
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = WideInput(data, size);
    const System::Docking::TextOptions options = System::Docking::ParseTextOptions(text);
    // Only the known flags, only the known hints; an empty text sets nothing.
    if (options.formatFlags & ~0x7C27) __builtin_trap();
    if (options.hint < 0 || options.hint > 5) __builtin_trap();
    if (text.empty() && (options.formatFlags != 0 || options.hint != 0)) __builtin_trap();
    if (options.formatFlags != 0 && text.find(L'-') == std::wstring::npos &&
        text.find(L"vertical") == std::wstring::npos)
        __builtin_trap();
    const int dash = System::Docking::DashStyleOf(text);
    if (dash < 0 || dash > 5) __builtin_trap();
    System::Docking::ImageDrawModeOf(text);
    return 0;
}
