// The component library's per-thread start and end. The machine has no component objects: a
// thread's apartment is only a count of its CoInitialize calls not yet matched by CoUninitialize.
#pragma once

#include <windef.h>

#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_MULTITHREADED 0x0u

// S_OK on the thread's first call (or the first after its count went back to 0), S_FALSE on
// later ones; each call counts, and needs its own CoUninitialize.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
// Takes back one CoInitialize of the calling thread (nothing when there is none).
void CoUninitialize();
