// The INI-style reader on any bytes of a file, in the machine's code page 936 (and, for inputs
// starting FF FE, as UTF-16), then every section and item read back and the same file loaded as a
// language file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "machine/machine.h"
#include "textfiles/ini_file.h"
#include "textfiles/localizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        sim::Machine::Reset(sim::Config::WindowsXP());
        return true;
    }();
    (void)ready;
    const std::wstring path = L"C:\\fuzz\\input.ini";
    sim::machine().WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
    {
        CIniFile ini(path);
        for (const std::wstring& section : ini.GetSectionNames()) {
            int count = ini.GetKeyCount(section);
            std::pair<std::wstring, std::wstring> item;
            for (int i = 0; i < count; ++i) {
                if (!ini.GetItem(section, i, item)) __builtin_trap();
                if (item.first.empty() || item.second.empty()) __builtin_trap();
                if (ini.GetValue(section, item.first) != item.second) __builtin_trap();
            }
            if (ini.GetItem(section, count, item)) __builtin_trap();
        }
    }
    CLocalizer localizer;
    localizer.Load(path);
    if (localizer.GetFont(L"normal") == nullptr) __builtin_trap();
    localizer.GetText(L"text", L"");
    return 0;
}
