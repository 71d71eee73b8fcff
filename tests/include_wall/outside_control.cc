// An outside stand-in with the control API: it builds.
#include <windows.h>

#include "machine/control/devices.h"

int WallProbe() { return 0; }
