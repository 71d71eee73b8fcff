// Quosset: the library beside the programs that watches for Windows' new-hardware wizard and
// driver-signature dialogs and answers them. Loaded at run time; its exports take no arguments.
#pragma once

#include <windef.h>

using PFN_QUOSSET_VOID = void (*)();
using PFN_QUOSSET_HANDLE = HANDLE (*)();
using PFN_QUOSSET_COUNT = int (*)();
