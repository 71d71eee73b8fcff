// The padding and margin texts: a number, or 'left:..;right:..;top:..;bottom:..'.
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    FuzzOwner owner;
    owner.padding.Set(text);
    const auto& p = owner.padding;
    if (p.left < 0 || p.right < 0 || p.top < 0 || p.bottom < 0) __builtin_trap();
    if (!p.Value().empty()) __builtin_trap();
    return 0;
}
