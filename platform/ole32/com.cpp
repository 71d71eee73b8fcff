// The component library's per-thread counts.
#include <mutex>

#include <objbase.h>
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/waits.h"

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) {
    API_TRACE(Kernel, CoInitializeEx, reserved, coInit);
    sim::ThreadRec& self = sim::CurrentThread();
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    return self.comInits++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) {
    API_TRACE(Kernel, CoInitialize, reserved);
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    API_TRACE_VOID(Kernel, CoUninitialize);
    sim::ThreadRec& self = sim::CurrentThread();
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    if (self.comInits > 0) --self.comInits;
}
