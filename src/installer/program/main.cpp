// Installer.exe: "/i" installs, any other argument uninstalls.
#include <string>
#include <vector>

#include "installer/installer.h"
#include "platform/nls.h"

int main(int argc, char** argv) {
    // The host hands the arguments over as UTF-8; the installer takes them wide.
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) {
        int n = MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, nullptr, 0);
        std::wstring arg(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
        if (n > 0) MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, arg.data(), n);
        arg.resize(arg.size() - 1);
        args.push_back(arg);
    }
    std::vector<wchar_t*> wargv;
    for (auto& a : args) wargv.push_back(a.data());
    wargv.push_back(nullptr);
    return InstallerMain(argc, wargv.data());
}
