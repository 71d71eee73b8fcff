// The .inf reader: any bytes, decoded as a file would be, then parsed and every line read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "machine/inf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text = sim::DecodeInfBytes(bytes, 1252);
    sim::InfFile file;
    DWORD error = 0;
    UINT line = 0;
    bool ok = file.Parse(text, &error, &line);
    if (!ok && error == 0) __builtin_trap();  // a failure always names its error
    std::size_t total = 0;
    for (const sim::InfSection& s : file.Sections()) {
        if (file.FindSection(s.name) < 0) __builtin_trap();  // every section can be found
        for (const sim::InfLine& l : s.lines) {
            total += l.key.size();
            for (const std::wstring& f : l.fields) total += f.size();
        }
    }
    GUID guid;
    sim::ParseGuid(text.substr(0, 40), &guid);
    return total > 0 ? 0 : 0;
}
