// Colour texts of the layout files: "#" and hex digits, or a colour name.
#include "docking/color.h"
#include "style_input.h"

using namespace System::Docking;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    ColorValue value = ParseColor(text);
    std::wstring shown(text.c_str());
    bool hex = !shown.empty() && shown[0] == L'#';
    // Up to six digits leave the colour opaque.
    if (hex && shown.size() <= 7 && (value >> 24) != 0xFF) __builtin_trap();
    if (!hex && !NamedColorTable().count(shown) && value != 0) __builtin_trap();
    if (NamedColorTable().size() != 141) __builtin_trap();
    return 0;
}
