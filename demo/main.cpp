// The demo program. Without an argument it runs every part in order; with one, only that part:
//   device   a plugged-in modem switched from disk mode to modem mode
//   service  the disk monitor service switching the modem and starting App
//   dial     App's dial thread dialling the simulated network
//   road     a new user's road: install, service, dial, uninstall
#include "demo/demo.h"

int main(int argc, char** argv) {
    return RunDemo(argc > 1 ? argv[1] : nullptr);
}
