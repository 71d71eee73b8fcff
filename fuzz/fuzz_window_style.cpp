// The window texts: a layout name, or 'layout:..;style:..;mask:..;minwidth:..;...'.
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    FuzzOwner owner;
    owner.window.Set(text);
    const auto& w = owner.window;
    if (!Names(text, L"mask") && w.mask != System::Docking::kNoColor) __builtin_trap();
    if (!Names(text, L"minwidth") && w.minwidth != 0) __builtin_trap();
    return 0;
}
