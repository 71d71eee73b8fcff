// A system file with what the system may include: it builds.
#include <windows.h>
#include <commctrl.h>

#include "support/device_enum.h"

int WallProbe() { return GetTickCount() != 0; }
