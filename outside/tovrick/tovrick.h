// Stand-in of the outside library "Tovrick.dll", which detects, enables and disables the CD-ROM
// that the USB chip of one modem variant presents. Its three exports take no arguments and
// return a byte, nonzero for success. Registering it makes it loadable on the machine; its file
// must still be installed where the program loads it from.
#pragma once

#include <string>

#include <windef.h>

namespace tovrick {

inline constexpr wchar_t kFileName[] = L"Tovrick.dll";

// Nonzero when a CD-ROM of the USB chip is present.
BYTE DetectNECDevice();
// Enable or disable every present CD-ROM of the USB chip; nonzero when there was one.
BYTE EnableNECDevice();
BYTE DisableNECDevice();

// Registers the module with the process's machine.
void Register();
// Registers it and writes its file into the folder (ending in a backslash).
void Install(const std::wstring& folder);

}  // namespace tovrick
