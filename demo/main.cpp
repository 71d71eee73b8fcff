// The demo program. Without an argument it runs every part in order; with one, only that part:
//   device   a plugged-in modem switched from disk mode to modem mode
//   service  the disk monitor service switching the modem and starting App
//   dial     App's dial thread dialling the simulated network
//   setup    a new user's road in one process: install, service, dial, uninstall
//   road     a new user's road with Installer, Ulvane and App each a process of its own on a
//            machine server
//   skin     App's dialogs in the default skin, saved as pictures in the folder "pictures" beside
//   the program
//   dm       the device command library against the simulated modem
//   app      App end to end, started by the service; pictures of the screen in "pictures"
// With --screenshot <file>, the last machine's screen is saved as a PNG file at the end; --help
// (or -h) prints the usage.
#include "demo/demo.h"

int main(int argc, char** argv) {
    return DemoMain(argc, argv);
}
