#include "platform/sim/machine_thread.h"

#include <thread>

#include "platform/sim/process_context.h"
#include "platform/sim/waitcore.h"

namespace sim {

void StartMachineThread(std::function<void()> body) {
    auto& core = WaitCore::Get();
    core.AddPendingThread();
    std::thread([body = std::move(body), &core, process = CurrentProcess()] {
        core.AdoptPendingThread();
        SetCurrentProcess(process);
        body();
        core.ThreadFinished();
    }).detach();
}

}  // namespace sim
