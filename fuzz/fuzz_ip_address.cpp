// The address texts of the dial settings (DNS servers, IP address): any text, two bytes a
// character, read as an entry's address.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ras_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    RASIPADDR address{1, 2, 3, 4};
    bool ok = ParseIpAddress(text, address);
    // Exactly four parts: the separators plus one, less one for a trailing separator.
    std::size_t dots = 0;
    for (wchar_t c : text) dots += c == L'.';
    std::size_t parts = text.empty() ? 0 : dots + 1 - (text.back() == L'.' ? 1 : 0);
    if (ok != (parts == 4)) __builtin_trap();
    if (!ok && (address.a != 1 || address.b != 2 || address.c != 3 || address.d != 4))
        __builtin_trap();
    return 0;
}
