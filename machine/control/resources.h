// The machine's control API for resources: what the linker does for a program, putting its
// resource tables into its module.
#pragma once

#include <winres.h>

namespace control {

// Links the tables into the calling thread's process (the tables must outlive it). A program's
// start does this before its main runs; tests do it for the machine's own program.
void LinkResources(const resources::ModuleResources* tables);

}  // namespace control
