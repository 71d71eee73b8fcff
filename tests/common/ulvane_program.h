// The service program on the machine for tests that run it for real: its two images run
// UlvaneMain, and a service still running at a test's end is stopped so that its threads end
// with the test.
#pragma once

#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/services.h"
#include "service/ulvane.h"

inline void RegisterUlvanePrograms() {
    for (const wchar_t* image : {L"Ulvane.exe", L"Ulvane64.exe"})
        sim::machine().processes().RegisterProgram(
            image, [](const sim::ProcessRun& run) { return sim::RunMain(run, &UlvaneMain); });
}

inline void StopRunningUlvane() {
    sim::Machine& m = sim::machine();
    auto info = m.services().Get(kServiceName);
    if (info && info->status.dwCurrentState == SERVICE_RUNNING) {
        m.services().Control(kServiceName, SERVICE_CONTROL_STOP);
        m.services().WaitForState(kServiceName, SERVICE_STOPPED, 60000);
        if (info->status.dwProcessId) m.processes().WaitForEnd(info->status.dwProcessId, 60000);
    }
}
