// Fuzzes the disk monitor service's command line: the machine's splitting of a command line into
// items (checked by quoting the items again and splitting the result, which must give them back)
// and the program's option handling of those items.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "machine/processes.h"
#include "service/ulvane.h"

namespace {

// Quotes one item so that the platform's rules read it back unchanged.
std::wstring Quote(const std::wstring& item) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : item) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        sim::Machine::Reset(sim::Config::WindowsXP());
        return true;
    }();
    (void)ready;
    if (size > 512) return 0;
    std::wstring line;
    for (size_t i = 0; i < size; ++i) line += static_cast<wchar_t>(data[i] == 0 ? L' ' : data[i]);

    std::vector<std::wstring> items = sim::ProcessTable::SplitCommandLine(line);
    std::wstring again;
    for (const auto& item : items) again += (again.empty() ? L"" : L" ") + Quote(item);
    if (sim::ProcessTable::SplitCommandLine(again) != items) std::abort();

    items.insert(items.begin(), L"C:\\Program Files\\Modem\\Ulvane.exe");
    std::vector<wchar_t*> argv;
    for (auto& item : items) argv.push_back(item.data());
    argv.push_back(nullptr);
    if (UlvaneMain(static_cast<int>(items.size()), argv.data()) != 0) std::abort();
    return 0;
}
