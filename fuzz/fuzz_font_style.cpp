// The font texts: 'size:..;color:..;family:..;weight:..;align:..;valign:..;style:..;flag:..'.
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    FuzzOwner owner;
    owner.font.Set(text);
    const auto& f = owner.font;
    if (f.align < 0 || f.align > 2 || f.valign < 0 || f.valign > 2) __builtin_trap();
    if (!Names(text, L"size") && f.size != 8) __builtin_trap();
    if (!Names(text, L"family") && f.family != L"Microsoft Sans Serif") __builtin_trap();
    return 0;
}
