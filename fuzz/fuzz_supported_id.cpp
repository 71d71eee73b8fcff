// Device instance IDs as the device tree reports them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/device_enum.h"

namespace {
std::wstring LowerAscii(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring id;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        id.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    // Recognition ignores the letter case of the ID.
    if (IsSupportedID(id) != IsSupportedID(LowerAscii(id))) __builtin_trap();
    if (IsUsbChipID(id) != IsUsbChipID(LowerAscii(id))) __builtin_trap();
    return 0;
}
