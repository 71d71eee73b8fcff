// The process heap.
#pragma once

#include "platform/wintypes.h"

#define HEAP_NO_SERIALIZE 0x00000001u
#define HEAP_GENERATE_EXCEPTIONS 0x00000004u
#define HEAP_ZERO_MEMORY 0x00000008u

HANDLE GetProcessHeap();
// NULL when the memory cannot be had (the last error is not set, as on the platform).
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);
