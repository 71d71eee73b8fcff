// The demo program. Without an argument it runs every part in order; with one, only that part:
//   device   a plugged-in modem switched from disk mode to modem mode
//   service  the disk monitor service switching the modem and starting App
//   dial     App's dial thread dialling the simulated network
//   road     a new user's road: install, service, dial, uninstall
#include <cstdio>
#include <cstring>

int RunDeviceDemo();
int RunServiceDemo();
int RunDialDemo();
int RunInstallerDemo();

int main(int argc, char** argv) {
    struct Part {
        const char* name;
        const char* title;
        int (*run)();
    } parts[] = {
        {"device", "The modem's road from disk mode to modem mode", RunDeviceDemo},
        {"service", "The disk monitor service", RunServiceDemo},
        {"dial", "A dial", RunDialDemo},
        {"road", "A new user's road: install, service, dial, uninstall", RunInstallerDemo},
    };
    const char* only = argc > 1 ? argv[1] : nullptr;
    bool any = false;
    for (const Part& part : parts) {
        if (only && std::strcmp(only, part.name) != 0) continue;
        any = true;
        std::printf("\n=== %s ===\n", part.title);
        std::fflush(stdout);
        if (int rc = part.run(); rc != 0) {
            std::printf("The demo part \"%s\" failed (%d).\n", part.name, rc);
            return rc;
        }
    }
    if (!any) {
        std::printf("usage: modem_demo [device|service|dial|road]\n");
        return 2;
    }
    return 0;
}
