// The demo program. Without an argument it runs every part in order; with one, only that part:
//   device   a plugged-in modem switched from disk mode to modem mode
//   service  the disk monitor service switching the modem and starting App
//   dial     App's dial thread dialling the simulated network
//   road     a new user's road: install, service, dial, uninstall
//   skin     App's dialogs in the default skin, saved as pictures in the folder "pictures" beside
//   the program dm       the device command library against the simulated modem
// With --screenshot <file>, the last machine's screen is saved as a PNG file at the end.
#include <cstdio>
#include <cstring>

#include "demo/demo.h"
#include "machine/control/screen.h"

int main(int argc, char** argv) {
    const char* part = nullptr;
    const char* screenshot = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0) {
            if (i + 1 >= argc) {
                std::printf(
                    "usage: modem_demo [device|service|dial|road|skin|dm] [--screenshot <file>]\n");
                return 2;
            }
            screenshot = argv[++i];
        } else {
            part = argv[i];
        }
    }
    int rc = RunDemo(part);
    if (screenshot != nullptr) {
        if (control::SaveScreenPng(screenshot)) {
            std::printf("The screen is saved in %s.\n", screenshot);
        } else {
            std::printf("The screen could not be saved in %s.\n", screenshot);
            if (rc == 0) rc = 1;
        }
    }
    return rc;
}
