#include "platform/control/threads.h"

#include <mutex>

#include "platform/sim/processes.h"
#include "platform/sim/threads.h"
#include "platform/sim/waits.h"

namespace control {

int ComInitCount(DWORD threadId) {
    sim::ProcessRec& process = sim::CurrentProcess();
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    for (const sim::ThreadRec* t : process.threads)
        if (t->id == threadId && !t->ended) return t->comInits;
    return -1;
}

}  // namespace control
