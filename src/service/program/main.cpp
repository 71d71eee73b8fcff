// Ulvane: the disk monitor service's program.
#include <corecrt.h>

#include "service/ulvane.h"

int wmain(int argc, wchar_t** argv) { return UlvaneMain(argc, argv); }
