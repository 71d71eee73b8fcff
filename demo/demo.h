// The demo's parts. Each sets up a simulated machine of its own, tells its road on the standard
// output and returns 0 when the road went as it should. On the real clock the machine runs a few
// times faster than the wall clock; the tests run the parts on the virtual clock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"  // sim::ClockMode

namespace sim::control {
class ServerClient;
}

int RunDeviceDemo(sim::ClockMode clock = sim::ClockMode::Real);
int RunServiceDemo(sim::ClockMode clock = sim::ClockMode::Real);
int RunDialDemo(sim::ClockMode clock = sim::ClockMode::Real);
int RunInstallerDemo(sim::ClockMode clock = sim::ClockMode::Real);
// The new user's road with App, Installer and Ulvane each in a process of its own on one machine
// server (on the server's virtual clock): each step says which process did it.
int RunServerRoadDemo(sim::ClockMode clock = sim::ClockMode::Real);
// Starts a machine server on a fresh machine in the host folder, with what the setup package puts
// on its disk: the programs in "C:\Program Files\VARNI\Bin\" with App's skin and plug-ins, the
// drivers and language files beside that folder. Null (after saying why) when it could not.
std::unique_ptr<sim::control::ServerClient> StartDemoServer(const std::string& folder);

// App's dialogs in the default skin, each saved as a picture in the folder "pictures".
int RunSkinDemo(sim::ClockMode clock = sim::ClockMode::Real);
// The device command library against the simulated modem: identity, signal, R-UIM and PIN, the
// phone book, short messages.
int RunDmDemo(sim::ClockMode clock = sim::ClockMode::Real);
// App end to end as its own process on a machine server, started by the service when the modem is
// plugged in: the settings view, a connection with its statistics and graph, the modem pulled
// out; pictures of the server's screen are saved in the folder "pictures".
int RunAppDemo(sim::ClockMode clock = sim::ClockMode::Real);

// Makes a fresh Windows XP machine the process's machine, with the running program `programName`
// in "C:\Program Files\Modem\", on the clock given; on the real clock the machine runs `speed`
// times faster than the wall clock. Returns the machine's configuration.
sim::Config ResetDemoMachine(const wchar_t* programName, sim::ClockMode clock, double speed);

// The machine's clock in seconds, for the parts' time stamps.
double DemoSeconds();

// Runs a program's main with the arguments, the first of them the program's path; its result.
int RunProgramMain(int (*main)(int argc, wchar_t** argv), std::vector<std::wstring> args);

// App finds its modem and the modem's ports by the driver .inf files: puts the drivers where the
// setup would, beside the program's folder. False when the demo's driver files are missing.
bool InstallDrivers();

// Runs the part of that name ("device", "service", "dial", "setup", "road", "skin", "dm", "app"),
// or every part in order when part is null, each under its own heading. Returns the first failing
// part's result, 2 for an unknown part (after the usage line), else 0.
int RunDemo(const char* part, sim::ClockMode clock = sim::ClockMode::Real);

// The program's command line: [part] [--screenshot <file>], or --help (-h). Returns 0 for help,
// 2 (after the usage) for an unknown part or a missing file name, else RunDemo's result (1 when
// the screen could not be saved).
int DemoMain(int argc, char** argv, sim::ClockMode clock = sim::ClockMode::Real);
