// Starting a thread of the machine from inside the layer (RAS's notification thread and the
// like): the thread counts as a machine thread from before it starts until its body returns, so
// that virtual time cannot move in between, and it runs in the process context of the thread
// that started it.
#pragma once

#include <functional>

namespace sim {

void StartMachineThread(std::function<void()> body);

}  // namespace sim
