// The C runtime's start-up of a wide console program: the host hands the arguments over as UTF-8,
// and the program's wmain() takes them as wide text, as it does on the platform.
#include <cstring>
#include <string>
#include <vector>

#include <corecrt.h>
#include <winnls.h>
#include "machine/remote.h"

// A system program: its first touch of the machine (static initialisation included) joins the
// machine server of its machine folder.
bool sim::ProgramJoinsServer() {
    return true;
}

int main(int argc, char** argv) {
    std::vector<std::wstring> items;
    for (int i = 0; i < argc; ++i) {
        int length = static_cast<int>(std::strlen(argv[i]));
        int chars = MultiByteToWideChar(CP_UTF8, 0, argv[i], length, nullptr, 0);
        std::wstring item(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
        if (chars > 0) MultiByteToWideChar(CP_UTF8, 0, argv[i], length, item.data(), chars);
        items.push_back(item);
    }
    std::vector<wchar_t*> wide;
    for (auto& item : items) wide.push_back(item.data());
    wide.push_back(nullptr);
    int rc = wmain(argc, wide.data());
    sim::LeaveServer(static_cast<std::uint32_t>(rc));
    return rc;
}
