#include "machine/control/threads.h"

#include <mutex>

#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace control {

int ComInitCount(DWORD threadId) {
    sim::ProcessRec& process = sim::CurrentProcess();
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    for (const sim::ThreadRec* t : process.threads)
        if (t->id == threadId && !t->ended) return t->comInits;
    return -1;
}

}  // namespace control
