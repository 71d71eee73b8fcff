#include <winbase.h>

#include <cstdlib>

#include "machine/trace.h"

namespace {
// The one heap of the process; its handle is a fixed value that is no kernel object.
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x00150000u));
}  // namespace

HANDLE GetProcessHeap() {
    API_TRACE(Kernel, GetProcessHeap);
    return kProcessHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    API_TRACE(Kernel, HeapAlloc, heap, flags, bytes);
    if (heap != kProcessHeap) return nullptr;
    std::size_t n = bytes ? bytes : 1;
    return (flags & HEAP_ZERO_MEMORY) ? std::calloc(n, 1) : std::malloc(n);
}

BOOL HeapFree(HANDLE heap, DWORD arg2, LPVOID memory) {
    API_TRACE(Kernel, HeapFree, heap, arg2, memory);
    if (heap != kProcessHeap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::free(memory);
    return TRUE;
}
