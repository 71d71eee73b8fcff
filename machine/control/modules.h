// The machine's control API for modules: how the outside stand-ins put themselves on the
// machine, so that a program's LoadLibraryW and GetProcAddress find them.
#pragma once

#include <map>
#include <string>

namespace control {

// A module's exports by name: the address GetProcAddress gives for each.
using ModuleExports = std::map<std::string, void*>;

// Makes the module loadable on the process's machine: LoadLibraryW finds it (by file name, case
// ignored) once its file also lies where the program loads it from. Registering a name again
// replaces the earlier exports.
void RegisterModule(const std::wstring& fileName, const ModuleExports& exports);
// Registers the module and puts its file into the folder (a machine path ending in a backslash).
void InstallModule(const std::wstring& folder, const std::wstring& fileName,
                   const ModuleExports& exports);

}  // namespace control
