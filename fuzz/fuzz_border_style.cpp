// The border texts: 'width:..;color:..;style:..'; the property keeps its last text.
#include "style_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    FuzzOwner owner;
    owner.border.Set(text);
    if (owner.border.Value() != text) __builtin_trap();
    if (!Names(text, L"width") && owner.border.width != 0) __builtin_trap();
    return 0;
}
