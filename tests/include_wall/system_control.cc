// A system file that reaches for the machine's control API: refused as well.
#include "machine/control/devices.h"
