// Installer.exe: "/i" installs, any other argument uninstalls.
#include <corecrt.h>

#include "installer/installer.h"

int wmain(int argc, wchar_t** argv) { return InstallerMain(argc, argv); }
