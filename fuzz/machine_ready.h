// Shared by the fuzz targets that need the simulated machine: resets it once per process.
#pragma once

#include "machine/machine.h"

inline void EnsureMachine() {
    static bool ready = [] {
        sim::Machine::Reset(sim::Config::WindowsXP());
        return true;
    }();
    (void)ready;
}
