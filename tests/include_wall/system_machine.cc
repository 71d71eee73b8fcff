// A system file that reaches for the machine: the compiler cannot find the header.
#include <windows.h>

#include "machine/machine.h"
