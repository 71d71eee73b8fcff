// Stand-in of the outside library "Harlune.dll": its one export "AppIsRunning" (no arguments,
// int, nonzero when App runs). Registering it makes it loadable on the machine; its file must
// still be installed where the program loads it from.
#pragma once

#include <string>

namespace harlune {

inline constexpr wchar_t kFileName[] = L"Harlune.dll";

// Nonzero when a process of "App.exe" is running on the machine.
int AppIsRunning();

// Registers the module with the process's machine.
void Register();
// Registers it and writes its file into the folder (ending in a backslash).
void Install(const std::wstring& folder);

}  // namespace harlune
