#include "demo/demo.h"

#include <cstdio>
#include <cstring>

sim::Config ResetDemoMachine(const wchar_t* programName, sim::ClockMode clock, double speed) {
    sim::Config config = sim::Config::WindowsXP();
    config.programFolder = L"C:\\Program Files\\Modem\\";
    config.programName = programName;
    config.clock = clock;
    config.clockSpeed = speed;
    sim::Machine::Reset(config);
    return config;
}

int RunDemo(const char* only, sim::ClockMode clock) {
    struct Part {
        const char* name;
        const char* title;
        int (*run)(sim::ClockMode);
    } parts[] = {
        {"device", "The modem's road from disk mode to modem mode", RunDeviceDemo},
        {"service", "The disk monitor service", RunServiceDemo},
        {"dial", "A dial", RunDialDemo},
        {"road", "A new user's road: install, service, dial, uninstall", RunInstallerDemo},
        {"skin", "App's dialogs in the default skin", RunSkinDemo},
        {"dm", "The device command library against the simulated modem", RunDmDemo},
    };
    bool any = false;
    for (const Part& part : parts) {
        if (only && std::strcmp(only, part.name) != 0) continue;
        any = true;
        std::printf("\n=== %s ===\n", part.title);
        std::fflush(stdout);
        if (int rc = part.run(clock); rc != 0) {
            std::printf("The demo part \"%s\" failed (%d).\n", part.name, rc);
            return rc;
        }
    }
    if (!any) {
        std::printf("usage: modem_demo [device|service|dial|road|skin|dm]\n");
        return 2;
    }
    return 0;
}
