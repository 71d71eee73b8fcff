// The background texts: an image name, or 'image:..;color:..;style:..;x:..;y:..'.
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    FuzzOwner owner;
    owner.background.Set(text);
    const auto& b = owner.background;
    if (!Names(text, L"color") && b.color != System::Docking::kNoColor) __builtin_trap();
    if (!Names(text, L"x") && b.x != 0) __builtin_trap();
    if (!Names(text, L"style") && !b.style.empty()) __builtin_trap();
    return 0;
}
