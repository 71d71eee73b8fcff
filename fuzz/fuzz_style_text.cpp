// Style texts of the layout files: 'name:value;name:(value)'.
#include "style_input.h"

using namespace System::Docking;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text = WideInput(data, size);
    auto pairs = ParseStyleText(text);
    // Names and values are pieces of the text: together never longer than it.
    size_t total = 0;
    for (const auto& [name, value] : pairs) total += name.size() + value.size();
    if (total > text.size()) __builtin_trap();
    if (std::wstring(text.c_str()).find(L':') == std::wstring::npos && !pairs.empty())
        __builtin_trap();
    return 0;
}
