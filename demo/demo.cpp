#include "demo/demo.h"

#include <cstdio>
#include <cstring>

#include "machine/control/screen.h"
#include <winbase.h>

namespace {

void PrintUsage() {
    std::printf(
        "usage: modem_demo [device|service|dial|setup|road|skin|dm|app] [--screenshot <file>]\n"
        "  without a part, every part runs in order; --screenshot saves the last machine's\n"
        "  screen as a PNG file; MODEM_API_TRACE=<facilities>|all writes the machine's debug\n"
        "  output with every call of those facilities to the standard error\n");
}

}  // namespace

sim::Config ResetDemoMachine(const wchar_t* programName, sim::ClockMode clock, double speed) {
    sim::Config config = sim::Config::WindowsXP();
    config.programFolder = L"C:\\Program Files\\Modem\\";
    config.programName = programName;
    config.clock = clock;
    config.clockSpeed = speed;
    sim::Machine::Reset(config);
    return config;
}

double DemoSeconds() {
    return GetTickCount() / 1000.0;
}

int RunProgramMain(int (*main)(int argc, wchar_t** argv), std::vector<std::wstring> args) {
    std::vector<wchar_t*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return main(static_cast<int>(args.size()), argv.data());
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
        {"setup", "A new user's road: install, service, dial, uninstall", RunInstallerDemo},
        {"road", "A new user's road, each program in a process of its own", RunServerRoadDemo},
        {"skin", "App's dialogs in the default skin", RunSkinDemo},
        {"dm", "The device command library against the simulated modem", RunDmDemo},
        {"app", "App on the machine, end to end", RunAppDemo},
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
        PrintUsage();
        return 2;
    }
    return 0;
}

int DemoMain(int argc, char** argv, sim::ClockMode clock) {
    const char* part = nullptr;
    const char* screenshot = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--screenshot") == 0) {
            if (i + 1 >= argc) {
                PrintUsage();
                return 2;
            }
            screenshot = argv[++i];
        } else {
            part = argv[i];
        }
    }
    int rc = RunDemo(part, clock);
    if (screenshot != nullptr && rc != 2) {
        if (control::SaveScreenPng(screenshot)) {
            std::printf("The screen is saved in %s.\n", screenshot);
        } else {
            std::printf("The screen could not be saved in %s.\n", screenshot);
            if (rc == 0) rc = 1;
        }
    }
    return rc;
}
